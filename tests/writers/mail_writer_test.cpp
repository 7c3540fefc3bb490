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
  // "Body" is made first as a rich-text item and then replaced by the plain
  // text, so its place in the order belongs to the back-end.
  EXPECT_EQ(ItemNamesWithout(*doc, {"Body"}),
            (std::vector<std::string>{"Form", "From", "CopyTo", "BlindCopyTo", "Subject", "PostedDate", "Type",
                                      "excludeFromView", "SendTo", "Principal", "DeliveredDate"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Memo");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Type"), "Memo");
  EXPECT_EQ(ItemAs<std::string>(*doc, "From"), "carol@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Principal"), "carol@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "CopyTo"), "dave@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "BlindCopyTo"), "erin@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "SendTo"), "ann@example.com; bob@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Subject"), "Quarterly figures");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Body"), "Hello");
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "PostedDate"), *args.MailDate);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "PostedDate").offsetFromUtc(), 3600);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "DeliveredDate"), *args.MailDate);
  EXPECT_EQ(ItemAs<notes::TextList>(*doc, "excludeFromView"), (notes::TextList{"D", "S"}));
  EXPECT_FALSE(doc->HasItem("Attachment"));

  const auto filed = db.db->FolderDocumentIds("Personal Folders\\Inbox");
  EXPECT_EQ(filed, std::vector<std::string>{doc->UniversalID()});
  EXPECT_EQ(args.MailFrom, "carol@example.com");
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
