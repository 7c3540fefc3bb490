// Creation of the new mail database and address book against a provisioned
// client: names, sources, progress texts, and the fatal path (the failure
// CreateNSF returns, on which the save window ends the program).
#include "target/create_nsf.h"

#include "support/scripted_services.h"
#include "windows/export_messages.h"
#include "writers/notes_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace norvexa {
namespace {

using testing::OpenedDatabase;
using testing::ProgramExited;

const std::string kSep = sys::PathSeparator().toStdString();

class RecordedProgress final : public target::SaveProgress {
 public:
  void SetSaveHeader(const std::string& text) override { headers.push_back(text); }
  void SetProcessing(const std::string& text) override { processing.push_back(text); }
  void Yield() override { ++yields; }
  std::vector<std::string> headers, processing;
  int yields = 0;
};

class CreateNsf : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = client_.Scratch("Converted Outlook PST");
    mail_ = (out_ / "Archive06-12-2026-9-5-3.nsf").string();
    folder_ = out_.string() + kSep;
    services_.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 4));
  }

  // Runs CreateNSF for the fixture's names, keeping what it returns.
  void Create() {
    creation_ = target::CreateNSF(progress_, mail_, folder_);
    paths_ = creation_.paths;
  }

  // Runs CreateNSF expecting the fatal path, and then what the save window
  // does on it; returns the exit status.
  int RunExpectingExit() {
    try {
      Create();
      if (creation_.failure) windows::EndProgramNotesNotInstalled();
    } catch (const ProgramExited& exited) {
      return exited.status;
    }
    ADD_FAILURE() << "CreateNSF returned no failure";
    return -1;
  }

  void ExpectFatalMessage() {
    ASSERT_EQ(services_.messages.size(), 1u);
    const sys::Message& m = services_.messages[0];
    EXPECT_EQ(m.text, "Lotus Notes NOT INSTALLED or CONFIGURED Properly.");
    EXPECT_EQ(m.title, "Notes Not Installed/Configured");
    EXPECT_EQ(m.icon, sys::Icon::Information);
    EXPECT_EQ(m.buttons, sys::Buttons::Ok);
  }

  std::vector<std::string> FilesInOut() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out_)) names.push_back(entry.path().filename().string());
    return names;
  }

  testing::NotesClient client_;
  testing::ScriptedServices services_;
  RecordedProgress progress_;
  std::filesystem::path out_;
  std::string mail_, folder_;
  target::Creation creation_;
  target::RunPaths paths_;
};

TEST_F(CreateNsf, MakesTheMailDatabaseAndAStampedAddressBookFromTheFirstNamesEntry) {
  client_.SetSetting("NAMES", "names.nsf,archive.nsf");
  // Without the address-book template, only names.nsf can be the source.
  std::filesystem::remove(client_.dir() / "pernames.ntf");

  Create();

  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(paths_.address_book, out_.string() + kSep + "names06-12-2026-9-5-4.nsf");
  EXPECT_EQ(paths_.mail_database, (out_ / "Archive06-12-2026-9-5-3.nsf").string());
  EXPECT_TRUE(paths_.contacts_to_address_book);
  EXPECT_EQ(progress_.yields, 2);
  EXPECT_EQ(progress_.headers, (std::vector<std::string>{"Creating Lotus Notes Mailbox...",
                                                         "Creating Design Elements...", "Creating Address Book..."}));
  EXPECT_EQ(progress_.processing, std::vector<std::string>{"Please Wait..."});

  OpenedDatabase mail(paths_.mail_database);
  ASSERT_TRUE(mail.db->IsOpen());
  EXPECT_TRUE(mail.db->AllDocumentIds().empty());
  OpenedDatabase mail_template(client_.dir() / client_.Setting("DefaultMailTemplate"));
  EXPECT_EQ(mail.db->DesignElementNames(), mail_template.db->DesignElementNames());

  OpenedDatabase book(paths_.address_book);
  ASSERT_TRUE(book.db->IsOpen());
  EXPECT_TRUE(book.db->AllDocumentIds().empty());
  OpenedDatabase names(client_.dir() / "names.nsf");
  EXPECT_EQ(book.db->DesignElementNames(), names.db->DesignElementNames());
  EXPECT_EQ(book.db->Title(), names.db->Title());
}

TEST_F(CreateNsf, EmptyNamesCopiesTheAddressBookTemplate) {
  client_.SetSetting("NAMES", "");
  std::filesystem::remove(client_.dir() / "names.nsf");
  services_.now = QDateTime(QDate(2027, 1, 2), QTime(23, 0, 59));

  Create();

  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(paths_.address_book, out_.string() + kSep + "names02-01-2027-23-0-59.nsf");
  OpenedDatabase book(paths_.address_book);
  OpenedDatabase pernames(client_.dir() / "pernames.ntf");
  EXPECT_EQ(book.db->DesignElementNames(), pernames.db->DesignElementNames());
}

TEST_F(CreateNsf, TemplateNameIsTrimmedOfSpaces) {
  client_.SetSetting("DefaultMailTemplate", "  " + client_.Setting("DefaultMailTemplate") + "  ");
  client_.SetSetting("NAMES", "names.nsf");
  Create();
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(mail_));
}

TEST_F(CreateNsf, NoMailTemplateEndsTheProgramWithTheMessage) {
  client_.SetSetting("DefaultMailTemplate", "");
  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_TRUE(FilesInOut().empty());
  EXPECT_EQ(paths_.address_book, "");  // nothing returned
}

TEST_F(CreateNsf, FailingAddressBookRemovesTheMailDatabaseJustMade) {
  client_.SetSetting("NAMES", "missing-book.nsf,names.nsf");

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_FALSE(std::filesystem::exists(mail_));
  EXPECT_TRUE(FilesInOut().empty()) << "left: " << ::testing::PrintToString(FilesInOut());
  EXPECT_EQ(progress_.headers.back(), "Creating Address Book...");
}

TEST_F(CreateNsf, AnExistingFileAtTheTargetIsNeverRemoved) {
  testing::WriteFile(mail_, "someone else's file");

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_EQ(testing::ReadFile(mail_), "someone else's file");
}

TEST_F(CreateNsf, NoClientEndsTheProgramWithTheMessage) {
  const std::filesystem::path empty = client_.Scratch("no-client");
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(empty.string()));

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_TRUE(FilesInOut().empty());
}

TEST_F(CreateNsf, FailuresSayWhatAndWhyAndATakenAddressBookMovesOnToTheNextSecond) {
  // A mail database whose name is taken: Taken, and nothing touched.
  testing::WriteFile(mail_, "someone else's file");
  Create();
  ASSERT_TRUE(creation_.failure);
  EXPECT_EQ(creation_.failure->kind, target::CreationFailure::Kind::Taken);
  EXPECT_EQ(creation_.failure->path, mail_);
  EXPECT_EQ(testing::ReadFile(mail_), "someone else's file");
  std::filesystem::remove(mail_);

  // The address book's name is taken twice over: it moves on second by
  // second; the files there are left as they were.
  testing::WriteFile(out_ / "names06-12-2026-9-5-4.nsf", "first");
  testing::WriteFile(out_ / "names06-12-2026-9-5-5.nsf", "second");
  Create();
  ASSERT_FALSE(creation_.failure) << creation_.failure->reason;
  EXPECT_EQ(paths_.address_book, folder_ + "names06-12-2026-9-5-6.nsf");
  EXPECT_EQ(testing::ReadFile(out_ / "names06-12-2026-9-5-4.nsf"), "first");
  EXPECT_EQ(testing::ReadFile(out_ / "names06-12-2026-9-5-5.nsf"), "second");
  EXPECT_TRUE(services_.messages.empty());

  // A folder that is not there: the path and the system's reason.
  const std::string nowhere = (out_ / "missing" / "mail.nsf").string();
  creation_ = target::CreateNSF(progress_, nowhere, (out_ / "missing").string() + kSep);
  ASSERT_TRUE(creation_.failure);
  EXPECT_EQ(creation_.failure->kind, target::CreationFailure::Kind::NotCreated);
  EXPECT_EQ(creation_.failure->path, nowhere);
  EXPECT_NE(creation_.failure->reason.find("does not exist"), std::string::npos) << creation_.failure->reason;

  // No mail template in the client: the template named, and why.
  client_.SetSetting("DefaultMailTemplate", "gone.ntf");
  mail_ = (out_ / "Other06-12-2026-9-5-3.nsf").string();
  Create();
  ASSERT_TRUE(creation_.failure);
  EXPECT_EQ(creation_.failure->kind, target::CreationFailure::Kind::NoSource);
  EXPECT_EQ(creation_.failure->path, "gone.ntf");
  EXPECT_FALSE(creation_.failure->reason.empty());
  EXPECT_FALSE(std::filesystem::exists(mail_));
}

}  // namespace
}  // namespace norvexa
