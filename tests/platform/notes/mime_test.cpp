// Trees of MIME parts: written, saved, reopened and read back part by part;
// the message they render, read by the test's own reader; the rules the
// entities follow; and the transfer encodings, with damaged input.
#include "client_fixture.h"
#include "mime_fixture.h"

#include "platform/notes/mime_content.h"
#include "platform/notes/mime_tree.h"

#include <sqlite3.h>

#include <QString>

#include <random>

namespace norvexa::notes::testing {
namespace {

using MimeTest = ClientTest;

std::unique_ptr<Document> Reload(const std::filesystem::path& db_path, const std::string& unid) {
  internal::CloseIdleConnections();
  Session session;
  return session.GetDatabase("", db_path.string())->GetDocumentByUNID(unid);
}

// Every row of SQL on a private connection, its columns joined by "|".
std::vector<std::string> Rows(const std::filesystem::path& db_path, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  std::vector<std::string> rows;
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      if (i) row += '|';
      const auto* text = sqlite3_column_blob(st, i);
      row += text ? std::string(static_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(st, i)))
                  : (sqlite3_column_type(st, i) == SQLITE_NULL ? "NULL" : "");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

std::string Latin1(const std::string& utf8) { return QString::fromStdString(utf8).toLatin1().toStdString(); }

// A new document of a new database holding the mail tree, saved; its id.
std::string SaveMailTree(const std::filesystem::path& path, const MailTree& tree) {
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto doc = db->CreateDocument();
  doc->ReplaceItemValue("Form", std::string("Memo"));
  WriteMailTree(session, *doc, tree);
  EXPECT_TRUE(doc->Save(false, false));
  return doc->UniversalID();
}

TEST_F(MimeTest, ATreeOfPartsIsReadBackPartByPartByteForByteAfterSaveAndReopen) {
  const auto path = NewMailDatabase();
  const MailTree tree;
  const std::string unid = SaveMailTree(path, tree);
  auto doc = Reload(path, unid);

  auto top = doc->GetMIMEEntity("Body");
  ASSERT_TRUE(top);
  EXPECT_EQ(top->ContentType(), "multipart");
  EXPECT_EQ(top->ContentSubType(), "related");
  EXPECT_EQ(top->Headers(), tree.headers);  // folded lines and raw bytes kept exactly
  const std::string boundary = top->Boundary();
  EXPECT_FALSE(boundary.empty());
  EXPECT_EQ(top->FullContentType(), "multipart/related; boundary=\"" + boundary + "\"");
  EXPECT_EQ(top->GetNthHeader("received")->GetHeaderVal(),
            "from mx.example.com (mx.example.com [192.0.2.7])\tby inbound.example.org with ESMTPS id 4711"
            "\tfor <bo@example.org>; Mon, 7 Dec 2026 23:25:00 +0100");
  EXPECT_EQ(top->GetNthHeader("X-Raw-Latin1")->GetHeaderVal(), "Gr\xFC\xDF" "e \xE9t\xE9");
  EXPECT_EQ(top->GetNthHeader("Received", 2), nullptr);
  EXPECT_EQ(top->GetParentEntity(), nullptr);
  EXPECT_EQ(top->GetNextSibling(), nullptr);

  auto alternative = top->GetFirstChildEntity();
  ASSERT_TRUE(alternative);
  EXPECT_EQ(alternative->ContentSubType(), "alternative");
  EXPECT_NE(alternative->Boundary(), boundary);
  EXPECT_EQ(alternative->GetParentEntity()->ContentSubType(), "related");
  auto plain = alternative->GetFirstChildEntity();
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->FullContentType(), "text/plain; charset=utf-8");
  EXPECT_EQ(plain->Encoding(), ENC_IDENTITY_8BIT);
  EXPECT_EQ(plain->GetContentAsText(), tree.plain);
  EXPECT_EQ(plain->GetContentAsBytes(), tree.plain);
  EXPECT_EQ(plain->GetFirstChildEntity(), nullptr);
  auto html = plain->GetNextSibling();
  ASSERT_TRUE(html);
  EXPECT_EQ(html->ContentSubType(), "html");
  EXPECT_EQ(html->Charset(), "iso-8859-1");
  EXPECT_EQ(html->Encoding(), ENC_QUOTED_PRINTABLE);
  EXPECT_EQ(html->GetContentAsText(), tree.html);
  EXPECT_EQ(html->GetContentAsBytes(), Latin1(tree.html));
  EXPECT_EQ(html->GetNextSibling(), nullptr);
  auto image = alternative->GetNextSibling();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->FullContentType(), "image/png");
  EXPECT_EQ(image->Encoding(), ENC_BASE64);
  EXPECT_EQ(image->GetContentAsBytes(), tree.image);
  EXPECT_EQ(image->GetNthHeader("Content-ID")->GetHeaderVal(), "<pic1@example>");
  EXPECT_EQ(image->Headers(), "Content-ID: <pic1@example>\r\nContent-Disposition: inline; filename=\"pic.png\"\r\n");
  EXPECT_EQ(image->GetNextSibling(), nullptr);

  // The first part without children stands for the item where one part is
  // read.
  const auto first = doc->GetMimePart("Body");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->content_type, "text/plain; charset=utf-8");
  EXPECT_EQ(first->text, tree.plain);
  EXPECT_EQ(std::get<std::string>(*doc->GetItemValue("Body")), tree.plain);

  // Stored one row per part in tree order, each naming its parent; base64 in
  // lines of 76; the plain text readable as it is with the documented query.
  EXPECT_EQ(Rows(path, "SELECT seq, parent, content_type, encoding, typeof(content) FROM mime_parts ORDER BY seq"),
            (std::vector<std::string>{"0|NULL|multipart/related|1725|text",
                                      "1|0|multipart/alternative|1725|text",
                                      "2|1|text/plain; charset=utf-8|1729|text",
                                      "3|1|text/html; charset=\"iso-8859-1\"|1726|text",
                                      "4|0|image/png|1727|text"}));
  EXPECT_EQ(Rows(path, "SELECT boundary FROM mime_parts WHERE seq = 0"), std::vector<std::string>{boundary});
  const std::string base64 = Rows(path, "SELECT content FROM mime_parts WHERE seq = 4").at(0);
  const QStringList lines = QString::fromStdString(base64).split("\r\n");
  for (qsizetype i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].size(), i + 1 < lines.size() ? 76 : lines[i].size());
  EXPECT_EQ(lines.join("").toStdString(), QByteArray::fromStdString(tree.image).toBase64().toStdString());
  EXPECT_EQ(Rows(path,
                 "SELECT p.content FROM documents d JOIN mime_parts p ON p.note_id = d.note_id AND "
                 "p.item_name = 'Body' WHERE d.unid = '" + unid + "' AND p.content_type LIKE 'text/plain%' "
                 "ORDER BY p.seq LIMIT 1"),
            std::vector<std::string>{tree.plain});
}

TEST_F(MimeTest, TheRenderedMessageReadsBackIntoTheSamePartsBetweenFreeBoundaries) {
  const auto path = NewMailDatabase();
  const MailTree tree;
  auto doc = Reload(path, SaveMailTree(path, tree));
  const std::string message = doc->RenderMIME("Body");

  // The part's own MIME lines take the place of those of the mail as sent.
  const ReadPart mail = ReadMessage(message);
  EXPECT_EQ(mail.Count("MIME-Version"), 1);
  EXPECT_EQ(mail.Count("Content-Type"), 1);
  EXPECT_EQ(mail.Count("Content-Transfer-Encoding"), 0);
  EXPECT_EQ(mail.Header("Content-Type").rfind("multipart/related; boundary=", 0), 0u) << mail.Header("Content-Type");
  EXPECT_EQ(message.find("sent-boundary"), std::string::npos);
  EXPECT_NE(message.find("Received: from mx.example.com (mx.example.com [192.0.2.7])\r\n\tby inbound.example.org"),
            std::string::npos);
  EXPECT_NE(message.find("X-Raw-Latin1: Gr\xFC\xDF" "e \xE9t\xE9\r\n"), std::string::npos);
  for (std::size_t i = message.find('\n'); i != std::string::npos; i = message.find('\n', i + 1))
    ASSERT_EQ(message[i - 1], '\r') << "bare line feed at " << i;

  ASSERT_TRUE(mail.closed);
  ASSERT_EQ(mail.parts.size(), 2u);
  const ReadPart& alternative = mail.parts[0];
  EXPECT_EQ(alternative.Header("Content-Type").rfind("multipart/alternative", 0), 0u);
  ASSERT_TRUE(alternative.closed);
  ASSERT_EQ(alternative.parts.size(), 2u);
  EXPECT_EQ(alternative.parts[0].Header("Content-Transfer-Encoding"), "8bit");
  EXPECT_EQ(alternative.parts[0].bytes, tree.plain);
  EXPECT_EQ(alternative.parts[1].Header("Content-Type"), "text/html; charset=\"iso-8859-1\"");
  EXPECT_EQ(alternative.parts[1].bytes, Latin1(tree.html));
  const ReadPart& image = mail.parts[1];
  EXPECT_EQ(image.Header("Content-ID"), "<pic1@example>");
  EXPECT_EQ(image.Header("Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(image.bytes, tree.image);

  // A boundary that a part's text holds is replaced when the tree is saved;
  // one given in the content type is kept when it is free.
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto other = db->CreateDocument();
  auto top = other->CreateMIMEEntity();
  top->CreateHeader("Content-Type")->SetHeaderVal("multipart/mixed");
  const std::string made = top->Boundary();
  const std::string trap = "before\r\n--" + made + "\r\nafter\r\n--" + made + "--\r\n";
  auto stream = session.CreateStream();
  stream->WriteText(trap);
  top->CreateChildEntity()->SetContentFromText(*stream, "text/plain; charset=utf-8", ENC_IDENTITY_8BIT);
  auto inner = top->CreateChildEntity();
  inner->CreateHeader("Content-Type")->SetHeaderVal("multipart/alternative; boundary=\"kept-boundary\"");
  inner->CreateChildEntity()->SetContentFromText(*stream, "text/plain", ENC_QUOTED_PRINTABLE);
  ASSERT_TRUE(other->Save(false, false));
  auto reread = Reload(path, other->UniversalID());
  EXPECT_NE(reread->GetMIMEEntity()->Boundary(), made);
  EXPECT_EQ(reread->GetMIMEEntity()->GetFirstChildEntity()->GetNextSibling()->Boundary(), "kept-boundary");
  const ReadPart parts = ReadMessage(reread->RenderMIME());
  ASSERT_TRUE(parts.closed);
  ASSERT_EQ(parts.parts.size(), 2u);
  EXPECT_EQ(parts.parts[0].bytes, trap);
  ASSERT_EQ(parts.parts[1].parts.size(), 1u);
  EXPECT_EQ(parts.parts[1].parts[0].bytes, trap);
}

TEST_F(MimeTest, EntitiesFollowTheRulesOfNotesAndEndWithTheirParts) {
  const auto path = NewMailDatabase();
  Session session;
  auto db = session.GetDatabase("", path.string());
  auto doc = db->CreateDocument();
  auto stream = session.CreateStream();
  stream->WriteText("some text");
  doc->ReplaceItemValue("Subject", std::string("a text item"));

  // Where a top part can be made.
  EXPECT_THROW(doc->CreateMIMEEntity("Subject"), NotesError);
  doc->CreateRichTextItem("Body");
  auto top = doc->CreateMIMEEntity("Body");  // the rich-text item has no part yet
  EXPECT_EQ(doc->ItemType("Body"), "richtext");
  EXPECT_THROW(doc->CreateMIMEEntity("Body"), NotesError);
  EXPECT_EQ(doc->GetMIMEEntity("Subject"), nullptr);
  EXPECT_EQ(doc->GetMIMEEntity("Missing"), nullptr);
  EXPECT_THROW(doc->RenderMIME("Subject"), NotesError);

  // Content, and the part becoming a multipart.
  EXPECT_EQ(top->ContentType(), "text");  // a part given nothing is text/plain
  EXPECT_THROW(top->SetContentFromText(*stream, "text/plain", 1731), NotesError);
  EXPECT_THROW(top->SetContentFromText(*stream, "", ENC_NONE), NotesError);
  EXPECT_THROW(top->SetContentFromBytes(*stream, "multipart/mixed", ENC_NONE), NotesError);
  EXPECT_THROW(top->SetContentFromText(*stream, "text/plain\r\nBcc: eve@example.com", ENC_NONE), NotesError);
  // Texts go into the charset named, or into UTF-8 relabelled when they
  // do not fit it or it is unknown.
  auto charsets = session.CreateStream();
  charsets->WriteText("Gr\u00fc\u00dfe \u20ac");
  top->SetContentFromText(*charsets, "text/plain; charset=windows-1252", ENC_QUOTED_PRINTABLE);
  EXPECT_EQ(top->GetContentAsBytes(), "Gr\xFC\xDF" "e \x80");
  EXPECT_EQ(top->GetContentAsText(), "Gr\u00fc\u00dfe \u20ac");
  charsets->WriteText(" \u2603");
  for (const char* type : {"text/plain; charset=windows-1252", "text/plain; charset=x-unknown"}) {
    top->SetContentFromText(*charsets, type, ENC_QUOTED_PRINTABLE);
    EXPECT_EQ(top->Charset(), "utf-8") << type;
    EXPECT_EQ(top->GetContentAsBytes(), "Gr\u00fc\u00dfe \u20ac \u2603") << type;
  }
  top->SetContentFromText(*stream, "text/plain", ENC_NONE);
  EXPECT_EQ(top->GetContentAsText(), "some text");
  auto child = top->CreateChildEntity();  // the content is dropped, as in Notes
  EXPECT_EQ(top->FullContentType(), "multipart/mixed; boundary=\"" + top->Boundary() + "\"");
  EXPECT_EQ(top->GetContentAsBytes(), "");
  EXPECT_THROW(top->SetContentFromText(*stream, "text/plain", ENC_NONE), NotesError);
  EXPECT_THROW(top->CreateHeader("Content-Type")->SetHeaderVal("text/plain"), NotesError);
  auto message = top->CreateChildEntity();
  message->CreateHeader("Content-Type")->SetHeaderVal("message/rfc822");
  message->CreateChildEntity();
  EXPECT_EQ(message->ContentType(), "message");
  EXPECT_THROW(message->CreateChildEntity(), NotesError);  // it holds one message

  // Headers: names, values, folding, the part's own two.
  for (const char* bad : {"", "Bad Name", "X:y", "Caf\xC3\xA9"}) EXPECT_THROW(child->CreateHeader(bad), NotesError) << bad;
  auto header = child->CreateHeader("X-Note");
  EXPECT_EQ(header->HeaderName(), "X-Note");
  EXPECT_THROW(header->SetHeaderVal("a\r\nBcc: eve@example.com"), NotesError);
  EXPECT_THROW(header->SetHeaderVal(std::string("a\0b", 3)), NotesError);
  EXPECT_TRUE(header->SetHeaderVal("folded\r\n value"));
  EXPECT_EQ(header->GetHeaderVal(), "folded value");
  child->CreateHeader("Content-Transfer-Encoding")->SetHeaderVal("Base64");
  EXPECT_EQ(child->Encoding(), ENC_BASE64);
  EXPECT_THROW(child->CreateHeader("content-transfer-encoding")->SetHeaderVal("gzip"), NotesError);
  EXPECT_EQ(child->Headers(), "X-Note: folded\r\n value\r\n");  // the two are not stored lines
  child->SetHeadersFromText("A: 1\r\n\r\n");
  child->CreateHeader("B")->SetHeaderVal("2");
  EXPECT_EQ(child->Headers(), "A: 1\r\nB: 2\r\n\r\n");  // before the line that ends the block
  EXPECT_THROW(header->GetHeaderVal(), NotesError);    // its line was replaced
  child->SetHeadersFromText("A: 1\nA: 2");
  child->CreateHeader("C")->SetHeaderVal("3");
  EXPECT_EQ(child->Headers(), "A: 1\nA: 2\nC: 3\n");
  EXPECT_EQ(child->GetNthHeader("a", 2)->GetHeaderVal(), "2");
  EXPECT_EQ(child->GetNthHeader("A", 3), nullptr);

  // Closing: without saving the open parts go; with saving they stay; the
  // entities of either end.
  doc->CloseMIMEEntities(false, "Body");
  EXPECT_THROW(top->ContentType(), NotesError);
  EXPECT_THROW(child->CreateChildEntity(), NotesError);
  EXPECT_EQ(doc->GetMIMEEntity("Body"), nullptr);
  auto again = doc->CreateMIMEEntity("Body");
  again->SetContentFromText(*stream, "text/plain", ENC_NONE);
  doc->CloseMIMEEntities(true, "Body");
  EXPECT_THROW(again->GetContentAsText(), NotesError);
  auto open = doc->GetMIMEEntity("Body");
  stream->Truncate();
  stream->WriteText("changed");
  open->SetContentFromText(*stream, "text/plain", ENC_NONE);
  EXPECT_EQ(doc->GetMimePart("Body")->text, "some text");  // open parts are not written yet
  doc->CloseMIMEEntities(false, "Body");
  EXPECT_EQ(doc->GetMIMEEntity("Body")->GetContentAsText(), "some text");

  // Two top parts (the item's CreateChildEntity called twice) render as one
  // multipart/mixed message.
  auto item = doc->CreateRichTextItem("Two");
  item->CreateChildEntity()->SetContentFromText(*stream, "text/plain", ENC_NONE);
  item->CreateChildEntity()->SetContentFromText(*stream, "text/html", ENC_QUOTED_PRINTABLE);
  const ReadPart two = ReadMessage(doc->RenderMIME("Two"));
  ASSERT_EQ(two.parts.size(), 2u);
  EXPECT_EQ(two.parts[1].Header("Content-Type"), "text/html");
  EXPECT_EQ(two.parts[1].bytes, "changed");
  auto held = doc->GetMIMEEntity("Two");
  ASSERT_TRUE(doc->Save(false, false));
  EXPECT_THROW(held->GetNextSibling(), NotesError);  // saving ends the entities too
  doc->ReplaceItemValue("Two", std::string("plain"));
  EXPECT_EQ(doc->GetMIMEEntity("Two"), nullptr);
}

TEST_F(MimeTest, TransferEncodingsRoundTripAndDamagedInputIsReadSafely) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length < 300; ++length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string base64 = internal::EncodeBase64(bytes);
    EXPECT_EQ(internal::DecodeBase64(base64), bytes);
    std::string joined;
    for (const QString& line : QString::fromStdString(base64).split("\r\n")) {
      EXPECT_LE(line.size(), 76);
      joined += line.toStdString();
    }
    EXPECT_EQ(joined, QByteArray::fromStdString(bytes).toBase64().toStdString());
    EXPECT_EQ(internal::DecodeQuotedPrintable(internal::EncodeQuotedPrintable(bytes)), bytes);
  }
  EXPECT_EQ(internal::DecodeBase64("QUJD\r\nREVG"), "ABCDEF");
  EXPECT_EQ(internal::DecodeBase64("!QU JD==junk"), "ABC");
  EXPECT_TRUE(internal::IsUtf8("Zo\xC3\xAB \xF0\x9F\x98\x80"));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
    EXPECT_FALSE(internal::IsUtf8(bad)) << bad;

  // Random bytes as stored content, header lines and content types: read
  // without a crash, and never into more than they hold.
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 200, '\0');
    for (char& c : text) c = "AZaz09+/=\r\n :;\"\\-_\t\x80\xFF"[random() % 22];
    EXPECT_LE(internal::DecodeBase64(text).size(), text.size());
    EXPECT_LE(internal::DecodeQuotedPrintable(text).size(), text.size());
    const internal::HeaderBlock block = internal::ParseHeaderBlock(text);
    EXPECT_LE(block.end, text.size());
    for (const internal::HeaderField& field : block.fields) {
      ASSERT_LE(field.end, block.end);
      EXPECT_LE(internal::FieldValue(text, field).size(), text.size());
      EXPECT_LE(internal::FieldName(text, field).size(), text.size());
    }
    for (const internal::ContentTypeParam& param : internal::ParseContentType(text).params)
      EXPECT_LE(param.end, text.size());
    EXPECT_LE(internal::WithoutParameter(text, "boundary").size(), text.size());
  }
}

TEST_F(MimeTest, DamagedPartRowsAreReadWithoutLosingOrLoopingParts) {
  const auto path = NewMailDatabase();
  const MailTree tree;
  const std::string unid = SaveMailTree(path, tree);
  internal::CloseIdleConnections();
  // Parents that point at the part itself, at a later part and at none; a
  // content that is not base64; an encoding no constant names.
  Rows(path, "UPDATE mime_parts SET parent = seq WHERE seq = 1");
  Rows(path, "UPDATE mime_parts SET parent = 4 WHERE seq = 3");
  Rows(path, "UPDATE mime_parts SET parent = 99, content = x'00ff2a' WHERE seq = 4");
  Rows(path, "UPDATE mime_parts SET encoding = 4242 WHERE seq = 2");
  auto doc = Reload(path, unid);
  std::vector<std::string> types;
  for (auto top = doc->GetMIMEEntity("Body"); top; top = top->GetNextSibling()) {
    types.push_back(top->ContentSubType());
    for (auto child = top->GetFirstChildEntity(); child; child = child->GetNextSibling())
      types.push_back("  " + child->ContentSubType());
  }
  EXPECT_EQ(types, (std::vector<std::string>{"related", "alternative", "  plain", "html", "png"}));
  auto plain = doc->GetMIMEEntity("Body")->GetNextSibling()->GetFirstChildEntity();
  EXPECT_EQ(plain->Encoding(), 4242);
  EXPECT_EQ(plain->GetContentAsBytes(), tree.plain);  // kept as stored
  EXPECT_FALSE(doc->RenderMIME("Body").empty());
}

}  // namespace
}  // namespace norvexa::notes::testing
