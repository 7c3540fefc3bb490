// The items of a Notes calendar entry beyond its subject and body: the
// occurrences of a repeating entry and its repeat rule, all-day events,
// alarms, busy time, attendees and the organiser, and the time zone, named
// and valued as Notes' own calendar entries have them. A pure function of a
// plain description of the entry that the item preparation fills from the
// store's values; the writer puts what it returns.
#pragma once

#include "platform/notes/notes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace norvexa::writers {

// An item value of a calendar entry.
using CalendarValue = notes::ItemValue;
using CalendarItemList = std::vector<std::pair<std::string, CalendarValue>>;

// An endless series is written up to this many years after its first
// occurrence: the span Notes itself gives a repeating anniversary, and
// within the 10,000 occurrences the store access lists at most.
inline constexpr int kEndlessSeriesYears = 10;

// One occurrence: its start and end, and the start the rule gave it (the
// same unless the occurrence was moved).
struct CalendarOccurrence {
  QDateTime start;
  QDateTime end;
  QDateTime original_start;
};

// A repeat rule in Notes' terms (RepeatUnit and RepeatAdjust). A rule
// Notes cannot state is Custom (see NotesRule): its entry lists its dates
// only.
struct RepeatRule {
  enum class Unit { Daily, Weekly, MonthlyByDate, MonthlyByDay, Yearly, Custom };
  Unit unit = Unit::Custom;
  int interval = 1;             // every INTERVAL units
  std::vector<int> weekdays;    // Weekly: 0 Sunday .. 6 Saturday
  std::vector<int> month_days;  // MonthlyByDate: 1..31
  int week_of_month = 0;        // MonthlyByDay: 1..4
  int weekday = 0;              // MonthlyByDay: 0 Sunday .. 6 Saturday
};

// An Outlook recurrence pattern in plain values (the store access's
// Recurrence, which this library does not see), for NotesRule.
struct OutlookPattern {
  enum class Kind { Day, Week, Month, MonthNth, MonthEnd, Hijri };
  Kind kind = Kind::Day;
  bool yearly = false;             // RecurFrequency yearly
  int period = 1;                  // days (Day), weeks (Week) or months (the others)
  std::uint32_t days_of_week = 0;  // Week and MonthNth: bit 0 Sunday .. bit 6 Saturday
  int day_of_month = 0;            // Month: 1..31
  int nth = 0;                     // MonthNth: 1..4, 5 the last
};

// The Notes rule of PATTERN: every n days (D), weeks on its weekdays (W,
// also Outlook's "every weekday"), months on a day up to the 28th (MD),
// months on the first to fourth of one weekday (MP), years on a date up to
// the 28th (YD). Anything else is Custom, because Notes' rule would not make
// Outlook's dates: Outlook moves day 29 to 31 to the last day of a shorter
// month, and Notes has no last day of the month, no nth of several
// weekdays, no yearly nth weekday and no Hijri months.
RepeatRule NotesRule(const OutlookPattern& pattern);

// Outlook's busy status (PidLidBusyStatus).
enum class BusyStatus { Free = 0, Tentative = 1, Busy = 2, OutOfOffice = 3, WorkingElsewhere = 4 };

// A person by display name and Internet address (either may be "").
struct CalendarPerson {
  std::string name;
  std::string address;
};

// A time zone in the terms of Notes' time-zone text: the standard offset
// east of UTC, and the daylight-time changes as month, week of the month
// (1..4, or 5 for the last) and weekday (0 Sunday); NAME as Notes names
// zones ("W. Europe", "Eastern"), "" when unknown.
struct CalendarZone {
  int standard_offset_minutes = 0;
  bool daylight = false;
  int start_month = 0, start_week = 0, start_weekday = 0;  // daylight time begins
  int end_month = 0, end_week = 0, end_weekday = 0;        // daylight time ends
  std::string name;
};

struct CalendarDetails {
  std::string subject;  // the alarm's text
  // Every occurrence in order, one for an entry that does not repeat.
  std::vector<CalendarOccurrence> occurrences;
  // Set for a repeating entry.
  std::optional<RepeatRule> rule;
  bool all_day = false;
  // Minutes before the start the alarm rings; nullopt without alarm.
  std::optional<int> reminder_minutes;
  BusyStatus busy = BusyStatus::Busy;
  CalendarPerson organiser;
  std::vector<CalendarPerson> required, optional, resources;
  std::optional<CalendarZone> zone;
};

// The items for DETAILS, in the order a writer puts them (see "Calendar
// entries" in docs/notes-database.md for each). An entry without
// occurrences gives no date items. Never throws.
CalendarItemList CalendarItems(const CalendarDetails& details);

// Notes' text for ZONE: "Z=<hours west of UTC>$DO=<0 or 1>$DL=<start month>
// <week> <weekday> <end month> <week> <weekday>$ZX=0$ZN=<name>", weeks 1..4
// or -1 for the last, weekdays 1 Sunday .. 7 Saturday, DL only with
// daylight time; a zone without name is named GMT+h or GMT+h:mm.
std::string NotesTimeZoneText(const CalendarZone& zone);

// The Notes zone name of a Windows zone key: "W. Europe Standard Time"
// gives "W. Europe"; a key not ending in " Standard Time" stays as it is.
std::string NotesZoneName(const std::string& windows_key);

}  // namespace norvexa::writers
