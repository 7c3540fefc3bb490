// Damaged recurrence patterns and time-zone values: cut short, with counts
// past their end, with periods and days no series has, or with bytes
// changed at random, each gives an OutlookError or a bounded list of
// occurrences, never a crash, an endless loop or an allocation without
// bound.
#include "platform/outlook/recurrence.h"
#include "platform/outlook/time_zone.h"
#include "recurrence_blob.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace norvexa::outlook {
namespace {

std::string AsString(const pstgen::Bytes& b) { return std::string(b.begin(), b.end()); }

// A weekly series with a deleted and a changed occurrence: every part of
// the layout is there.
std::string FullPattern() {
  pstgen::RecurringSeries s;
  s.pattern = "weekly";
  s.days = 0x02 | 0x08;
  s.start = pstgen::LocalTime{QDate(2024, 1, 1), 9 * 60};
  s.duration_minutes = 60;
  s.end = "count";
  s.count = 10;
  s.deleted = {QDate(2024, 1, 3)};
  pstgen::ModifiedOccurrence m;
  m.original_date = QDate(2024, 1, 8);
  m.start = pstgen::LocalTime{QDate(2024, 1, 9), 10 * 60};
  m.end = pstgen::LocalTime{QDate(2024, 1, 9), 11 * 60};
  m.subject = "Moved";
  m.location = "Elsewhere";
  s.modified = {m};
  return AsString(pstgen::RecurrenceBlob(s, 1252));
}

// Offsets of the RecurrencePattern's fields in a weekly pattern.
constexpr std::size_t kFrequencyAt = 4, kPatternTypeAt = 6, kPeriodAt = 14, kDaysAt = 22, kEndTypeAt = 26,
                      kFirstDowAt = 34, kDeletedCountAt = 38;

std::string WithU32(std::string blob, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) blob[at + i] = static_cast<char>(value >> (8 * i));
  return blob;
}
std::string WithU16(std::string blob, std::size_t at, std::uint16_t value) {
  blob[at] = static_cast<char>(value);
  blob[at + 1] = static_cast<char>(value >> 8);
  return blob;
}

void ExpectRefused(const std::string& blob, const char* why) {
  EXPECT_THROW(ParseRecurrence(blob), OutlookError) << why;
}

TEST(RecurrenceDamaged, EveryCutShortPatternIsRefused) {
  const std::string full = FullPattern();
  ASSERT_NO_THROW(ParseRecurrence(full));
  // Writers may end the value before the last reserved block's size.
  const std::size_t without_last_block = full.size() - 4;
  for (std::size_t size = 0; size < full.size(); ++size) {
    if (size == without_last_block) {
      EXPECT_EQ(ParseRecurrence(full.substr(0, size)).exceptions.size(), 1u);
      continue;
    }
    EXPECT_THROW(ParseRecurrence(full.substr(0, size)), OutlookError) << size << " of " << full.size() << " bytes";
  }
}

TEST(RecurrenceDamaged, CountsPastTheEndAreRefusedBeforeAnythingIsAllocated) {
  const std::string full = FullPattern();
  ExpectRefused(WithU32(full, kDeletedCountAt, 0xFFFFFFFF), "deleted count");
  ExpectRefused(WithU32(full, kDeletedCountAt, 0x40000000), "deleted count");
  // The modified count follows the deleted dates: the deleted one and the
  // changed one's original date.
  const std::size_t modified_count_at = kDeletedCountAt + 4 + 2 * 4;
  ExpectRefused(WithU32(full, modified_count_at, 0xFFFFFFF0), "modified count");
  // The exception count: after the modified dates, both dates and both
  // versions and both offsets.
  const std::size_t exception_count_at = modified_count_at + 4 + 4 + 8 + 8 + 8;
  ExpectRefused(WithU16(full, exception_count_at, 0xFFFF), "exception count");
  // The first exception's subject length, after its three times and flags.
  const std::size_t subject_length_at = exception_count_at + 2 + 12 + 2 + 2;
  ExpectRefused(WithU16(full, subject_length_at, 0xFFFF), "subject length");
  // The reserved block after the exceptions.
  ExpectRefused(WithU32(full, full.size() - 4, 0x7FFFFFFF), "last reserved block size");
}

TEST(RecurrenceDamaged, PeriodsDaysAndKindsNoSeriesHasAreRefused) {
  const std::string full = FullPattern();
  ExpectRefused(WithU16(full, 0, 0x3005), "reader version");
  ExpectRefused(WithU16(full, kFrequencyAt, 0x2009), "frequency");
  ExpectRefused(WithU16(full, kFrequencyAt, 0x200C), "monthly frequency with the weekly pattern");
  ExpectRefused(WithU16(full, kPatternTypeAt, 0x0005), "pattern type");
  ExpectRefused(WithU16(full, kPatternTypeAt, 0x0009), "pattern type");
  ExpectRefused(WithU32(full, kPeriodAt, 0), "period 0");
  ExpectRefused(WithU32(full, kPeriodAt, 100), "every 100 weeks");
  ExpectRefused(WithU32(full, kPeriodAt, 0xFFFFFFFF), "absurd period");
  ExpectRefused(WithU32(full, kDaysAt, 0), "no weekday");
  ExpectRefused(WithU32(full, kDaysAt, 0x80), "a weekday past Saturday");
  ExpectRefused(WithU32(full, kEndTypeAt, 0x2024), "end type");
  ExpectRefused(WithU32(full, kFirstDowAt, 7), "first day of week");

  // Daily periods are whole days; monthly ones a day of the month; nth ones
  // a week of the month; yearly ones whole years.
  pstgen::RecurringSeries daily;
  daily.pattern = "daily";
  daily.start = pstgen::LocalTime{QDate(2024, 1, 1), 0};
  const std::string d = AsString(pstgen::RecurrenceBlob(daily, 1252));
  ExpectRefused(WithU32(d, kPeriodAt, 1441), "a day and a minute");
  ExpectRefused(WithU32(d, kPeriodAt, 1000 * 1440), "every 1000 days");
  pstgen::RecurringSeries monthly = daily;
  monthly.pattern = "monthly";
  const std::string m = AsString(pstgen::RecurrenceBlob(monthly, 1252));
  ExpectRefused(WithU32(m, kDaysAt, 0), "day 0");
  ExpectRefused(WithU32(m, kDaysAt, 32), "day 32");
  pstgen::RecurringSeries nth = monthly;
  nth.pattern = "month_nth";
  nth.days = 0x02;
  nth.nth = 1;
  const std::string n = AsString(pstgen::RecurrenceBlob(nth, 1252));
  ExpectRefused(WithU32(n, kDaysAt + 4, 0), "week 0");
  ExpectRefused(WithU32(n, kDaysAt + 4, 6), "week 6");
  pstgen::RecurringSeries yearly = monthly;
  yearly.pattern = "yearly";
  const std::string y = AsString(pstgen::RecurrenceBlob(yearly, 1252));
  ExpectRefused(WithU32(y, kPeriodAt, 13), "every 13 months of a yearly series");
  ASSERT_NO_THROW(ParseRecurrence(WithU32(y, kPeriodAt, 24)));
}

TEST(RecurrenceDamaged, SeriesAtTheEdgeOfTimeStayBounded) {
  pstgen::RecurringSeries daily;
  daily.pattern = "daily";
  daily.start = pstgen::LocalTime{QDate(2024, 1, 1), 0};
  std::string d = AsString(pstgen::RecurrenceBlob(daily, 1252));
  // A daily pattern has no pattern-specific part: the start date follows
  // the end type, count, first day of week and the two empty lists.
  const std::size_t start_date_at = 22 + 4 + 4 + 4 + 4 + 4;
  // The last minute a pattern can name: a date in the year 9767.
  const Recurrence late = ParseRecurrence(WithU32(d, start_date_at, 0xFFFFFFFF));
  EXPECT_TRUE(Expand(late, TimeZone{}, QDate(9999, 12, 31)).size() <= kMaxOccurrences);
  // An end before the start gives nothing.
  Recurrence backwards = ParseRecurrence(d);
  backwards.end = RecurEnd::AfterDate;
  backwards.end_date = backwards.start_date - 1440;
  EXPECT_TRUE(Expand(backwards, TimeZone{}, QDate(2100, 1, 1)).empty());
  // A count beyond any series stops at the cap.
  backwards.end = RecurEnd::AfterCount;
  backwards.occurrence_count = 0xFFFFFFFF;
  EXPECT_EQ(Expand(backwards, TimeZone{}, QDate(2100, 1, 1)).size(), kMaxOccurrences);
}

TEST(RecurrenceDamaged, RandomlyChangedBytesGiveAnErrorOrABoundedSeries) {
  const std::string full = FullPattern();
  std::mt19937 random(20240501);
  int parsed = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string blob = full;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) blob[random() % blob.size()] = static_cast<char>(random());
    try {
      const Recurrence r = ParseRecurrence(blob);
      ++parsed;
      EXPECT_LE(Expand(r, TimeZone{}, QDate(2200, 1, 1)).size(), kMaxOccurrences);
    } catch (const OutlookError&) {
    }
  }
  EXPECT_GT(parsed, 0) << "changes in texts and dates leave a readable pattern";
}

std::string Definition() {
  return AsString(pstgen::TimeZoneDefinitionBlob(*pstgen::TimeZonePreset("Eastern"), 2024));
}

TEST(RecurrenceDamaged, DamagedTimeZoneValuesAreRefused) {
  const std::string def = Definition();
  ASSERT_NO_THROW(ParseTimeZoneDefinition(def));
  for (std::size_t size = 0; size < def.size(); ++size)
    EXPECT_THROW(ParseTimeZoneDefinition(def.substr(0, size)), OutlookError) << size;
  std::string bad = def;
  bad[0] = 3;
  EXPECT_THROW(ParseTimeZoneDefinition(bad), OutlookError) << "major version";
  bad = def;
  bad[2] = 2;  // a header too short for its key name
  bad[3] = 0;
  EXPECT_THROW(ParseTimeZoneDefinition(bad), OutlookError) << "header size";
  const std::size_t key_chars = static_cast<std::uint8_t>(def[6]);
  const std::size_t count_at = 8 + 2 * key_chars;
  bad = WithU16(def, count_at, 0);
  EXPECT_THROW(ParseTimeZoneDefinition(bad), OutlookError) << "no rule";
  bad = WithU16(def, count_at, 0xFFFF);
  EXPECT_THROW(ParseTimeZoneDefinition(bad), OutlookError) << "rule count";
  // The first rule's bias, past its 24 bytes of versions, flags, year and
  // unused bytes.
  const std::size_t bias_at = count_at + 2 + 22;
  EXPECT_THROW(ParseTimeZoneDefinition(WithU32(def, bias_at, 15 * 60)), OutlookError) << "bias";
  // The month of its standard change.
  EXPECT_THROW(ParseTimeZoneDefinition(WithU16(def, bias_at + 12 + 2, 13)), OutlookError) << "month";
  EXPECT_THROW(ParseTimeZoneDefinition(WithU16(def, bias_at + 12 + 6, 6)), OutlookError) << "week 6";

  const std::string tz = AsString(pstgen::TimeZoneStructBlob(*pstgen::TimeZonePreset("W. Europe"), 2024));
  ASSERT_EQ(tz.size(), 48u);
  for (std::size_t size = 0; size < tz.size(); ++size)
    EXPECT_THROW(ParseTimeZoneStruct(tz.substr(0, size)), OutlookError) << size;
  EXPECT_THROW(ParseTimeZoneStruct(WithU16(tz, 14 + 8, 24)), OutlookError) << "hour 24";

  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    std::string blob = def;
    blob[random() % blob.size()] = static_cast<char>(random());
    try {
      const TimeZone zone = ParseTimeZoneDefinition(blob);
      for (int month = 1; month <= 12; ++month) {
        const int offset = zone.OffsetAt(QDate(2024, month, 1), 0);
        EXPECT_LE(std::abs(offset), 14 * 3600);
      }
    } catch (const OutlookError&) {
    }
  }
}

}  // namespace
}  // namespace norvexa::outlook
