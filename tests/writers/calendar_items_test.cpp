// The items of Notes calendar entries: a repeating entry's occurrence lists
// and rule, all-day events, alarms, busy time, attendees and organiser, and
// Notes' time-zone text.
#include "writers/calendar_items.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <map>

namespace norvexa::writers {
namespace {

QDateTime At(int y, int m, int d, int h, int min, int offset_hours) {
  return QDateTime(QDate(y, m, d), QTime(h, min), QTimeZone(offset_hours * 3600));
}

// The items by name; a name given twice fails the test.
std::map<std::string, CalendarValue> ByName(const CalendarItemList& items) {
  std::map<std::string, CalendarValue> out;
  for (const auto& [name, value] : items) EXPECT_TRUE(out.emplace(name, value).second) << name << " given twice";
  return out;
}

template <typename T>
T Get(const std::map<std::string, CalendarValue>& items, const std::string& name) {
  const auto it = items.find(name);
  if (it == items.end()) {
    ADD_FAILURE() << name << " is missing";
    return T{};
  }
  if (!std::holds_alternative<T>(it->second)) {
    ADD_FAILURE() << name << " has another type";
    return T{};
  }
  return std::get<T>(it->second);
}

CalendarDetails WeeklyAcrossSummerTime() {
  // Three Mondays at 09:00 in Berlin around 31 March 2024; the second moved
  // to Tuesday 10:00.
  CalendarDetails d;
  d.subject = "Planning";
  d.occurrences = {
      {At(2024, 3, 25, 9, 0, 1), At(2024, 3, 25, 10, 0, 1), At(2024, 3, 25, 9, 0, 1)},
      {At(2024, 4, 2, 10, 0, 2), At(2024, 4, 2, 11, 0, 2), At(2024, 4, 1, 9, 0, 2)},
      {At(2024, 4, 8, 9, 0, 2), At(2024, 4, 8, 10, 0, 2), At(2024, 4, 8, 9, 0, 2)},
  };
  RepeatRule rule;
  rule.unit = RepeatRule::Unit::Weekly;
  rule.interval = 1;
  rule.weekdays = {1};
  d.rule = rule;
  d.reminder_minutes = 15;
  d.busy = BusyStatus::Busy;
  d.organiser = {"Anna Berger", "anna.berger@example.com"};
  d.required = {{"Paul Martin", "paul.martin@example.com"}, {"", "guest@example.org"}};
  d.optional = {{"Maria Rossi", ""}};
  d.resources = {{"Room Vienna", "room.vienna@example.com"}};
  d.zone = CalendarZone{60, true, 3, 5, 0, 10, 5, 0, "W. Europe"};
  return d;
}

TEST(CalendarItems, RepeatingEntryListsEveryOccurrenceAndItsRule) {
  const auto items = ByName(CalendarItems(WeeklyAcrossSummerTime()));
  const notes::DateTimeList starts = Get<notes::DateTimeList>(items, "StartDateTime");
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0], At(2024, 3, 25, 9, 0, 1));
  EXPECT_EQ(starts[1], At(2024, 4, 2, 10, 0, 2));
  EXPECT_EQ(starts[2].offsetFromUtc(), 7200) << "the offset of each occurrence's own time";
  EXPECT_EQ(Get<notes::DateTimeList>(items, "EndDateTime")[1], At(2024, 4, 2, 11, 0, 2));
  EXPECT_EQ(Get<notes::DateTimeList>(items, "CalendarDateTime"), starts);
  EXPECT_EQ(Get<notes::DateTimeList>(items, "RepeatDates"), starts);
  // The instance dates keep the moved occurrence's original Monday.
  const notes::DateTimeList instances = Get<notes::DateTimeList>(items, "RepeatInstanceDates");
  ASSERT_EQ(instances.size(), 3u);
  EXPECT_EQ(instances[1], At(2024, 4, 1, 9, 0, 2));
  const notes::DateTimeList days = Get<notes::DateTimeList>(items, "StartDate");
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[1], At(2024, 4, 2, 0, 0, 2));

  EXPECT_EQ(Get<std::string>(items, "Repeats"), "1");
  EXPECT_EQ(Get<std::string>(items, "RepeatUnit"), "W");
  EXPECT_EQ(Get<std::string>(items, "RepeatInterval"), "1");
  EXPECT_EQ(Get<notes::TextList>(items, "RepeatAdjust"), notes::TextList({"1"}));
  EXPECT_EQ(Get<std::string>(items, "RepeatHow"), "U");
  EXPECT_EQ(Get<QDateTime>(items, "RepeatUntil"), At(2024, 4, 8, 0, 0, 2));
  EXPECT_EQ(Get<double>(items, "RepeatFor"), 3.0);
  EXPECT_EQ(Get<std::string>(items, "RepeatForUnit"), "W");
  EXPECT_EQ(Get<std::string>(items, "RepeatWeekends"), "D");
  EXPECT_EQ(Get<QDateTime>(items, "RepeatStartDate"), starts[0]);
  EXPECT_EQ(Get<QDateTime>(items, "$NoPurge"), At(2024, 4, 8, 10, 0, 2));
  EXPECT_EQ(Get<std::string>(items, "AppointmentType"), "0");
  EXPECT_EQ(Get<std::string>(items, "$CSVersion"), "2");
}

TEST(CalendarItems, RuleAdjustmentsOfEachUnit) {
  CalendarDetails d = WeeklyAcrossSummerTime();
  RepeatRule by_date;
  by_date.unit = RepeatRule::Unit::MonthlyByDate;
  by_date.interval = 2;
  by_date.month_days = {15};
  d.rule = by_date;
  auto items = ByName(CalendarItems(d));
  EXPECT_EQ(Get<std::string>(items, "RepeatUnit"), "MD");
  EXPECT_EQ(Get<std::string>(items, "RepeatInterval"), "2");
  EXPECT_EQ(Get<notes::TextList>(items, "RepeatAdjust"), notes::TextList({"15"}));
  EXPECT_EQ(Get<std::string>(items, "RepeatForUnit"), "M");
  EXPECT_EQ(Get<double>(items, "RepeatFor"), 2.0) << "March and April";

  RepeatRule by_day;
  by_day.unit = RepeatRule::Unit::MonthlyByDay;
  by_day.week_of_month = 2;
  by_day.weekday = 0;
  d.rule = by_day;
  items = ByName(CalendarItems(d));
  EXPECT_EQ(Get<std::string>(items, "RepeatUnit"), "MP");
  EXPECT_EQ(Get<notes::TextList>(items, "RepeatAdjust"), notes::TextList({"2.0"})) << "the second Sunday";

  RepeatRule custom;
  custom.unit = RepeatRule::Unit::Custom;
  custom.interval = 3;
  d.rule = custom;
  items = ByName(CalendarItems(d));
  EXPECT_EQ(Get<std::string>(items, "RepeatUnit"), "C");
  EXPECT_EQ(Get<std::string>(items, "RepeatInterval"), "1") << "a custom rule is its dates";
  EXPECT_EQ(items.count("RepeatAdjust"), 0u);
  EXPECT_EQ(Get<std::string>(items, "RepeatForUnit"), "D");
  EXPECT_EQ(Get<double>(items, "RepeatFor"), 15.0);

  RepeatRule yearly;
  yearly.unit = RepeatRule::Unit::Yearly;
  d.rule = yearly;
  EXPECT_EQ(Get<std::string>(ByName(CalendarItems(d)), "RepeatUnit"), "YD");
}

TEST(CalendarItems, OutlookPatternsAsNotesRules) {
  using Kind = OutlookPattern::Kind;
  using Unit = RepeatRule::Unit;
  RepeatRule r = NotesRule({Kind::Day, false, 3, 0, 0, 0});
  EXPECT_EQ(r.unit, Unit::Daily);
  EXPECT_EQ(r.interval, 3);
  r = NotesRule({Kind::Week, false, 2, 0x3E, 0, 0});  // every other week, Monday to Friday
  EXPECT_EQ(r.unit, Unit::Weekly);
  EXPECT_EQ(r.interval, 2);
  EXPECT_EQ(r.weekdays, std::vector<int>({1, 2, 3, 4, 5}));
  r = NotesRule({Kind::Month, false, 2, 0, 15, 0});
  EXPECT_EQ(r.unit, Unit::MonthlyByDate);
  EXPECT_EQ(r.month_days, std::vector<int>({15}));
  r = NotesRule({Kind::Month, true, 24, 0, 4, 0});
  EXPECT_EQ(r.unit, Unit::Yearly);
  EXPECT_EQ(r.interval, 2);
  r = NotesRule({Kind::MonthNth, false, 1, 0x04, 0, 2});  // the second Tuesday
  EXPECT_EQ(r.unit, Unit::MonthlyByDay);
  EXPECT_EQ(r.week_of_month, 2);
  EXPECT_EQ(r.weekday, 2);
  // What Notes' rules would give other dates for.
  EXPECT_EQ(NotesRule({Kind::Month, false, 1, 0, 31, 0}).unit, Unit::Custom) << "day 31 in a short month";
  EXPECT_EQ(NotesRule({Kind::Month, true, 12, 0, 29, 0}).unit, Unit::Custom) << "29 February";
  EXPECT_EQ(NotesRule({Kind::MonthNth, false, 1, 0x20, 0, 5}).unit, Unit::Custom) << "the last Friday";
  EXPECT_EQ(NotesRule({Kind::MonthNth, false, 1, 0x3E, 0, 1}).unit, Unit::Custom) << "the first weekday";
  EXPECT_EQ(NotesRule({Kind::MonthNth, true, 12, 0x10, 0, 4}).unit, Unit::Custom) << "a yearly nth weekday";
  EXPECT_EQ(NotesRule({Kind::MonthEnd, false, 1, 0, 31, 0}).unit, Unit::Custom);
  EXPECT_EQ(NotesRule({Kind::Hijri, false, 1, 0, 1, 0}).unit, Unit::Custom);
}

TEST(CalendarItems, SingleAllDayEventAlarmAndFreeTime) {
  CalendarDetails d;
  d.subject = "Holiday";
  d.all_day = true;
  // Outlook ends an all-day event at the midnight after its last day.
  d.occurrences = {{At(2024, 5, 1, 0, 0, 2), At(2024, 5, 3, 0, 0, 2), At(2024, 5, 1, 0, 0, 2)}};
  d.busy = BusyStatus::Free;
  const auto items = ByName(CalendarItems(d));
  EXPECT_EQ(Get<std::string>(items, "AppointmentType"), "2");
  EXPECT_EQ(Get<double>(items, "_ViewIcon"), 9.0);
  EXPECT_EQ(Get<QDateTime>(items, "StartDateTime"), At(2024, 5, 1, 0, 0, 2));
  EXPECT_EQ(Get<QDateTime>(items, "StartDate"), At(2024, 5, 1, 0, 0, 2));
  EXPECT_EQ(Get<QDateTime>(items, "EndDate"), At(2024, 5, 2, 0, 0, 2)) << "the last day the event covers";
  EXPECT_EQ(Get<QTime>(items, "StartTime"), QTime(0, 0));
  EXPECT_EQ(items.count("Repeats"), 0u);
  EXPECT_EQ(items.count("RepeatInstanceDates"), 0u);
  EXPECT_EQ(Get<std::string>(items, "BookFreeTime"), "1");
  EXPECT_EQ(Get<std::string>(items, "$BusyPriority"), "2");
  EXPECT_EQ(Get<std::string>(items, "Alarms"), "");
  EXPECT_EQ(items.count("$Alarm"), 0u);
  EXPECT_EQ(items.count("$StartTimeZone"), 0u);
  EXPECT_EQ(items.count("From"), 0u);
  EXPECT_EQ(items.count("RequiredAttendees"), 0u);

  // Tentative, away and elsewhere keep the time busy.
  for (BusyStatus busy : {BusyStatus::Tentative, BusyStatus::OutOfOffice, BusyStatus::WorkingElsewhere}) {
    d.busy = busy;
    EXPECT_EQ(Get<std::string>(ByName(CalendarItems(d)), "BookFreeTime"), "");
  }
  d.reminder_minutes = 1080;
  const auto alarmed = ByName(CalendarItems(d));
  EXPECT_EQ(Get<double>(alarmed, "$Alarm"), 1.0);
  EXPECT_EQ(Get<double>(alarmed, "$AlarmOffset"), -1080.0) << "before the start";
  EXPECT_EQ(Get<std::string>(alarmed, "$AlarmDescription"), "Holiday");
  EXPECT_EQ(Get<std::string>(alarmed, "Alarms"), "1");

  // Without occurrences there are no date items at all.
  d.occurrences.clear();
  EXPECT_EQ(ByName(CalendarItems(d)).count("StartDateTime"), 0u);
}

TEST(CalendarItems, AttendeesAndOrganiserByNameAndAddress) {
  const auto items = ByName(CalendarItems(WeeklyAcrossSummerTime()));
  EXPECT_EQ(Get<std::string>(items, "From"), "Anna Berger");
  EXPECT_EQ(Get<std::string>(items, "INetFrom"), "anna.berger@example.com");
  EXPECT_EQ(Get<notes::TextList>(items, "RequiredAttendees"), notes::TextList({"Paul Martin", "guest@example.org"}));
  EXPECT_EQ(Get<notes::TextList>(items, "INetRequiredNames"),
            notes::TextList({"paul.martin@example.com", "guest@example.org"}));
  EXPECT_EQ(Get<notes::TextList>(items, "AltRequiredNames"), notes::TextList({"Paul Martin", "guest@example.org"}));
  EXPECT_EQ(Get<notes::TextList>(items, "OptionalAttendees"), notes::TextList({"Maria Rossi"}));
  EXPECT_EQ(Get<notes::TextList>(items, "INetOptionalNames"), notes::TextList({"."})) << "kept aligned";
  EXPECT_EQ(Get<notes::TextList>(items, "Resources"), notes::TextList({"Room Vienna"}));
  // The meeting workflow's items are the writer's, never set here.
  EXPECT_EQ(items.count("Chair"), 0u);
  EXPECT_EQ(items.count("AltChair"), 0u);
  EXPECT_EQ(items.count("Form"), 0u);

  CalendarDetails address_only = WeeklyAcrossSummerTime();
  address_only.organiser = {"", "organiser@example.com"};
  const auto other = ByName(CalendarItems(address_only));
  EXPECT_EQ(Get<std::string>(other, "From"), "organiser@example.com");
}

TEST(CalendarItems, NotesTimeZoneText) {
  const auto items = ByName(CalendarItems(WeeklyAcrossSummerTime()));
  const std::string berlin = "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=0$ZN=W. Europe";
  EXPECT_EQ(Get<std::string>(items, "$StartTimeZone"), berlin);
  EXPECT_EQ(Get<std::string>(items, "$EndTimeZone"), berlin);
  EXPECT_EQ(Get<std::string>(items, "StartTimeZone"), berlin);
  // Eastern: the second Sunday of March to the first of November.
  EXPECT_EQ(NotesTimeZoneText(CalendarZone{-300, true, 3, 2, 0, 11, 1, 0, "Eastern"}),
            "Z=5$DO=1$DL=3 2 1 11 1 1$ZX=0$ZN=Eastern");
  EXPECT_EQ(NotesTimeZoneText(CalendarZone{540, false, 0, 0, 0, 0, 0, 0, "Tokyo"}), "Z=-9$DO=0$ZX=0$ZN=Tokyo");
  EXPECT_EQ(NotesTimeZoneText(CalendarZone{330, false, 0, 0, 0, 0, 0, 0, ""}), "Z=-5.5$DO=0$ZX=0$ZN=GMT+5:30");
  EXPECT_EQ(NotesTimeZoneText(CalendarZone{-210, false, 0, 0, 0, 0, 0, 0, ""}), "Z=3.5$DO=0$ZX=0$ZN=GMT-3:30");
  EXPECT_EQ(NotesZoneName("W. Europe Standard Time"), "W. Europe");
  EXPECT_EQ(NotesZoneName("UTC"), "UTC");
  EXPECT_EQ(NotesZoneName(" Standard Time"), " Standard Time");
}

}  // namespace
}  // namespace norvexa::writers
