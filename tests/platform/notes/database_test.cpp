// Databases: opening by absolute and relative name, files that are not
// databases, copies of the provisioned templates, and folders.
#include "client_fixture.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include <algorithm>
#include <set>

namespace norvexa::notes::testing {
namespace {

using norvexa::testing::ReadFile;
using norvexa::testing::WriteFile;
using DatabaseTest = ClientTest;

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The message of the NotesError that CALL throws, or "" when it throws none.
template <typename Call>
std::string ErrorOf(Call&& call) {
  try {
    call();
  } catch (const NotesError& e) {
    return e.what();
  }
  return {};
}

TEST_F(DatabaseTest, MissingFileGivesADatabaseThatIsNotOpenAndIsNeverCreated) {
  Session session;
  const auto missing = scratch_ / "missing.nsf";
  auto db = session.GetDatabase("", missing.string());
  EXPECT_FALSE(db->IsOpen());
  EXPECT_EQ(db->FilePath(), missing.string());
  const std::string message = ErrorOf([&] { db->CreateDocument(); });
  EXPECT_NE(message.find("missing.nsf"), std::string::npos) << message;
  EXPECT_NE(message.find("not open"), std::string::npos) << message;
  EXPECT_THROW(db->EnableFolder("Inbox"), NotesError);
  EXPECT_THROW(db->CreateCopy("", (scratch_ / "copy.nsf").string()), NotesError);
  EXPECT_THROW(db->Title(), NotesError);
  EXPECT_THROW(db->AllDocumentIds(), NotesError);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "copy.nsf"));
  EXPECT_THROW(session.GetDatabase("server01", "names.nsf"), NotesError);
}

TEST_F(DatabaseTest, FilesThatAreNotNotesDatabasesAreRefusedSayingWhy) {
  Session session;
  const auto text = WriteFile(scratch_ / "notes.nsf", "just some text, not a database at all.....\n");
  std::string message = ErrorOf([&] { session.GetDatabase("", text.string()); });
  EXPECT_NE(message.find("not an SQLite file"), std::string::npos) << message;
  EXPECT_NE(message.find("notes.nsf"), std::string::npos) << message;

  const auto empty = WriteFile(scratch_ / "empty.nsf", "");
  message = ErrorOf([&] { session.GetDatabase("", empty.string()); });
  EXPECT_NE(message.find("empty"), std::string::npos) << message;

  const auto foreign = scratch_ / "foreign.nsf";
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE documents(x); INSERT INTO documents VALUES (1);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  message = ErrorOf([&] { session.GetDatabase("", foreign.string()); });
  EXPECT_NE(message.find("without the Notes schema"), std::string::npos) << message;

  // Refusing changed nothing in either file.
  EXPECT_EQ(ReadFile(text), "just some text, not a database at all.....\n");
  EXPECT_EQ(ReadFile(empty), "");
  EXPECT_THROW(OpenDatabaseFile(scratch_ / "nothing.nsf"), NotesError);
}

TEST_F(DatabaseTest, CopiesOfTheTemplatesHaveTheirDesignAndNoDocumentsAndNeverOverwrite) {
  Session session;
  auto mail_template = session.GetDatabase("", "mail.ntf");  // relative to the data folder
  ASSERT_TRUE(mail_template->IsOpen());
  const auto design = mail_template->DesignElementNames();
  for (const char* name : {"Memo", "Reply", "Appointment", "Task", "($Inbox)", "($Sent)", "($Drafts)", "($Calendar)",
                           "($ToDo)", "($Trash)"})
    EXPECT_TRUE(Contains(design, name)) << name;
  EXPECT_TRUE(mail_template->AllDocumentIds().empty());

  const auto first = scratch_ / "first.nsf";
  auto copy = mail_template->CreateCopy("", first.string());
  EXPECT_EQ(copy->DesignElementNames(), design);
  EXPECT_EQ(copy->Title(), mail_template->Title());
  EXPECT_EQ(copy->TemplateName(), "StdNorvexaMail");
  EXPECT_EQ(copy->FolderNames(), mail_template->FolderNames());

  // Documents are not copied; folders are design, so a folder made in the
  // source comes along, empty.
  auto doc = copy->CreateDocument();
  doc->ReplaceItemValue("Form", std::string("Memo"));
  doc->Save(false, false);
  doc->PutInFolder("Archive\\2024");
  auto second = copy->CreateCopy("", (scratch_ / "second.nsf").string());
  EXPECT_TRUE(second->AllDocumentIds().empty());
  EXPECT_TRUE(Contains(second->FolderNames(), "Archive\\2024"));
  EXPECT_TRUE(second->FolderDocumentIds("Archive\\2024").empty());

  // Never overwrites; a missing folder is an error; neither leaves a file.
  const std::string before = ReadFile(first);
  std::string message = ErrorOf([&] { mail_template->CreateCopy("", first.string()); });
  EXPECT_NE(message.find("already exists"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(first), before);
  EXPECT_EQ(copy->AllDocumentIds().size(), 1u);
  message = ErrorOf([&] { mail_template->CreateCopy("", (scratch_ / "no" / "such" / "x.nsf").string()); });
  EXPECT_NE(message.find("does not exist"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(scratch_ / "no"));

  // The address book and its template.
  auto names = session.GetDatabase("", "names.nsf");
  auto pernames = session.GetDatabase("", "pernames.ntf");
  EXPECT_EQ(names->DesignElementNames(), pernames->DesignElementNames());
  for (const char* name : {"Person", "Group", "($People)", "($Groups)"})
    EXPECT_TRUE(Contains(pernames->DesignElementNames(), name)) << name;
  auto book = names->CreateCopy("", (scratch_ / "names06-12-2026-9-5-4.nsf").string());
  EXPECT_EQ(book->Title(), pernames->Title());
  EXPECT_TRUE(book->AllDocumentIds().empty());
}

TEST_F(DatabaseTest, FoldersNestAtBackslashesAndListEachDocumentOnce) {
  const auto path = NewMailDatabase();
  Session session;
  auto db = session.GetDatabase("", path.string());
  db->EnableFolder("Personal Folders\\Inbox\\Sub");
  db->EnableFolder("Personal Folders\\Inbox\\Sub");  // already there
  db->EnableFolder("personal folders\\INBOX");        // same folder, other case
  const auto folders = db->FolderNames();
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "Personal Folders"), 1);
  EXPECT_TRUE(Contains(folders, "Personal Folders\\Inbox"));
  EXPECT_TRUE(Contains(folders, "Personal Folders\\Inbox\\Sub"));
  EXPECT_EQ(folders.size(), 2u + 3u);  // the template's two folders and these three
  EXPECT_THROW(db->EnableFolder("\\\\"), NotesError);

  auto doc = db->CreateDocument();
  doc->ReplaceItemValue("Subject", std::string("filed"));
  EXPECT_THROW(doc->PutInFolder("Personal Folders\\Inbox"), NotesError);  // not saved yet
  doc->Save(false, false);
  doc->PutInFolder("Personal Folders\\Inbox");
  doc->PutInFolder("Personal Folders\\Inbox");
  doc->PutInFolder("Outlook Contacts");  // made when missing
  auto other = db->CreateDocument();
  other->Save(false, false);
  other->PutInFolder("Personal Folders\\Inbox");

  // Read back through a new session, as another writer would.
  internal::CloseIdleConnections();
  Session reader;
  auto again = reader.GetDatabase("", path.string());
  EXPECT_EQ(again->FolderDocumentIds("Personal Folders\\Inbox"),
            (std::vector<std::string>{doc->UniversalID(), other->UniversalID()}));
  EXPECT_EQ(again->FolderDocumentIds("Outlook Contacts"), std::vector<std::string>{doc->UniversalID()});
  EXPECT_TRUE(again->FolderDocumentIds("Personal Folders").empty());
  EXPECT_THROW(again->FolderDocumentIds("Nowhere"), NotesError);
}

// Enough documents for the log to pass the background checkpoint's threshold
// several times and the writer's own once: every document is there and the
// file is sound, and when the last connection closes (the background
// checkpoints' own included) the log and its index are removed, as for a
// file no program has open. Every universal id is new and has the form of a
// random (version 4) UUID.
TEST_F(DatabaseTest, CheckpointedLogIsRemovedAtTheLastCloseAndEveryDocumentStays) {
  const auto path = NewMailDatabase();
  const std::string wal = path.string() + "-wal";
  const std::string shm = path.string() + "-shm";
  constexpr int kDocuments = 1500;
  std::set<std::string> unids;
  for (int i = 0; i < kDocuments; ++i) {
    Session session;  // a new session and database per document, as the writers do
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("Subject", "document " + std::to_string(i));
    doc->ReplaceItemValue("Body", std::string(2000, static_cast<char>('a' + i % 26)));
    ASSERT_TRUE(doc->Save(false, false));
    doc->PutInFolder("Inbox");
    unids.insert(doc->UniversalID());
  }
  EXPECT_TRUE(std::filesystem::exists(wal));
  internal::CloseIdleConnections();
  EXPECT_FALSE(std::filesystem::exists(wal));
  EXPECT_FALSE(std::filesystem::exists(shm));

  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
  sqlite3_finalize(st);
  sqlite3_close(raw);

  Session session;
  auto db = session.GetDatabase("", path.string());
  const auto filed = db->FolderDocumentIds("Inbox");
  EXPECT_EQ(std::set<std::string>(filed.begin(), filed.end()), unids);
  EXPECT_EQ(unids.size(), static_cast<std::size_t>(kDocuments));
  const QRegularExpression v4("^[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}$");
  for (const std::string& unid : unids) EXPECT_TRUE(v4.match(QString::fromStdString(unid)).hasMatch()) << unid;
}

}  // namespace
}  // namespace norvexa::notes::testing
