// A whole export of recurring appointments: every occurrence of each series
// is listed in its calendar entry, in the appointment's own time zone, with
// deleted occurrences absent and moved ones at their new time; all-day
// events, alarms, busy time and attendees arrive as Notes keeps them.
#include "windows/frm_save.h"
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/recurrence.h"
#include "platform/outlook/time_zone.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"
#include "writers/calendar_items.h"

#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace norvexa::conversion {
namespace {

namespace fs = std::filesystem;
using windows::frmSave;
const std::string S = sys::PathSeparator().toStdString();

// The occurrence starts the store access lists for ITEM, in UTC.
std::vector<QDateTime> SourceStarts(const outlook::Item& item) {
  const outlook::Recurrence r = outlook::ParseRecurrence(item.RecurrenceBlob());
  const outlook::TimeZone zone = outlook::ParseTimeZoneDefinition(item.TimeZoneDefinition());
  std::vector<QDateTime> starts;
  const QDate horizon = outlook::DateOfMinutes(r.start_date).addYears(writers::kEndlessSeriesYears);
  for (const outlook::Occurrence& o : outlook::Expand(r, zone, horizon)) starts.push_back(o.start.toUTC());
  return starts;
}

std::vector<QDateTime> InUtc(const notes::DateTimeList& list) {
  std::vector<QDateTime> out;
  for (const QDateTime& d : list) out.push_back(d.toUTC());
  return out;
}

TEST(RecurringExport, EveryOccurrenceOfEverySeriesIsListedInItsEntry) {
  testing::ScratchDir work;
  const fs::path pst = work / "Recurring.pst";
  pstgen::WriteMailbox(
      pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/recurring-appointments.json"),
      pst);
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  frmSave form;
  form.OptNewNSF->setChecked(true);
  services.folders.push_back(QString::fromStdString((env.scratch() / "out").string()));
  form.CmdNewNSF->click();
  ASSERT_FALSE(services.messages.empty());
  EXPECT_EQ(services.messages.back().icon, sys::Icon::Information) << services.messages.back().detail.toStdString();

  notes::Session session;
  const auto mail = session.GetDatabase("", Global::NsfFilePath);
  std::map<std::string, std::unique_ptr<notes::Document>> entries;
  for (const std::string& unid : mail->AllDocumentIds()) {
    auto doc = mail->GetDocumentByUNID(unid);
    entries[std::get<std::string>(*doc->GetItemValue("Subject"))] = std::move(doc);
  }

  const auto store = outlook::OpenStoreFile(pst);
  const auto calendar = store->IPMRootFolder()->Folders();
  const outlook::Folder* folder = nullptr;
  for (const auto& f : calendar) {
    if (f->Name() == "Calendar") folder = f.get();
  }
  ASSERT_NE(folder, nullptr);
  const auto items = folder->GetItems();
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(items->Count()));
  int series = 0;
  for (std::int64_t i = 1; i <= items->Count(); ++i) {
    const auto item = items->GetItem(i);
    SCOPED_TRACE(item->Subject());
    notes::Document& entry = *entries.at(item->Subject());
    EXPECT_EQ(std::get<std::string>(*entry.GetItemValue("Form")), "Appointment");
    EXPECT_EQ(std::get<std::string>(*entry.GetItemValue("AppointmentType")), item->AllDayEvent().value_or(false) ? "2" : "0");
    if (item->RecurrenceBlob().empty()) continue;
    ++series;
    EXPECT_EQ(std::get<std::string>(*entry.GetItemValue("Repeats")), "1");
    const auto starts = entry.GetItemValue("StartDateTime");
    ASSERT_TRUE(starts && std::holds_alternative<notes::DateTimeList>(*starts));
    const std::vector<QDateTime> expected = SourceStarts(*item);
    EXPECT_GT(expected.size(), 1u);
    EXPECT_EQ(InUtc(std::get<notes::DateTimeList>(*starts)), expected);
    const auto ends = entry.GetItemValue("EndDateTime");
    ASSERT_TRUE(ends && std::holds_alternative<notes::DateTimeList>(*ends));
    EXPECT_EQ(std::get<notes::DateTimeList>(*ends).size(), expected.size());
    EXPECT_TRUE(entry.HasItem("$StartTimeZone"));
  }
  EXPECT_EQ(series, 12);

  // The meeting: its alarm, busy time and attendees.
  notes::Document& planning = *entries.at("Fortnightly planning");
  EXPECT_TRUE(planning.HasItem("$Alarm"));
  EXPECT_TRUE(planning.HasItem("$AlarmOffset"));
  const auto required = planning.GetItemValue("RequiredAttendees");
  ASSERT_TRUE(required && std::holds_alternative<notes::TextList>(*required));
  EXPECT_FALSE(std::get<notes::TextList>(*required).empty());
  EXPECT_TRUE(planning.HasItem("OptionalAttendees"));
  EXPECT_TRUE(planning.HasItem("Resources"));
  EXPECT_EQ(std::get<std::string>(*planning.GetItemValue("Chair")), "");
  // A single all-day event is one all-day entry on its day.
  notes::Document& single = *entries.at("Single all-day event");
  EXPECT_EQ(std::get<std::string>(*single.GetItemValue("AppointmentType")), "2");
  EXPECT_FALSE(single.HasItem("Repeats") && std::get<std::string>(*single.GetItemValue("Repeats")) == "1");
}

}  // namespace
}  // namespace norvexa::conversion
