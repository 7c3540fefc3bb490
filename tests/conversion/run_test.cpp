// Whole runs against real store files and real Notes databases: a new
// database, an existing one, failures reported instead of shown as success,
// steps that fail cleanly, a second start ignored, "#" in a folder name.
#include "conversion/export_job.h"
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

#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>

namespace norvexa::conversion {
namespace {

using windows::frmSave;

namespace fs = std::filesystem;
const std::string S = sys::PathSeparator().toStdString();
const QString kSuccess = "Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.";

// A view without a screen that records the labels and can act at a yield.
class TestView final : public ExportObserver {
 public:
  std::string header, processing, found, current;
  int yields = 0;
  std::function<void(int)> on_yield;
  void SetSaveHeader(const std::string& t) override { header = t; }
  void SetProcessing(const std::string& t) override { processing = t; }
  void SetFound(const std::string& t) override { found = t; }
  void SetCurrent(const std::string& t) override { current = t; }
  void ResetProgress() override { header = "Checking Configuration..."; }
  void Yield() override {
    ++yields;
    if (on_yield) on_yield(yields);
  }
};

// Items per kind of folder among REFERENCES of the store at PATH.
struct Expected {
  std::size_t mail_database = 0;  // mail, calendar, task items
  std::size_t address_book = 0;   // contacts and lists
  std::vector<std::string> not_converted;
};
Expected Count(const fs::path& path, const std::vector<std::string>& references) {
  Expected expected;
  const auto store = outlook::OpenStoreFile(path);
  for (const std::string& reference : references) {
    const auto folder = store->GetFolderFromID(reference.substr(0, reference.find('#')));
    const std::string kind = folder->DefaultMessageClass();
    const auto count = static_cast<std::size_t>(folder->GetItems()->Count());
    if (kind == "IPM.Contact") {
      expected.address_book += count;
    } else if (kind == "IPM.Note" || kind == "IPM.Appointment" || kind == "IPM.Task") {
      expected.mail_database += count;
    } else {
      expected.not_converted.push_back(reference.substr(reference.find('#') + 1));
    }
  }
  return expected;
}

// A new, empty mail database at PATH from the client's mail template.
void MakeMailDatabase(const std::string& path) {
  notes::Session session;
  const std::string name = session.GETENVIRONMENTSTRING("DefaultMailTemplate", true);
  session.GetDatabase("", name)->CreateCopy("", path);
}

std::string Sha256(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

TEST(Run, NewDatabaseReceivesEveryItemAndStagedFilesAreGone) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "dist-list.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  const Expected expected = Count(pst, Global::SelectedFolders);
  ASSERT_GT(expected.mail_database, 0u);
  ASSERT_GT(expected.address_book, 0u);
  Global::SelectedFolders.push_back("");
  Global::SelectedFolders.push_back("   ");

  frmSave form;
  form.PrepareForNewDatabase();
  const fs::path out = env.scratch() / "out";
  services.folders.push_back(QString::fromStdString(out.string()));
  form.CmdNewNSF->click();

  const std::string folder = out.string() + S + "Converted Outlook PST" + S;
  EXPECT_EQ(Global::NsfFilePath, folder + "dist-list06-12-2026-9-5-3.nsf");
  EXPECT_EQ(Global::AddressBookPath.rfind(folder + "names", 0), 0u) << Global::AddressBookPath;
  ASSERT_FALSE(services.messages.empty());
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.title, "Export Complete");
  EXPECT_EQ(done.icon, sys::Icon::Information) << done.text.toStdString() << "\n" << done.detail.toStdString();
  EXPECT_EQ(done.text, kSuccess + "\r\n" + QString::fromStdString(Global::NsfFilePath) + "\r\n" +
                           QString::fromStdString(Global::AddressBookPath));
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_TRUE(Global::SelectedFolders.empty());

  EXPECT_EQ(testing::DocumentCount(Global::NsfFilePath), expected.mail_database);
  EXPECT_EQ(testing::DocumentCount(Global::AddressBookPath), expected.address_book);

  // Attachments arrive byte for byte; nothing staged is left behind.
  std::vector<std::string> source_hashes;
  {
    const auto store = outlook::OpenStoreFile(pst);
    const std::string appointments = testing::FolderReferenceOfKind(pst, "IPM.Appointment");
    ASSERT_FALSE(appointments.empty());
    const auto items = store->GetFolderFromID(appointments.substr(0, appointments.find('#')))->GetItems();
    for (std::int64_t i = 1; i <= items->Count(); ++i) {
      const auto attachments = items->GetItem(i)->GetAttachments();
      for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
        const fs::path copy = env.scratch() / ("a" + std::to_string(k));
        attachments->GetAttachment(k)->SaveAsFile(copy);
        source_hashes.push_back(Sha256(testing::ReadFile(copy)));
      }
    }
  }
  ASSERT_EQ(source_hashes.size(), 2u);
  std::vector<std::string> stored_hashes;
  notes::Session session;
  const auto database = session.GetDatabase("", Global::NsfFilePath);
  for (const std::string& unid : database->AllDocumentIds()) {
    for (const notes::AttachmentInfo& info : database->GetDocumentByUNID(unid)->Attachments()) {
      stored_hashes.push_back(info.sha256);
    }
  }
  std::sort(source_hashes.begin(), source_hashes.end());
  std::sort(stored_hashes.begin(), stored_hashes.end());
  EXPECT_EQ(stored_hashes, source_hashes);
  EXPECT_TRUE(fs::is_empty(env.temp()));
}

TEST(Run, ExistingDatabaseListsFoldersNotConvertedAndReportsFailedItems) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "mixed-kinds.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  const std::string target = (env.scratch() / "mine.nsf").string();
  MakeMailDatabase(target);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  const std::vector<std::string> references = testing::FolderReferences(pst);
  const Expected expected = Count(pst, references);
  ASSERT_FALSE(expected.not_converted.empty());  // the journal
  const std::size_t items = expected.mail_database + expected.address_book;
  ASSERT_GT(items, 1u);

  // Everything written: the plain message, third line empty, the journal
  // listed as not converted but not as a failure.
  {
    Global::SelectedFolders = references;
    TestView view;
    ExportJob run;
    ASSERT_EQ(windows::RunFromSaveWindow(run, view, {false, "  " + target + " ", ""}, nullptr), RunEnd::Completed);
    const sys::Message& done = services.messages.back();
    EXPECT_EQ(done.icon, sys::Icon::Information) << done.text.toStdString() << "\n" << done.detail.toStdString();
    EXPECT_EQ(done.text, kSuccess + "\r\n" + QString::fromStdString(target) + "\r\n");
    for (const std::string& name : expected.not_converted) {
      EXPECT_TRUE(done.detail.contains(QString::fromStdString(name))) << done.detail.toStdString();
    }
    EXPECT_TRUE(done.detail.contains("Not converted"));
    EXPECT_EQ(testing::DocumentCount(target), items);
  }

  // The database vanishes once the run has checked it: the first item that
  // cannot be written ends the run, and the message says what happened
  // instead of claiming success or failing every item one by one.
  {
    Global::SelectedFolders = references;
    TestView view;
    view.on_yield = [&](int n) {
      if (n == 2) fs::remove(target);
    };
    ExportJob run;
    ASSERT_EQ(windows::RunFromSaveWindow(run, view, {false, target, ""}, nullptr), RunEnd::Halted);
    const sys::Message& done = services.messages.back();
    EXPECT_EQ(done.title, "Export Stopped");
    EXPECT_EQ(done.icon, sys::Icon::Critical);
    EXPECT_TRUE(done.text.contains(QString::fromStdString(target) + " is no longer there")) << done.text.toStdString();
    EXPECT_TRUE(done.text.contains(QString("0 items were copied and %1 were not.").arg(items)))
        << done.text.toStdString();
    EXPECT_EQ(run.Report().Failed(), 1);
    EXPECT_EQ(run.Report().NotCopied(), static_cast<std::int64_t>(items));
    EXPECT_TRUE(Global::SelectedFolders.empty());
    // The failed item is named first in the detail.
    EXPECT_TRUE(done.detail.startsWith("Could not be copied: ")) << done.detail.toStdString();
    EXPECT_FALSE(fs::exists(target));
  }
}

TEST(Run, ADamagedStoreIsCopiedAndTheCompletionBoxSaysWhereItWasDamaged) {
  testing::ScratchDir scratch;
  const fs::path pst = scratch / "Damaged.pst";
  pstgen::WriteMailbox(pstgen::ParseDescription(QByteArray(R"({
    "store": "Damaged", "folders": [ { "name": "Inbox", "class": "IPF.Note", "items": [
      { "subject": "Sound", "body": "A sound body.\r\n" },
      { "subject": "Hit", "body": "FLIP-THIS-BODY and more.\r\n" } ] } ] })"), "damaged"),
                       pst);
  std::string bytes = testing::ReadFile(pst);
  // One letter of the second body changed (its block fails its CRC check),
  // and the node index's root page zeroed (the index is read around it).
  const std::u16string text = u"FLIP-THIS-BODY";
  const std::size_t body = bytes.find(std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  ASSERT_NE(body, std::string::npos);
  bytes[body] ^= 0x20;
  std::uint64_t root = 0;
  for (int i = 0; i < 8; ++i) root |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[224 + i])) << (8 * i);
  ASSERT_LT(root + 512, bytes.size());
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(root), 512, '\0');
  testing::WriteFile(pst, bytes);

  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  const std::string target = (env.scratch() / "mine.nsf").string();
  MakeMailDatabase(target);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  TestView view;
  ExportJob run;
  ASSERT_EQ(windows::RunFromSaveWindow(run, view, {false, target, ""}, nullptr), RunEnd::Completed);
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.icon, sys::Icon::Warning);
  EXPECT_FALSE(done.text.contains("Successfully")) << done.text.toStdString();
  EXPECT_TRUE(done.text.startsWith("Outlook Mailbox Exported to Lotus Notes Mailbox from a damaged store file: 2 "
                                   "items were copied. 1 item was read from damaged parts"))
      << done.text.toStdString();
  EXPECT_TRUE(done.detail.contains("Read from a damaged part of the file: Damaged\\Inbox: \"Hit\": at offset 0x"))
      << done.detail.toStdString();
  char place[64];
  std::snprintf(place, sizeof place, "Store file damaged: at offset 0x%llX: ", static_cast<unsigned long long>(root));
  EXPECT_TRUE(done.detail.contains(place)) << done.detail.toStdString();
  EXPECT_EQ(run.Report().DamagedItems(RunReport::DamageKind::ReadFromDamagedParts), 1);
  EXPECT_EQ(testing::DocumentCount(target), 2u);
}

TEST(Run, StepsBeforeWritingFailCleanlyAndKeepTheWindow) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "empty-ansi.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  const std::vector<std::string> references = testing::FolderReferences(pst);

  auto run_new = [&](const std::string& store_id, const std::string& output) {
    Global::SelectedStoreId = store_id;
    Global::SelectedFolders = references;
    frmSave form;
    form.PrepareForNewDatabase();
    services.folders.push_back(QString::fromStdString(output));
    form.CmdNewNSF->click();
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(Global::SelectedFolders, references);
    return services.messages.back();
  };

  // A store that cannot be opened.
  const fs::path out = env.scratch() / "out";
  sys::Message shown = run_new("not-a-store", out.string());
  EXPECT_TRUE(shown.text.startsWith("Could not open the Outlook store")) << shown.text.toStdString();
  EXPECT_FALSE(fs::exists(out));

  // An output folder that cannot be made: a message, and the program goes on.
  testing::WriteFile(env.scratch() / "plain-file", "x");
  shown = run_new(testing::StoreIdOf(pst), (env.scratch() / "plain-file").string());
  EXPECT_TRUE(shown.text.startsWith("Could not create the folder")) << shown.text.toStdString();
  EXPECT_FALSE(shown.text.contains("NOT INSTALLED"));

  // An output folder whose path is too long for a database file: a clear
  // message, nothing made, and the program goes on.
  const fs::path deep = env.scratch() / std::string(200, 'a') / std::string(200, 'b') / std::string(120, 'c');
  shown = run_new(testing::StoreIdOf(pst), deep.string());
  EXPECT_TRUE(shown.text.contains("is too long for a Lotus Notes database")) << shown.text.toStdString();
  EXPECT_FALSE(shown.text.contains("NOT INSTALLED"));
  EXPECT_FALSE(fs::exists(env.scratch() / std::string(200, 'a')));

  // An existing file that is not a Notes database, or is not there at all.
  for (const fs::path& file : {testing::WriteFile(env.scratch() / "notes.nsf", "plain text, not a database"),
                               env.scratch() / "missing.nsf"}) {
    Global::SelectedStoreId = testing::StoreIdOf(pst);
    Global::SelectedFolders = references;
    frmSave form;
    form.PrepareForNewDatabase();
    form.OptExistingNSF->click();
    services.open_file_names.push_back(QString::fromStdString(file.string()));
    form.CmdExistingNSF->click();
    shown = services.messages.back();
    EXPECT_TRUE(shown.text.contains("could not be opened as a Lotus Notes database")) << shown.text.toStdString();
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(Global::SelectedFolders, references);
  }
  EXPECT_EQ(testing::ReadFile(env.scratch() / "notes.nsf"), "plain text, not a database");
  EXPECT_FALSE(fs::exists(env.scratch() / "missing.nsf"));
  EXPECT_TRUE(fs::is_empty(env.temp()));
}

TEST(Run, SecondStartIsIgnoredAndHashStaysInTheFolderName) {
  NORVEXA_REQUIRE_SHARED_PST(pst, "empty-ansi.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  const std::string target = (env.scratch() / "mine.nsf").string();
  MakeMailDatabase(target);
  const std::string mail = testing::FolderReferenceOfKind(pst, "IPM.Note");
  ASSERT_FALSE(mail.empty());
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = {mail.substr(0, mail.find('#')) + "#Personal Folders\\C# and #2 "};

  frmSave form;
  form.PrepareForNewDatabase();
  form.OptExistingNSF->click();
  bool nested_tried = false;
  // Delivered at the run's first yield, as a click would be.
  QTimer::singleShot(0, &form, [&] {
    nested_tried = true;
    form.CmdConversion_Click();
    form.CmdNewNSF_Click();
    form.CmdExistingNSF_Click();
    form.reject();
  });
  services.open_file_names.push_back(QString::fromStdString(target));
  form.CmdExistingNSF->click();

  EXPECT_TRUE(nested_tried);
  EXPECT_EQ(services.open_file_filters.size(), 1u);  // the nested chooser was not shown
  EXPECT_TRUE(services.folder_prompts.empty());
  EXPECT_EQ(std::count_if(services.messages.begin(), services.messages.end(),
                          [](const sys::Message& m) { return m.title == "Export Complete"; }),
            1);
  EXPECT_EQ(form.result(), QDialog::Accepted);

  notes::Session session;
  const auto database = session.GetDatabase("", target);
  const std::vector<std::string> folders = database->FolderNames();
  EXPECT_NE(std::find(folders.begin(), folders.end(), "Personal Folders\\C# and #2"), folders.end());
  EXPECT_EQ(database->FolderDocumentIds("Personal Folders\\C# and #2").size(), 1u);
}

TEST(Run, ItemsTheTargetHoldsAreSkippedAndCountedAndAFailingCheckWritesTheItem) {
  testing::ScratchDir work;
  const fs::path pst = work / "Every Kind.pst";
  pstgen::WriteMailbox(pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/every-kind.json"),
                       pst);
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  const std::string target = (env.scratch() / "mine.nsf").string();
  MakeMailDatabase(target);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  const std::size_t items = testing::SourceKeysOfConvertedItems(pst).size();

  // The inbox's items are said to be there; asking about the calendar's
  // fails, which must not lose them.
  TestView view;
  ExportJob run;
  std::vector<std::string> asked;
  run.SetSkip([&](const outlook::Item& item, const std::string& folder_name) {
    asked.push_back(item.SourceKey());
    if (folder_name == "Every Kind\\Calendar") throw std::runtime_error("cannot look");
    return folder_name == "Every Kind\\Inbox";
  });
  ASSERT_EQ(windows::RunFromSaveWindow(run, view, {false, target, ""}, nullptr), RunEnd::Completed);
  EXPECT_EQ(asked.size(), items);
  EXPECT_EQ(run.Report().Skipped(), 2);
  EXPECT_EQ(run.Report().Copied(), static_cast<std::int64_t>(items) - 2);
  EXPECT_TRUE(run.Report().AllCopied());
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.icon, sys::Icon::Information);
  EXPECT_TRUE(done.detail.contains("Folder Every Kind\\Inbox: 0 copied, 0 could not be copied, 2 already in the "
                                   "database"))
      << done.detail.toStdString();

  notes::Session session;
  const auto database = session.GetDatabase("", target);
  // Nothing was written for the inbox, not even its folder.
  const std::vector<std::string> folders = database->FolderNames();
  EXPECT_EQ(std::find(folders.begin(), folders.end(), "Every Kind\\Inbox"), folders.end());
  EXPECT_EQ(database->FolderDocumentIds("Every Kind\\Calendar").size(), 1u);
  EXPECT_EQ(testing::DocumentCount(target), items - 2);
}

}  // namespace
}  // namespace norvexa::conversion
