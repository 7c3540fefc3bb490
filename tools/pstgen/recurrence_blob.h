// Recurring appointments as Outlook stores them: the description's series
// and time zone, and the bytes of PidLidAppointmentRecur (an
// AppointmentRecurrencePattern), PidLidTimeZoneStruct and the TZDEFINITION
// of PidLidAppointmentTimeZoneDefinitionRecur, written from the published
// layouts on their own (the store reader's parser is not used here).
// The series' dates are found by testing each day against the pattern, so
// the counts and last dates written are worked out apart from the reader's
// expansion too.
#pragma once

#include "pst_format.h"

#include <QDate>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::pstgen {

// A wall-clock time of the appointment's zone.
struct LocalTime {
  QDate date;
  int minutes = 0;  // after midnight
};

// One occurrence moved or changed: the date it had in the pattern and its
// new start and end, with the subject and location it overrides.
struct ModifiedOccurrence {
  QDate original_date;
  LocalTime start, end;
  std::optional<std::string> subject, location;
};

struct RecurringSeries {
  // "daily", "weekdays" (daily, every weekday, as Outlook writes it),
  // "weekly", "monthly", "month_end", "month_nth", "yearly", "yearly_nth",
  // "hijri_monthly", "hijri_month_end", "hijri_month_nth".
  std::string pattern;
  int period = 1;                 // days, weeks, months or years
  std::uint32_t days = 0;         // weekly and nth forms: bit 0 Sunday .. bit 6 Saturday
  int day_of_month = 0;           // monthly and yearly: 1..31 (0: the start's)
  int nth = 0;                    // nth forms: 1..4, 5 the last
  int month = 0;                  // yearly forms: 1..12 (0: the start's)
  std::string end = "never";      // "date", "count" or "never"
  QDate end_date;                 // end "date"
  int count = 0;                  // end "count"
  int first_day_of_week = 0;      // 0 Sunday .. 6 Saturday
  std::vector<QDate> deleted;     // original dates of deleted occurrences
  std::vector<ModifiedOccurrence> modified;
  std::uint32_t writer_version2 = 0x3009;  // 0x3008: no change highlights
  // The first occurrence's wall-clock start, as the description writes the
  // item's start, and its length.
  LocalTime start;
  int duration_minutes = 0;
};

// A change of time in the yearly form: the WEEK-th (1..4, 5 the last)
// DAY_OF_WEEK (0 Sunday) of MONTH at HOUR:MINUTE; MONTH 0: none.
struct ZoneChange {
  int month = 0, day_of_week = 0, week = 0, hour = 0, minute = 0;
};

struct ZoneRule {
  int year = 0;  // in force from this year on
  int bias = 0, standard_bias = 0, daylight_bias = 0;  // minutes, UTC = local + bias (+ the other)
  ZoneChange standard, daylight;
};

struct ZoneRules {
  std::string key_name;     // "W. Europe Standard Time"
  std::string description;  // PidLidTimeZoneDescription
  std::vector<ZoneRule> rules;  // ascending by year
};

// The zone of a preset name ("W. Europe", "Eastern", "Tokyo", "AUS Eastern",
// "UTC"); nullopt for an unknown name.
std::optional<ZoneRules> TimeZonePreset(const std::string& name);

// The dates of the series, in order: up to its end, or LIMIT dates for an
// endless one. Throws PstWriteError for a pattern that makes no date within
// a hundred years of its start.
std::vector<QDate> SeriesDates(const RecurringSeries& series, std::size_t limit);

// The AppointmentRecurrencePattern of SERIES; 8-bit exception texts in
// CODEPAGE. Throws PstWriteError for a series the format cannot hold.
Bytes RecurrenceBlob(const RecurringSeries& series, int codepage);

// The TZSTRUCT of the rule of ZONE in force in YEAR.
Bytes TimeZoneStructBlob(const ZoneRules& zone, int year);
// The TZDEFINITION of ZONE with every rule, the one of YEAR marked as the
// zone's current rule.
Bytes TimeZoneDefinitionBlob(const ZoneRules& zone, int year);

// PidLidRecurrenceType: 1 daily, 2 weekly, 3 monthly, 4 yearly.
int RecurrenceTypeValue(const RecurringSeries& series);
// PidLidRecurrencePattern: the series in words, as Outlook shows it.
std::string RecurrencePatternText(const RecurringSeries& series);
// Minutes since 1601 of LOCAL.
std::uint32_t MinutesSince1601(const LocalTime& local);

}  // namespace norvexa::pstgen
