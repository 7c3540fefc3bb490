// The whole export through the real windows: a generated mailbox holding
// every kind of item, opened as a .pst on the main window, its folders
// handed over, and exported from the save window into a new database and
// into an existing one. Every item is then looked up with the Notes
// back-end: its document in its folder, its attachments byte for byte, the
// contacts and lists as Person and Group documents.
#include "conversion/run_environment.h"
#include "conversion/global/global.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "shell/frm_main.h"
#include "shell/shell_test_support.h"
#include "source/folders_tree.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"
#include "windows/frm_save.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace norvexa::shell {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::ScriptedServices;

const std::string S = sys::PathSeparator().toStdString();

// Points an environment variable at a value for the guard's lifetime.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, QByteArray::fromStdString(value));
  }
  ~EnvGuard() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

using testing::ActualDocuments;
using testing::ExpectedDocuments;

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    pst_ = scratch_ / "Every Kind.pst";
    pstgen::WriteMailbox(
        pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/every-kind.json"), pst_);
    notes::ProvisionClient(scratch_ / "notes");
    notes_env_ = std::make_unique<EnvGuard>("NORVEXA_NOTES_DATA", (scratch_ / "notes").string());
    profile_ = std::make_unique<testing::ProfileGuard>(testing::WriteProfile(scratch_ / "profile", {pst_}));
    fs::create_directories(scratch_ / "tmp");
    services_.temp_folder = QString::fromStdString((scratch_ / "tmp").string() + S);
    services_.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  }

  // Opens the mailbox as a .pst on the main window and presses Start
  // Conversion; CHOOSE picks the target in the save window.
  void Export(frmMain& w, std::function<void(windows::frmSave*)> choose) {
    w.show();
    w.OptOtherPST->click();
    services_.open_file_names.push_back(QString::fromStdString(pst_.string()));
    w.CmdBrowse->click();
    w.CmdExportOther->click();
    ASSERT_EQ(w.NotesTab->currentIndex(), 1);
    ASSERT_TRUE(w.CmdStartConversion->isEnabled());
    ASSERT_GE(source::NodeCount(w.OutlookFoldersTree), 2);
    bool saw_save_window = false;
    const auto watch_modal = testing::OnNextModal([&](QWidget* modal) {
      auto* save = qobject_cast<windows::frmSave*>(modal);
      if (!save) {
        modal->close();
        return;
      }
      saw_save_window = true;
      choose(save);
      if (save->isVisible()) save->reject();  // a run that did not end
    });
    w.CmdStartConversion->click();
    ASSERT_TRUE(saw_save_window);
    EXPECT_TRUE(Global::SelectedFolders.empty() || std::all_of(Global::SelectedFolders.begin(),
                                                              Global::SelectedFolders.end(),
                                                              [](const std::string& f) { return f.empty(); }));
  }

  // The completion message as the run showed it.
  void ExpectCompletion(const std::string& address_book) {
    ASSERT_FALSE(services_.messages.empty());
    const sys::Message& done = services_.messages.back();
    EXPECT_EQ(done.title, "Export Complete");
    EXPECT_EQ(done.text, QString::fromStdString("Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.\r\n" +
                                                Global::NsfFilePath + "\r\n" + address_book))
        << done.text.toStdString() << "\n" << done.detail.toStdString();
  }

  ScratchDir scratch_;
  fs::path pst_;
  ScriptedServices services_;
  std::unique_ptr<EnvGuard> notes_env_;
  std::unique_ptr<testing::ProfileGuard> profile_;
};

TEST_F(EndToEnd, EveryKindIntoANewDatabase) {
  const auto expected = ExpectedDocuments(pst_, scratch_.path());
  ASSERT_TRUE(expected.count("Outlook Contacts"));
  ASSERT_TRUE(expected.count("Outlook Groups"));
  frmMain w;
  services_.folders.push_back(QString::fromStdString((scratch_ / "out").string()));
  Export(w, [](windows::frmSave* save) { save->CmdNewNSF->click(); });

  EXPECT_EQ(Global::NsfFilePath, (scratch_ / "out").string() + S + "Converted Outlook PST" + S +
                                     "Every Kind06-12-2026-9-5-3.nsf");
  ExpectCompletion(Global::AddressBookPath);
  ASSERT_TRUE(fs::exists(Global::NsfFilePath));
  ASSERT_TRUE(fs::exists(Global::AddressBookPath));
  std::size_t mail_side = 0;
  for (const auto& [folder, documents] : expected) {
    const bool address_book = folder == "Outlook Contacts" || folder == "Outlook Groups";
    EXPECT_EQ(ActualDocuments(address_book ? Global::AddressBookPath : Global::NsfFilePath, folder), documents)
        << "folder " << folder;
    if (!address_book) mail_side += documents.size();
  }
  notes::Session session;
  EXPECT_EQ(session.GetDatabase("", Global::NsfFilePath)->AllDocumentIds().size(), mail_side);
  EXPECT_TRUE(fs::is_empty(scratch_ / "tmp"));
  // The save window is gone; the main window is as it was.
  EXPECT_EQ(w.SaveWindow, nullptr);
  EXPECT_TRUE(w.isVisible());
}

TEST_F(EndToEnd, EveryKindIntoAnExistingDatabase) {
  const auto expected = ExpectedDocuments(pst_, scratch_.path());
  // An existing mail database: a copy of the client's mail template.
  const std::string existing = (scratch_ / "existing.nsf").string();
  {
    notes::Session session;
    const std::string template_name = session.GETENVIRONMENTSTRING("DefaultMailTemplate", true);
    const auto mail_template = session.GetDatabase("", (session.DataDirectory() / template_name).string());
    mail_template->CreateCopy("", existing);
  }
  frmMain w;
  Export(w, [this, &existing](windows::frmSave* save) {
    save->OptExistingNSF->click();
    services_.open_file_names.push_back(QString::fromStdString(existing));
    save->CmdExistingNSF->click();
  });

  EXPECT_EQ(Global::NsfFilePath, existing);
  ExpectCompletion("");
  std::size_t total = 0;
  for (const auto& [folder, documents] : expected) {
    EXPECT_EQ(ActualDocuments(existing, folder), documents) << "folder " << folder;
    total += documents.size();
  }
  notes::Session session;
  EXPECT_EQ(session.GetDatabase("", existing)->AllDocumentIds().size(), total);
}

}  // namespace
}  // namespace norvexa::shell
