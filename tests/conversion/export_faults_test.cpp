// Whole exports of generated mailboxes where something is unusual or goes
// wrong: a sender known only by name, an attached item without name or
// subject, a folder that cannot be read, a "|" in the temporary folder's
// path, and a target that fills up, becomes read-only or vanishes.
#include "conversion/export_job.h"
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/notes/sqlite_store.h"
#include "platform/outlook/outlook.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"
#include "support/small_volume.h"
#include "windows/frm_save.h"
#include "windows/save_window_run.h"

#include <QByteArray>
#include <QPushButton>
#include <QRadioButton>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace norvexa::conversion {
namespace {

using windows::frmSave;

namespace fs = std::filesystem;
const std::string S = sys::PathSeparator().toStdString();

// Sets an environment variable for the object's lifetime.
class EnvVar {
 public:
  EnvVar(const char* name, const std::string& value) : name_(name), old_(qgetenv(name)) {
    qputenv(name, QByteArray::fromStdString(value));
  }
  ~EnvVar() {
    if (old_.isNull()) {
      qunsetenv(name_);
    } else {
      qputenv(name_, old_);
    }
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  QByteArray old_;
};

// A view without a screen that can act at a yield.
class TestView final : public ExportObserver {
 public:
  std::function<void(int)> on_yield;
  int yields = 0;
  void SetSaveHeader(const std::string&) override {}
  void SetProcessing(const std::string&) override {}
  void SetFound(const std::string&) override {}
  void SetCurrent(const std::string&) override {}
  void ResetProgress() override {}
  void Yield() override {
    if (on_yield) on_yield(++yields);
  }
};

// The mailbox of tests/data/mailboxes/NAME.json written to FOLDER.
fs::path Generate(const std::string& name, const testing::ScratchDir& folder, const std::string& file) {
  const fs::path pst = folder / file;
  pstgen::WriteMailbox(
      pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes" / (name + ".json")), pst);
  return pst;
}

// Hashes of the attachments stored in the database at PATH, sorted.
std::vector<std::string> StoredAttachmentHashes(const std::string& path) {
  notes::Session session;
  const auto database = session.GetDatabase("", path);
  std::vector<std::string> hashes;
  for (const std::string& unid : database->AllDocumentIds()) {
    for (const notes::AttachmentInfo& info : database->GetDocumentByUNID(unid)->Attachments()) {
      hashes.push_back(info.sha256);
    }
  }
  std::sort(hashes.begin(), hashes.end());
  return hashes;
}

// The folder references of the store at PST with its Inbox last, so that
// the other folders are copied first.
std::vector<std::string> InboxLast(const fs::path& pst) {
  std::vector<std::string> folders = testing::FolderReferences(pst);
  std::stable_partition(folders.begin(), folders.end(),
                        [](const std::string& reference) { return !reference.ends_with("#Every Kind\\Inbox"); });
  return folders;
}

// Runs a new-database export into OUTPUT through the save window, as the
// user starts it.
frmSave::DialogCode ExportToNewDatabase(testing::ScriptedServices& services, const fs::path& output) {
  frmSave form;
  form.PrepareForNewDatabase();
  services.folders.push_back(QString::fromStdString(output.string()));
  form.CmdNewNSF->click();
  return static_cast<frmSave::DialogCode>(form.result());
}

TEST(ExportFaults, SenderNameNamelessAttachedItemAndUnreadFolderAreNotLost) {
  testing::ScratchDir work;
  const fs::path pst = Generate("unusual-items", work, "Unusual.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);
  // A folder the tree showed with 4 items that can no longer be opened.
  const std::string lost = "00000000DEAD#Unusual Items\\Lost";
  Global::SelectedFolders.push_back(lost);
  Global::SelectedFolderCounts = {{lost, 4}};

  EXPECT_EQ(ExportToNewDatabase(services, env.scratch() / "out"), QDialog::Accepted);
  ASSERT_FALSE(services.messages.empty());
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.icon, sys::Icon::Warning);
  EXPECT_TRUE(done.text.startsWith("Outlook Mailbox Exported to Lotus Notes Mailbox with errors: 4 of 6 items could "
                                   "not be copied. 1 folder could not be read (4 items).\r\n"))
      << done.text.toStdString();
  // What is missing is the first thing under "Show Details...".
  EXPECT_TRUE(done.detail.startsWith("Folder could not be read: Unusual Items\\Lost (4 items): could not be opened"))
      << done.detail.toStdString();
  EXPECT_TRUE(Global::SelectedFolderCounts.empty());

  notes::Session session;
  const auto mail = session.GetDatabase("", Global::NsfFilePath);
  const std::vector<std::string> ids = mail->FolderDocumentIds("Unusual Items\\Inbox");
  ASSERT_EQ(ids.size(), 2u);
  bool report_seen = false, forward_seen = false;
  for (const std::string& unid : ids) {
    const auto document = mail->GetDocumentByUNID(unid);
    const auto subject = document->GetItemValue("Subject");
    if (subject == notes::ItemValue(std::string("Undeliverable: Budget"))) {
      report_seen = true;
      // The sender has no address: its name is the sender.
      EXPECT_EQ(document->GetItemValue("From"), notes::ItemValue(std::string("System Administrator")));
      EXPECT_EQ(document->GetItemValue("Principal"), notes::ItemValue(std::string("System Administrator")));
    } else {
      forward_seen = true;
      // A sender with an address keeps the address.
      EXPECT_EQ(document->GetItemValue("From"), notes::ItemValue(std::string("anna.berger@example.com")));
      const std::vector<notes::AttachmentInfo> attachments = document->Attachments();
      ASSERT_EQ(attachments.size(), 1u);
      EXPECT_EQ(attachments[0].file_name, "attachment.eml");
    }
  }
  EXPECT_TRUE(report_seen);
  EXPECT_TRUE(forward_seen);
  EXPECT_TRUE(fs::is_empty(env.temp()));
}

TEST(ExportFaults, PipeInTheTempFolderPathLosesNoAttachment) {
  testing::ScratchDir work;
  const fs::path pst = Generate("every-kind", work, "Every Kind.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  const fs::path piped_temp = env.scratch() / "tmp|1";
  fs::create_directories(piped_temp);
  services.temp_folder = QString::fromStdString(piped_temp.string() + S);
  const fs::path cache = env.scratch() / "cache";
  EnvVar cache_home("XDG_CACHE_HOME", cache.string());
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  Global::SelectedFolders = testing::FolderReferences(pst);

  EXPECT_EQ(ExportToNewDatabase(services, env.scratch() / "out"), QDialog::Accepted);
  ASSERT_FALSE(services.messages.empty());
  const sys::Message& done = services.messages.back();
  EXPECT_EQ(done.text, QString::fromStdString("Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.\r\n" +
                                              Global::NsfFilePath + "\r\n" + Global::AddressBookPath))
      << done.detail.toStdString();
  // Every attachment arrived, byte for byte, staged in the temporary folder
  // itself, and nothing is left staged there; no other folder was needed.
  const std::vector<std::string> stored = StoredAttachmentHashes(Global::NsfFilePath);
  EXPECT_EQ(stored.size(), 7u);
  EXPECT_EQ(stored, testing::SourceAttachmentHashes(pst, work.path()));
  EXPECT_TRUE(fs::is_empty(piped_temp));
  EXPECT_FALSE(fs::exists(cache));

  // Every folder the run could stage in holds "|": still nothing is lost.
  const fs::path piped_home = env.scratch() / "home|2";
  fs::create_directories(piped_home);
  EnvVar home("HOME", piped_home.string());
  EnvVar piped_cache("XDG_CACHE_HOME", (env.scratch() / "cache|3").string());
  Global::SelectedFolders = testing::FolderReferences(pst);
  EXPECT_EQ(ExportToNewDatabase(services, env.scratch() / "out2"), QDialog::Accepted);
  EXPECT_EQ(services.messages.back().icon, sys::Icon::Information) << services.messages.back().text.toStdString();
  EXPECT_EQ(StoredAttachmentHashes(Global::NsfFilePath), testing::SourceAttachmentHashes(pst, work.path()));
  EXPECT_TRUE(fs::is_empty(piped_temp));
}

TEST(ExportFaults, FullDiskStopsTheRunAfterThatItemAndKeepsWhatWasSaved) {
  testing::ScratchDir work;
  const fs::path pst = Generate("every-kind", work, "Every Kind.pst");
  // Room for the new databases and the small items, not for the 10.5 MB
  // attachment of the first Inbox mail.
  NORVEXA_REQUIRE_SMALL_VOLUME(volume, 6 * 1024 * 1024);
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  const std::vector<std::string> folders = InboxLast(pst);
  ASSERT_TRUE(folders.back().ends_with("#Every Kind\\Inbox"));
  Global::SelectedFolders = folders;

  EXPECT_EQ(ExportToNewDatabase(services, volume.path()), QDialog::Accepted);
  ASSERT_FALSE(services.messages.empty());
  const sys::Message& stopped = services.messages.back();
  EXPECT_EQ(stopped.title, "Export Stopped");
  EXPECT_TRUE(stopped.text.contains("the disk that holds the Lotus Notes Mailbox is full")) << stopped.text.toStdString();
  // Sent, calendar, task, person, group, unclassified and receipt were
  // copied; both Inbox mails were not: the first failed, the second was
  // never tried.
  EXPECT_TRUE(stopped.text.contains("7 items were copied and 2 were not.")) << stopped.text.toStdString();
  EXPECT_TRUE(stopped.text.contains(QString::fromStdString(Global::NsfFilePath)));
  EXPECT_TRUE(stopped.text.contains("export again into a new Lotus Notes Mailbox"));
  EXPECT_EQ(std::count_if(services.messages.begin(), services.messages.end(),
                          [](const sys::Message& m) { return m.title == "Export Stopped"; }),
            1);
  // The first Inbox mail would have been saved without the attachment that
  // did not fit: it is named as not copied, and why, and is not kept.
  EXPECT_TRUE(stopped.detail.startsWith("Could not be copied: Every Kind\\Inbox: \"Quarterly report\": the "
                                        "document was not kept without its part: embedding "))
      << stopped.detail.toStdString();
  EXPECT_TRUE(stopped.detail.contains("big archive.zip"));

  // What was saved is there and readable (the incomplete mail is not: the
  // database holds only what the report calls copied); the staging folder
  // is gone.
  EXPECT_EQ(testing::DocumentCount(Global::NsfFilePath), 5u);
  EXPECT_EQ(testing::DocumentCount(Global::AddressBookPath), 2u);
  EXPECT_TRUE(fs::is_empty(env.temp()));
  EXPECT_TRUE(Global::SelectedFolders.empty());
  notes::internal::CloseIdleConnections();

  // The same into an existing database on that disk: it halts on the same
  // mail; moved to a disk with room, the same export with resume writes
  // the mail that was not kept, and every item is there once.
  fs::remove_all(volume.path() / "Converted Outlook PST");
  const std::string full = (volume.path() / "mine.nsf").string();
  testing::MakeMailDatabase(full);
  ExportRequest request;
  request.store.file = pst.string();
  request.folders = InboxLast(pst);
  request.target = {TargetChoice::Kind::ExistingDatabase, full};
  TestView view;
  const ExportResult halted = ExportJob().Run(request, view);
  ASSERT_EQ(halted.end, RunEnd::Halted);
  ASSERT_TRUE(halted.report.StopReason());
  EXPECT_EQ(halted.report.StopReason()->state, sys::WriteState::Full);
  EXPECT_EQ(halted.report.StopReason()->where, full);
  ASSERT_EQ(halted.report.Failed(), 1);
  EXPECT_EQ(testing::DocumentCount(full), static_cast<std::size_t>(halted.report.Copied()));
  // The log the full disk kept from being copied back goes with it.
  notes::internal::CloseIdleConnections();
  const std::string roomy = (env.scratch() / "mine.nsf").string();
  for (const char* suffix : {"", "-wal"}) {
    if (fs::exists(full + suffix)) fs::copy_file(full + suffix, roomy + suffix);
  }
  request.target.path = roomy;
  request.resume = true;
  const ExportResult resumed = ExportJob().Run(request, view);
  ASSERT_EQ(resumed.end, RunEnd::Completed)
      << (resumed.start_failure ? resumed.start_failure->path + ": " + resumed.start_failure->detail : "");
  EXPECT_TRUE(resumed.report.AllCopied());
  EXPECT_EQ(resumed.report.Skipped(), halted.report.Copied());
  EXPECT_EQ(resumed.report.Copied(), 2);
  EXPECT_EQ(testing::DocumentSourceKeys(roomy), testing::SourceKeysOfConvertedItems(pst));
  EXPECT_TRUE(fs::is_empty(env.temp()));
  notes::internal::CloseIdleConnections();
}

TEST(ExportFaults, VanishedOrReadOnlyTargetStopsTheRunAtOnce) {
  testing::ScratchDir work;
  const fs::path pst = Generate("every-kind", work, "Every Kind.pst");
  testing::RunEnvironment env({pst});
  testing::ScriptedServices services;
  services.temp_folder = QString::fromStdString(env.temp().string() + S);
  Global::SelectedStoreId = testing::StoreIdOf(pst);
  auto make_database = [](const fs::path& path) {
    notes::Session session;
    session.GetDatabase("", session.GETENVIRONMENTSTRING("DefaultMailTemplate", true))->CreateCopy("", path.string());
  };

  // The database is deleted at the yield after the first item (the writer
  // yields during an item too, with the database open).
  {
    const fs::path target = env.scratch() / "mine.nsf";
    make_database(target);
    Global::SelectedFolders = testing::FolderReferences(pst);
    TestView view;
    ExportJob run;
    view.on_yield = [&](int) {
      if (run.Report().Copied() == 1) fs::remove(target);
    };
    ASSERT_EQ(windows::RunFromSaveWindow(run, view, {false, target.string(), ""}, nullptr), RunEnd::Halted);
    const sys::Message& stopped = services.messages.back();
    EXPECT_TRUE(stopped.text.contains(QString::fromStdString(target.string()) + " is no longer there"))
        << stopped.text.toStdString();
    EXPECT_TRUE(stopped.text.contains("1 item was copied and 8 were not.")) << stopped.text.toStdString();
    EXPECT_EQ(run.Report().Failed(), 1);
    EXPECT_TRUE(fs::is_empty(env.temp()));
  }

  // The disk becomes read-only after the first item.
  NORVEXA_REQUIRE_SMALL_VOLUME(volume, 32 * 1024 * 1024);
  const fs::path target = volume.path() / "mine.nsf";
  make_database(target);
  notes::internal::CloseIdleConnections();
  Global::SelectedFolders = testing::FolderReferences(pst);
  TestView view;
  ExportJob run;
  bool made_read_only = false;
  view.on_yield = [&](int) {
    if (run.Report().Copied() != 1 || made_read_only) return;
    // Nothing may hold the database open for writing while the disk is
    // remounted: the idle connections are closed, and a checkpoint of the
    // back-end's own thread may still have to end.
    for (int attempt = 0; attempt < 100 && !made_read_only; ++attempt) {
      notes::internal::CloseIdleConnections();
      made_read_only = volume.MakeReadOnly();
      if (!made_read_only) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  const RunEnd end = windows::RunFromSaveWindow(run, view, {false, target.string(), ""}, nullptr);
  ASSERT_TRUE(made_read_only) << "the test volume could not be made read-only";
  ASSERT_EQ(end, RunEnd::Halted);
  const sys::Message& stopped = services.messages.back();
  EXPECT_TRUE(stopped.text.contains("can no longer be written to: its disk or file has become read-only"))
      << stopped.text.toStdString();
  EXPECT_TRUE(stopped.text.contains("1 item was copied and 8 were not.")) << stopped.text.toStdString();
  EXPECT_TRUE(stopped.text.contains("The documents copied are kept in:\r\n" + QString::fromStdString(target.string())));
  // Once the disk can be written again, the saved document is there.
  notes::internal::CloseIdleConnections();
  ASSERT_TRUE(volume.MakeWritable());
  EXPECT_EQ(testing::DocumentCount(target.string()), 1u);
  notes::internal::CloseIdleConnections();
}

}  // namespace
}  // namespace norvexa::conversion
