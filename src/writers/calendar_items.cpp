// The items of a Notes calendar entry, from a plain description of it.
#include "writers/calendar_items.h"

#include <QString>
#include <QTimeZone>

#include <cstdlib>

namespace norvexa::writers {
namespace {

// Notes' AppointmentType and the calendar view's icon (_ViewIcon) of a
// personal appointment and of an all-day event.
constexpr const char* kAppointment = "0";
constexpr const char* kAllDayEvent = "2";
constexpr double kAppointmentIcon = 160;
constexpr double kEventIcon = 9;

// Midnight of T's day, in T's offset from UTC: the form of Notes' date
// items (StartDate, EndDate).
// A date-time in local time, in UTC or at a fixed offset keeps that kind
// of time rather than take the system zone: QDateTime::timeZone() looks
// the system zone up afresh (its files are read again) at every call.
QDateTime DayOf(const QDateTime& t) {
  switch (t.timeSpec()) {
    case Qt::LocalTime:
    case Qt::UTC: return QDateTime(t.date(), QTime(0, 0), t.timeSpec());
    case Qt::OffsetFromUTC: return QDateTime(t.date(), QTime(0, 0), Qt::OffsetFromUTC, t.offsetFromUtc());
    case Qt::TimeZone: break;
  }
  return QDateTime(t.date(), QTime(0, 0), t.timeZone());
}

// The last day an all-day occurrence covers: Outlook ends it at the
// midnight after its last day, Notes names that day itself.
QDateTime LastDayOf(const CalendarOccurrence& o) {
  if (o.end > o.start && o.end.time() == QTime(0, 0)) return DayOf(o.end.addDays(-1));
  return DayOf(o.end);
}

// RepeatUnit's text of UNIT.
const char* UnitText(RepeatRule::Unit unit) {
  switch (unit) {
    case RepeatRule::Unit::Daily: return "D";
    case RepeatRule::Unit::Weekly: return "W";
    case RepeatRule::Unit::MonthlyByDate: return "MD";
    case RepeatRule::Unit::MonthlyByDay: return "MP";
    case RepeatRule::Unit::Yearly: return "YD";
    case RepeatRule::Unit::Custom: return "C";
  }
  return "C";
}

// RepeatAdjust: the weekdays of a weekly rule ("0" Sunday), the days of a
// monthly-by-date one, "week.weekday" of a monthly-by-day one ("1.1" the
// first Monday); nothing for the others.
notes::TextList AdjustOf(const RepeatRule& rule) {
  notes::TextList out;
  if (rule.unit == RepeatRule::Unit::Weekly)
    for (int d : rule.weekdays) out.push_back(std::to_string(d));
  if (rule.unit == RepeatRule::Unit::MonthlyByDate)
    for (int d : rule.month_days) out.push_back(std::to_string(d));
  if (rule.unit == RepeatRule::Unit::MonthlyByDay)
    out.push_back(std::to_string(rule.week_of_month) + "." + std::to_string(rule.weekday));
  return out;
}

// RepeatFor and RepeatForUnit: the span from FIRST to LAST in the rule's
// unit, both ends counted (days for a custom rule).
std::pair<double, std::string> SpanOf(const RepeatRule& rule, QDate first, QDate last) {
  const int months = (last.year() - first.year()) * 12 + last.month() - first.month();
  switch (rule.unit) {
    case RepeatRule::Unit::Weekly: return {static_cast<double>(first.daysTo(last) / 7 + 1), "W"};
    case RepeatRule::Unit::MonthlyByDate:
    case RepeatRule::Unit::MonthlyByDay: return {static_cast<double>(months + 1), "M"};
    case RepeatRule::Unit::Yearly: return {static_cast<double>(last.year() - first.year() + 1), "Y"};
    default: return {static_cast<double>(first.daysTo(last) + 1), "D"};
  }
}

// A list of each person's name, else address (NAMES); of each address,
// else "." as Notes keeps such lists aligned (INET); of each name, else
// address (ALT, the names shown).
struct NameLists {
  notes::TextList names, inet, alt;
};
NameLists ListsOf(const std::vector<CalendarPerson>& people) {
  NameLists out;
  for (const CalendarPerson& p : people) {
    out.names.push_back(p.name.empty() ? p.address : p.name);
    out.inet.push_back(p.address.empty() ? "." : p.address);
    out.alt.push_back(p.name.empty() ? p.address : p.name);
  }
  return out;
}

// Whole hours as "5", others as "5.5" or "5.75".
std::string Hours(int minutes) {
  return QString::number(minutes / 60.0, 'g', 6).toStdString();
}

}  // namespace

RepeatRule NotesRule(const OutlookPattern& p) {
  using Kind = OutlookPattern::Kind;
  RepeatRule rule;
  // The one weekday of a set, or -1.
  int single_weekday = -1;
  for (int d = 0; d < 7; ++d)
    if (p.days_of_week == (1u << d)) single_weekday = d;
  switch (p.kind) {
    case Kind::Day:
      rule.unit = RepeatRule::Unit::Daily;
      rule.interval = p.period;
      break;
    case Kind::Week:
      rule.unit = RepeatRule::Unit::Weekly;
      rule.interval = p.period;
      for (int d = 0; d < 7; ++d)
        if (p.days_of_week & (1u << d)) rule.weekdays.push_back(d);
      break;
    case Kind::Month:
      if (p.day_of_month < 1 || p.day_of_month > 28) break;
      if (p.yearly) {
        rule.unit = RepeatRule::Unit::Yearly;
        rule.interval = p.period / 12;
      } else {
        rule.unit = RepeatRule::Unit::MonthlyByDate;
        rule.interval = p.period;
        rule.month_days = {p.day_of_month};
      }
      break;
    case Kind::MonthNth:
      if (p.yearly || single_weekday < 0 || p.nth < 1 || p.nth > 4) break;
      rule.unit = RepeatRule::Unit::MonthlyByDay;
      rule.interval = p.period;
      rule.week_of_month = p.nth;
      rule.weekday = single_weekday;
      break;
    case Kind::MonthEnd:
    case Kind::Hijri:
      break;
  }
  if (rule.interval < 1) rule.interval = 1;
  return rule;
}

std::string NotesZoneName(const std::string& windows_key) {
  const std::string suffix = " Standard Time";
  if (windows_key.size() > suffix.size() && windows_key.compare(windows_key.size() - suffix.size(), suffix.size(), suffix) == 0)
    return windows_key.substr(0, windows_key.size() - suffix.size());
  return windows_key;
}

std::string NotesTimeZoneText(const CalendarZone& zone) {
  const auto week = [](int w) { return w >= 5 ? -1 : w; };
  std::string text = "Z=" + Hours(-zone.standard_offset_minutes) + "$DO=" + (zone.daylight ? "1" : "0");
  if (zone.daylight) {
    text += "$DL=" + std::to_string(zone.start_month) + " " + std::to_string(week(zone.start_week)) + " " +
            std::to_string(zone.start_weekday + 1) + " " + std::to_string(zone.end_month) + " " +
            std::to_string(week(zone.end_week)) + " " + std::to_string(zone.end_weekday + 1);
  }
  std::string name = zone.name;
  if (name.empty()) {
    const int offset = std::abs(zone.standard_offset_minutes);
    name = std::string("GMT") + (zone.standard_offset_minutes < 0 ? "-" : "+") + std::to_string(offset / 60);
    if (offset % 60) name += QString::asprintf(":%02d", offset % 60).toStdString();
  }
  return text + "$ZX=0$ZN=" + name;
}

namespace {

// Appends the item NAME with VALUE to ITEMS.
void Add(CalendarItemList& items, const char* name, CalendarValue value) { items.emplace_back(name, std::move(value)); }

// The start, end and day items of D's occurrences (D has at least one): one
// value each for a single entry, one per occurrence for a series.
void AddTimes(CalendarItemList& items, const CalendarDetails& d) {
  const CalendarOccurrence& first = d.occurrences.front();
  if (!d.rule) {
    Add(items, "StartDateTime", first.start);
    Add(items, "EndDateTime", first.end);
    Add(items, "CalendarDateTime", first.start);
    Add(items, "StartDate", DayOf(first.start));
    Add(items, "EndDate", d.all_day ? LastDayOf(first) : DayOf(first.end));
  } else {
    notes::DateTimeList starts, ends, days, last_days, originals;
    for (const CalendarOccurrence& o : d.occurrences) {
      starts.push_back(o.start);
      ends.push_back(o.end);
      days.push_back(DayOf(o.start));
      last_days.push_back(d.all_day ? LastDayOf(o) : DayOf(o.end));
      originals.push_back(o.original_start.isValid() ? o.original_start : o.start);
    }
    Add(items, "StartDateTime", starts);
    Add(items, "EndDateTime", ends);
    Add(items, "CalendarDateTime", starts);
    Add(items, "StartDate", days);
    Add(items, "EndDate", last_days);
    Add(items, "RepeatInstanceDates", originals);
  }
  Add(items, "StartTime", first.start.time());
  Add(items, "EndTime", first.end.time());
  Add(items, "$NoPurge", d.occurrences.back().end);
}

// The repeat items of a series D (D has a rule and at least one occurrence).
void AddRepeatRule(CalendarItemList& items, const CalendarDetails& d) {
  const RepeatRule& r = *d.rule;
  const CalendarOccurrence& first = d.occurrences.front();
  const CalendarOccurrence& last = d.occurrences.back();
  Add(items, "Repeats", std::string("1"));
  Add(items, "OrgRepeat", std::string("1"));
  Add(items, "RepeatUnit", std::string(UnitText(r.unit)));
  Add(items, "RepeatInterval", std::to_string(r.unit == RepeatRule::Unit::Custom ? 1 : r.interval));
  const notes::TextList adjust = AdjustOf(r);
  if (!adjust.empty()) Add(items, "RepeatAdjust", adjust);
  Add(items, "RepeatHow", std::string("U"));
  Add(items, "RepeatUntil", DayOf(last.start));
  const auto [span, unit] = SpanOf(r, first.start.date(), last.start.date());
  Add(items, "RepeatFor", span);
  Add(items, "RepeatForUnit", unit);
  Add(items, "RepeatWeekends", std::string("D"));
  Add(items, "RepeatStartDate", first.start);
  notes::DateTimeList starts;
  for (const CalendarOccurrence& o : d.occurrences) starts.push_back(o.start);
  Add(items, "RepeatDates", starts);
}

// The alarm and free-time items of D.
void AddAlarmAndBusy(CalendarItemList& items, const CalendarDetails& d) {
  if (d.reminder_minutes) {
    Add(items, "$Alarm", 1.0);
    Add(items, "$AlarmOffset", static_cast<double>(-*d.reminder_minutes));
    Add(items, "$AlarmDescription", d.subject);
    Add(items, "Alarms", std::string("1"));
  } else {
    Add(items, "Alarms", std::string());
  }
  // Only free time is pencilled in; tentative, away and elsewhere keep the
  // time busy, as Outlook's free/busy shows them as taken.
  const bool free = d.busy == BusyStatus::Free;
  Add(items, "BookFreeTime", std::string(free ? "1" : ""));
  Add(items, "$BusyPriority", std::string(free ? "2" : "1"));
}

// The organiser, attendee and resource items of D, each only when D has
// someone for it.
void AddPeople(CalendarItemList& items, const CalendarDetails& d) {
  if (!d.organiser.name.empty() || !d.organiser.address.empty()) {
    Add(items, "From", d.organiser.name.empty() ? d.organiser.address : d.organiser.name);
    if (!d.organiser.address.empty()) Add(items, "INetFrom", d.organiser.address);
  }
  if (!d.required.empty()) {
    NameLists l = ListsOf(d.required);
    Add(items, "RequiredAttendees", std::move(l.names));
    Add(items, "INetRequiredNames", std::move(l.inet));
    Add(items, "AltRequiredNames", std::move(l.alt));
  }
  if (!d.optional.empty()) {
    NameLists l = ListsOf(d.optional);
    Add(items, "OptionalAttendees", std::move(l.names));
    Add(items, "INetOptionalNames", std::move(l.inet));
    Add(items, "AltOptionalNames", std::move(l.alt));
  }
  if (!d.resources.empty()) Add(items, "Resources", ListsOf(d.resources).names);
}

}  // namespace

CalendarItemList CalendarItems(const CalendarDetails& d) {
  CalendarItemList items;
  Add(items, "AppointmentType", std::string(d.all_day ? kAllDayEvent : kAppointment));
  Add(items, "$CSVersion", std::string("2"));
  Add(items, "_ViewIcon", d.all_day ? kEventIcon : kAppointmentIcon);
  if (!d.occurrences.empty()) {
    AddTimes(items, d);
    if (d.rule) AddRepeatRule(items, d);
  }
  AddAlarmAndBusy(items, d);
  AddPeople(items, d);
  if (d.zone) {
    const std::string zone = NotesTimeZoneText(*d.zone);
    for (const char* name : {"$StartTimeZone", "$EndTimeZone", "StartTimeZone", "EndTimeZone"}) Add(items, name, zone);
  }
  return items;
}

}  // namespace norvexa::writers
