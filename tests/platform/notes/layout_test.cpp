// Files of layout 1: read as they are when opened read-only, upgraded in one
// transaction when opened to write, and copied into the current layout.
#include "client_fixture.h"
#include "layout1_fixture.h"

#include <sqlite3.h>

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::ReadFile;
using LayoutTest = ClientTest;

// The first column of the first row of SQL on a private connection ("" when
// none), or the error message when it fails.
std::string Query(const std::filesystem::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    text = std::string("error: ") + sqlite3_errmsg(db);
  } else {
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW && sqlite3_column_text(st, 0)) text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    else if (rc != SQLITE_ROW && rc != SQLITE_DONE) text = std::string("error: ") + sqlite3_errmsg(db);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return text;
}

TEST_F(LayoutTest, AFileOfLayoutOneOpensReadOnlyUnchangedAndIsUpgradedWhenOpenedToWrite) {
  const auto path = scratch_ / "old.nsf";
  MakeLayout1File(path);
  const std::string before = ReadFile(path);
  {
    auto db = OpenDatabaseFile(path);
    EXPECT_EQ(db->Title(), "Mail (Norvexa)");
    EXPECT_EQ(db->AllDocumentIds(), std::vector<std::string>{kLayout1Unid});
    EXPECT_EQ(db->FolderDocumentIds("Old Mail"), std::vector<std::string>{kLayout1Unid});
    auto doc = db->GetDocumentByUNID(kLayout1Unid);
    EXPECT_EQ(std::get<std::string>(*doc->GetItemValue("Body")), kLayout1Body);
    auto top = doc->GetMIMEEntity("Body");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->ContentSubType(), "html");
    EXPECT_EQ(top->GetContentAsText(), kLayout1Body);
    EXPECT_EQ(top->Headers(), "");
    EXPECT_NE(doc->RenderMIME("Body").find("\r\n\r\nGr=FC=DFe aus Wien"), std::string::npos);
    // Layout 1 kept no marks: everything is read for the local user.
    EXPECT_TRUE(doc->GetRead());
    EXPECT_FALSE(doc->GetRead("CN=Ann"));
    EXPECT_TRUE(db->UnreadDocumentIds().empty());
    EXPECT_EQ(db->UnreadDocumentIds("CN=Ann").size(), 1u);
    // Nothing can be written through a read-only opening.
    EXPECT_THROW(doc->Save(false, false), NotesError);
    EXPECT_THROW(doc->MarkUnread(), NotesError);
    EXPECT_THROW(db->EnableFolder("New"), NotesError);
  }
  internal::CloseIdleConnections();
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(Query(path, "PRAGMA user_version"), "1");

  std::string new_unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    EXPECT_EQ(Query(path, "PRAGMA user_version"), "2");
    EXPECT_EQ(Query(path, "SELECT value FROM database_info WHERE key = 'format'"), "2");
    auto old = db->GetDocumentByUNID(kLayout1Unid);
    EXPECT_EQ(old->GetMimePart("Body")->text, kLayout1Body);
    EXPECT_TRUE(old->GetRead());
    old->MarkUnread();
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("Repeats", DateTimeList{QDateTime(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC)});
    doc->ReplaceItemValue("Sizes", NumberList{1.5, 2});
    auto top = doc->CreateMIMEEntity();
    auto stream = session.CreateStream();
    stream->WriteText("new");
    top->CreateChildEntity()->SetContentFromText(*stream, "text/plain", ENC_IDENTITY_7BIT);
    doc->MarkUnread();
    ASSERT_TRUE(doc->Save(false, false));
    new_unid = doc->UniversalID();
    EXPECT_EQ(db->UnreadDocumentIds(), (std::vector<std::string>{kLayout1Unid, new_unid}));
  }
  internal::CloseIdleConnections();
  // The file holds to its own checks, as other programs see them: the two
  // list types pass the items table's type check, and other types do not.
  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(Query(path, "INSERT INTO items VALUES (1, 'More', 9, 'numberlist', '[1]')"), "");
  EXPECT_NE(Query(path, "INSERT INTO items VALUES (1, 'Bad', 10, 'bogus', '')").find("CHECK"), std::string::npos);
  EXPECT_EQ(Query(path, "SELECT count(*) FROM mime_parts WHERE parent IS NOT NULL"), "1");

  // Opened again: nothing more to do, and all of it reads back.
  Session session;
  auto db = session.GetDatabase("", path.string());
  EXPECT_EQ(Query(path, "SELECT count(*) FROM sqlite_master WHERE name = 'read_marks'"), "1");
  auto doc = db->GetDocumentByUNID(new_unid);
  EXPECT_EQ(std::get<NumberList>(*doc->GetItemValue("Sizes")), (NumberList{1.5, 2}));
  EXPECT_EQ(doc->GetMIMEEntity()->GetFirstChildEntity()->GetContentAsText(), "new");
  EXPECT_FALSE(db->GetDocumentByUNID(kLayout1Unid)->GetRead());
}

TEST_F(LayoutTest, AnUpgradeThatFailsLeavesTheFileOfLayoutOneAsItWas) {
  const auto path = scratch_ / "blocked.nsf";
  MakeLayout1File(path);
  // A table of another program in the way of the upgrade's last steps.
  EXPECT_EQ(Query(path, "CREATE TABLE read_marks(anything)"), "");
  const std::string before = ReadFile(path);
  Session session;
  EXPECT_THROW(session.GetDatabase("", path.string()), NotesError);
  internal::CloseIdleConnections();
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(Query(path, "PRAGMA user_version"), "1");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM pragma_table_info('mime_parts') WHERE name = 'parent'"), "0");
  EXPECT_EQ(Query(path, "SELECT instr(sql, 'numberlist') FROM sqlite_master WHERE name = 'items'"), "0");
  EXPECT_EQ(OpenDatabaseFile(path)->AllDocumentIds(), std::vector<std::string>{kLayout1Unid});
}

TEST_F(LayoutTest, ACopyOfALayoutOneTemplateIsOfTheCurrentLayoutAndANewerLayoutIsRefused) {
  const auto old_template = scratch_ / "old.ntf";
  MakeLayout1File(old_template, true);
  const std::string before = ReadFile(old_template);
  const auto copy = scratch_ / "copy.nsf";
  auto made = OpenDatabaseFile(old_template)->CreateCopy("", copy.string());
  EXPECT_EQ(made->DesignElementNames(), (std::vector<std::string>{"Memo", "Old Mail"}));
  EXPECT_EQ(made->TemplateName(), "StdNorvexaMail");
  auto doc = made->CreateDocument();
  doc->MarkUnread();
  ASSERT_TRUE(doc->Save(false, false));
  doc.reset();
  made.reset();
  internal::CloseIdleConnections();
  EXPECT_EQ(Query(copy, "PRAGMA user_version"), "2");
  EXPECT_EQ(Query(copy, "SELECT count(*) FROM read_marks"), "1");
  EXPECT_EQ(ReadFile(old_template), before);

  EXPECT_EQ(Query(copy, "PRAGMA user_version=3"), "");
  Session session;
  try {
    session.GetDatabase("", copy.string());
    ADD_FAILURE() << "a newer layout was opened";
  } catch (const NotesError& e) {
    EXPECT_NE(std::string(e.what()).find("newer version"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace norvexa::notes::testing
