// The recurrence of an Outlook appointment: reading PidLidAppointmentRecur
// (PSETID_Appointment 0x8216, an AppointmentRecurrencePattern) and listing
// the occurrences it makes, with deleted ones left out and changed ones at
// their new times, in the appointment's own time zone.
//
// Every time in the pattern is a wall-clock time of the appointment's zone,
// counted in minutes since midnight, 1 January 1601; dates are such a count
// at midnight.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/time_zone.h"

#include <QDate>
#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook {

// RecurFrequency.
enum class RecurFrequency : std::uint16_t { Daily = 0x200A, Weekly = 0x200B, Monthly = 0x200C, Yearly = 0x200D };

// PatternType: what PatternTypeSpecific holds and how a month's day is
// found. The Hj forms count months of the Hijri calendar.
enum class PatternType : std::uint16_t {
  Day = 0x0000,
  Week = 0x0001,
  Month = 0x0002,
  MonthNth = 0x0003,
  MonthEnd = 0x0004,
  HjMonth = 0x000A,
  HjMonthNth = 0x000B,
  HjMonthEnd = 0x000C,
};

enum class RecurEnd { AfterDate, AfterCount, Never };

// Bits of the days of week, Sunday first.
inline constexpr std::uint32_t kSunday = 0x01, kMonday = 0x02, kTuesday = 0x04, kWednesday = 0x08,
                               kThursday = 0x10, kFriday = 0x20, kSaturday = 0x40;
// The "last" of MonthNth's N.
inline constexpr std::uint32_t kLastNth = 5;

// What an ExceptionInfo's OverrideFlags say it changes.
inline constexpr std::uint16_t ARO_SUBJECT = 0x0001, ARO_MEETINGTYPE = 0x0002, ARO_REMINDERDELTA = 0x0004,
                               ARO_REMINDER = 0x0008, ARO_LOCATION = 0x0010, ARO_BUSYSTATUS = 0x0020,
                               ARO_ATTACHMENT = 0x0040, ARO_SUBTYPE = 0x0080, ARO_APPTCOLOR = 0x0100,
                               ARO_EXCEPTIONAL_BODY = 0x0200;

// One changed occurrence: its new start and end, the start it had in the
// pattern, and each value it overrides (absent when it does not).
struct RecurrenceException {
  std::uint32_t start = 0;           // minutes since 1601, local
  std::uint32_t end = 0;
  std::uint32_t original_start = 0;
  std::uint16_t override_flags = 0;
  std::optional<std::string> subject;   // UTF-8; the wide form when the pattern has it
  std::optional<std::string> location;
  std::optional<std::uint32_t> meeting_type, reminder_delta, reminder_set, busy_status, attachment, sub_type,
      appointment_color;
};

struct Recurrence {
  std::uint16_t reader_version = 0;
  std::uint16_t writer_version = 0;
  RecurFrequency frequency = RecurFrequency::Daily;
  PatternType pattern = PatternType::Day;
  std::uint16_t calendar_type = 0;
  std::uint32_t first_date_time = 0;
  // Minutes for Day patterns, weeks for Week, months for the month forms
  // (12 for every year).
  std::uint32_t period = 0;
  std::uint32_t sliding_flag = 0;
  std::uint32_t days_of_week = 0;  // Week and MonthNth: the kSunday.. bits
  std::uint32_t day_of_month = 0;  // Month and MonthEnd forms: 1..31
  std::uint32_t nth = 0;           // MonthNth forms: 1..4, or kLastNth
  RecurEnd end = RecurEnd::Never;
  std::uint32_t occurrence_count = 0;
  std::uint32_t first_day_of_week = 0;  // 0 Sunday .. 6 Saturday
  std::vector<std::uint32_t> deleted_dates;   // original dates of deleted and of changed occurrences
  std::vector<std::uint32_t> modified_dates;  // new dates of changed occurrences
  std::uint32_t start_date = 0;
  std::uint32_t end_date = 0;
  std::uint32_t reader_version2 = 0;
  std::uint32_t writer_version2 = 0;
  std::uint32_t start_time_offset = 0;  // minutes after midnight
  std::uint32_t end_time_offset = 0;    // start offset plus the duration
  std::vector<RecurrenceException> exceptions;
};

// One occurrence of a series. START and END carry the zone's offset from
// UTC at that time. A changed occurrence has MODIFIED set, ORIGINAL_START
// at the time the pattern gave it, and SUBJECT and LOCATION when it
// overrides them.
struct Occurrence {
  QDateTime start;
  QDateTime end;
  QDateTime original_start;
  bool modified = false;
  std::optional<std::string> subject;
  std::optional<std::string> location;
};

// The most occurrences Expand lists, and a series makes: a daily series of
// 27 years. A damaged pattern cannot make it list more.
inline constexpr std::size_t kMaxOccurrences = 10000;

// Reads an AppointmentRecurrencePattern. 8-bit exception subjects and
// locations (where the pattern has no wide form) are read in CODEPAGE.
// Throws OutlookError for a pattern cut short, a count past its end, an
// unknown frequency, pattern type or end type, a combination Outlook never
// writes, and a period, day or weekday set no series can have.
Recurrence ParseRecurrence(std::string_view blob, int codepage = 1252);

// The occurrences of RECURRENCE in ZONE, in order of start: a series ending
// on a date runs to that date, one ending after n occurrences makes n of
// the pattern (deleted ones count among them, as Outlook counts), and an
// endless one runs to HORIZON (inclusive). Deleted occurrences are absent;
// changed ones are at their new start and end (a changed one whose
// original date the pattern does not make is listed too, when it falls
// within the series). At most kMaxOccurrences; never throws.
std::vector<Occurrence> Expand(const Recurrence& recurrence, const TimeZone& zone, QDate horizon);

// The date of a count of minutes since 1601 (its wall-clock day), and the
// minutes after that midnight.
QDate DateOfMinutes(std::uint32_t minutes);
int MinutesInDay(std::uint32_t minutes);

}  // namespace norvexa::outlook
