// Writing recurrence patterns and time-zone rules in Outlook's layouts.
#include "recurrence_blob.h"

#include "codepage.h"
#include "ndb_writer.h"

#include <QCalendar>
#include <QString>

#include <algorithm>
#include <map>

namespace norvexa::pstgen {
namespace {

constexpr std::uint32_t kDay = 1440;
// EndDate of a series without end: 31 December 4500, as Outlook writes it.
constexpr std::uint32_t kNoEndDate = 0x5AE980DF;
// How far a pattern is searched for its dates: a hundred years of days.
constexpr int kSearchDays = 36525;

struct Form {
  std::uint16_t frequency;
  std::uint16_t pattern_type;
  bool months;  // the month forms
  bool yearly;
  bool hijri;
  char day_rule;  // 'd' day of month, 'e' month end, 'n' nth weekday
};

// The layout values of each pattern name; throws for an unknown name.
Form FormOf(const std::string& name) {
  static const std::map<std::string, Form> forms = {
      {"daily", {0x200A, 0x0000, false, false, false, 0}},
      {"weekdays", {0x200A, 0x0001, false, false, false, 0}},
      {"weekly", {0x200B, 0x0001, false, false, false, 0}},
      {"monthly", {0x200C, 0x0002, true, false, false, 'd'}},
      {"month_end", {0x200C, 0x0004, true, false, false, 'e'}},
      {"month_nth", {0x200C, 0x0003, true, false, false, 'n'}},
      {"yearly", {0x200D, 0x0002, true, true, false, 'd'}},
      {"yearly_nth", {0x200D, 0x0003, true, true, false, 'n'}},
      {"hijri_monthly", {0x200C, 0x000A, true, false, true, 'd'}},
      {"hijri_month_end", {0x200C, 0x000C, true, false, true, 'e'}},
      {"hijri_month_nth", {0x200C, 0x000B, true, false, true, 'n'}},
  };
  const auto it = forms.find(name);
  if (it == forms.end()) throw PstWriteError("unknown recurrence pattern \"" + name + "\"");
  return it->second;
}

// The weekday of D, Sunday 0 .. Saturday 6.
int Weekday(QDate d) { return d.dayOfWeek() % 7; }

// The weekday bits of SERIES: Monday to Friday for "weekdays".
std::uint32_t DaysMask(const RecurringSeries& series) {
  return series.pattern == "weekdays" ? 0x3Eu : series.days;
}

// The first day of the week holding D, weeks starting on FIRST_DOW.
QDate WeekStart(QDate d, int first_dow) { return d.addDays(-((Weekday(d) - first_dow + 7) % 7)); }

// True when D is a date of the pattern of SERIES, whose series is anchored at
// the first occurrence's start date. Each rule is tested on D alone.
bool Matches(const RecurringSeries& series, const Form& form, QDate d) {
  const QDate anchor = series.start.date;
  if (d < anchor) return false;
  if (series.pattern == "daily") return anchor.daysTo(d) % series.period == 0;
  if (!form.months) {
    if (!(DaysMask(series) & (1u << Weekday(d)))) return false;
    const qint64 weeks = WeekStart(anchor, series.first_day_of_week).daysTo(WeekStart(d, series.first_day_of_week)) / 7;
    return weeks % series.period == 0;
  }
  const QCalendar cal = form.hijri ? QCalendar(QCalendar::System::IslamicCivil) : QCalendar();
  const QCalendar::YearMonthDay a = cal.partsFromDate(anchor), p = cal.partsFromDate(d);
  const int first_month = form.yearly && series.month ? series.month : a.month;
  const int step = form.yearly ? 12 * series.period : series.period;
  const int months = (p.year - a.year) * 12 + (p.month - first_month);
  if (months < 0 || months % step != 0) return false;
  const int days = cal.daysInMonth(p.month, p.year);
  if (form.day_rule == 'e') return p.day == days;
  if (form.day_rule == 'd') return p.day == std::min(series.day_of_month ? series.day_of_month : a.day, days);
  // The nth weekday of the set: count the set's days of the month up to D.
  const std::uint32_t mask = DaysMask(series);
  if (!(mask & (1u << Weekday(d)))) return false;
  int before = 0, after = 0;
  for (int day = 1; day <= days; ++day) {
    if (!(mask & (1u << Weekday(cal.dateFromParts(p.year, p.month, day))))) continue;
    if (day < p.day) ++before;
    if (day > p.day) ++after;
  }
  return series.nth == 5 ? after == 0 : before + 1 == series.nth;
}

// Appends T as a SYSTEMTIME of the yearly form.
void PutSystemTime(Bytes& b, const ZoneChange& t) {
  Append16(b, 0);  // year: the yearly form
  Append16(b, static_cast<std::uint16_t>(t.month));
  Append16(b, static_cast<std::uint16_t>(t.day_of_week));
  Append16(b, static_cast<std::uint16_t>(t.week));
  Append16(b, static_cast<std::uint16_t>(t.hour));
  Append16(b, static_cast<std::uint16_t>(t.minute));
  Append16(b, 0);
  Append16(b, 0);
}

// Appends the bias, standard bias and daylight bias of R.
void PutBiases(Bytes& b, const ZoneRule& r) {
  Append32(b, static_cast<std::uint32_t>(r.bias));
  Append32(b, static_cast<std::uint32_t>(r.standard_bias));
  Append32(b, static_cast<std::uint32_t>(r.daylight_bias));
}

// The index of the rule of ZONE in force in YEAR.
std::size_t RuleIndex(const ZoneRules& zone, int year) {
  if (zone.rules.empty()) throw PstWriteError("time zone \"" + zone.key_name + "\" has no rule");
  std::size_t index = 0;
  for (std::size_t i = 0; i < zone.rules.size(); ++i)
    if (zone.rules[i].year <= year) index = i;
  return index;
}

// An 8-bit text of an ExceptionInfo: length with NUL, length, bytes.
void PutNarrow(Bytes& b, const std::string& text, const Codepage& cp) {
  const Bytes bytes = cp.Encode(text);
  Append16(b, static_cast<std::uint16_t>(bytes.size() + 1));
  Append16(b, static_cast<std::uint16_t>(bytes.size()));
  b.insert(b.end(), bytes.begin(), bytes.end());
}

// A UTF-16 text of an ExtendedException: length in characters, then them.
void PutWide(Bytes& b, const std::string& text) {
  const Bytes bytes = Utf16(text);
  Append16(b, static_cast<std::uint16_t>(bytes.size() / 2));
  b.insert(b.end(), bytes.begin(), bytes.end());
}

// Minutes since 1601 of midnight of D.
std::uint32_t DateMinutes(QDate d) { return MinutesSince1601(LocalTime{d, 0}); }

// The period of a pattern in its own unit (minutes for daily ones, weeks
// for weekly ones, months for the month and year forms) and FirstDateTime:
// where in that cycle the series starts, counted from 1601.
struct Cycle {
  std::uint32_t period = 0;
  std::uint32_t first_date_time = 0;
};

// The cycle of SERIES of FORM whose first date is FIRST.
Cycle CycleOf(const RecurringSeries& series, const Form& form, QDate first) {
  Cycle c;
  c.period = static_cast<std::uint32_t>(series.period);
  if (series.pattern == "daily") {
    c.period *= kDay;
    c.first_date_time = DateMinutes(first) % c.period;
  } else if (!form.months) {
    c.first_date_time = DateMinutes(WeekStart(first, series.first_day_of_week)) % (c.period * 7 * kDay);
  } else {
    if (form.yearly) c.period *= 12;
    const QCalendar::YearMonthDay p = QCalendar().partsFromDate(first);
    const int month_index = ((p.year - 1601) * 12 + p.month - 1) % static_cast<int>(c.period);
    c.first_date_time = DateMinutes(QDate(1601 + month_index / 12, month_index % 12 + 1, 1));
  }
  return c;
}

// Appends the PatternTypeSpecific field of SERIES of FORM: the weekdays
// of weekly forms, the weekdays and their number of the nth forms, the
// day of the month forms (31 for the month's end); nothing for daily ones.
void PutPatternTypeSpecific(Bytes& b, const RecurringSeries& series, const Form& form) {
  if (form.pattern_type == 0x0001) {
    Append32(b, DaysMask(series));
  } else if (form.day_rule == 'n') {
    Append32(b, series.days);
    Append32(b, static_cast<std::uint32_t>(series.nth));
  } else if (form.months) {
    const int day = form.day_rule == 'e' ? 31
                    : series.day_of_month ? series.day_of_month
                                        : (form.hijri ? QCalendar(QCalendar::System::IslamicCivil) : QCalendar())
                                              .partsFromDate(series.start.date)
                                              .day;
    Append32(b, static_cast<std::uint32_t>(day));
  }
}

// Appends DeletedInstanceDates (deleted occurrences and the original dates
// of changed ones) and ModifiedInstanceDates (the changed ones' new dates),
// each a count and ascending dates.
void PutInstanceDates(Bytes& b, const RecurringSeries& series) {
  std::vector<std::uint32_t> deleted, modified;
  for (const QDate& d : series.deleted) deleted.push_back(DateMinutes(d));
  for (const ModifiedOccurrence& m : series.modified) {
    deleted.push_back(DateMinutes(m.original_date));
    modified.push_back(DateMinutes(m.start.date));
  }
  std::sort(deleted.begin(), deleted.end());
  std::sort(modified.begin(), modified.end());
  for (const std::vector<std::uint32_t>* list : {&deleted, &modified}) {
    Append32(b, static_cast<std::uint32_t>(list->size()));
    for (std::uint32_t v : *list) Append32(b, v);
  }
}

// The OverrideFlags of change M: which texts it overrides.
std::uint16_t OverrideFlags(const ModifiedOccurrence& m) {
  return static_cast<std::uint16_t>((m.subject ? 0x0001 : 0) | (m.location ? 0x0010 : 0));
}

// Appends the new start, new end and original start of change M of SERIES,
// as an ExceptionInfo and an ExtendedException both begin.
void PutChangeTimes(Bytes& b, const RecurringSeries& series, const ModifiedOccurrence& m) {
  Append32(b, MinutesSince1601(m.start));
  Append32(b, MinutesSince1601(m.end));
  Append32(b, MinutesSince1601(LocalTime{m.original_date, series.start.minutes}));
}

// Appends the changed occurrences of SERIES, by their new start: the count
// and an ExceptionInfo each (8-bit texts in CP), then, after the reserved
// block, an ExtendedException each (the texts in UTF-16, and a change
// highlight from writer version 0x3009 on).
void PutExceptions(Bytes& b, const RecurringSeries& series, const Codepage& cp) {
  std::vector<ModifiedOccurrence> changes = series.modified;
  std::sort(changes.begin(), changes.end(), [](const ModifiedOccurrence& x, const ModifiedOccurrence& y) {
    return MinutesSince1601(x.start) < MinutesSince1601(y.start);
  });
  Append16(b, static_cast<std::uint16_t>(changes.size()));
  for (const ModifiedOccurrence& m : changes) {
    PutChangeTimes(b, series, m);
    Append16(b, OverrideFlags(m));
    if (m.subject) PutNarrow(b, *m.subject, cp);
    if (m.location) PutNarrow(b, *m.location, cp);
  }
  Append32(b, 0);  // reserved block 1
  for (const ModifiedOccurrence& m : changes) {
    if (series.writer_version2 >= 0x3009) {
      Append32(b, 4);  // change highlight: its size, then the value
      Append32(b, 0);
    }
    Append32(b, 0);  // reserved block EE1
    if (!OverrideFlags(m)) continue;
    PutChangeTimes(b, series, m);
    if (m.subject) PutWide(b, *m.subject);
    if (m.location) PutWide(b, *m.location);
    Append32(b, 0);  // reserved block EE2
  }
  Append32(b, 0);  // reserved block 2
}

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

}  // namespace

std::uint32_t MinutesSince1601(const LocalTime& local) {
  return static_cast<std::uint32_t>(QDate(1601, 1, 1).daysTo(local.date) * kDay + local.minutes);
}

std::optional<ZoneRules> TimeZonePreset(const std::string& name) {
  // Changes: {month, weekday, week, hour, minute}.
  if (name == "W. Europe")
    return ZoneRules{"W. Europe Standard Time", "(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna",
                        {{0, -60, 0, -60, {10, 0, 5, 3, 0}, {3, 0, 5, 2, 0}}}};
  if (name == "Eastern")
    // Before 2007 the United States changed in April and October.
    return ZoneRules{"Eastern Standard Time", "(UTC-05:00) Eastern Time (US & Canada)",
                        {{0, 300, 0, -60, {10, 0, 5, 2, 0}, {4, 0, 1, 2, 0}},
                         {2007, 300, 0, -60, {11, 0, 1, 2, 0}, {3, 0, 2, 2, 0}}}};
  if (name == "Tokyo")
    return ZoneRules{"Tokyo Standard Time", "(UTC+09:00) Osaka, Sapporo, Tokyo", {{0, -540, 0, 0, {}, {}}}};
  if (name == "AUS Eastern")
    return ZoneRules{"AUS Eastern Standard Time", "(UTC+10:00) Canberra, Melbourne, Sydney",
                        {{0, -600, 0, -60, {4, 0, 1, 3, 0}, {10, 0, 1, 2, 0}}}};
  if (name == "UTC") return ZoneRules{"UTC", "(UTC) Coordinated Universal Time", {{0, 0, 0, 0, {}, {}}}};
  return std::nullopt;
}

std::vector<QDate> SeriesDates(const RecurringSeries& series, std::size_t limit) {
  const Form form = FormOf(series.pattern);
  if (series.period < 1) throw PstWriteError("a recurrence period must be at least 1");
  if ((series.pattern == "weekly" || form.day_rule == 'n') && (series.days == 0 || series.days > 0x7F))
    throw PstWriteError("a weekly or nth recurrence needs its days");
  if (form.day_rule == 'n' && (series.nth < 1 || series.nth > 5)) throw PstWriteError("nth must be 1..4 or last");
  std::vector<QDate> dates;
  QDate d = series.start.date;
  for (int i = 0; i < kSearchDays && dates.size() < limit; ++i, d = d.addDays(1)) {
    if (series.end == "date" && d > series.end_date) break;
    if (series.end == "count" && dates.size() >= static_cast<std::size_t>(series.count)) break;
    if (Matches(series, form, d)) {
      dates.push_back(d);
      i = 0;  // a hundred years from the last date found
    }
  }
  if (dates.empty()) throw PstWriteError("the recurrence makes no date");
  return dates;
}

Bytes RecurrenceBlob(const RecurringSeries& series, int codepage) {
  const Form form = FormOf(series.pattern);
  if (series.end == "count" && series.count < 1) throw PstWriteError("a recurrence ending after a count needs one");
  const std::vector<QDate> dates = SeriesDates(series, series.end == "never" ? 1 : 100000);
  const Codepage cp(codepage);
  const Cycle cycle = CycleOf(series, form, dates.front());
  Bytes b;
  Append16(b, 0x3004);  // reader version
  Append16(b, 0x3004);  // writer version
  Append16(b, form.frequency);
  Append16(b, form.pattern_type);
  Append16(b, form.hijri ? 6 : 0);  // calendar type: Hijri, else the default
  Append32(b, cycle.first_date_time);
  Append32(b, cycle.period);
  Append32(b, 0);  // sliding flag: appointments never slide
  PutPatternTypeSpecific(b, series, form);
  Append32(b, series.end == "date" ? 0x2021u : series.end == "count" ? 0x2022u : 0x2023u);
  Append32(b, series.end == "never" ? 10u : static_cast<std::uint32_t>(dates.size()));
  Append32(b, static_cast<std::uint32_t>(series.first_day_of_week));
  PutInstanceDates(b, series);
  Append32(b, DateMinutes(dates.front()));
  Append32(b, series.end == "never" ? kNoEndDate : DateMinutes(dates.back()));
  Append32(b, 0x3006);  // reader version 2
  Append32(b, series.writer_version2);
  Append32(b, static_cast<std::uint32_t>(series.start.minutes));
  Append32(b, static_cast<std::uint32_t>(series.start.minutes + series.duration_minutes));
  PutExceptions(b, series, cp);
  return b;
}

Bytes TimeZoneStructBlob(const ZoneRules& zone, int year) {
  const ZoneRule& r = zone.rules[RuleIndex(zone, year)];
  Bytes b;
  PutBiases(b, r);
  Append16(b, 0);
  PutSystemTime(b, r.standard);
  Append16(b, 0);
  PutSystemTime(b, r.daylight);
  return b;
}

Bytes TimeZoneDefinitionBlob(const ZoneRules& zone, int year) {
  const std::size_t current = RuleIndex(zone, year);
  const Bytes key = Utf16(zone.key_name);
  Bytes b;
  b.push_back(2);  // major version
  b.push_back(1);  // minor version
  Append16(b, static_cast<std::uint16_t>(6 + key.size()));  // the header after this field
  Append16(b, 0x0002);  // reserved
  Append16(b, static_cast<std::uint16_t>(key.size() / 2));
  b.insert(b.end(), key.begin(), key.end());
  Append16(b, static_cast<std::uint16_t>(zone.rules.size()));
  for (std::size_t i = 0; i < zone.rules.size(); ++i) {
    const ZoneRule& r = zone.rules[i];
    b.push_back(2);
    b.push_back(1);
    Append16(b, 0x003E);  // reserved
    // The rule of the series' year is both the one in effect and the one
    // the recurrence uses.
    Append16(b, i == current ? 0x0003 : 0x0000);
    Append16(b, static_cast<std::uint16_t>(r.year));
    b.insert(b.end(), 14, 0);
    PutBiases(b, r);
    PutSystemTime(b, r.standard);
    PutSystemTime(b, r.daylight);
  }
  return b;
}

int RecurrenceTypeValue(const RecurringSeries& series) {
  const Form form = FormOf(series.pattern);
  switch (form.frequency) {
    case 0x200A: return 1;
    case 0x200B: return 2;
    case 0x200C: return 3;
    default: return 4;
  }
}

std::string RecurrencePatternText(const RecurringSeries& series) {
  const Form form = FormOf(series.pattern);
  std::string text = "every " + std::to_string(series.period) + " ";
  if (series.pattern == "daily") {
    text += "day(s)";
  } else if (series.pattern == "weekdays") {
    text = "every weekday";
  } else if (!form.months) {
    text += "week(s) on";
    for (int d = 0; d < 7; ++d)
      if (series.days & (1u << d)) text += std::string(" ") + kDayNames[d];
  } else {
    text += form.yearly ? "year(s)" : "month(s)";
    if (form.day_rule == 'e') text += " on the last day";
    if (form.day_rule == 'n') text += " on week " + std::to_string(series.nth) + " of the month";
    if (form.day_rule == 'd' && series.day_of_month) text += " on day " + std::to_string(series.day_of_month);
  }
  const auto clock = [](int minutes) {
    return QString::asprintf("%02d:%02d", minutes / 60 % 24, minutes % 60).toStdString();
  };
  text += " from " + clock(series.start.minutes) + " to " + clock(series.start.minutes + series.duration_minutes);
  text += " effective " + series.start.date.toString(Qt::ISODate).toStdString();
  if (series.end == "date") text += " until " + series.end_date.toString(Qt::ISODate).toStdString();
  if (series.end == "count") text += " for " + std::to_string(series.count) + " occurrence(s)";
  return text;
}

}  // namespace norvexa::pstgen
