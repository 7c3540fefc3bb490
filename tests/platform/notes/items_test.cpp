// Items of a document: their types, replacement on put, text lists,
// date-times with their offsets, times without a date, lists of date-times
// and of numbers, rich text with MIME parts, and saving twice.
#include "client_fixture.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace norvexa::notes::testing {
namespace {

using ItemsTest = ClientTest;

// Opens the database anew, as a writer does, and reads document UNID.
std::unique_ptr<Document> Reload(const std::filesystem::path& db_path, const std::string& unid) {
  internal::CloseIdleConnections();
  Session session;
  std::unique_ptr<Database> db = session.GetDatabase("", db_path.string());
  return db->GetDocumentByUNID(unid);
}

// Runs one query on a private connection and gives the first column of the
// first row as text.
std::string QueryText(const std::filesystem::path& db_path, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  std::string text;
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
    text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return text;
}

TEST_F(ItemsTest, EveryTypeRoundTripsAndAPutReplacesWhateverWasThere) {
  const auto path = NewMailDatabase();
  const QDateTime india(QDate(2024, 3, 7), QTime(14, 5, 9, 750), Qt::OffsetFromUTC, 5 * 3600 + 30 * 60);
  const QDateTime pacific(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::OffsetFromUTC, -8 * 3600);
  const QDateTime utc(QDate(2026, 1, 1), QTime(0, 0, 0), Qt::UTC);
  std::string unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    EXPECT_EQ(doc->NoteID(), 0);
    EXPECT_EQ(doc->UniversalID(), "");
    doc->ReplaceItemValue("Form", std::string("Memo"));
    doc->ReplaceItemValue("Subject", std::string("first"));
    doc->ReplaceItemValue("Size", 42.5);
    doc->ReplaceItemValue("PostedDate", india);
    doc->ReplaceItemValue("DeliveredDate", pacific);
    doc->ReplaceItemValue("CalendarDateTime", utc);
    doc->ReplaceItemValue("StartTime", QTime(0, 0, 0));
    doc->ReplaceItemValue("EndTime", QTime(14, 5, 9));
    doc->ReplaceItemValue("excludeFromView", TextList{"D", "S"});
    doc->ReplaceItemValue("Members", TextList{"Ann \"A\" Lee", "Bo\\b", "Zoë, ünïcode", ""});
    doc->ReplaceItemValue("Empty", TextList{});
    // Replacing: a text by a number, a number by a date-time, under another
    // spelling of the name; the position of the first put stays.
    doc->ReplaceItemValue("subject", std::string("second"));
    doc->ReplaceItemValue("Size", std::string("now text"));
    doc->ReplaceItemValue("Form", 7.0);
    EXPECT_THROW(doc->ReplaceItemValue("Bad", QDateTime()), NotesError);
    EXPECT_THROW(doc->ReplaceItemValue("Bad", QTime(25, 0)), NotesError);
    EXPECT_THROW(doc->ReplaceItemValue("", std::string("x")), NotesError);
    EXPECT_FALSE(doc->HasItem("Bad"));
    ASSERT_TRUE(doc->Save(false, false));
    unid = doc->UniversalID();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(QString::fromStdString(unid)).hasMatch()) << unid;
    EXPECT_GT(doc->NoteID(), 0);
  }

  auto doc = Reload(path, unid);
  EXPECT_EQ(doc->ItemNames(), (std::vector<std::string>{"Form", "subject", "Size", "PostedDate", "DeliveredDate",
                                                         "CalendarDateTime", "StartTime", "EndTime", "excludeFromView",
                                                         "Members", "Empty"}));
  EXPECT_EQ(doc->ItemType("Form"), "number");
  EXPECT_EQ(std::get<double>(*doc->GetItemValue("FORM")), 7.0);
  EXPECT_EQ(std::get<std::string>(*doc->GetItemValue("Subject")), "second");
  EXPECT_EQ(doc->ItemType("Size"), "text");

  // Date-times keep their own offset, to the second (milliseconds dropped).
  const QDateTime posted = std::get<QDateTime>(*doc->GetItemValue("PostedDate"));
  EXPECT_EQ(posted, india.addMSecs(-750));
  EXPECT_EQ(posted.offsetFromUtc(), 5 * 3600 + 30 * 60);
  EXPECT_EQ(posted.time(), QTime(14, 5, 9));
  const QDateTime delivered = std::get<QDateTime>(*doc->GetItemValue("DeliveredDate"));
  EXPECT_EQ(delivered.offsetFromUtc(), -8 * 3600);
  EXPECT_EQ(delivered.date(), QDate(1999, 12, 31));
  EXPECT_EQ(std::get<QDateTime>(*doc->GetItemValue("CalendarDateTime")), utc);
  EXPECT_EQ(QueryText(path, "SELECT value FROM items WHERE name = 'PostedDate'"), "2024-03-07T14:05:09+05:30");

  // Times have no date.
  EXPECT_EQ(doc->ItemType("StartTime"), "time");
  EXPECT_EQ(std::get<QTime>(*doc->GetItemValue("StartTime")), QTime(0, 0, 0));
  EXPECT_EQ(std::get<QTime>(*doc->GetItemValue("EndTime")), QTime(14, 5, 9));

  EXPECT_EQ(std::get<TextList>(*doc->GetItemValue("excludeFromView")), (TextList{"D", "S"}));
  EXPECT_EQ(std::get<TextList>(*doc->GetItemValue("Members")), (TextList{"Ann \"A\" Lee", "Bo\\b", "Zoë, ünïcode", ""}));
  EXPECT_EQ(std::get<TextList>(*doc->GetItemValue("Empty")), TextList{});
  EXPECT_FALSE(doc->GetItemValue("Missing").has_value());
  EXPECT_EQ(doc->ItemType("Missing"), "");
}

TEST_F(ItemsTest, ListsOfDateTimesAndNumbersRoundTripExactlyAndBadOnesAreRefused) {
  const auto path = NewMailDatabase();
  const QDateTime india(QDate(2024, 3, 7), QTime(14, 5, 9), Qt::OffsetFromUTC, 5 * 3600 + 30 * 60);
  const QDateTime odd(QDate(1900, 2, 28), QTime(23, 59, 59), Qt::OffsetFromUTC, -(3600 + 61));
  const QDateTime utc(QDate(9999, 12, 31), QTime(0, 0, 1), Qt::UTC);
  const NumberList numbers{0.1, -0.0, 1e300, 5e-324, 9007199254740993.0, -42, 1.0 / 3};
  std::string unid;
  {
    Session session;
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();
    doc->ReplaceItemValue("RepeatStartDates", DateTimeList{india, odd, utc});
    doc->ReplaceItemValue("Sizes", numbers);
    doc->ReplaceItemValue("NoDates", DateTimeList{});
    doc->ReplaceItemValue("NoNumbers", NumberList{});
    EXPECT_EQ(doc->ItemType("RepeatStartDates"), "datetimelist");
    EXPECT_EQ(doc->ItemType("Sizes"), "numberlist");
    EXPECT_THROW(doc->ReplaceItemValue("Bad", DateTimeList{india, QDateTime()}), NotesError);
    EXPECT_THROW(doc->ReplaceItemValue("Bad", NumberList{1, std::numeric_limits<double>::infinity()}), NotesError);
    EXPECT_THROW(doc->ReplaceItemValue("Bad", NumberList{std::numeric_limits<double>::quiet_NaN()}), NotesError);
    EXPECT_FALSE(doc->HasItem("Bad"));
    ASSERT_TRUE(doc->Save(false, false));
    unid = doc->UniversalID();
  }
  auto doc = Reload(path, unid);
  const auto dates = std::get<DateTimeList>(*doc->GetItemValue("RepeatStartDates"));
  ASSERT_EQ(dates.size(), 3u);
  EXPECT_EQ(dates[0], india);
  EXPECT_EQ(dates[0].offsetFromUtc(), 5 * 3600 + 30 * 60);
  EXPECT_EQ(dates[1], odd);
  EXPECT_EQ(dates[1].offsetFromUtc(), -(3600 + 61));
  EXPECT_EQ(dates[2], utc);
  const auto sizes = std::get<NumberList>(*doc->GetItemValue("Sizes"));
  ASSERT_EQ(sizes.size(), numbers.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(sizes[i], numbers[i]) << i;
    EXPECT_EQ(std::signbit(sizes[i]), std::signbit(numbers[i])) << i;
  }
  EXPECT_EQ(std::get<DateTimeList>(*doc->GetItemValue("NoDates")), DateTimeList{});
  EXPECT_EQ(std::get<NumberList>(*doc->GetItemValue("NoNumbers")), NumberList{});
  // Stored as JSON arrays, the date-times in the text form of one.
  EXPECT_EQ(QueryText(path, "SELECT value FROM items WHERE name = 'RepeatStartDates'"),
            "[\"2024-03-07T14:05:09+05:30\",\"1900-02-28T23:59:59-01:01:01\",\"9999-12-31T00:00:01+00:00\"]");
  EXPECT_EQ(QueryText(path, "SELECT json_array_length(value) FROM items WHERE name = 'Sizes'"), "7");

  // A stored list that is not what its type says is an error on reading.
  internal::CloseIdleConnections();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "UPDATE items SET value = '[\"2024-13-40T00:00:00+00:00\"]' WHERE name = 'RepeatStartDates';"
                         "UPDATE items SET value = '[1, \"two\"]' WHERE name = 'Sizes';",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  auto damaged = Reload(path, unid);
  EXPECT_THROW(damaged->GetItemValue("RepeatStartDates"), NotesError);
  EXPECT_THROW(damaged->GetItemValue("Sizes"), NotesError);
}

TEST_F(ItemsTest, SecondSaveUpdatesTheSameDocument) {
  const auto path = NewMailDatabase();
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto doc = db->CreateDocument();
  doc->ReplaceItemValue("Subject", std::string("one"));
  doc->ReplaceItemValue("Gone", std::string("soon"));
  doc->Save(false, false);
  const std::string unid = doc->UniversalID();
  const std::int64_t note_id = doc->NoteID();
  const QDateTime created = doc->Created();
  ASSERT_TRUE(created.isValid());

  auto again = db->GetDocumentByUNID(unid);
  again->ReplaceItemValue("Subject", std::string("two"));
  again->ReplaceItemValue("Gone", 1.0);
  again->Save(false, false);
  EXPECT_EQ(again->UniversalID(), unid);
  EXPECT_EQ(again->NoteID(), note_id);
  EXPECT_GE(again->LastModified(), created);

  EXPECT_EQ(db->AllDocumentIds(), std::vector<std::string>{unid});
  auto read = Reload(path, unid);
  EXPECT_EQ(std::get<std::string>(*read->GetItemValue("Subject")), "two");
  EXPECT_EQ(std::get<double>(*read->GetItemValue("Gone")), 1.0);
  EXPECT_EQ(read->Created(), created);
}

TEST_F(ItemsTest, MimePartsAreWrittenBackQuotedPrintableAndGoWithAReplacedItem) {
  const auto path = NewMailDatabase();
  const std::string latin = "Grüße = Größe, a very long line " + std::string(100, 'x') + " end <br><br>";
  const std::string beyond = "Snowman \u2603";
  std::string unid;
  {
    Session session;
    EXPECT_TRUE(session.ConvertMime());
    session.SetConvertMime(false);
    EXPECT_FALSE(session.ConvertMime());
    auto db = session.GetDatabase("", path.string());
    auto doc = db->CreateDocument();

    auto stream = session.CreateStream();
    stream->WriteText(latin.substr(0, 10));
    stream->WriteText(latin.substr(10));
    auto body = doc->CreateRichTextItem("Body");
    auto child = body->CreateChildEntity();
    child->SetContentFromText(*stream, "text/html; charset=\"iso-8859-1\"", ENC_QUOTED_PRINTABLE);
    stream->Close();
    EXPECT_THROW(stream->WriteText("more"), NotesError);
    EXPECT_THROW(child->SetContentFromText(*stream, "text/plain", 1731), NotesError);
    EXPECT_FALSE(doc->GetMimePart("Body").has_value());  // still open
    doc->CloseMIMEEntities(true, "Body");

    // A part that Latin-1 cannot hold is stored as UTF-8 and says so.
    auto other = session.CreateStream();
    other->WriteText(beyond);
    doc->CreateRichTextItem("Other")->CreateChildEntity()->SetContentFromText(
        *other, "text/plain; charset=iso-8859-1", ENC_QUOTED_PRINTABLE);

    // The writers' sequence: the plain Body put afterwards replaces the
    // rich-text item, its part and any still open part.
    auto replaced = doc->CreateRichTextItem("Replaced");
    auto open_child = replaced->CreateChildEntity();
    open_child->SetContentFromText(*stream, "text/html", ENC_QUOTED_PRINTABLE);
    doc->ReplaceItemValue("Replaced", std::string("plain"));
    EXPECT_THROW(open_child->SetContentFromText(*stream, "text/html", ENC_QUOTED_PRINTABLE), NotesError);
    EXPECT_THROW(replaced->CreateChildEntity(), NotesError);
    doc->CloseMIMEEntities(true, "Replaced");
    doc->CloseMIMEEntities(true, "NoSuchItem");
    doc->Save(false, false);
    unid = doc->UniversalID();
  }

  auto doc = Reload(path, unid);
  EXPECT_EQ(doc->ItemType("Body"), "richtext");
  const auto part = doc->GetMimePart("Body");
  ASSERT_TRUE(part.has_value());
  EXPECT_EQ(part->text, latin);
  EXPECT_EQ(part->encoding, ENC_QUOTED_PRINTABLE);
  EXPECT_EQ(part->content_type, "text/html; charset=\"iso-8859-1\"");
  EXPECT_EQ(std::get<std::string>(*doc->GetItemValue("Body")), latin);
  // Stored encoded: Latin-1 bytes as =XX, "=" escaped, no line over 76.
  const std::string raw = QueryText(path, "SELECT content FROM mime_parts WHERE item_name = 'Body'");
  EXPECT_NE(raw.find("Gr=FC=DFe =3D Gr=F6=DFe"), std::string::npos) << raw;
  for (const auto& line : QString::fromStdString(raw).split("\r\n")) EXPECT_LE(line.size(), 76);

  const auto other = doc->GetMimePart("Other");
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(other->text, beyond);
  EXPECT_EQ(other->content_type, "text/plain; charset=utf-8");

  EXPECT_EQ(doc->ItemType("Replaced"), "text");
  EXPECT_FALSE(doc->GetMimePart("Replaced").has_value());
  EXPECT_EQ(QueryText(path, "SELECT count(*) FROM mime_parts"), "2");
}

TEST_F(ItemsTest, ClosingWithoutSaveDropsOpenParts) {
  const auto path = NewMailDatabase();
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto doc = db->CreateDocument();
  auto stream = session.CreateStream();
  stream->WriteText("draft");
  doc->CreateRichTextItem("Body")->CreateChildEntity()->SetContentFromText(*stream, "text/plain", ENC_QUOTED_PRINTABLE);
  doc->CloseMIMEEntities(false, "Body");
  doc->Save(false, false);
  EXPECT_FALSE(Reload(path, doc->UniversalID())->GetMimePart("Body").has_value());
}

}  // namespace
}  // namespace norvexa::notes::testing
