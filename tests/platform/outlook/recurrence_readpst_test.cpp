// Our occurrences against readpst's: readpst (libpst, an independent reader
// of the same property) writes each recurring appointment as an iCalendar
// RRULE, which a small brute-force RRULE expander below turns into dates.
// For every series of a generated mailbox, and for every recurring
// appointment of the real fixtures, the dates must be the same.
//
// What readpst leaves out is applied to its side from the description:
// it writes no EXDATE and no changed occurrences, so the deleted dates and
// the original dates of changed occurrences are taken out of its dates,
// and the changed occurrences are checked against the description. Its
// DTSTART is in UTC without a zone; it is turned into the appointment's
// wall-clock time with the system's time-zone database, which also checks
// our instants across every change to and from summer time.
#include "description.h"
#include "mailbox_writer.h"
#include "platform/outlook/bag_item.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/recurrence.h"
#include "platform/outlook/time_zone.h"
#include "pst_check.h"
#include "support/fixtures.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace norvexa::outlook {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// A brute-force RRULE expander: every day from DTSTART is tested against
// the rule on its own (RFC 5545 with WKST=MO, the default readpst leaves).
// ---------------------------------------------------------------------------
struct Rrule {
  std::string freq;
  int interval = 1;
  int count = 0;
  std::vector<int> days;  // 0 Sunday .. 6 Saturday
  int month_day = 0;
  int month = 0;
  int set_pos = 0;
};

Rrule ParseRrule(const std::string& text) {
  Rrule r;
  static const std::map<std::string, int> names = {{"SU", 0}, {"MO", 1}, {"TU", 2}, {"WE", 3},
                                                   {"TH", 4}, {"FR", 5}, {"SA", 6}};
  for (const QString& part : QString::fromStdString(text).split(';')) {
    const QString key = part.section('=', 0, 0), value = part.section('=', 1);
    if (key == "FREQ") r.freq = value.toStdString();
    if (key == "INTERVAL") r.interval = value.toInt();
    if (key == "COUNT") r.count = value.toInt();
    if (key == "BYMONTHDAY") r.month_day = value.toInt();
    if (key == "BYMONTH") r.month = value.toInt();
    // libpst writes Outlook's "last" week of the month as it stores it, 5.
    if (key == "BYSETPOS") r.set_pos = value.toInt() == 5 ? -1 : value.toInt();
    if (key == "BYDAY")
      for (const QString& d : value.split(',')) r.days.push_back(names.at(d.toStdString()));
    // libpst separates BYDAY's days with ";" instead of ",": a bare day
    // name is one more day of BYDAY.
    if (!part.contains('=') && names.count(part.toStdString())) r.days.push_back(names.at(part.toStdString()));
  }
  return r;
}

int Weekday(QDate d) { return d.dayOfWeek() % 7; }
bool HasDay(const Rrule& r, QDate d) {
  return std::find(r.days.begin(), r.days.end(), Weekday(d)) != r.days.end();
}

// True when D is within the rule's month set: its BYMONTHDAY, its
// BYDAY/BYSETPOS, or DTSTART's day of the month.
bool MatchesInMonth(const Rrule& r, QDate start, QDate d) {
  if (r.month_day) return d.day() == r.month_day;
  if (r.days.empty()) return d.day() == start.day();
  if (!HasDay(r, d)) return false;
  std::vector<int> set;
  for (int day = 1; day <= d.daysInMonth(); ++day)
    if (HasDay(r, QDate(d.year(), d.month(), day))) set.push_back(day);
  if (r.set_pos == 0) return true;
  const int index = r.set_pos > 0 ? r.set_pos - 1 : static_cast<int>(set.size()) + r.set_pos;
  return index >= 0 && index < static_cast<int>(set.size()) && set[index] == d.day();
}

bool Matches(const Rrule& r, QDate start, QDate d) {
  if (r.freq == "DAILY") return start.daysTo(d) % r.interval == 0 && (r.days.empty() || HasDay(r, d));
  if (r.freq == "WEEKLY") {
    const auto monday = [](QDate x) { return x.addDays(-(x.dayOfWeek() - 1)); };
    return (monday(start).daysTo(monday(d)) / 7) % r.interval == 0 &&
           (r.days.empty() ? Weekday(d) == Weekday(start) : HasDay(r, d));
  }
  const int months = (d.year() - start.year()) * 12 + d.month() - start.month();
  if (r.freq == "MONTHLY") return months % r.interval == 0 && MatchesInMonth(r, start, d);
  if (r.freq == "YEARLY")
    return (d.year() - start.year()) % r.interval == 0 && d.month() == (r.month ? r.month : start.month()) &&
           MatchesInMonth(r, start, d);
  return false;
}

std::vector<QDate> ExpandRrule(const Rrule& r, QDate start, QDate horizon) {
  std::vector<QDate> out;
  for (QDate d = start; d <= horizon && (r.count == 0 || static_cast<int>(out.size()) < r.count); d = d.addDays(1))
    if (Matches(r, start, d)) out.push_back(d);
  return out;
}

// ---------------------------------------------------------------------------
// readpst's events and our series.
// ---------------------------------------------------------------------------
struct Event {
  QDateTime start;  // UTC
  std::string rrule;
};

// SUMMARY -> event of every VEVENT readpst writes for PST; empty when
// readpst is missing or fails.
std::map<std::string, Event> ReadpstEvents(const fs::path& pst, const fs::path& out) {
  std::map<std::string, Event> events;
  if (QStandardPaths::findExecutable("readpst").isEmpty()) return events;
  fs::create_directories(out);
  QProcess readpst;
  readpst.start("readpst", {"-q", "-r", "-o", QString::fromStdString(out.string()), QString::fromStdString(pst.string())});
  if (!readpst.waitForFinished(60000) || readpst.exitCode() != 0) return events;
  QDirIterator files(QString::fromStdString(out.string()), QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    QFile file(files.next());
    if (!file.open(QIODevice::ReadOnly)) continue;
    std::string summary;
    Event event;
    for (const QByteArray& raw : file.readAll().split('\n')) {
      const QString line = QString::fromUtf8(raw).trimmed();
      if (line == "BEGIN:VEVENT") {
        summary.clear();
        event = Event{};
      } else if (line.startsWith("SUMMARY:")) {
        summary = line.mid(8).toStdString();
      } else if (line.startsWith("DTSTART")) {
        event.start = QDateTime::fromString(line.section(':', 1), "yyyyMMdd'T'HHmmss'Z'");
        event.start.setTimeZone(QTimeZone::utc());
      } else if (line.startsWith("RRULE:")) {
        event.rrule = line.mid(6).toStdString();
      } else if (line == "END:VEVENT" && !event.rrule.empty()) {
        events[summary] = event;
      }
    }
  }
  return events;
}

struct Series {
  std::string blob;
  std::string zone_definition;
  std::string zone_struct;
};

void CollectSeries(const Folder& folder, std::map<std::string, Series>& out) {
  const auto items = folder.GetItems();
  for (std::int64_t i = 1; i <= items->Count(); ++i) {
    const auto item = items->GetItem(i);
    const auto* message = dynamic_cast<const items::MapiItem*>(item.get());
    if (!message) continue;
    const items::PropertyBag& bag = message->bag();
    const auto* recur = bag.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentRecur);
    if (!recur) continue;
    Series s;
    s.blob = bag.Bytes(recur);
    s.zone_definition =
        bag.Bytes(bag.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentTimeZoneDefinitionRecur));
    s.zone_struct = bag.Bytes(bag.FindNamed(mapi::PSETID_Appointment, mapi::PidLidTimeZoneStruct));
    out[item->Subject()] = s;
  }
  for (const auto& sub : folder.Folders()) CollectSeries(*sub, out);
}

// Subject -> series of every recurring appointment in the store at PST.
std::map<std::string, Series> OurSeries(const fs::path& pst) {
  std::map<std::string, Series> out;
  CollectSeries(*OpenStoreFile(pst)->IPMRootFolder(), out);
  return out;
}

TimeZone ZoneOf(const Series& s) {
  if (!s.zone_definition.empty()) return ParseTimeZoneDefinition(s.zone_definition);
  if (!s.zone_struct.empty()) return ParseTimeZoneStruct(s.zone_struct);
  return TimeZone{};
}

QDate DateOf(const QJsonValue& v) { return QDate::fromString(v.toString(), Qt::ISODate); }

// The zones of the presets, in the system's time-zone database.
const std::map<QString, QByteArray> kSystemZones = {{"W. Europe", "Europe/Berlin"},
                                                    {"Eastern", "America/New_York"},
                                                    {"Tokyo", "Asia/Tokyo"},
                                                    {"AUS Eastern", "Australia/Sydney"}};

// Series readpst cannot state, and why.
const std::map<std::string, std::string> kBeyondReadpst = {
    {"Month end", "libpst reads no field of the month-end pattern type, so its RRULE has neither day nor end"},
};

TEST(RecurrenceReadpst, EveryGeneratedSeriesHasReadpstsDates) {
  if (QStandardPaths::findExecutable("readpst").isEmpty())
    GTEST_SKIP() << "readpst (pst-utils) is not installed; the comparison is skipped";
  testing::ScratchDir scratch;
  const fs::path description = fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/recurring-appointments.json";
  const fs::path pst = scratch / "recurring.pst";
  pstgen::WriteMailbox(pstgen::ReadDescription(description), pst);
  const pstgen::CheckReport check = pstgen::CheckPstFile(pst);
  EXPECT_TRUE(check.ok()) << check.Summary();

  const std::map<std::string, Event> theirs = ReadpstEvents(pst, scratch / "readpst");
  const std::map<std::string, Series> ours = OurSeries(pst);
  QFile json(QString::fromStdString(description.string()));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  const QJsonArray items =
      QJsonDocument::fromJson(json.readAll()).object().value("folders").toArray()[0].toObject().value("items").toArray();

  int compared = 0;
  for (const QJsonValue& value : items) {
    const QJsonObject item = value.toObject();
    const std::string subject = item.value("subject").toString().toStdString();
    SCOPED_TRACE(subject);
    const QJsonObject recurrence = item.value("recurrence").toObject();
    if (recurrence.isEmpty()) {
      EXPECT_EQ(ours.count(subject), 0u) << "a single appointment has no recurrence pattern";
      continue;
    }
    ASSERT_EQ(ours.count(subject), 1u);
    ASSERT_EQ(theirs.count(subject), 1u) << "readpst wrote no RRULE";
    if (kBeyondReadpst.count(subject)) continue;

    const QTimeZone system(kSystemZones.at(item.value("time_zone").toString()));
    const QDateTime local_start = theirs.at(subject).start.toTimeZone(system);
    const Rrule rule = ParseRrule(theirs.at(subject).rrule);
    const QDate horizon = local_start.date().addYears(rule.count ? 50 : 1);

    std::set<QDate> removed;
    for (const QJsonValue& d : recurrence.value("deleted").toArray()) removed.insert(DateOf(d));
    std::map<QDate, QJsonObject> changed;
    for (const QJsonValue& m : recurrence.value("modified").toArray()) {
      removed.insert(DateOf(m.toObject().value("date")));
      changed[DateOf(m.toObject().value("date"))] = m.toObject();
    }
    std::vector<QDate> expected;
    for (const QDate& d : ExpandRrule(rule, local_start.date(), horizon))
      if (!removed.count(d)) expected.push_back(d);

    const Series& series = ours.at(subject);
    const std::vector<Occurrence> occurrences = Expand(ParseRecurrence(series.blob), ZoneOf(series), horizon);
    std::vector<QDate> unmoved;
    for (const Occurrence& o : occurrences) {
      if (o.modified) {
        const QDate original = o.original_start.date();
        ASSERT_EQ(changed.count(original), 1u) << original.toString(Qt::ISODate).toStdString();
        const QJsonObject& m = changed.at(original);
        const QDateTime new_start = QDateTime::fromString(m.value("start").toString(), Qt::ISODate);
        EXPECT_EQ(o.start.date(), new_start.date());
        EXPECT_EQ(o.start.time(), new_start.time());
        EXPECT_EQ(o.start.toSecsSinceEpoch(), QDateTime(new_start.date(), new_start.time(), system).toSecsSinceEpoch());
        EXPECT_EQ(o.subject.value_or(""), m.value("subject").toString().toStdString());
        EXPECT_EQ(o.location.value_or(""), m.value("location").toString().toStdString());
        changed.erase(original);
        continue;
      }
      unmoved.push_back(o.start.date());
      // The wall-clock time of readpst's start, at the instant the
      // system's database gives for that day.
      EXPECT_EQ(o.start.toSecsSinceEpoch(), QDateTime(o.start.date(), local_start.time(), system).toSecsSinceEpoch())
          << o.start.toString(Qt::ISODate).toStdString();
    }
    EXPECT_TRUE(changed.empty()) << "a changed occurrence is missing";
    EXPECT_EQ(unmoved, expected) << "readpst's rule: " << theirs.at(subject).rrule;
    ++compared;
  }
  EXPECT_GE(compared, 10);
}

TEST(RecurrenceReadpst, RecurringAppointmentsOfTheRealFixturesHaveReadpstsDates) {
  if (QStandardPaths::findExecutable("readpst").isEmpty())
    GTEST_SKIP() << "readpst (pst-utils) is not installed; the comparison is skipped";
  NORVEXA_REQUIRE_SHARED_PST(probe, "dist-list.pst");
  testing::ScratchDir scratch;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(probe.parent_path())) {
    if (entry.path().extension() != ".pst") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::map<std::string, Series> ours;
    try {
      ours = OurSeries(entry.path());
    } catch (const OutlookError& e) {
      continue;  // a fixture our reader refuses is the store tests' concern
    }
    if (ours.empty()) continue;
    const std::map<std::string, Event> theirs =
        ReadpstEvents(entry.path(), scratch / entry.path().stem().string());
    for (const auto& [subject, series] : ours) {
      SCOPED_TRACE(subject);
      ASSERT_EQ(theirs.count(subject), 1u) << "readpst wrote no RRULE";
      const Recurrence recurrence = ParseRecurrence(series.blob);
      const TimeZone zone = ZoneOf(series);
      // readpst's start in the appointment's own zone, as our rules give it.
      const QDateTime utc = theirs.at(subject).start;
      const QDate local_date = utc.addSecs(zone.OffsetAt(utc.date(), utc.time().hour() * 60)).date();
      const Rrule rule = ParseRrule(theirs.at(subject).rrule);
      const QDate horizon = local_date.addYears(2);
      std::set<QDate> removed;
      for (std::uint32_t d : recurrence.deleted_dates) removed.insert(DateOfMinutes(d));
      std::vector<QDate> expected;
      for (const QDate& d : ExpandRrule(rule, local_date, horizon))
        if (!removed.count(d)) expected.push_back(d);
      std::vector<QDate> got;
      for (const Occurrence& o : Expand(recurrence, zone, horizon))
        if (!o.modified) got.push_back(o.start.date());
      EXPECT_EQ(got, expected) << "readpst's rule: " << theirs.at(subject).rrule;
      EXPECT_FALSE(got.empty());
      ++compared;
    }
  }
  EXPECT_GE(compared, 1) << "dist-list.pst holds a weekly series";
}

}  // namespace
}  // namespace norvexa::outlook
