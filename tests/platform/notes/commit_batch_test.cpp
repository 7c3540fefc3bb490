// Commit batches: many documents to one commit, what another connection
// sees meanwhile, what the end of a batch without a commit keeps, and a
// failed write inside a batch.
#include "client_fixture.h"

#include <sqlite3.h>

#include <chrono>

namespace norvexa::notes::testing {
namespace {

using CommitBatchTest = ClientTest;

// The number of documents in the database at PATH as another connection
// (another program) sees them: only committed ones.
int CommittedDocuments(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM documents", -1, &st, nullptr);
  const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return n;
}

// Saves one memo with SUBJECT into the database at PATH, filed in a folder,
// as a writer does (a session and database of its own).
std::string SaveMemo(const std::filesystem::path& path, const std::string& subject) {
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto doc = db->CreateDocument();
  doc->ReplaceItemValue("Form", std::string("Memo"));
  doc->ReplaceItemValue("Subject", subject);
  EXPECT_TRUE(doc->Save(true, false));
  doc->PutInFolder("Batch\\Inbox");
  return doc->UniversalID();
}

TEST_F(CommitBatchTest, DocumentsAreCommittedTogetherAtBoundariesInGrowingBatches) {
  const auto path = NewMailDatabase();
  const int before = CommittedDocuments(path);
  {
    CommitBatch batch(path, CommitLimits{4, std::chrono::hours(1)});
    EXPECT_FALSE(batch.Pending());
    // Batches of 1, 2, 4, 4 documents: the first document is in the
    // database at once, later ones in ever larger groups.
    std::vector<int> committed_after;
    for (int i = 0; i < 11; ++i) {
      SaveMemo(path, "doc " + std::to_string(i));
      EXPECT_TRUE(batch.Pending());
      const bool committed = batch.EndOfDocument();
      if (committed) committed_after.push_back(i + 1);
      EXPECT_EQ(CommittedDocuments(path) - before, committed_after.empty() ? 0 : committed_after.back()) << i;
    }
    EXPECT_EQ(committed_after, (std::vector<int>{1, 3, 7, 11}));
    // A boundary with nothing written commits nothing.
    EXPECT_FALSE(batch.EndOfDocument());
    // A second batch on the same file is refused.
    EXPECT_THROW(CommitBatch second(path), NotesError);
  }
  // Without a batch every save commits at once again.
  SaveMemo(path, "after");
  EXPECT_EQ(CommittedDocuments(path) - before, 12);
}

TEST_F(CommitBatchTest, AnOldBatchIsDueAtTheNextBoundaryAndAnEndedBatchKeepsOnlyItsCommits) {
  const auto path = NewMailDatabase();
  const int before = CommittedDocuments(path);
  {
    CommitBatch batch(path, CommitLimits{1000, std::chrono::milliseconds(0)});
    for (int i = 0; i < 5; ++i) {
      SaveMemo(path, "aged " + std::to_string(i));
      EXPECT_TRUE(batch.EndOfDocument()) << i;
    }
    EXPECT_EQ(CommittedDocuments(path) - before, 5);
  }
  std::string lost_unid;
  {
    CommitBatch batch(path, CommitLimits{1000, std::chrono::hours(1)});
    SaveMemo(path, "first");
    EXPECT_TRUE(batch.EndOfDocument());
    lost_unid = SaveMemo(path, "never committed");
    EXPECT_FALSE(batch.EndOfDocument());
    // The process sees its own writes before their commit.
    Session session;
    EXPECT_NO_THROW(session.GetDatabase("", path.string())->GetDocumentByUNID(lost_unid));
    // The batch ends without Commit: what it held is rolled back, as a
    // killed process would lose it.
  }
  EXPECT_EQ(CommittedDocuments(path) - before, 6);
  Session session;
  auto db = session.GetDatabase("", path.string());
  EXPECT_THROW(db->GetDocumentByUNID(lost_unid), NotesError);
  // The folder made in the first batch is still known and still works.
  SaveMemo(path, "later");
  EXPECT_EQ(CommittedDocuments(path) - before, 7);

  // Commit keeps what a batch holds before it ends.
  {
    CommitBatch batch(path, CommitLimits{1000, std::chrono::hours(1)});
    SaveMemo(path, "a");
    EXPECT_TRUE(batch.EndOfDocument());
    SaveMemo(path, "b");
    SaveMemo(path, "c");
    EXPECT_FALSE(batch.EndOfDocument());
    batch.Commit();
    EXPECT_FALSE(batch.Pending());
  }
  EXPECT_EQ(CommittedDocuments(path) - before, 10);
}

TEST_F(CommitBatchTest, AFailedWriteInsideABatchIsUndoneAloneAndTheRestIsKept) {
  const auto path = NewMailDatabase();
  const int before = CommittedDocuments(path);
  const auto missing = scratch_ / "no such file.bin";
  {
    CommitBatch batch(path, CommitLimits{1000, std::chrono::hours(1)});
    SaveMemo(path, "kept 1");
    EXPECT_TRUE(batch.EndOfDocument());
    SaveMemo(path, "kept 2");
    // A write that fails in the middle of the batch (its file is missing).
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("Subject", std::string("with a missing file"));
    auto body = doc->CreateRichTextItem("Body");
    EXPECT_ANY_THROW(body->EmbedObject(EMBED_ATTACHMENT, "", missing.string(), ""));
    SaveMemo(path, "kept 3");
    EXPECT_FALSE(batch.EndOfDocument());
    batch.Commit();
  }
  EXPECT_EQ(CommittedDocuments(path) - before, 3);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace
}  // namespace norvexa::notes::testing
