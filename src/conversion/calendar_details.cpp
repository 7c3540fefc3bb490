// What a calendar entry carries beyond the writer's arguments; see
// calendar_details.h.
#include "conversion/calendar_details.h"

#include "conversion/read_or.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/recurrence.h"
#include "platform/outlook/time_zone.h"

#include <QTimeZone>

#include <exception>

namespace norvexa::conversion {
namespace {

using outlook::PatternType;

// The pattern of RECURRENCE in the plain terms of the Notes side.
writers::OutlookPattern PatternOf(const outlook::Recurrence& r) {
  writers::OutlookPattern p;
  switch (r.pattern) {
    case PatternType::Day: p.kind = writers::OutlookPattern::Kind::Day; break;
    case PatternType::Week: p.kind = writers::OutlookPattern::Kind::Week; break;
    case PatternType::Month: p.kind = writers::OutlookPattern::Kind::Month; break;
    case PatternType::MonthNth: p.kind = writers::OutlookPattern::Kind::MonthNth; break;
    case PatternType::MonthEnd: p.kind = writers::OutlookPattern::Kind::MonthEnd; break;
    default: p.kind = writers::OutlookPattern::Kind::Hijri; break;
  }
  p.yearly = r.frequency == outlook::RecurFrequency::Yearly;
  // A daily pattern counts its period in minutes.
  p.period = static_cast<int>(r.pattern == PatternType::Day ? r.period / (24 * 60) : r.period);
  p.days_of_week = r.days_of_week;
  p.day_of_month = static_cast<int>(r.day_of_month);
  p.nth = static_cast<int>(r.nth);
  return p;
}

// The time zone ITEM's times are in: its definition, else its older
// struct; nullopt when it has neither that can be read.
std::optional<outlook::TimeZone> ZoneOf(const outlook::Item& item, std::vector<std::string>& problems) {
  const std::string definition = ReadOr(problems, "the time zone", [&] { return item.TimeZoneDefinition(); });
  if (!definition.empty()) {
    try {
      return outlook::ParseTimeZoneDefinition(definition);
    } catch (const std::exception& e) {
      problems.push_back(std::string("the time zone could not be read: ") + e.what());
    }
  }
  const std::string zone_struct = ReadOr(problems, "the time zone", [&] { return item.TimeZoneStruct(); });
  if (!zone_struct.empty()) {
    try {
      return outlook::ParseTimeZoneStruct(zone_struct);
    } catch (const std::exception& e) {
      problems.push_back(std::string("the time zone could not be read: ") + e.what());
    }
  }
  return std::nullopt;
}

// A zone of one fixed offset: the offset from UTC that START shows at the
// wall-clock time LOCAL_MINUTES after its day's midnight in the pattern.
outlook::TimeZone FixedZone(const QDateTime& start_utc, QDate local_day, int local_minutes) {
  const QDateTime wall(local_day, QTime(0, 0).addSecs(local_minutes * 60), QTimeZone::utc());
  const int offset_minutes = static_cast<int>(start_utc.toUTC().secsTo(wall) / 60);
  outlook::TimeZone zone;
  outlook::TimeZoneRule rule;
  rule.bias = -offset_minutes;
  zone.rules.push_back(rule);
  return zone;
}

// ZONE in the terms of Notes' time-zone text, by its rule of YEAR.
writers::CalendarZone NotesZoneOf(const outlook::TimeZone& zone, int year) {
  writers::CalendarZone out;
  if (zone.rules.empty()) {
    out.name = "UTC";
    return out;
  }
  const outlook::TimeZoneRule& rule = zone.RuleFor(year);
  out.standard_offset_minutes = -(rule.bias + rule.standard_bias);
  out.daylight = rule.daylight_date.month != 0 && rule.standard_date.month != 0;
  if (out.daylight) {
    out.start_month = rule.daylight_date.month;
    out.start_week = rule.daylight_date.day;
    out.start_weekday = rule.daylight_date.day_of_week;
    out.end_month = rule.standard_date.month;
    out.end_week = rule.standard_date.day;
    out.end_weekday = rule.standard_date.day_of_week;
  }
  out.name = writers::NotesZoneName(zone.key_name);
  return out;
}

// The occurrences and rule of ITEM's series into DETAILS; false when ITEM
// does not recur or its pattern cannot be read.
bool ReadSeries(const outlook::Item& item, const std::optional<QDateTime>& start, writers::CalendarDetails& details,
                std::vector<std::string>& problems) {
  const std::string blob = ReadOr(problems, "the recurrence", [&] { return item.RecurrenceBlob(); });
  if (blob.empty() || ReadOr(problems, "the recurrence", [&] { return item.IsRecurring(); }) == false) return false;
  outlook::Recurrence recurrence;
  try {
    recurrence = outlook::ParseRecurrence(blob);
  } catch (const std::exception& e) {
    problems.push_back(std::string("the recurrence could not be read, only the first occurrence is written: ") +
                       e.what());
    return false;
  }
  const QDate first_day = outlook::DateOfMinutes(recurrence.start_date);
  std::optional<outlook::TimeZone> zone = ZoneOf(item, problems);
  if (!zone) {
    if (!start) return false;
    zone = FixedZone(*start, first_day, static_cast<int>(recurrence.start_time_offset));
  }
  const QDate horizon = first_day.addYears(writers::kEndlessSeriesYears);
  const std::vector<outlook::Occurrence> occurrences = outlook::Expand(recurrence, *zone, horizon);
  if (occurrences.empty()) return false;
  for (const outlook::Occurrence& o : occurrences) details.occurrences.push_back({o.start, o.end, o.original_start});
  details.rule = writers::NotesRule(PatternOf(recurrence));
  details.zone = NotesZoneOf(*zone, first_day.year());
  return true;
}

}  // namespace

writers::CalendarDetails ReadCalendarDetails(const outlook::Item& item, const std::optional<QDateTime>& start,
                                             const std::optional<QDateTime>& end, std::vector<std::string>& problems) {
  writers::CalendarDetails details;
  details.subject = ReadOr(problems, "the subject", [&] { return item.Subject(); });
  if (!ReadSeries(item, start, details, problems)) {
    if (start && start->isValid()) details.occurrences.push_back({*start, end.value_or(*start), *start});
    if (std::optional<outlook::TimeZone> zone = ZoneOf(item, problems); zone && start) {
      details.zone = NotesZoneOf(*zone, start->date().year());
    }
  }
  details.all_day = ReadOr(problems, "whether it is an all-day event", [&] { return item.AllDayEvent(); }).value_or(false);
  if (ReadOr(problems, "the reminder", [&] { return item.ReminderSet(); }).value_or(false)) {
    // Outlook's default reminder is a quarter of an hour before the start.
    const auto minutes = ReadOr(problems, "the reminder", [&] { return item.ReminderMinutesBefore(); });
    details.reminder_minutes = static_cast<int>(minutes.value_or(15));
  }
  const auto busy = ReadOr(problems, "the busy status", [&] { return item.BusyStatus(); });
  if (busy && *busy >= 0 && *busy <= 4) details.busy = static_cast<writers::BusyStatus>(*busy);
  details.organiser.name = ReadOr(problems, "the organiser", [&] { return item.SentRepresentingName(); });
  details.organiser.address = ReadOr(problems, "the organiser", [&] { return item.SentRepresentingAddress(); });
  if (details.organiser.name.empty() && details.organiser.address.empty()) {
    details.organiser.name = ReadOr(problems, "the organiser", [&] { return item.SenderName(); });
    details.organiser.address = ReadOr(problems, "the organiser", [&] { return item.SenderSmtpAddress(); });
  }
  for (const outlook::RecipientEntry& r : ReadOr(problems, "the attendees", [&] { return item.RecipientList(); })) {
    const writers::CalendarPerson person{r.name, r.address};
    switch (r.kind) {
      case outlook::RecipientEntry::Kind::To: details.required.push_back(person); break;
      case outlook::RecipientEntry::Kind::Cc: details.optional.push_back(person); break;
      case outlook::RecipientEntry::Kind::Bcc: details.resources.push_back(person); break;
    }
  }
  return details;
}

}  // namespace norvexa::conversion
