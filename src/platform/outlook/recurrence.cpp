// Reading an appointment's recurrence pattern and listing its occurrences.
#include "platform/outlook/recurrence.h"

#include "platform/outlook/blob_reader.h"
#include "platform/outlook/text_codec.h"

#include <QCalendar>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace norvexa::outlook {
namespace {

constexpr std::uint32_t kMinutesPerDay = 24 * 60;
constexpr std::uint16_t kReaderVersion = 0x3004;
constexpr std::uint32_t kEndAfterDate = 0x2021, kEndAfterCount = 0x2022, kEndNever = 0x2023,
                        kEndNeverToo = 0xFFFFFFFF;
// From this writer version on, every ExceptionInfo has an ExtendedException
// after the first reserved block; from the next one on, that part starts
// with a change highlight.
constexpr std::uint32_t kWriterWithExtended = 0x3008;
constexpr std::uint32_t kWriterWithHighlight = 0x3009;
// The bytes an ExceptionInfo takes at the least: its three times and flags.
constexpr std::size_t kExceptionMinBytes = 14;
// Longest periods Outlook offers: every 999 days, 99 weeks, 99 months or
// 99 years. A longer one is damage.
constexpr std::uint32_t kMaxDays = 999, kMaxWeeks = 99, kMaxMonths = 99 * 12;

// Which pattern types count months, find an nth weekday, take the month's
// last day, and count Hijri months.
bool IsMonthForm(PatternType p) {
  return p == PatternType::Month || p == PatternType::MonthNth || p == PatternType::MonthEnd ||
         p == PatternType::HjMonth || p == PatternType::HjMonthNth || p == PatternType::HjMonthEnd;
}
bool IsNthForm(PatternType p) { return p == PatternType::MonthNth || p == PatternType::HjMonthNth; }
bool IsEndForm(PatternType p) { return p == PatternType::MonthEnd || p == PatternType::HjMonthEnd; }
bool IsHijri(PatternType p) {
  return p == PatternType::HjMonth || p == PatternType::HjMonthNth || p == PatternType::HjMonthEnd;
}

// Reads an 8-bit text of an ExceptionInfo: its length with the NUL, its
// length without, then the characters.
std::string ReadNarrowText(BlobReader& in, int codepage) {
  in.U16();  // the length with a terminating NUL that is not stored
  const std::uint16_t length = in.U16();
  const std::string_view bytes = in.Take(length);
  return text::FromCodepage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), codepage);
}

// Reads a UTF-16 text of an ExtendedException: its length in characters,
// then the characters.
std::string ReadWideText(BlobReader& in) {
  const std::uint16_t length = in.U16();
  const std::string_view bytes = in.Take(std::size_t{length} * 2);
  return text::FromUtf16Le(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Reads a reserved block: its size, then that many bytes.
void SkipBlock(BlobReader& in) { in.Skip(in.U32()); }

// Reads one ExceptionInfo: its times, its override flags and the value of
// each flag set, in the order of the flags' bits.
RecurrenceException ReadException(BlobReader& in, int codepage) {
  RecurrenceException e;
  e.start = in.U32();
  e.end = in.U32();
  e.original_start = in.U32();
  e.override_flags = in.U16();
  const std::uint16_t f = e.override_flags;
  if (f & ARO_SUBJECT) e.subject = ReadNarrowText(in, codepage);
  if (f & ARO_MEETINGTYPE) e.meeting_type = in.U32();
  if (f & ARO_REMINDERDELTA) e.reminder_delta = in.U32();
  if (f & ARO_REMINDER) e.reminder_set = in.U32();
  if (f & ARO_LOCATION) e.location = ReadNarrowText(in, codepage);
  if (f & ARO_BUSYSTATUS) e.busy_status = in.U32();
  if (f & ARO_ATTACHMENT) e.attachment = in.U32();
  if (f & ARO_SUBTYPE) e.sub_type = in.U32();
  if (f & ARO_APPTCOLOR) e.appointment_color = in.U32();
  if (e.end < e.start) in.Fail("a changed occurrence that ends before it starts");
  return e;
}

// Reads the ExtendedException of E, replacing its 8-bit texts with the wide
// ones.
void ReadExtendedException(BlobReader& in, std::uint32_t writer_version2, RecurrenceException& e) {
  if (writer_version2 >= kWriterWithHighlight) SkipBlock(in);  // the change highlight: size, value, reserved
  SkipBlock(in);
  if (!(e.override_flags & (ARO_SUBJECT | ARO_LOCATION))) return;
  in.U32();  // start, end and original start again
  in.U32();
  in.U32();
  if (e.override_flags & ARO_SUBJECT) e.subject = ReadWideText(in);
  if (e.override_flags & ARO_LOCATION) e.location = ReadWideText(in);
  SkipBlock(in);
}

// Checks the values of R that the expansion relies on.
void Check(const BlobReader& in, const Recurrence& r) {
  const PatternType p = r.pattern;
  switch (r.frequency) {
    case RecurFrequency::Daily:
      if (p != PatternType::Day && p != PatternType::Week) in.Fail("a daily series with a monthly pattern");
      break;
    case RecurFrequency::Weekly:
      if (p != PatternType::Week) in.Fail("a weekly series without a weekly pattern");
      break;
    case RecurFrequency::Monthly:
    case RecurFrequency::Yearly:
      if (!IsMonthForm(p)) in.Fail("a monthly or yearly series without a monthly pattern");
      break;
  }
  const std::string period = "a period of " + std::to_string(r.period);
  if (p == PatternType::Day) {
    if (r.period == 0 || r.period % kMinutesPerDay != 0 || r.period / kMinutesPerDay > kMaxDays)
      in.Fail(period + " minutes");
  } else if (p == PatternType::Week) {
    if (r.period == 0 || r.period > kMaxWeeks) in.Fail(period + " weeks");
  } else if (r.period == 0 || r.period > kMaxMonths ||
             (r.frequency == RecurFrequency::Yearly && r.period % 12 != 0)) {
    in.Fail(period + " months");
  }
  if ((p == PatternType::Week || IsNthForm(p)) && (r.days_of_week == 0 || r.days_of_week > 0x7F))
    in.Fail("weekday set " + std::to_string(r.days_of_week));
  if (IsMonthForm(p) && !IsNthForm(p) && (r.day_of_month < 1 || r.day_of_month > 31))
    in.Fail("day " + std::to_string(r.day_of_month) + " of the month");
  if (IsNthForm(p) && (r.nth < 1 || r.nth > kLastNth)) in.Fail("week " + std::to_string(r.nth) + " of the month");
  if (r.first_day_of_week > 6) in.Fail("first day of week " + std::to_string(r.first_day_of_week));
  if (r.end_time_offset < r.start_time_offset) in.Fail("an occurrence that ends before it starts");
}

// The weekday of DATE, Sunday 0 .. Saturday 6.
int WeekdayOf(QDate date) { return date.dayOfWeek() % 7; }

// Calls SINK with each date the pattern of R makes, in order, from its
// start date on, until SINK returns false, a date falls past the last year
// a date can have, or kMaxOccurrences dates were made.
void PatternDates(const Recurrence& r, const std::function<bool(QDate)>& sink) {
  const QDate start = DateOfMinutes(r.start_date);
  std::size_t made = 0;
  const auto give = [&](QDate d) { return d.isValid() && d.year() <= 9999 && made++ < kMaxOccurrences && sink(d); };

  if (r.pattern == PatternType::Day) {
    const int step = static_cast<int>(r.period / kMinutesPerDay);
    for (QDate d = start; give(d); d = d.addDays(step)) {
    }
    return;
  }
  if (r.pattern == PatternType::Week) {
    // Weeks run from the first day of week; the start's week is the first
    // of the series, and every PERIOD-th after it.
    const QDate first_week = start.addDays(-((WeekdayOf(start) - static_cast<int>(r.first_day_of_week) + 7) % 7));
    for (QDate week = first_week;; week = week.addDays(7 * static_cast<qint64>(r.period))) {
      for (int i = 0; i < 7; ++i) {
        const QDate d = week.addDays(i);
        if (d < start || !(r.days_of_week & (1u << WeekdayOf(d)))) continue;
        if (!give(d)) return;
      }
    }
  }
  // The month forms: the start's month is the first of the series, and
  // every PERIOD-th month after it, in the Gregorian or the Hijri calendar.
  const QCalendar calendar = IsHijri(r.pattern) ? QCalendar(QCalendar::System::IslamicCivil) : QCalendar();
  const QCalendar::YearMonthDay first = calendar.partsFromDate(start);
  const int months_in_year = 12;
  for (qint64 index = static_cast<qint64>(first.year) * months_in_year + (first.month - 1);;
       index += r.period) {
    const int year = static_cast<int>(index / months_in_year);
    const int month = static_cast<int>(index % months_in_year) + 1;
    const int days = calendar.daysInMonth(month, year);
    if (days <= 0) return;
    int day = 0;
    if (IsEndForm(r.pattern)) {
      day = days;
    } else if (IsNthForm(r.pattern)) {
      // The nth of the month's days whose weekday is in the set, or the
      // last of them.
      std::vector<int> matching;
      for (int d = 1; d <= days; ++d)
        if (r.days_of_week & (1u << WeekdayOf(calendar.dateFromParts(year, month, d)))) matching.push_back(d);
      if (matching.empty()) continue;
      day = r.nth == kLastNth ? matching.back() : matching[std::min<std::size_t>(r.nth, matching.size()) - 1];
    } else {
      day = std::min(static_cast<int>(r.day_of_month), days);  // a shorter month: its last day
    }
    const QDate d = calendar.dateFromParts(year, month, day);
    if (d.isValid() && d < start) continue;
    if (!give(d)) return;
  }
}

}  // namespace

QDate DateOfMinutes(std::uint32_t minutes) { return QDate(1601, 1, 1).addDays(minutes / kMinutesPerDay); }
int MinutesInDay(std::uint32_t minutes) { return static_cast<int>(minutes % kMinutesPerDay); }

Recurrence ParseRecurrence(std::string_view blob, int codepage) {
  BlobReader in(blob, "recurrence pattern");
  Recurrence r;
  r.reader_version = in.U16();
  r.writer_version = in.U16();
  if (r.reader_version != kReaderVersion) in.Fail("reader version " + std::to_string(r.reader_version));
  const std::uint16_t frequency = in.U16();
  if (frequency < 0x200A || frequency > 0x200D) in.Fail("frequency " + std::to_string(frequency));
  r.frequency = static_cast<RecurFrequency>(frequency);
  const std::uint16_t pattern = in.U16();
  if (pattern > 0x0004 && (pattern < 0x000A || pattern > 0x000C)) in.Fail("pattern type " + std::to_string(pattern));
  r.pattern = static_cast<PatternType>(pattern);
  r.calendar_type = in.U16();
  r.first_date_time = in.U32();
  r.period = in.U32();
  r.sliding_flag = in.U32();
  if (r.pattern == PatternType::Week) {
    r.days_of_week = in.U32();
  } else if (IsNthForm(r.pattern)) {
    r.days_of_week = in.U32();
    r.nth = in.U32();
  } else if (IsMonthForm(r.pattern)) {
    r.day_of_month = in.U32();
  }
  const std::uint32_t end = in.U32();
  if (end == kEndAfterDate) {
    r.end = RecurEnd::AfterDate;
  } else if (end == kEndAfterCount) {
    r.end = RecurEnd::AfterCount;
  } else if (end == kEndNever || end == kEndNeverToo) {
    r.end = RecurEnd::Never;
  } else {
    in.Fail("end type " + std::to_string(end));
  }
  r.occurrence_count = in.U32();
  r.first_day_of_week = in.U32();
  for (std::vector<std::uint32_t>* dates : {&r.deleted_dates, &r.modified_dates}) {
    const std::uint32_t count = in.U32();
    in.NeedItems(count, 4, dates == &r.deleted_dates ? "deleted instance" : "modified instance");
    dates->reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) dates->push_back(in.U32());
  }
  r.start_date = in.U32();
  r.end_date = in.U32();

  r.reader_version2 = in.U32();
  r.writer_version2 = in.U32();
  r.start_time_offset = in.U32();
  r.end_time_offset = in.U32();
  const std::uint16_t exceptions = in.U16();
  in.NeedItems(exceptions, kExceptionMinBytes, "exception");
  r.exceptions.reserve(exceptions);
  for (std::uint16_t i = 0; i < exceptions; ++i) r.exceptions.push_back(ReadException(in, codepage));
  SkipBlock(in);
  if (r.writer_version2 >= kWriterWithExtended)
    for (RecurrenceException& e : r.exceptions) ReadExtendedException(in, r.writer_version2, e);
  // The last reserved block; some writers end the value before its size.
  if (in.left() > 0) SkipBlock(in);
  Check(in, r);
  return r;
}

namespace {

// The dates the pattern of R makes: OCCURRENCE_COUNT of them, or those up
// to LAST (invalid: none).
std::vector<QDate> SeriesDates(const Recurrence& r, QDate last) {
  std::vector<QDate> dates;
  PatternDates(r, [&](QDate d) {
    if (r.end == RecurEnd::AfterCount) {
      if (dates.size() >= r.occurrence_count) return false;
    } else if (!last.isValid() || d > last) {
      return false;
    }
    dates.push_back(d);
    return true;
  });
  return dates;
}

// The occurrence that exception E makes of the one due on ORIGINAL at
// START_OFFSET minutes into the day, in ZONE.
Occurrence FromException(const RecurrenceException& e, QDate original, const TimeZone& zone, int start_offset) {
  Occurrence o;
  o.start = zone.Instant(DateOfMinutes(e.start), MinutesInDay(e.start));
  o.end = zone.Instant(DateOfMinutes(e.end), MinutesInDay(e.end));
  o.original_start = zone.Instant(original, start_offset);
  o.modified = true;
  o.subject = e.subject;
  o.location = e.location;
  return o;
}

}  // namespace

std::vector<Occurrence> Expand(const Recurrence& r, const TimeZone& zone, QDate horizon) {
  const QDate last = r.end == RecurEnd::AfterDate ? DateOfMinutes(r.end_date)
                     : r.end == RecurEnd::Never   ? horizon
                                                  : QDate();
  const std::vector<QDate> dates = SeriesDates(r, last);

  std::set<QDate> deleted;
  for (std::uint32_t m : r.deleted_dates) deleted.insert(DateOfMinutes(m));
  std::map<QDate, const RecurrenceException*> changed;
  for (const RecurrenceException& e : r.exceptions) changed.emplace(DateOfMinutes(e.original_start), &e);

  const int start_offset = static_cast<int>(r.start_time_offset);
  const int end_offset = static_cast<int>(r.end_time_offset);

  std::vector<Occurrence> out;
  out.reserve(dates.size());
  for (const QDate d : dates) {
    const auto c = changed.find(d);
    if (c != changed.end()) {
      out.push_back(FromException(*c->second, d, zone, start_offset));
      changed.erase(c);
      continue;
    }
    if (deleted.count(d)) continue;
    Occurrence o;
    o.start = zone.Instant(d, start_offset);
    o.end = zone.Instant(d, end_offset);
    o.original_start = o.start;
    out.push_back(std::move(o));
  }
  // A changed occurrence the pattern does not make (its original date moved
  // by an edit of the series) is still one of the series while it falls
  // between the series' start and its last date.
  const QDate first = DateOfMinutes(r.start_date);
  const QDate bound = r.end == RecurEnd::AfterCount ? (dates.empty() ? QDate() : dates.back()) : last;
  for (const auto& [original, e] : changed) {
    if (out.size() >= kMaxOccurrences) break;
    if (original >= first && bound.isValid() && original <= bound) {
      out.push_back(FromException(*e, original, zone, start_offset));
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) {
    return a.start.toSecsSinceEpoch() < b.start.toSecsSinceEpoch();
  });
  return out;
}

}  // namespace norvexa::outlook
