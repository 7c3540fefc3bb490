// A whole run over a generated mailbox holding every kind of item, so that
// the run is tested from a fresh clone without the shared store files.
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"
#include "windows/frm_save.h"
#include "windows/save_window_run.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace norvexa::conversion {
namespace {

using windows::frmSave;

namespace fs = std::filesystem;
const std::string S = sys::PathSeparator().toStdString();

std::unique_ptr<notes::Document> OnlyDocumentIn(notes::Database& database, const std::string& folder) {
  const std::vector<std::string> ids = database.FolderDocumentIds(folder);
  if (ids.size() != 1) return nullptr;
  return database.GetDocumentByUNID(ids[0]);
}

TEST(GeneratedMailbox, EveryKindArrivesInTheNewDatabases) {
  testing::ScratchDir work;
  const fs::path pst = work / "Every Kind.pst";
  pstgen::WriteMailbox(pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/every-kind.json"),
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

  EXPECT_EQ(Global::NsfFilePath, (env.scratch() / "out").string() + S + "Converted Outlook PST" + S +
                                     "Every Kind06-12-2026-9-5-3.nsf");
  ASSERT_FALSE(services.messages.empty());
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.icon, sys::Icon::Information) << done.text.toStdString() << "\n" << done.detail.toStdString();
  EXPECT_EQ(done.text, QString::fromStdString("Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.\r\n" +
                                              Global::NsfFilePath + "\r\n" + Global::AddressBookPath));
  EXPECT_TRUE(done.detail.contains("Every Kind\\Journal (IPM.Journal)")) << done.detail.toStdString();
  EXPECT_TRUE(done.detail.contains("Every Kind\\Notes (IPM.StickyNote)"));
  EXPECT_TRUE(fs::is_empty(env.temp()));

  notes::Session session;
  const auto mail = session.GetDatabase("", Global::NsfFilePath);
  const auto names = session.GetDatabase("", Global::AddressBookPath);
  EXPECT_EQ(mail->AllDocumentIds().size(), 7u);  // 2 inbox, 1 sent, 1 each other mail folder, calendar, task
  EXPECT_EQ(names->AllDocumentIds().size(), 2u);  // the person and the group
  EXPECT_EQ(mail->FolderDocumentIds("Every Kind\\Inbox").size(), 2u);

  // Every document names the item it came from: the source keys of the
  // documents are those of the items of the converted folders, each once.
  std::vector<std::string> keys;
  for (notes::Database* database : {mail.get(), names.get()}) {
    for (const std::string& unid : database->AllDocumentIds()) {
      const auto key = database->GetDocumentByUNID(unid)->GetItemValue(writers::kSourceKeyItem);
      ASSERT_TRUE(key.has_value()) << unid;
      keys.push_back(std::get<std::string>(*key));
    }
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, testing::SourceKeysOfConvertedItems(pst));

  // Attachments byte for byte, the attached message included.
  std::vector<std::string> stored;
  for (const std::string& unid : mail->AllDocumentIds()) {
    for (const notes::AttachmentInfo& info : mail->GetDocumentByUNID(unid)->Attachments()) stored.push_back(info.sha256);
  }
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, testing::SourceAttachmentHashes(pst, work.path()));
  EXPECT_EQ(stored.size(), 7u);

  // Sent mail carries no delivery date; received mail does.
  const auto sent = OnlyDocumentIn(*mail, "Every Kind\\Sent Items");
  ASSERT_TRUE(sent);
  EXPECT_FALSE(sent->HasItem("DeliveredDate"));
  EXPECT_TRUE(sent->HasItem("PostedDate"));
  const auto receipt = OnlyDocumentIn(*mail, "Every Kind\\Receipts");
  ASSERT_TRUE(receipt);
  EXPECT_TRUE(receipt->HasItem("DeliveredDate"));

  // The task keeps its importance as digits.
  const auto task = OnlyDocumentIn(*mail, "Every Kind\\Tasks");
  ASSERT_TRUE(task);
  EXPECT_EQ(task->GetItemValue("Importance"), notes::ItemValue(std::string("2")));

  // The person's birthday survives the trip through the regional date text.
  bool person_seen = false;
  for (const std::string& unid : names->AllDocumentIds()) {
    const auto document = names->GetDocumentByUNID(unid);
    if (document->GetItemValue("Form") != notes::ItemValue(std::string("Person"))) continue;
    person_seen = true;
    const auto birthday = document->GetItemValue("Birthday");
    ASSERT_TRUE(birthday.has_value());
    ASSERT_TRUE(std::holds_alternative<QDateTime>(*birthday));
    EXPECT_EQ(std::get<QDateTime>(*birthday).date(), QDate(1980, 6, 15));
  }
  EXPECT_TRUE(person_seen);
}

}  // namespace
}  // namespace norvexa::conversion
