// Reading recurrence patterns and time zones and listing occurrences: each
// kind of series Outlook makes, written by pstgen's own writer of the
// layouts, against dates worked out by hand; deleted and changed
// occurrences; and the zone rules against the system's time-zone database.
#include "platform/outlook/recurrence.h"
#include "platform/outlook/time_zone.h"
#include "recurrence_blob.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvexa::outlook {
namespace {

std::string AsString(const pstgen::Bytes& b) { return std::string(b.begin(), b.end()); }

pstgen::RecurringSeries Series(const std::string& pattern, QDate start, int start_minutes = 9 * 60,
                              int duration = 60) {
  pstgen::RecurringSeries s;
  s.pattern = pattern;
  s.start = pstgen::LocalTime{start, start_minutes};
  s.duration_minutes = duration;
  return s;
}

pstgen::RecurringSeries Counted(pstgen::RecurringSeries s, int count) {
  s.end = "count";
  s.count = count;
  return s;
}

const TimeZone kUtc{};

std::vector<Occurrence> ExpandSeries(const pstgen::RecurringSeries& series, const TimeZone& zone = kUtc,
                                   QDate horizon = QDate(2100, 1, 1)) {
  return Expand(ParseRecurrence(AsString(pstgen::RecurrenceBlob(series, 1252))), zone, horizon);
}

std::vector<QDate> StartDates(const std::vector<Occurrence>& occurrences) {
  std::vector<QDate> out;
  for (const Occurrence& o : occurrences) out.push_back(o.start.date());
  return out;
}

std::vector<QDate> Days(std::initializer_list<const char*> iso) {
  std::vector<QDate> out;
  for (const char* d : iso) out.push_back(QDate::fromString(QString::fromLatin1(d), Qt::ISODate));
  return out;
}

TimeZone Preset(const std::string& name, int year = 2024) {
  return ParseTimeZoneDefinition(AsString(pstgen::TimeZoneDefinitionBlob(*pstgen::TimeZonePreset(name), year)));
}

TEST(RecurrenceExpand, DailySeriesEveryNDaysAndEveryWeekday) {
  pstgen::RecurringSeries every3 = Counted(Series("daily", QDate(2024, 1, 30)), 5);
  every3.period = 3;
  const Recurrence parsed = ParseRecurrence(AsString(pstgen::RecurrenceBlob(every3, 1252)));
  EXPECT_EQ(parsed.frequency, RecurFrequency::Daily);
  EXPECT_EQ(parsed.pattern, PatternType::Day);
  EXPECT_EQ(parsed.period, 3u * 1440);
  EXPECT_EQ(parsed.end, RecurEnd::AfterCount);
  EXPECT_EQ(parsed.occurrence_count, 5u);
  const std::vector<Occurrence> occurrences = Expand(parsed, kUtc, QDate(2100, 1, 1));
  EXPECT_EQ(StartDates(occurrences), Days({"2024-01-30", "2024-02-02", "2024-02-05", "2024-02-08", "2024-02-11"}));
  ASSERT_FALSE(occurrences.empty());
  EXPECT_EQ(occurrences[0].start.time(), QTime(9, 0));
  EXPECT_EQ(occurrences[0].end.time(), QTime(10, 0));
  EXPECT_FALSE(occurrences[0].modified);

  // "Every weekday" is the daily frequency with the weekly pattern of
  // Monday to Friday, starting on a Friday here.
  const pstgen::RecurringSeries weekdays = Counted(Series("weekdays", QDate(2024, 3, 1)), 4);
  const Recurrence w = ParseRecurrence(AsString(pstgen::RecurrenceBlob(weekdays, 1252)));
  EXPECT_EQ(w.frequency, RecurFrequency::Daily);
  EXPECT_EQ(w.pattern, PatternType::Week);
  EXPECT_EQ(StartDates(Expand(w, kUtc, QDate(2100, 1, 1))),
            Days({"2024-03-01", "2024-03-04", "2024-03-05", "2024-03-06"}));

  // An end after a date includes that date.
  pstgen::RecurringSeries until = Series("daily", QDate(2024, 5, 1));
  until.end = "date";
  until.end_date = QDate(2024, 5, 4);
  EXPECT_EQ(StartDates(ExpandSeries(until)), Days({"2024-05-01", "2024-05-02", "2024-05-03", "2024-05-04"}));
}

TEST(RecurrenceExpand, WeeklySeriesOnSeveralDaysAndTheFirstDayOfWeek) {
  pstgen::RecurringSeries s = Series("weekly", QDate(2024, 3, 5));
  s.period = 2;
  s.days = 0x04 | 0x10;  // Tuesday, Thursday
  s.end = "date";
  s.end_date = QDate(2024, 4, 5);
  EXPECT_EQ(StartDates(ExpandSeries(s)),
            Days({"2024-03-05", "2024-03-07", "2024-03-19", "2024-03-21", "2024-04-02", "2024-04-04"}));

  // Every other week on Sunday and Monday from Monday 4 March: with weeks
  // from Sunday, that Monday's week holds no later Sunday; with weeks from
  // Monday, its Sunday is the 10th.
  pstgen::RecurringSeries sunday_weeks = Counted(Series("weekly", QDate(2024, 3, 4)), 4);
  sunday_weeks.period = 2;
  sunday_weeks.days = 0x01 | 0x02;
  pstgen::RecurringSeries monday_weeks = sunday_weeks;
  monday_weeks.first_day_of_week = 1;
  EXPECT_EQ(StartDates(ExpandSeries(sunday_weeks)), Days({"2024-03-04", "2024-03-17", "2024-03-18", "2024-03-31"}));
  EXPECT_EQ(StartDates(ExpandSeries(monday_weeks)), Days({"2024-03-04", "2024-03-10", "2024-03-18", "2024-03-24"}));
}

TEST(RecurrenceExpand, MonthlyByDayShortMonthsAndMonthEnd) {
  pstgen::RecurringSeries day31 = Counted(Series("monthly", QDate(2024, 1, 31)), 4);
  day31.day_of_month = 31;
  EXPECT_EQ(StartDates(ExpandSeries(day31)), Days({"2024-01-31", "2024-02-29", "2024-03-31", "2024-04-30"}));

  const pstgen::RecurringSeries end = Counted(Series("month_end", QDate(2023, 1, 31)), 3);
  const Recurrence parsed = ParseRecurrence(AsString(pstgen::RecurrenceBlob(end, 1252)));
  EXPECT_EQ(parsed.pattern, PatternType::MonthEnd);
  EXPECT_EQ(StartDates(Expand(parsed, kUtc, QDate(2100, 1, 1))), Days({"2023-01-31", "2023-02-28", "2023-03-31"}));

  pstgen::RecurringSeries every2 = Counted(Series("monthly", QDate(2024, 1, 15)), 3);
  every2.period = 2;
  every2.day_of_month = 15;
  EXPECT_EQ(StartDates(ExpandSeries(every2)), Days({"2024-01-15", "2024-03-15", "2024-05-15"}));

  // A series whose first month's day has passed starts the next time.
  pstgen::RecurringSeries later = Counted(Series("monthly", QDate(2024, 1, 20)), 2);
  later.day_of_month = 10;
  EXPECT_EQ(StartDates(ExpandSeries(later)), Days({"2024-02-10", "2024-03-10"}));
}

TEST(RecurrenceExpand, MonthlyNthWeekdayWeekdayAndWeekendDay) {
  pstgen::RecurringSeries second_tuesday = Counted(Series("month_nth", QDate(2024, 1, 9)), 3);
  second_tuesday.days = 0x04;
  second_tuesday.nth = 2;
  EXPECT_EQ(StartDates(ExpandSeries(second_tuesday)), Days({"2024-01-09", "2024-02-13", "2024-03-12"}));

  pstgen::RecurringSeries last_friday = Counted(Series("month_nth", QDate(2024, 1, 26)), 3);
  last_friday.days = 0x20;
  last_friday.nth = 5;
  EXPECT_EQ(StartDates(ExpandSeries(last_friday)), Days({"2024-01-26", "2024-02-23", "2024-03-29"}));

  pstgen::RecurringSeries last_weekday = Counted(Series("month_nth", QDate(2024, 3, 29)), 3);
  last_weekday.days = 0x3E;
  last_weekday.nth = 5;
  EXPECT_EQ(StartDates(ExpandSeries(last_weekday)), Days({"2024-03-29", "2024-04-30", "2024-05-31"}));

  pstgen::RecurringSeries first_weekend_day = Counted(Series("month_nth", QDate(2024, 6, 1)), 3);
  first_weekend_day.days = 0x41;
  first_weekend_day.nth = 1;
  EXPECT_EQ(StartDates(ExpandSeries(first_weekend_day)), Days({"2024-06-01", "2024-07-06", "2024-08-03"}));

  pstgen::RecurringSeries third_day = Counted(Series("month_nth", QDate(2024, 1, 3)), 2);
  third_day.days = 0x7F;
  third_day.nth = 3;
  EXPECT_EQ(StartDates(ExpandSeries(third_day)), Days({"2024-01-03", "2024-02-03"}));
}

TEST(RecurrenceExpand, YearlySeriesByDateAndByNthWeekday) {
  pstgen::RecurringSeries leap = Counted(Series("yearly", QDate(2024, 2, 29)), 3);
  leap.day_of_month = 29;
  const Recurrence parsed = ParseRecurrence(AsString(pstgen::RecurrenceBlob(leap, 1252)));
  EXPECT_EQ(parsed.frequency, RecurFrequency::Yearly);
  EXPECT_EQ(parsed.period, 12u);
  EXPECT_EQ(StartDates(Expand(parsed, kUtc, QDate(2100, 1, 1))), Days({"2024-02-29", "2025-02-28", "2026-02-28"}));

  pstgen::RecurringSeries thanksgiving = Counted(Series("yearly_nth", QDate(2024, 11, 28)), 3);
  thanksgiving.days = 0x10;
  thanksgiving.nth = 4;
  EXPECT_EQ(StartDates(ExpandSeries(thanksgiving)), Days({"2024-11-28", "2025-11-27", "2026-11-26"}));

  pstgen::RecurringSeries every2years = Counted(Series("yearly", QDate(2024, 7, 4)), 3);
  every2years.period = 2;
  EXPECT_EQ(StartDates(ExpandSeries(every2years)), Days({"2024-07-04", "2026-07-04", "2028-07-04"}));
}

TEST(RecurrenceExpand, HijriMonthsAreCountedInTheHijriCalendar) {
  const QCalendar hijri(QCalendar::System::IslamicCivil);
  const QDate first = hijri.dateFromParts(1445, 9, 1);
  pstgen::RecurringSeries s = Counted(Series("hijri_monthly", first), 4);
  s.day_of_month = 1;
  const std::vector<QDate> dates = StartDates(ExpandSeries(s));
  ASSERT_EQ(dates.size(), 4u);
  for (std::size_t i = 0; i < dates.size(); ++i) {
    const QCalendar::YearMonthDay p = hijri.partsFromDate(dates[i]);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.month, static_cast<int>(9 + i));
  }
  // Hijri months have 29 or 30 days, never a Gregorian month's 31.
  EXPECT_LE(dates[0].daysTo(dates[1]), 30);

  const QDate month_end = hijri.dateFromParts(1445, 1, hijri.daysInMonth(1, 1445));
  const std::vector<QDate> ends = StartDates(ExpandSeries(Counted(Series("hijri_month_end", month_end), 3)));
  ASSERT_EQ(ends.size(), 3u);
  for (const QDate& d : ends) {
    const QCalendar::YearMonthDay p = hijri.partsFromDate(d);
    EXPECT_EQ(p.day, hijri.daysInMonth(p.month, p.year));
  }
}

TEST(RecurrenceExpand, EndlessSeriesStopAtTheHorizonAndTheCap) {
  const pstgen::RecurringSeries daily = Series("daily", QDate(2024, 1, 1));
  const Recurrence r = ParseRecurrence(AsString(pstgen::RecurrenceBlob(daily, 1252)));
  EXPECT_EQ(r.end, RecurEnd::Never);
  const std::vector<Occurrence> ten = Expand(r, kUtc, QDate(2024, 1, 10));
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.back().start.date(), QDate(2024, 1, 10));
  EXPECT_EQ(Expand(r, kUtc, QDate(9999, 12, 31)).size(), kMaxOccurrences);
  EXPECT_TRUE(Expand(r, kUtc, QDate(2023, 12, 31)).empty());
}

TEST(RecurrenceExpand, DeletedAndChangedOccurrences) {
  // Five Mondays; the third is deleted, the fourth moved to Tuesday
  // afternoon with its own subject and location. The series still ends
  // after the fifth Monday of the pattern: Outlook counts the deleted one.
  pstgen::RecurringSeries s = Counted(Series("weekly", QDate(2024, 1, 1)), 5);
  s.days = 0x02;
  s.deleted = {QDate(2024, 1, 15)};
  pstgen::ModifiedOccurrence moved;
  moved.original_date = QDate(2024, 1, 22);
  moved.start = pstgen::LocalTime{QDate(2024, 1, 23), 14 * 60};
  moved.end = pstgen::LocalTime{QDate(2024, 1, 23), 15 * 60 + 30};
  moved.subject = "Réunion à Zürich 東京";  // beyond the 8-bit code page: the wide form must win
  moved.location = "Room 2";
  s.modified = {moved};

  for (const std::uint32_t writer : {0x3009u, 0x3008u}) {
    SCOPED_TRACE(writer);
    s.writer_version2 = writer;
    const Recurrence r = ParseRecurrence(AsString(pstgen::RecurrenceBlob(s, 1252)));
    ASSERT_EQ(r.exceptions.size(), 1u);
    EXPECT_EQ(r.deleted_dates.size(), 2u) << "the changed occurrence's original date is listed as deleted too";
    const std::vector<Occurrence> o = Expand(r, kUtc, QDate(2100, 1, 1));
    EXPECT_EQ(StartDates(o), Days({"2024-01-01", "2024-01-08", "2024-01-23", "2024-01-29"}));
    ASSERT_EQ(o.size(), 4u);
    EXPECT_TRUE(o[2].modified);
    EXPECT_EQ(o[2].start.time(), QTime(14, 0));
    EXPECT_EQ(o[2].end.time(), QTime(15, 30));
    EXPECT_EQ(o[2].original_start, QDateTime(QDate(2024, 1, 22), QTime(9, 0), QTimeZone(0)));
    EXPECT_EQ(o[2].subject.value_or(""), "Réunion à Zürich 東京");
    EXPECT_EQ(o[2].location.value_or(""), "Room 2");
    EXPECT_FALSE(o[1].modified);
    EXPECT_FALSE(o[1].subject.has_value());
  }

  // A change that moves an occurrence before an earlier one is listed in
  // order of its new start.
  pstgen::RecurringSeries early = Counted(Series("daily", QDate(2024, 2, 1)), 3);
  pstgen::ModifiedOccurrence back;
  back.original_date = QDate(2024, 2, 3);
  back.start = pstgen::LocalTime{QDate(2024, 2, 1), 7 * 60};
  back.end = pstgen::LocalTime{QDate(2024, 2, 1), 8 * 60};
  early.modified = {back};
  const std::vector<Occurrence> o = ExpandSeries(early);
  ASSERT_EQ(o.size(), 3u);
  EXPECT_TRUE(o[0].modified);
  EXPECT_EQ(o[0].start.time(), QTime(7, 0));
  EXPECT_EQ(o[2].start.date(), QDate(2024, 2, 2));
}

// Every occurrence's instant and wall-clock time, against the system's
// time-zone database for the same place.
void ExpectSameAsSystemZone(const std::vector<Occurrence>& occurrences, const QByteArray& iana, QTime local) {
  const QTimeZone system(iana);
  ASSERT_TRUE(system.isValid()) << iana.toStdString();
  for (const Occurrence& o : occurrences) {
    const QDateTime expected(o.start.date(), local, system);
    EXPECT_EQ(o.start.toSecsSinceEpoch(), expected.toSecsSinceEpoch())
        << iana.toStdString() << " " << o.start.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(o.start.time(), local);
    EXPECT_EQ(o.start.offsetFromUtc(), system.offsetFromUtc(expected));
  }
}

TEST(RecurrenceExpand, WeeklyMeetingKeepsItsLocalTimeAcrossSummerTimeInItsZone) {
  pstgen::RecurringSeries monday = Counted(Series("weekly", QDate(2024, 1, 1)), 52);
  monday.days = 0x02;
  const std::vector<Occurrence> europe = ExpandSeries(monday, Preset("W. Europe"));
  ASSERT_EQ(europe.size(), 52u);
  // The Mondays before and after the change of 31 March 2024.
  EXPECT_EQ(europe[12].start.date(), QDate(2024, 3, 25));
  EXPECT_EQ(europe[12].start.toUTC().time(), QTime(8, 0));
  EXPECT_EQ(europe[13].start.toUTC().time(), QTime(7, 0));
  EXPECT_EQ(europe[13].start.time(), QTime(9, 0));
  ExpectSameAsSystemZone(europe, "Europe/Berlin", QTime(9, 0));

  // The same from the single rule of PidLidTimeZoneStruct.
  const TimeZone from_struct =
      ParseTimeZoneStruct(AsString(pstgen::TimeZoneStructBlob(*pstgen::TimeZonePreset("W. Europe"), 2024)));
  ExpectSameAsSystemZone(ExpandSeries(monday, from_struct), "Europe/Berlin", QTime(9, 0));

  // The southern hemisphere's summer spans the turn of the year.
  ExpectSameAsSystemZone(ExpandSeries(monday, Preset("AUS Eastern")), "Australia/Sydney", QTime(9, 0));
  ExpectSameAsSystemZone(ExpandSeries(monday, Preset("Tokyo")), "Asia/Tokyo", QTime(9, 0));

  // A zone whose rules changed: the United States before and from 2007.
  pstgen::RecurringSeries daily = Counted(Series("daily", QDate(2005, 1, 1), 12 * 60), 4 * 365);
  const TimeZone eastern = Preset("Eastern", 2007);
  ASSERT_EQ(eastern.rules.size(), 2u);
  EXPECT_EQ(eastern.key_name, "Eastern Standard Time");
  ExpectSameAsSystemZone(ExpandSeries(daily, eastern), "America/New_York", QTime(12, 0));
}

TEST(RecurrenceExpand, WallClockTimesThatSummerTimeSkipsOrRepeats) {
  const TimeZone europe = Preset("W. Europe");
  // 02:30 on 31 March 2024 does not exist: it is read as standard time.
  EXPECT_EQ(europe.OffsetAt(QDate(2024, 3, 31), 2 * 60 + 30), 3600);
  EXPECT_EQ(europe.OffsetAt(QDate(2024, 3, 31), 3 * 60), 7200);
  // 02:30 on 27 October 2024 happens twice: the first, in summer time.
  EXPECT_EQ(europe.OffsetAt(QDate(2024, 10, 27), 2 * 60 + 30), 7200);
  EXPECT_EQ(europe.OffsetAt(QDate(2024, 10, 27), 3 * 60), 3600);
  // Minutes past midnight run into the next day.
  EXPECT_EQ(europe.Instant(QDate(2024, 3, 30), 24 * 60 + 180).time(), QTime(3, 0));
  EXPECT_EQ(europe.Instant(QDate(2024, 3, 30), 24 * 60 + 180).date(), QDate(2024, 3, 31));

  // An occurrence ending the next day keeps its length in wall-clock time.
  const pstgen::RecurringSeries overnight = Counted(Series("daily", QDate(2024, 3, 30), 22 * 60, 8 * 60), 1);
  const std::vector<Occurrence> o = ExpandSeries(overnight, europe);
  ASSERT_EQ(o.size(), 1u);
  EXPECT_EQ(o[0].end, QDateTime(QDate(2024, 3, 31), QTime(6, 0), QTimeZone(7200)));
  EXPECT_EQ(o[0].start.secsTo(o[0].end), 7 * 3600) << "the night of the change is an hour shorter";
}

TEST(RecurrenceTimeZone, RuleOfTheYearAndTheNthWeekdayForm) {
  const TimeZone eastern = Preset("Eastern", 2007);
  EXPECT_EQ(eastern.RuleFor(1990).year, 0);
  EXPECT_EQ(eastern.RuleFor(2006).year, 0);
  EXPECT_EQ(eastern.RuleFor(2030).year, 2007);
  int minutes = 0;
  // The second Sunday of March and the first of November 2024.
  EXPECT_EQ(TransitionDay(eastern.RuleFor(2024).daylight_date, 2024, &minutes), QDate(2024, 3, 10));
  EXPECT_EQ(minutes, 120);
  EXPECT_EQ(TransitionDay(eastern.RuleFor(2024).standard_date, 2024, &minutes), QDate(2024, 11, 3));
  // The last Sunday of a month with five Sundays and of one with four.
  TransitionDate last_sunday{0, 3, 0, 5, 2, 0, 0};
  EXPECT_EQ(TransitionDay(last_sunday, 2024, &minutes), QDate(2024, 3, 31));
  last_sunday.month = 2;
  EXPECT_EQ(TransitionDay(last_sunday, 2024, &minutes), QDate(2024, 2, 25));
  // A dated change happens in its year only.
  const TransitionDate dated{2024, 4, 0, 7, 3, 0, 0};
  EXPECT_EQ(TransitionDay(dated, 2024, &minutes), QDate(2024, 4, 7));
  EXPECT_FALSE(TransitionDay(dated, 2025, &minutes).isValid());
  // A zone without rules is UTC.
  EXPECT_EQ(kUtc.OffsetAt(QDate(2024, 7, 1), 0), 0);
}

}  // namespace
}  // namespace norvexa::outlook
