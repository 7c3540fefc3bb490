// Reading the time-zone values of appointments and turning wall-clock times
// into instants with their rules.
#include "platform/outlook/time_zone.h"

#include "platform/outlook/blob_reader.h"
#include "platform/outlook/text_codec.h"

#include <QTimeZone>

#include <algorithm>
#include <cstdlib>

namespace norvexa::outlook {
namespace {

constexpr int kMinutesPerDay = 24 * 60;
// No zone is further than 14 hours from UTC.
constexpr int kMaxOffsetMinutes = 14 * 60;
// The bytes of one TZRULE and the most rules a definition is read with: a
// zone changes its rules a few times a century, never thousands of times.
constexpr std::size_t kRuleBytes = 66;
constexpr std::uint16_t kMaxRules = 1024;

// Reads a SYSTEMTIME and checks that it can be a change of time.
TransitionDate ReadSystemTime(BlobReader& in) {
  TransitionDate t;
  t.year = in.U16();
  t.month = in.U16();
  t.day_of_week = in.U16();
  t.day = in.U16();
  t.hour = in.U16();
  t.minute = in.U16();
  t.second = in.U16();
  in.U16();  // milliseconds
  if (t.month > 12) in.Fail("a change of time in month " + std::to_string(t.month));
  if (t.month == 0) return t;  // no change: the other fields mean nothing
  if (t.day_of_week > 6) in.Fail("a change of time on weekday " + std::to_string(t.day_of_week));
  if (t.year == 0 ? (t.day < 1 || t.day > 5) : !QDate(t.year, t.month, t.day).isValid())
    in.Fail("a change of time on day " + std::to_string(t.day));
  if (t.hour > 23 || t.minute > 59 || t.second > 59) in.Fail("a change of time at an hour no day has");
  return t;
}

// Throws unless the offsets of R from UTC, standard and daylight, are
// within 14 hours.
void CheckOffsets(const BlobReader& in, const TimeZoneRule& r) {
  const auto far = [](int minutes) { return std::abs(minutes) > kMaxOffsetMinutes; };
  if (far(r.bias) || std::abs(r.standard_bias) > kMinutesPerDay || std::abs(r.daylight_bias) > kMinutesPerDay ||
      far(r.bias + r.standard_bias) || (r.HasDaylight() && far(r.bias + r.daylight_bias)))
    in.Fail("an offset from UTC beyond 14 hours");
}

// Minutes since an arbitrary fixed day, for comparing wall-clock times.
std::int64_t Minutes(QDate date, int minutes) { return date.toJulianDay() * kMinutesPerDay + minutes; }

}  // namespace

QDate TransitionDay(const TransitionDate& change, int year, int* minutes) {
  *minutes = change.hour * 60 + change.minute;
  if (change.month == 0) return {};
  if (change.year != 0) return change.year == year ? QDate(year, change.month, change.day) : QDate();
  const QDate first(year, change.month, 1);
  if (!first.isValid()) return {};
  const int first_dow = first.dayOfWeek() % 7;  // Qt: Monday 1 .. Sunday 7; here Sunday 0
  int day = 1 + (change.day_of_week - first_dow + 7) % 7 + 7 * (change.day - 1);
  while (day > first.daysInMonth()) day -= 7;  // 5: the last such weekday
  return QDate(year, change.month, day);
}

const TimeZoneRule& TimeZone::RuleFor(int year) const {
  const TimeZoneRule* rule = &rules.front();
  for (const TimeZoneRule& r : rules)
    if (r.year <= year) rule = &r;
  return *rule;
}

int TimeZone::OffsetAt(QDate date, int minutes) const {
  if (rules.empty() || !date.isValid()) return 0;
  date = date.addDays(minutes / kMinutesPerDay);
  minutes %= kMinutesPerDay;
  if (minutes < 0) {
    minutes += kMinutesPerDay;
    date = date.addDays(-1);
  }
  const TimeZoneRule& r = RuleFor(date.year());
  const int standard = -(r.bias + r.standard_bias) * 60;
  if (!r.HasDaylight()) return standard;
  int start_minutes = 0, end_minutes = 0;
  const QDate start_day = TransitionDay(r.daylight_date, date.year(), &start_minutes);
  const QDate end_day = TransitionDay(r.standard_date, date.year(), &end_minutes);
  if (!start_day.isValid() || !end_day.isValid()) return standard;
  // Daylight time begins at the first wall-clock time after the skipped
  // span, and ends at the second passing of the repeated one.
  const std::int64_t start = Minutes(start_day, start_minutes) + (r.standard_bias - r.daylight_bias);
  const std::int64_t end = Minutes(end_day, end_minutes);
  const std::int64_t t = Minutes(date, minutes);
  const bool daylight = start < end ? (t >= start && t < end) : (t >= start || t < end);
  return daylight ? -(r.bias + r.daylight_bias) * 60 : standard;
}

QDateTime TimeZone::Instant(QDate date, int minutes) const {
  if (!date.isValid()) return {};
  const int offset = OffsetAt(date, minutes);
  QDate day = date.addDays(minutes / kMinutesPerDay);
  int in_day = minutes % kMinutesPerDay;
  if (in_day < 0) {
    in_day += kMinutesPerDay;
    day = day.addDays(-1);
  }
  return QDateTime(day, QTime(in_day / 60, in_day % 60), QTimeZone(offset));
}

TimeZone ParseTimeZoneStruct(std::string_view bytes) {
  BlobReader in(bytes, "time zone (PidLidTimeZoneStruct)");
  TimeZoneRule r;
  r.bias = in.I32();
  r.standard_bias = in.I32();
  r.daylight_bias = in.I32();
  in.U16();  // wStandardYear, the same as the year in stStandardDate
  r.standard_date = ReadSystemTime(in);
  in.U16();  // wDaylightYear
  r.daylight_date = ReadSystemTime(in);
  CheckOffsets(in, r);
  TimeZone zone;
  zone.rules.push_back(r);
  return zone;
}

TimeZone ParseTimeZoneDefinition(std::string_view bytes) {
  BlobReader in(bytes, "time zone definition");
  const std::uint8_t major = in.U8();
  in.U8();  // minor version: later ones only add to the header
  if (major != 2) in.Fail("version " + std::to_string(major) + " instead of 2");
  const std::uint16_t header_size = in.U16();
  const std::size_t rules_at = in.offset() + header_size;
  in.U16();  // reserved
  const std::uint16_t key_chars = in.U16();
  const std::string_view key = in.Take(std::size_t{key_chars} * 2);
  const std::uint16_t count = in.U16();
  if (rules_at < in.offset()) in.Fail("a header of " + std::to_string(header_size) + " bytes that its key name overruns");
  in.Seek(rules_at);
  if (count == 0) in.Fail("no rule");
  if (count > kMaxRules) in.Fail(std::to_string(count) + " rules");
  in.NeedItems(count, kRuleBytes, "rule");

  TimeZone zone;
  zone.key_name = text::FromUtf16Le(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
  zone.rules.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    in.U8();   // major version of the rule
    in.U8();   // minor version
    in.U16();  // reserved
    in.U16();  // flags: which rule the registry holds now
    TimeZoneRule r;
    r.year = in.U16();
    in.Skip(14);  // unused
    r.bias = in.I32();
    r.standard_bias = in.I32();
    r.daylight_bias = in.I32();
    r.standard_date = ReadSystemTime(in);
    r.daylight_date = ReadSystemTime(in);
    CheckOffsets(in, r);
    zone.rules.push_back(r);
  }
  std::stable_sort(zone.rules.begin(), zone.rules.end(),
                   [](const TimeZoneRule& a, const TimeZoneRule& b) { return a.year < b.year; });
  return zone;
}

}  // namespace norvexa::outlook
