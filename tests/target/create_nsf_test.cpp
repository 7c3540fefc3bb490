// Creation of the new mail database and address book against a provisioned
// client: names, sources, progress texts, and the fatal path.
#include "target/create_nsf.h"

#include "conversion/global/global.h"
#include "support/scripted_services.h"
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
  std::vector<std::string> headers, processing;
};

class CreateNsf : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = client_.Scratch("Converted Outlook PST");
    Global::NsfFilePath = (out_ / "Archive06-12-2026-9-5-3.nsf").string();
    Global::AddressBookPath = out_.string() + kSep;
    services_.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 4));
  }
  void TearDown() override {
    Global::NsfFilePath.clear();
    Global::AddressBookPath.clear();
  }

  // Runs CreateNSF expecting the fatal path; returns the exit status.
  int RunExpectingExit() {
    try {
      target::CreateNSF(progress_);
    } catch (const ProgramExited& exited) {
      return exited.status;
    }
    ADD_FAILURE() << "CreateNSF returned normally";
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
};

TEST_F(CreateNsf, MakesTheMailDatabaseAndAStampedAddressBookFromTheFirstNamesEntry) {
  client_.SetSetting("NAMES", "names.nsf,archive.nsf");
  // Without the address-book template, only names.nsf can be the source.
  std::filesystem::remove(client_.dir() / "pernames.ntf");

  target::CreateNSF(progress_);

  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(Global::AddressBookPath, out_.string() + kSep + "names06-12-2026-9-5-4.nsf");
  EXPECT_EQ(Global::NsfFilePath, (out_ / "Archive06-12-2026-9-5-3.nsf").string());
  EXPECT_EQ(progress_.headers, (std::vector<std::string>{"Creating Lotus Notes Mailbox...",
                                                         "Creating Design Elements...", "Creating Address Book..."}));
  EXPECT_EQ(progress_.processing, std::vector<std::string>{"Please Wait..."});

  OpenedDatabase mail(Global::NsfFilePath);
  ASSERT_TRUE(mail.db->IsOpen());
  EXPECT_TRUE(mail.db->AllDocumentIds().empty());
  OpenedDatabase mail_template(client_.dir() / client_.Setting("DefaultMailTemplate"));
  EXPECT_EQ(mail.db->DesignElementNames(), mail_template.db->DesignElementNames());

  OpenedDatabase book(Global::AddressBookPath);
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

  target::CreateNSF(progress_);

  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(Global::AddressBookPath, out_.string() + kSep + "names02-01-2027-23-0-59.nsf");
  OpenedDatabase book(Global::AddressBookPath);
  OpenedDatabase pernames(client_.dir() / "pernames.ntf");
  EXPECT_EQ(book.db->DesignElementNames(), pernames.db->DesignElementNames());
}

TEST_F(CreateNsf, TemplateNameIsTrimmedOfSpaces) {
  client_.SetSetting("DefaultMailTemplate", "  " + client_.Setting("DefaultMailTemplate") + "  ");
  client_.SetSetting("NAMES", "names.nsf");
  target::CreateNSF(progress_);
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(Global::NsfFilePath));
}

TEST_F(CreateNsf, NoMailTemplateEndsTheProgramWithTheMessage) {
  client_.SetSetting("DefaultMailTemplate", "");
  const std::string folder = Global::AddressBookPath;

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_TRUE(FilesInOut().empty());
  EXPECT_EQ(Global::AddressBookPath, folder);
}

TEST_F(CreateNsf, FailingAddressBookRemovesTheMailDatabaseJustMade) {
  client_.SetSetting("NAMES", "missing-book.nsf,names.nsf");

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_FALSE(std::filesystem::exists(Global::NsfFilePath));
  EXPECT_TRUE(FilesInOut().empty()) << "left: " << ::testing::PrintToString(FilesInOut());
  EXPECT_EQ(progress_.headers.back(), "Creating Address Book...");
}

TEST_F(CreateNsf, AnExistingFileAtTheTargetIsNeverRemoved) {
  testing::WriteFile(Global::NsfFilePath, "someone else's file");

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_EQ(testing::ReadFile(Global::NsfFilePath), "someone else's file");
}

TEST_F(CreateNsf, NoClientEndsTheProgramWithTheMessage) {
  const std::filesystem::path empty = client_.Scratch("no-client");
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(empty.string()));

  EXPECT_EQ(RunExpectingExit(), 1);
  ExpectFatalMessage();
  EXPECT_TRUE(FilesInOut().empty());
}

}  // namespace
}  // namespace norvexa
