// norvexa-notes-setup run as a user runs it: with a folder named relative to
// the current one, the client is complete and usable from anywhere.
#include "platform/notes/notes.h"
#include "support/fixtures.h"

#include <QByteArray>
#include <QProcess>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <filesystem>

namespace norvexa::notes {
namespace {

namespace fs = std::filesystem;

// Runs the command with ARGUMENTS in folder WORKING; its exit code, or -1
// when it did not run to its end.
int RunSetup(const fs::path& working, const QStringList& arguments, QString* output = nullptr) {
  QProcess setup;
  setup.setWorkingDirectory(QString::fromStdString(working.string()));
  setup.setProcessChannelMode(QProcess::MergedChannels);
  setup.start(QStringLiteral(NOTES_SETUP_EXE), arguments);
  if (!setup.waitForFinished(60000) || setup.exitStatus() != QProcess::NormalExit) return -1;
  if (output) *output = QString::fromUtf8(setup.readAll());
  return setup.exitCode();
}

TEST(NotesSetup, RelativeFolderGivesACompleteClientUsableFromAnywhere) {
  testing::ScratchDir scratch;
  fs::create_directories(scratch / "work");
  QString output;
  ASSERT_EQ(RunSetup(scratch / "work", {"sub/client"}, &output), 0) << output.toStdString();
  const fs::path client = scratch / "work" / "sub" / "client";
  for (const char* file : {"notes.ini", "mail.ntf", "pernames.ntf", "names.nsf"}) {
    EXPECT_TRUE(fs::is_regular_file(client / file)) << file;
  }
  // Nothing was made in a folder nested a second time.
  EXPECT_FALSE(fs::exists(client / "sub"));
  EXPECT_TRUE(output.contains(QString::fromStdString(client.string()))) << output.toStdString();

  // The client works from another current folder: its settings name
  // databases that open.
  const QByteArray old = qgetenv("NORVEXA_NOTES_DATA");
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(client.string()));
  {
    Session session;
    EXPECT_EQ(session.DataDirectory(), client);
    EXPECT_TRUE(session.GetDatabase("", session.GETENVIRONMENTSTRING("DefaultMailTemplate", true))->IsOpen());
    EXPECT_TRUE(session.GetDatabase("", session.GETENVIRONMENTSTRING("NAMES", true))->IsOpen());
  }
  if (old.isNull()) {
    qunsetenv("NORVEXA_NOTES_DATA");
  } else {
    qputenv("NORVEXA_NOTES_DATA", old);
  }

  // A second run on the same relative folder refuses and changes nothing.
  const std::string ini = testing::ReadFile(client / "notes.ini");
  EXPECT_EQ(RunSetup(scratch / "work", {"sub/client"}), 1);
  EXPECT_EQ(testing::ReadFile(client / "notes.ini"), ini);
}

}  // namespace
}  // namespace norvexa::notes
