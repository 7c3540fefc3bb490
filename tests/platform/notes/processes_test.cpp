// Other programs on the same database: a writer killed in the middle of a
// loop of saves (of plain documents, and of trees of MIME parts with read
// marks), and two writers and a reader at the same time.
#include "client_fixture.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <set>

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::WriteFile;
using ProcessesTest = ClientTest;

// Moves the complete lines of PROCESS's output into LINES; a partial last
// line stays in PENDING.
void TakeLines(QProcess& process, std::string& pending, std::vector<std::string>& lines) {
  pending += process.readAllStandardOutput().toStdString();
  std::size_t end;
  while ((end = pending.find('\n')) != std::string::npos) {
    lines.push_back(pending.substr(0, end));
    pending.erase(0, end + 1);
  }
}

std::string IntegrityCheck(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
  std::string result = sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
  sqlite3_finalize(st);
  sqlite3_close(db);
  return result;
}

TEST_F(ProcessesTest, AWriterKilledWhileSavingLeavesEverySavedDocument) {
  const auto path = NewMailDatabase();
  const auto staged = WriteFile(scratch_ / "staged.bin", std::string(300000, 'z'));
  internal::CloseIdleConnections();

  QProcess child;
  child.start(NOTES_SAVE_LOOP, {QString::fromStdString(path.string()), "0", QString::fromStdString(staged.string())});
  ASSERT_TRUE(child.waitForStarted());
  std::string pending;
  std::vector<std::string> saved;
  QElapsedTimer timer;
  timer.start();
  while (saved.size() < 150 && timer.elapsed() < 60000 && child.state() == QProcess::Running) {
    child.waitForReadyRead(1000);
    TakeLines(child, pending, saved);
  }
  child.kill();  // SIGKILL, in the middle of whatever it was doing
  ASSERT_TRUE(child.waitForFinished(10000));
  TakeLines(child, pending, saved);
  ASSERT_GE(saved.size(), 150u) << child.readAllStandardError().toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

  EXPECT_EQ(IntegrityCheck(path), "ok");
  Session session;
  auto db = session.GetDatabase("", path.string());
  const auto stored = db->AllDocumentIds();
  const std::set<std::string> present(stored.begin(), stored.end());
  for (const std::string& unid : saved) {
    ASSERT_TRUE(present.count(unid)) << unid << " was saved but is missing";
    auto doc = db->GetDocumentByUNID(unid);
    EXPECT_EQ(std::get<std::string>(*doc->GetItemValue("Form")), "Memo");
    const auto subject = std::get<std::string>(*doc->GetItemValue("Subject"));
    if (std::stol(subject.substr(4)) % 10 == 0) {
      ASSERT_EQ(doc->Attachments().size(), 1u) << subject;
      EXPECT_EQ(doc->Attachments()[0].size, 300000);
    }
  }
  // The database still takes new documents.
  auto doc = db->CreateDocument();
  doc->ReplaceItemValue("Subject", std::string("after the crash"));
  EXPECT_TRUE(doc->Save(false, false));
}

// Every document in the file, the one whose save was under way at the kill
// included if it got in, has its whole tree and its mark: a save is one
// transaction.
TEST_F(ProcessesTest, AWriterKilledWhileSavingTreesOfPartsNeverLeavesHalfATree) {
  const auto path = NewMailDatabase();
  internal::CloseIdleConnections();
  QProcess child;
  child.start(NOTES_SAVE_LOOP, {QString::fromStdString(path.string()), "0", "--mime"});
  ASSERT_TRUE(child.waitForStarted());
  std::string pending;
  std::vector<std::string> saved;
  QElapsedTimer timer;
  timer.start();
  while (saved.size() < 120 && timer.elapsed() < 60000 && child.state() == QProcess::Running) {
    child.waitForReadyRead(1000);
    TakeLines(child, pending, saved);
  }
  child.kill();
  ASSERT_TRUE(child.waitForFinished(10000));
  TakeLines(child, pending, saved);
  ASSERT_GE(saved.size(), 120u) << child.readAllStandardError().toStdString();
  EXPECT_EQ(IntegrityCheck(path), "ok");

  Session session;
  auto db = session.GetDatabase("", path.string());
  const auto stored = db->AllDocumentIds();
  ASSERT_GE(stored.size(), saved.size());
  const std::vector<std::string> unread = db->UnreadDocumentIds();
  const std::set<std::string> unread_set(unread.begin(), unread.end());
  for (const std::string& unid : stored) {
    auto doc = db->GetDocumentByUNID(unid);
    const std::string subject = std::get<std::string>(*doc->GetItemValue("Subject"));
    const long i = std::stol(subject.substr(4));
    auto top = doc->GetMIMEEntity("Body");
    ASSERT_TRUE(top) << subject;
    EXPECT_EQ(top->Headers(), "Subject: " + subject + "\r\nReceived: by loop\r\n\tfolded\r\n");
    auto alternative = top->GetFirstChildEntity();
    ASSERT_TRUE(alternative) << subject;
    auto plain = alternative->GetFirstChildEntity();
    ASSERT_TRUE(plain) << subject;
    EXPECT_EQ(plain->GetContentAsText(), "plain " + std::to_string(i));
    ASSERT_TRUE(plain->GetNextSibling()) << subject;
    EXPECT_EQ(plain->GetNextSibling()->GetContentAsText(), "<p>html " + std::to_string(i) + "</p>");
    auto picture = alternative->GetNextSibling();
    ASSERT_TRUE(picture) << subject;
    EXPECT_EQ(picture->GetContentAsBytes(), std::string(20000, static_cast<char>(i & 0xFF))) << subject;
    EXPECT_EQ(unread_set.count(unid), i % 3 == 0 ? 1u : 0u) << subject;
  }
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT (SELECT count(*) FROM mime_parts), (SELECT count(*) FROM documents)", -1,
                               &st, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 5 * sqlite3_column_int(st, 1));
  sqlite3_finalize(st);
  sqlite3_close(raw);
}

TEST_F(ProcessesTest, TwoWritersAndAReaderShareADatabase) {
  const auto path = NewMailDatabase();
  QProcess child;
  child.start(NOTES_SAVE_LOOP, {QString::fromStdString(path.string()), "300"});
  ASSERT_TRUE(child.waitForStarted());

  // A reader of its own holds a read transaction while both write.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_busy_timeout(reader, 10000);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM documents;", nullptr, nullptr, nullptr), SQLITE_OK);

  std::vector<std::string> mine;
  for (int i = 0; i < 300; ++i) {
    Session session;  // a new session and database per document, as the writers do
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("Subject", "parent " + std::to_string(i));
    ASSERT_TRUE(doc->Save(false, false));
    doc->PutInFolder("Loop\\Saved");
    mine.push_back(doc->UniversalID());
    if (i == 150) sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  }
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
  std::string pending;
  std::vector<std::string> theirs;
  TakeLines(child, pending, theirs);
  EXPECT_EQ(theirs.size(), 300u);

  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(reader, "SELECT count(*) FROM documents", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 600);
  sqlite3_finalize(st);
  sqlite3_close(reader);

  Session session;
  auto db = session.GetDatabase("", path.string());
  auto filed = db->FolderDocumentIds("Loop\\Saved");
  EXPECT_EQ(filed.size(), 600u);
  for (const auto& unid : mine) EXPECT_NE(std::find(filed.begin(), filed.end(), unid), filed.end());
  for (const auto& unid : theirs) EXPECT_NE(std::find(filed.begin(), filed.end(), unid), filed.end());
}

}  // namespace
}  // namespace norvexa::notes::testing
