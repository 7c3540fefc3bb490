// The mail writer against a real mail database: items, their types and
// order, the sender rules, the dates, and what it reports.
#include "writers/writers.h"

#include "writers/session_probe.h"
#include "writers/writer_fixture.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace norvexa {
namespace {

using testing::ItemAs;
using testing::ItemNamesWithout;
using writers::DateArg;

// The arguments of one call of SendNotesMail, with a received message.
struct MailArgs {
  std::string Subject = "Quarterly figures";
  writers::StagedFiles MailAttachment;
  std::string MailTo = "ann@example.com; bob@example.com";
  std::string MailFrom = "carol@example.com";
  std::string MailCC = "dave@example.com";
  std::string MailBCC = "erin@example.com";
  std::string BodyText = "Hello";
  DateArg MailDate = QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9), QTimeZone(3600));
  std::string FolderName = "Personal Folders\\Inbox";
  std::string SenderName = "Carol Example";
  std::int16_t SentFlag = 0;
  bool SaveIt = true;

  writers::WriteResult Send() {
    return writers::SendNotesMail(testing::writer_context, Subject, MailAttachment, MailTo, MailFrom, MailCC, MailBCC, BodyText, MailDate,
                                  FolderName, SenderName, SentFlag, SaveIt);
  }
};

class MailWriter : public testing::WriterTest {};

TEST_F(MailWriter, ReceivedMailGetsEveryItemInOrderAndIsFiled) {
  MailArgs args;
  const writers::WriteResult result = args.Send();
  EXPECT_TRUE(result.saved) << result.reason;
  EXPECT_EQ(result.reason, "");

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  // "Body" is the rich-text item of the MIME body, made before the others.
  EXPECT_EQ(ItemNamesWithout(*doc, {"Body"}),
            (std::vector<std::string>{"$NoteHasNativeMIME", "MIME_Version", "Form", "From", "CopyTo", "BlindCopyTo",
                                      "Subject", "PostedDate", "Type", "excludeFromView", "SendTo", "Principal",
                                      "DeliveredDate", "Importance"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Memo");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Type"), "Memo");
  EXPECT_EQ(ItemAs<std::string>(*doc, "From"), "carol@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Principal"), "carol@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "CopyTo"), "dave@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "BlindCopyTo"), "erin@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "SendTo"), "ann@example.com; bob@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Subject"), "Quarterly figures");
  // The plain text is the body's text/plain part; its HTML part is the text
  // followed by two line breaks.
  EXPECT_EQ(doc->ItemType("Body"), "richtext");
  EXPECT_EQ(testing::BodyPartText(*doc, "text/plain"), "Hello");
  EXPECT_EQ(testing::BodyPartText(*doc, "text/html"), "Hello<br><br>");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Importance"), "2");
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "PostedDate"), *args.MailDate);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "PostedDate").offsetFromUtc(), 3600);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "DeliveredDate"), *args.MailDate);
  EXPECT_EQ(ItemAs<notes::TextList>(*doc, "excludeFromView"), (notes::TextList{"D", "S"}));
  EXPECT_FALSE(doc->HasItem("Attachment"));

  const auto filed = db.db->FolderDocumentIds("Personal Folders\\Inbox");
  EXPECT_EQ(filed, std::vector<std::string>{doc->UniversalID()});
  EXPECT_EQ(args.MailFrom, "carol@example.com");
}

TEST_F(MailWriter, FormattedBodyHeadersAndPicturesMakeOneMimeTree) {
  MailArgs args;
  args.BodyText = "Hello Paul,\r\nsee the logo.\r\n";
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  const std::string staged = Stage("logo.png", png);
  args.MailAttachment = {staged};
  writers::WriterContext& context = testing::writer_context;
  context.extras.body.html = "<html><body><p>Hello <b>Paul</b>,</p><img src=\"cid:logo@x\"></body></html>";
  context.extras.body.pictures.push_back({"logo@x", "image/png", "logo.png", staged, ""});
  const std::string headers =
      "Received: from a (a [192.0.2.1])\r\n\tby b; Tue, 5 Mar 2024 10:15:02 +0100\r\n"
      "Message-ID: <1@x>\r\nContent-Type: multipart/related; boundary=\"old\"\r\nX-\xC3\xA9: caf\xC3\xA9\r\n\r\n";
  context.extras.mail.transport_headers = headers;
  ASSERT_TRUE(args.Send().saved);

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  auto top = doc->GetMIMEEntity("Body");
  ASSERT_TRUE(top);
  EXPECT_EQ(top->ContentType() + "/" + top->ContentSubType(), "multipart/related");
  EXPECT_EQ(top->Headers(), headers);  // the mail's own header, byte for byte
  auto alternative = top->GetFirstChildEntity();
  ASSERT_TRUE(alternative);
  EXPECT_EQ(alternative->ContentSubType(), "alternative");
  auto plain = alternative->GetFirstChildEntity();
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->ContentType() + "/" + plain->ContentSubType(), "text/plain");
  EXPECT_EQ(plain->GetContentAsText(), args.BodyText);
  auto html = plain->GetNextSibling();
  ASSERT_TRUE(html);
  EXPECT_EQ(html->ContentSubType(), "html");
  EXPECT_EQ(html->GetContentAsText(), context.extras.body.html);
  auto picture = alternative->GetNextSibling();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->ContentType() + "/" + picture->ContentSubType(), "image/png");
  EXPECT_EQ(picture->Encoding(), notes::ENC_BASE64);
  EXPECT_EQ(picture->GetContentAsBytes(), png);
  EXPECT_NE(picture->Headers().find("Content-ID: <logo@x>"), std::string::npos);
  EXPECT_FALSE(picture->GetNextSibling());
  // The picture is still an attachment too, and its staged file is gone.
  ASSERT_EQ(doc->Attachments().size(), 1u);
  EXPECT_EQ(doc->Attachments()[0].file_name, "logo.png");
  EXPECT_FALSE(std::filesystem::exists(staged));
  EXPECT_EQ(ItemAs<std::string>(*doc, "$NoteHasNativeMIME"), "1");
}

TEST_F(MailWriter, PlainTextThatLooksLikeMarkupIsShownAsTextInTheHtmlPart) {
  MailArgs args;
  args.BodyText = "Write to <john@example.com> & say <b>hi</b>.\r\nSecond \"line\".";
  ASSERT_TRUE(args.Send().saved);
  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  EXPECT_EQ(testing::BodyPartText(*doc, "text/html"),
            "Write to &lt;john@example.com&gt; &amp; say &lt;b&gt;hi&lt;/b&gt;.<br>\r\nSecond &quot;line&quot;.<br><br>");
  EXPECT_EQ(testing::BodyPartText(*doc, "text/plain"), args.BodyText);
}

TEST_F(MailWriter, InternetIdsImportanceSensitivityCategoriesFlagsAndReadState) {
  writers::MailExtras& mail = testing::writer_context.extras.mail;
  mail.sender_name = "Anna \"AB\" Berger";
  mail.sender_address = "anna@example.org";
  mail.message_id = "<2@x>";
  mail.in_reply_to = "<1@x>";
  mail.references = "<0@x> <1@x>";
  mail.importance = 2;
  mail.sensitivity = 2;
  mail.categories = {"Budget", "2024"};
  mail.follow_up = {2, "Call", QDateTime(QDate(2024, 3, 8), QTime(17, 0), QTimeZone::utc()), std::nullopt};
  mail.received = QDateTime(QDate(2024, 3, 7), QTime(14, 6, 0), QTimeZone(3600));
  testing::writer_context.extras.unread = true;
  const writers::MailExtras sent_with = mail;
  MailArgs unread;
  ASSERT_TRUE(unread.Send().saved);
  // A mail of low importance with nothing else: no empty extra items.
  testing::writer_context.extras = writers::ItemExtras();
  testing::writer_context.extras.mail.importance = 0;
  MailArgs plain;
  ASSERT_TRUE(plain.Send().saved);

  testing::OpenedDatabase db(mail_path_);
  auto docs = db.Documents();
  ASSERT_EQ(docs.size(), 2u);
  const auto& d = *docs[0];
  EXPECT_EQ(ItemAs<std::string>(d, "INetFrom"), "\"Anna \\\"AB\\\" Berger\" <anna@example.org>");
  EXPECT_EQ(ItemAs<std::string>(d, "$MessageID"), "<2@x>");
  EXPECT_EQ(ItemAs<std::string>(d, "In_Reply_To"), "<1@x>");
  EXPECT_EQ(ItemAs<std::string>(d, "References"), "<0@x> <1@x>");
  EXPECT_EQ(ItemAs<std::string>(d, "Importance"), "1");
  EXPECT_EQ(ItemAs<std::string>(d, "Sensitivity"), "Private");
  EXPECT_EQ(ItemAs<notes::TextList>(d, "Categories"), (notes::TextList{"Budget", "2024"}));
  EXPECT_EQ(ItemAs<std::string>(d, "FollowUp"), "Call");
  EXPECT_EQ(ItemAs<std::string>(d, "FollowUpStatus"), "1");
  EXPECT_EQ(ItemAs<QDateTime>(d, "FollowUpDate"), *sent_with.follow_up.due);
  // The arrival time, not the date the mail is dated by.
  EXPECT_EQ(ItemAs<QDateTime>(d, "DeliveredDate"), *sent_with.received);
  EXPECT_EQ(ItemAs<QDateTime>(d, "PostedDate"), *unread.MailDate);
  EXPECT_FALSE(d.GetRead());

  const auto& p = *docs[1];
  EXPECT_TRUE(p.GetRead());
  EXPECT_EQ(ItemAs<std::string>(p, "Importance"), "3");
  for (const char* absent : {"INetFrom", "$MessageID", "In_Reply_To", "References", "Sensitivity", "Categories",
                             "FollowUp", "FollowUpStatus", "FollowUpDate"}) {
    EXPECT_FALSE(p.HasItem(absent)) << absent;
  }
  EXPECT_EQ(ItemAs<QDateTime>(p, "DeliveredDate"), *plain.MailDate);
  EXPECT_EQ(db.db->UnreadDocumentIds(), std::vector<std::string>{d.UniversalID()});
}

TEST_F(MailWriter, SentMailHasNoDeliveredDateAndAnX500SenderBecomesTheDisplayName) {
  MailArgs sent;
  sent.SentFlag = 1;
  sent.MailFrom = "/O=ORG/OU=SITE/CN=RECIPIENTS/CN=USER1";
  EXPECT_TRUE(sent.Send().saved);
  EXPECT_EQ(sent.MailFrom, "Carol Example");  // the caller's variable is rewritten

  MailArgs lower;
  lower.MailFrom = "/o=org/ou=site/cn=recipients/cn=user1";
  EXPECT_TRUE(lower.Send().saved);
  EXPECT_EQ(lower.MailFrom, "/o=org/ou=site/cn=recipients/cn=user1");

  testing::OpenedDatabase db(mail_path_);
  auto docs = db.Documents();
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(ItemAs<std::string>(*docs[0], "From"), "Carol Example");
  EXPECT_EQ(ItemAs<std::string>(*docs[0], "Principal"), "Carol Example");
  EXPECT_FALSE(docs[0]->HasItem("DeliveredDate"));
  EXPECT_EQ(ItemAs<QDateTime>(*docs[0], "PostedDate"), *sent.MailDate);
  EXPECT_EQ(ItemAs<std::string>(*docs[1], "From"), "/o=org/ou=site/cn=recipients/cn=user1");
  EXPECT_EQ(ItemAs<std::string>(*docs[1], "Principal"), "/o=org/ou=site/cn=recipients/cn=user1");
  EXPECT_TRUE(docs[1]->HasItem("DeliveredDate"));
}

TEST_F(MailWriter, SenderKnownOnlyByNameKeepsTheName) {
  // No address, or only blanks: the display name is the sender.
  MailArgs empty;
  empty.MailFrom = "";
  EXPECT_TRUE(empty.Send().saved);
  EXPECT_EQ(empty.MailFrom, "Carol Example");
  MailArgs blanks;
  blanks.MailFrom = "   ";
  EXPECT_TRUE(blanks.Send().saved);
  // An address is kept, even with blanks around it.
  MailArgs address;
  address.MailFrom = " carol@example.com ";
  EXPECT_TRUE(address.Send().saved);
  // Neither address nor name: the sender stays empty, nothing is made up.
  MailArgs nobody;
  nobody.MailFrom = "";
  nobody.SenderName = "";
  EXPECT_TRUE(nobody.Send().saved);

  testing::OpenedDatabase db(mail_path_);
  auto docs = db.Documents();
  ASSERT_EQ(docs.size(), 4u);
  for (int i : {0, 1}) {
    EXPECT_EQ(ItemAs<std::string>(*docs[i], "From"), "Carol Example") << i;
    EXPECT_EQ(ItemAs<std::string>(*docs[i], "Principal"), "Carol Example") << i;
  }
  EXPECT_EQ(ItemAs<std::string>(*docs[2], "From"), " carol@example.com ");
  EXPECT_EQ(ItemAs<std::string>(*docs[2], "Principal"), " carol@example.com ");
  EXPECT_EQ(ItemAs<std::string>(*docs[3], "From"), "");
}

TEST_F(MailWriter, MissingDateGivesEmptyDateItemsNotAMadeUpDate) {
  MailArgs args;
  args.MailDate = std::nullopt;
  ASSERT_TRUE(args.Send().saved);
  MailArgs invalid;
  invalid.MailDate = QDateTime();
  ASSERT_TRUE(invalid.Send().saved);

  testing::OpenedDatabase db(mail_path_);
  for (const auto& doc : db.Documents()) {
    EXPECT_EQ(ItemAs<std::string>(*doc, "PostedDate"), "");
    EXPECT_EQ(ItemAs<std::string>(*doc, "DeliveredDate"), "");
  }
}

TEST_F(MailWriter, MimeConversionSwitchIsBackOnWhenTheSessionIsReleased) {
  std::vector<bool> seen;
  writers::SetSessionProbe([&](notes::Session& session) { seen.push_back(session.ConvertMime()); });
  MailArgs args;
  const bool saved = args.Send().saved;
  writers::SetSessionProbe(nullptr);
  EXPECT_TRUE(saved);
  EXPECT_EQ(seen, std::vector<bool>{true});
}

TEST_F(MailWriter, UnreachableDatabaseIsReportedAndStagedFilesAreStillDeleted) {
  testing::writer_context.paths.mail_database = (out_ / "no-such.nsf").string();
  MailArgs args;
  const std::string staged = Stage("report.doc", "bytes");
  args.MailAttachment = {staged};
  writers::WriteResult result;
  EXPECT_NO_THROW(result = args.Send());
  EXPECT_FALSE(result.saved);
  EXPECT_NE(result.reason, "");
  EXPECT_FALSE(std::filesystem::exists(staged));
  EXPECT_FALSE(std::filesystem::exists(out_ / "no-such.nsf"));  // never created as a side effect

  testing::OpenedDatabase db(mail_path_);
  EXPECT_TRUE(db.Documents().empty());
}

}  // namespace
}  // namespace norvexa
