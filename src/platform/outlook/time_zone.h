// The time zone of an appointment, as Outlook stores it beside the
// appointment: PidLidTimeZoneStruct (one rule, the TZSTRUCT of the Windows
// registry) and PidLidAppointmentTimeZoneDefinitionRecur / StartDisplay /
// EndDisplay (a TZDEFINITION: a key name and rules by year). It turns the
// wall-clock times of a recurrence pattern into instants in that zone, not
// in the machine's, so a 09:00 meeting stays 09:00 across a change to and
// from summer time.
#pragma once

#include "platform/outlook/outlook.h"

#include <QDate>
#include <QDateTime>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook {

// A change between standard and daylight time, as a SYSTEMTIME holds it.
// With year 0 it is the yearly form: the DAY-th (1..4, 5 = the last)
// DAY_OF_WEEK of MONTH, every year. With a year it happens on that date of
// that year only. MONTH 0 means the zone has no such change.
struct TransitionDate {
  int year = 0;
  int month = 0;        // 1..12, or 0
  int day_of_week = 0;  // 0 Sunday .. 6 Saturday
  int day = 0;          // yearly form: 1..5; a dated change: the day of the month
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// One set of offsets and changes, in force from the start of YEAR (the rule
// of the lowest year also before it). Biases are minutes as Windows counts
// them: UTC = local time + bias + standard_bias (or + daylight_bias in
// daylight time).
struct TimeZoneRule {
  int year = 0;
  int bias = 0;
  int standard_bias = 0;
  int daylight_bias = 0;
  TransitionDate standard_date;  // daylight time ends here (a daylight wall-clock time)
  TransitionDate daylight_date;  // daylight time starts here (a standard wall-clock time)

  // True when the rule has a daylight time at all.
  bool HasDaylight() const { return standard_date.month != 0 && daylight_date.month != 0; }
};

struct TimeZone {
  // The registry key name of a TZDEFINITION ("W. Europe Standard Time");
  // "" for a zone read from a TZSTRUCT.
  std::string key_name;
  // Ascending by year; empty for UTC.
  std::vector<TimeZoneRule> rules;

  // The rule in force in YEAR: the one of the highest year not after YEAR,
  // else the first. Must not be called on a zone without rules.
  const TimeZoneRule& RuleFor(int year) const;

  // Seconds ahead of UTC at the wall-clock time MINUTES after midnight of
  // DATE (MINUTES may pass 1440 into the next days). A time that a change
  // to daylight time skips counts as standard time; a time that occurs
  // twice when daylight time ends counts as daylight time, the first of them.
  int OffsetAt(QDate date, int minutes) const;

  // The instant of that wall-clock time, carrying its offset from UTC
  // (Qt::OffsetFromUTC), so it prints as the zone's local time. Invalid
  // when DATE is.
  QDateTime Instant(QDate date, int minutes) const;
};

// Reads a PidLidTimeZoneStruct value: lBias, lStandardBias, lDaylightBias,
// wStandardYear, stStandardDate, wDaylightYear, stDaylightDate (48 bytes,
// little-endian). Gives one rule. Throws OutlookError when BYTES is shorter
// or holds values no zone has (a month past 12, a bias past a day).
TimeZone ParseTimeZoneStruct(std::string_view bytes);

// Reads a TZDEFINITION (PidLidAppointmentTimeZoneDefinitionRecur,
// StartDisplay, EndDisplay): version 2, the header with the key name, and
// its TZRULEs of 66 bytes each. Throws OutlookError for another major
// version, a count or length past the end of BYTES, no rule, or values no
// zone has.
TimeZone ParseTimeZoneDefinition(std::string_view bytes);

// The date of CHANGE in YEAR, with its time as minutes after midnight in
// MINUTES; invalid when CHANGE does not happen in YEAR.
QDate TransitionDay(const TransitionDate& change, int year, int* minutes);

}  // namespace norvexa::outlook
