// The local client: provisioning, finding it, and reading its settings.
#include "client_fixture.h"

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::ReadFile;
using norvexa::testing::ScratchDir;
using norvexa::testing::WriteFile;
using ClientSettingsTest = ClientTest;

// The message of the NotesError that making a session throws, or "".
std::string SessionError() {
  try {
    Session session;
  } catch (const NotesError& e) {
    return e.what();
  }
  return {};
}

TEST_F(ClientSettingsTest, EnvironmentReadsMatchKeysWithoutCaseAndGiveEmptyWhenUnset) {
  Session session;
  EXPECT_EQ(session.DataDirectory(), client_);
  EXPECT_EQ(session.GETENVIRONMENTSTRING("DefaultMailTemplate", true), "mail.ntf");
  EXPECT_EQ(session.GETENVIRONMENTSTRING("defaultmailtemplate", true), "mail.ntf");
  EXPECT_EQ(session.GETENVIRONMENTSTRING("NAMES", true), "names.nsf");
  EXPECT_EQ(session.GETENVIRONMENTSTRING("Names", false), "names.nsf");
  EXPECT_EQ(session.GETENVIRONMENTSTRING("NoSuchSetting", true), "");

  // A hand-written notes.ini: sections, comments, CRLF, blanks kept in
  // values, an empty value, the first of two duplicates. A rewrite is seen by
  // the next session.
  std::filesystem::remove(client_ / "notes.ini");
  WriteFile(client_ / "notes.ini",
            "[Notes]\r\n; a comment\r\nNAMES=names.nsf,archive.nsf\r\n KeyFileName = user.id\r\n"
            "DefaultMailTemplate=\r\nTitle= spaced value \r\nnames=second.nsf\r\nno equals sign\r\n");
  Session rewritten;
  EXPECT_EQ(rewritten.GETENVIRONMENTSTRING("NAMES", true), "names.nsf,archive.nsf");
  // A rewrite of the same length at once after a read is seen too.
  {
    std::string ini = ReadFile(client_ / "notes.ini");
    ini.replace(ini.find("archive"), 7, "history");
    WriteFile(client_ / "notes.ini", ini);
  }
  EXPECT_EQ(Session().GETENVIRONMENTSTRING("NAMES", true), "names.nsf,history.nsf");
  EXPECT_EQ(rewritten.GETENVIRONMENTSTRING("keyfilename", true), " user.id");
  EXPECT_EQ(rewritten.GETENVIRONMENTSTRING("DefaultMailTemplate", true), "");
  EXPECT_EQ(rewritten.GETENVIRONMENTSTRING("TITLE", true), " spaced value ");
  EXPECT_EQ(rewritten.GETENVIRONMENTSTRING("no equals sign", true), "");
}

TEST_F(ClientSettingsTest, MissingOrUnreadableClientFailsClearly) {
  ScratchDir elsewhere;
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString((elsewhere / "none").string()));
  std::string message = SessionError();
  EXPECT_NE(message.find("no Notes client"), std::string::npos) << message;
  EXPECT_NE(message.find("notes.ini"), std::string::npos) << message;

  // A notes.ini that cannot be read as a file.
  std::filesystem::create_directories(elsewhere / "broken" / "notes.ini");
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString((elsewhere / "broken").string()));
  message = SessionError();
  EXPECT_NE(message.find("cannot be read"), std::string::npos) << message;

  // Without NORVEXA_NOTES_DATA the client is looked for in the user's data
  // folder.
  qunsetenv("NORVEXA_NOTES_DATA");
  EXPECT_EQ(DefaultClientDirectory().filename(), "notes");
  EXPECT_EQ(DefaultClientDirectory().parent_path().filename(), "norvexa");
}

TEST_F(ClientSettingsTest, ProvisioningNeverOverwritesAnExistingClient) {
  const std::string ini = ReadFile(client_ / "notes.ini");
  EXPECT_NE(ini.find("DefaultMailTemplate=mail.ntf"), std::string::npos);
  EXPECT_NE(ini.find("NAMES=names.nsf"), std::string::npos);
  const std::string book = ReadFile(client_ / "names.nsf");
  EXPECT_THROW(ProvisionClient(client_), NotesError);
  EXPECT_EQ(ReadFile(client_ / "notes.ini"), ini);
  EXPECT_EQ(ReadFile(client_ / "names.nsf"), book);

  // A folder with only a stray address book is refused too, untouched.
  ScratchDir other;
  WriteFile(other / "names.nsf", "mine");
  EXPECT_THROW(ProvisionClient(other.path()), NotesError);
  EXPECT_EQ(ReadFile(other / "names.nsf"), "mine");
  EXPECT_FALSE(std::filesystem::exists(other / "notes.ini"));
}

}  // namespace
}  // namespace norvexa::notes::testing
