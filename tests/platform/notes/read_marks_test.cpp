// Read marks: kept per user in the database, stored with a new document's
// first save, at once on a saved one, and seen the same way by a second
// opening of the database and after a reopen.
#include "client_fixture.h"

#include <sqlite3.h>

namespace norvexa::notes::testing {
namespace {

using ReadMarksTest = ClientTest;

int MarkRows(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM read_marks", -1, &st, nullptr), SQLITE_OK);
  const int rows = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

TEST_F(ReadMarksTest, MarksLiveInTheDatabaseAcrossSavesReopensAndASecondOpening) {
  const auto path = NewMailDatabase();
  const std::string ann = "CN=Ann Lee/O=Example";
  Session session;
  auto db = session.GetDatabase("", path.string());

  // New documents: read for their creator, the local user; a mark set before
  // the first save is kept until it and stored by it.
  auto unread = db->CreateDocument();
  EXPECT_TRUE(unread->GetRead());
  EXPECT_FALSE(unread->GetRead(ann));
  unread->MarkUnread();
  unread->MarkRead(ann);
  EXPECT_FALSE(unread->GetRead());
  EXPECT_TRUE(unread->GetRead(ann));
  EXPECT_EQ(MarkRows(path), 0);
  ASSERT_TRUE(unread->Save(false, false));
  auto read = db->CreateDocument();
  read->MarkUnread();
  read->MarkRead();  // the last mark counts
  ASSERT_TRUE(read->Save(false, false));
  auto never_saved = db->CreateDocument();
  never_saved->MarkUnread();
  never_saved.reset();
  EXPECT_EQ(MarkRows(path), 2);  // only marks that differ from the default have a row
  EXPECT_EQ(db->UnreadDocumentIds(), std::vector<std::string>{unread->UniversalID()});
  EXPECT_EQ(db->UnreadDocumentIds(ann), std::vector<std::string>{read->UniversalID()});

  // On a saved document a mark is stored at once, without a save, and a
  // later save of the document keeps it. A second opening sees it.
  read->MarkUnread();
  read->ReplaceItemValue("Subject", std::string("saved again"));
  ASSERT_TRUE(read->Save(false, false));
  auto second = OpenDatabaseFile(path);  // its own, read-only connection
  EXPECT_FALSE(second->GetDocumentByUNID(read->UniversalID())->GetRead());
  EXPECT_EQ(second->UnreadDocumentIds().size(), 2u);
  EXPECT_THROW(second->GetDocumentByUNID(read->UniversalID())->MarkRead(), NotesError);
  second.reset();
  unread->MarkRead();
  unread->MarkUnread(ann);
  EXPECT_EQ(MarkRows(path), 1);

  // After a reopen of the file.
  const std::string unread_id = unread->UniversalID(), read_id = read->UniversalID();
  unread.reset();
  read.reset();
  db.reset();
  internal::CloseIdleConnections();
  Session later;
  auto reopened = later.GetDatabase("", path.string());
  EXPECT_TRUE(reopened->GetDocumentByUNID(unread_id)->GetRead());
  EXPECT_FALSE(reopened->GetDocumentByUNID(unread_id)->GetRead(ann));
  EXPECT_FALSE(reopened->GetDocumentByUNID(read_id)->GetRead());
  EXPECT_EQ(reopened->UnreadDocumentIds(), std::vector<std::string>{read_id});
  EXPECT_EQ(reopened->UnreadDocumentIds(ann), (std::vector<std::string>{unread_id, read_id}));
  EXPECT_EQ(reopened->UnreadDocumentIds("CN=Nobody"), (std::vector<std::string>{unread_id, read_id}));
}

}  // namespace
}  // namespace norvexa::notes::testing
