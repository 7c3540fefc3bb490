// The values the item preparation reads from real items: contacts,
// distribution lists, appointments, mail senders, bodies, categories and
// attachments, checked against what pffexport and readpst extract.
#include "platform/outlook/outlook.h"
#include "support/fixtures.h"
#include "tools/pstgen/description.h"
#include "tools/pstgen/mailbox_writer.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvexa::outlook {
namespace {

std::unique_ptr<Item> FirstItemOf(const std::filesystem::path& pst, const std::string& folder_id, int position = 1) {
  return OpenStoreFile(pst)->GetFolderFromID(folder_id)->GetItems()->GetItem(position);
}

std::string Utc(const std::optional<QDateTime>& date) {
  return date ? date->toUTC().toString(Qt::ISODate).toStdString() : "none";
}

std::string Sha256(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

TEST(OutlookItems, ContactsInAMailFolderGiveNamesAddressesAndSubjectsWithoutMarker) {
  NORVEXA_REQUIRE_SHARED_PST(path, "contacts.pst");
  // Stored subjects begin with U+0001 U+0001; readpst/pffexport show the rest.
  struct Row { const char* subject; const char* first; const char* middle; const char* last; const char* email; const char* company; };
  const Row expected[] = {
      {"Sebastian Wright", "", "", "", "SebastianWright@dayrep.com", ""},
      {"Wichert Kroos", "", "", "", "WichertKroos@teleworm.us", "Grade A Investment"},
      {"Christoffer van de Meeberg", "", "", "", "ChristoffervandeMeeberg@teleworm.us", "Krauses Sofa Factory"},
      {"Margaret J. Tolle", "Margaret", "J.", "Tolle", "MargaretJTolle@dayrep.com", "Adaptaz"},
      {"Matthew R. Wilcox", "Matthew", "R.", "Wilcox", "", "Briazz"},
      {"Bertha A. Buell", "Bertha", "A.", "Buell", "BerthaABuell@armyspy.com", "Awthentikz"},
  };
  const auto folder = OpenStoreFile(path)->GetFolderFromID("00008082");
  EXPECT_EQ(folder->ContainerClass(), "IPF.Note");
  const auto items = folder->GetItems();
  ASSERT_EQ(items->Count(), 6);
  for (int i = 0; i < 6; ++i) {
    const auto item = items->GetItem(i + 1);
    SCOPED_TRACE(expected[i].subject);
    EXPECT_EQ(item->MessageClass(), "IPM.Contact");
    EXPECT_EQ(item->Subject(), expected[i].subject);
    EXPECT_EQ(item->Contact(ContactField::FirstName), expected[i].first);
    EXPECT_EQ(item->Contact(ContactField::MiddleName), expected[i].middle);
    EXPECT_EQ(item->Contact(ContactField::LastName), expected[i].last);
    EXPECT_EQ(item->Contact(ContactField::Email1), expected[i].email);
    EXPECT_EQ(item->Contact(ContactField::CompanyName), expected[i].company);
    EXPECT_FALSE(item->Birthday().has_value());
  }
  EXPECT_EQ(items->GetItem(4)->Contact(ContactField::BusinessPhone), "(08)9080-1183");
}

TEST(OutlookItems, DistributionListMembersAndAppointmentTimes) {
  NORVEXA_REQUIRE_SHARED_PST(path, "dist-list.pst");
  const auto store = OpenStoreFile(path);
  const auto contacts = store->GetFolderFromID("00008142")->GetItems();
  ASSERT_EQ(contacts->Count(), 2);
  const auto list = contacts->GetItem(1);
  EXPECT_EQ(list->MessageClass(), "IPM.DistList");
  EXPECT_EQ(list->DLName(), "test dist list");
  EXPECT_EQ(list->Members(), (std::vector<std::string>{"contact1@rjohnson.id.au", "dist1@rjohnson.id.au",
                                                       "dist2@rjohnson.id.au"}));
  const auto contact = contacts->GetItem(2);
  EXPECT_EQ(contact->Contact(ContactField::Email1), "contact1@rjohnson.id.au");
  EXPECT_TRUE(contact->Members().empty());

  // pffexport: start Aug 02, 2016 15:00 UTC, end 15:30 UTC, reminder 15:00.
  const auto appointment = store->GetFolderFromID("00008122")->GetItems()->GetItem(1);
  EXPECT_EQ(appointment->Subject(), "Test appointment");
  EXPECT_EQ(Utc(appointment->Start()), "2016-08-02T15:00:00Z");
  EXPECT_EQ(Utc(appointment->End()), "2016-08-02T15:30:00Z");
  EXPECT_EQ(Utc(appointment->ReminderTime()), "2016-08-02T15:00:00Z");
  EXPECT_EQ(Utc(appointment->CreationTime()), "2016-08-02T00:26:39Z");
  EXPECT_EQ(appointment->Body(), "This is a complete test\r\n");
  EXPECT_FALSE(appointment->DueDate().has_value());
  // Its two attachments are attached appointments (recurrence exceptions).
  const auto attachments = appointment->GetAttachments();
  ASSERT_EQ(attachments->Count(), 2);
  EXPECT_EQ(attachments->GetAttachment(1)->FileName(), "Untitled.eml");
}

TEST(OutlookItems, ExchangeSenderAddressAndNameInUnicodeAndAnsiFiles) {
  for (const char* file : {"sample1.pst", "sample2-ansi.pst"}) {
    NORVEXA_REQUIRE_SHARED_PST(path, file);
    SCOPED_TRACE(file);
    const auto item = FirstItemOf(path, "00008082");
    EXPECT_EQ(item->SenderEmailAddress(), "/O=MICROSOFT/OU=NORTHAMERICA/CN=RECIPIENTS/CN=TERRYMAH1");
    EXPECT_EQ(item->SenderName(), "Terry Mahaffey");
    EXPECT_EQ(item->Subject(), "Here is a sample message");
    EXPECT_EQ(item->To(), "Terry Mahaffey");
    EXPECT_EQ(Utc(item->MessageDate()), "2010-03-15T17:12:07Z");
    MapiUtils utils;
    // The 8-bit tag finds the Unicode value too.
    const PropValue name = utils.HrGetOneProp(item->MAPIOBJECT(), PR_SENDER_NAME);
    EXPECT_EQ(name.kind, PropValue::Kind::Text);
    EXPECT_EQ(name.text, "Terry Mahaffey");
    EXPECT_TRUE(utils.HrGetOneProp(item->MAPIOBJECT(), PR_SENTMAIL_ENTRYID).empty());
  }
  NORVEXA_REQUIRE_SHARED_PST(unicode, "sample1.pst");
  NORVEXA_REQUIRE_SHARED_PST(ansi, "sample2-ansi.pst");
  // The Unicode file has typographic apostrophes, the ANSI file plain ones.
  EXPECT_EQ(FirstItemOf(unicode, "00008082")->Body().rfind("With a sample attachment. It\u2019s my", 0), 0u);
  EXPECT_EQ(FirstItemOf(ansi, "00008082")->Body().rfind("With a sample attachment. It's my", 0), 0u);
}

TEST(OutlookItems, AttachmentBytesEqualWhatPffexportExtracts) {
  testing::ScratchDir scratch;
  struct Case { const char* file; const char* folder; int item; int attachment; const char* name; std::int64_t size; const char* sha256; };
  const Case cases[] = {
      {"sample1.pst", "00008082", 1, 1, "leah_thumper.jpg", 93142,
       "6cbde5154184f68a2ccefbe1a2d5520efd473576dc60e13665f5706080548f8e"},
      {"sample2-ansi.pst", "00008082", 1, 1, "leah_thumper.jpg", 93142,
       "6cbde5154184f68a2ccefbe1a2d5520efd473576dc60e13665f5706080548f8e"},
      {"exchange-user.pst", "00008222", 1, 1, "TextFile.txt", 4,
       "532eaabd9574880dbf76b9b8cc00832c20a6ec113d682299550d7a6e0f345e25"},
      {"no-encryption.pst", "00008042", 1, 1, "icons.gif", 8679,
       "f9e8378e222bd8807ec7855e0e1011359b7b87865870394382ecda54f7d74770"},
      {"high-encryption.pst", "00008042", 1, 1, "icons.gif", 8679,
       "f9e8378e222bd8807ec7855e0e1011359b7b87865870394382ecda54f7d74770"},
  };
  for (const Case& c : cases) {
    NORVEXA_REQUIRE_SHARED_PST(path, c.file);
    SCOPED_TRACE(c.file);
    const auto item = FirstItemOf(path, c.folder, c.item);
    const auto attachment = item->GetAttachments()->GetAttachment(c.attachment);
    EXPECT_EQ(attachment->FileName(), c.name);
    EXPECT_EQ(attachment->Size(), c.size);
    const auto target = scratch / (std::string(c.file) + "-" + c.name);
    testing::WriteFile(target, "old content that must be replaced, longer than the attachment itself");
    attachment->SaveAsFile(target);
    const std::string bytes = testing::ReadFile(target);
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), c.size);
    EXPECT_EQ(Sha256(bytes), c.sha256);
  }
  NORVEXA_REQUIRE_SHARED_PST(sample, "sample1.pst");
  const auto attachment = FirstItemOf(sample, "00008082")->GetAttachments()->GetAttachment(1);
  EXPECT_THROW(attachment->SaveAsFile(scratch / "no-such-folder" / "x.jpg"), OutlookError);
}

TEST(OutlookItems, ExchangeUserBodyCategoriesTextAndAttachedMessage) {
  NORVEXA_REQUIRE_SHARED_PST(path, "exchange-user.pst");
  const auto store = OpenStoreFile(path);
  const auto samples = store->GetFolderFromID("00008242")->GetItems();
  const auto long_body = samples->GetItem(1);
  EXPECT_EQ(long_body->Subject(), "TestWithBodyOf4KCharacters");
  EXPECT_EQ(long_body->Body(), std::string(4112, 'a') + "\r\n\r\n");
  EXPECT_EQ(long_body->Categories(), "");
  EXPECT_EQ(samples->GetItem(2)->Categories(), "Green category, Yellow category");
  EXPECT_EQ(long_body->SenderEmailAddress(), "user1@test.lab");

  // The attached message is saved as an RFC 5322 message.
  const auto with_message = store->GetFolderFromID("00008222")->GetItems()->GetItem(2);
  EXPECT_EQ(with_message->Subject(), "TestWithEmbeddedMessage");
  const auto attachments = with_message->GetAttachments();
  ASSERT_EQ(attachments->Count(), 1);
  const auto attached = attachments->GetAttachment(1);
  EXPECT_EQ(attached->FileName(), "Test1 (1.93 KB).eml");
  testing::ScratchDir scratch;
  attached->SaveAsFile(scratch / "message.eml");
  const std::string eml = testing::ReadFile(scratch / "message.eml");
  EXPECT_EQ(static_cast<std::int64_t>(eml.size()), attached->Size());
  EXPECT_NE(eml.find("From: \"user1\" <user1@test.lab>\r\n"), std::string::npos) << eml;
  EXPECT_NE(eml.find("To: <user1@test.lab>\r\n"), std::string::npos) << eml;
  EXPECT_NE(eml.find("Date: Tue, 06 Jun 2017 19:23:44 +0000\r\n"), std::string::npos) << eml;
  EXPECT_NE(eml.find("Subject: Test1\r\n"), std::string::npos) << eml;
  // "Test1\r\n\r\n" in base64.
  EXPECT_NE(eml.find("\r\n\r\nVGVzdDENCg0K\r\n"), std::string::npos) << eml;
}

TEST(OutlookItems, NestedAttachedMessagesBecomeNestedMimeParts) {
  // Outermost message > Middle message > Innermost message > hello.txt.
  NORVEXA_REQUIRE_SHARED_PST(path, "four-nesting-levels.pst");
  const auto item = FirstItemOf(path, "00008082");
  EXPECT_EQ(item->Subject(), "Outermost message");
  const auto attachments = item->GetAttachments();
  ASSERT_EQ(attachments->Count(), 1);
  testing::ScratchDir scratch;
  const auto attached = attachments->GetAttachment(1);
  attached->SaveAsFile(scratch / "nested.eml");
  const std::string eml = testing::ReadFile(scratch / "nested.eml");
  EXPECT_EQ(eml.rfind("From: \"Jane Doe\" <pst-test-2@aranetic.com>\r\n", 0), 0u) << eml;
  const auto middle = eml.find("Subject: Middle message\r\n");
  const auto part = eml.find("Content-Type: message/rfc822\r\n");
  const auto inner = eml.find("Subject: Innermost message\r\n");
  // "Hello, world!\r\n", pffexport's hello.txt, in base64.
  const auto hello = eml.find("filename=\"hello.txt\"\r\n\r\nSGVsbG8sIHdvcmxkIQ0K\r\n");
  EXPECT_TRUE(middle < part && part < inner && inner < hello && hello != std::string::npos) << eml;
  EXPECT_NE(eml.find("--=_norvexa_part_1_boundary--"), std::string::npos);
  EXPECT_EQ(static_cast<std::int64_t>(eml.size()), attached->Size());
}

TEST(OutlookItems, EncodedAndPlainFilesReadAlike) {
  NORVEXA_REQUIRE_SHARED_PST(plain, "no-encryption.pst");
  NORVEXA_REQUIRE_SHARED_PST(high, "high-encryption.pst");
  const auto a = OpenStoreFile(plain)->GetFolderFromID("00008042")->GetItems();
  const auto b = OpenStoreFile(high)->GetFolderFromID("00008042")->GetItems();
  ASSERT_EQ(a->Count(), 20);
  ASSERT_EQ(b->Count(), 36);
  for (int i = 1; i <= a->Count(); ++i) {
    const auto x = a->GetItem(i);
    // The same mail sits at another place in the other file's folder.
    std::unique_ptr<Item> y;
    for (int j = 1; j <= b->Count() && !y; ++j) {
      auto candidate = b->GetItem(j);
      if (candidate->Subject() == x->Subject() && Utc(candidate->MessageDate()) == Utc(x->MessageDate())) {
        y = std::move(candidate);
      }
    }
    ASSERT_TRUE(y) << x->Subject();
    EXPECT_EQ(x->Subject(), y->Subject());
    EXPECT_EQ(x->Body(), y->Body());
    EXPECT_EQ(Utc(x->MessageDate()), Utc(y->MessageDate()));
    const auto xa = x->GetAttachments();
    const auto ya = y->GetAttachments();
    ASSERT_EQ(xa->Count(), ya->Count());
    for (int k = 1; k <= xa->Count(); ++k) {
      EXPECT_EQ(xa->GetAttachment(k)->FileName(), ya->GetAttachment(k)->FileName());
      EXPECT_EQ(xa->GetAttachment(k)->Size(), ya->GetAttachment(k)->Size());
    }
  }
  EXPECT_EQ(a->GetItem(1)->Subject(), "Welcome to Microsoft Outlook 2000!");
  EXPECT_EQ(a->GetItem(2)->GetAttachments()->Count(), 9);
}

// What a mail carries beyond its plain text, from a generated file in every
// format: the HTML body decoded from its own code page, Internet headers
// byte for byte, read state, sensitivity, categories one by one, the
// follow-up flag, recipients, the picture the HTML shows, and task state.
TEST(OutlookItems, FormattedMailHeadersFlagsAndTaskStateArriveAsStored) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const auto format : {pstgen::FileFormat::Unicode, pstgen::FileFormat::Ansi}) {
    SCOPED_TRACE(format == pstgen::FileFormat::Ansi ? "ANSI" : "Unicode");
    pstgen::MailboxSpec spec =
        pstgen::ReadDescription(std::filesystem::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/formatted-mail.json");
    spec.format = format;
    const std::filesystem::path pst = dir.filePath(format == pstgen::FileFormat::Ansi ? "a.pst" : "u.pst").toStdString();
    pstgen::WriteMailbox(spec, pst);
    const auto store = OpenStoreFile(pst);
    std::vector<std::unique_ptr<Folder>> folders = store->IPMRootFolder()->Folders();
    const Folder* inbox = nullptr;
    const Folder* tasks = nullptr;
    for (const auto& f : folders) {
      if (f->Name() == "Inbox") inbox = f.get();
      if (f->Name() == "Tasks") tasks = f.get();
    }
    ASSERT_NE(inbox, nullptr);
    ASSERT_NE(tasks, nullptr);
    const auto items = inbox->GetItems();
    const auto mail = items->GetItem(1);
    const std::string html = mail->HtmlBody();
    EXPECT_NE(html.find("<p>\u0431\u044e\u0434\u0436\u0435\u0442 &amp; plan</p>"), std::string::npos) << html;
    EXPECT_NE(html.find("cid:logo@example.org"), std::string::npos);
    const std::string headers = mail->TransportHeaders();
    EXPECT_EQ(headers.rfind("Received: from mx.example.org (mx.example.org [192.0.2.7])\r\n\tby mail", 0), 0u);
    EXPECT_NE(headers.find("References: <20240301080000.0001@example.com>\r\n <20240304170000.1234@example.com>\r\n"),
              std::string::npos);
    EXPECT_EQ(mail->InternetMessageId(), "<20240305091500.4711@example.org>");
    EXPECT_EQ(mail->InReplyTo(), "<20240304170000.1234@example.com>");
    EXPECT_EQ(mail->InternetReferences(), "<20240301080000.0001@example.com> <20240304170000.1234@example.com>");
    ASSERT_TRUE(mail->MessageFlags().has_value());
    EXPECT_EQ(*mail->MessageFlags() & mapi::MSGFLAG_READ, 0);
    EXPECT_EQ(mail->Sensitivity(), 2);
    EXPECT_EQ(mail->CategoryList(), (std::vector<std::string>{"Budget", "2024"}));
    EXPECT_EQ(Utc(mail->ReceivedTime()), "2024-03-05T09:15:02Z");
    EXPECT_EQ(Utc(mail->SubmitTime()), "2024-03-05T09:15:00Z");
    const FollowUpFlag flag = mail->FollowUp();
    EXPECT_EQ(flag.status, 2);
    EXPECT_EQ(flag.request, "Follow up");
    EXPECT_EQ(Utc(flag.due), "2024-03-08T17:00:00Z");
    const std::vector<RecipientEntry> to = mail->RecipientList();
    ASSERT_EQ(to.size(), 1u);
    EXPECT_EQ(to[0].kind, RecipientEntry::Kind::To);
    EXPECT_EQ(to[0].name, "Paul Martin");
    EXPECT_EQ(to[0].address, "paul.martin@example.com");
    const auto picture = mail->GetAttachments()->GetAttachment(1);
    EXPECT_EQ(picture->ContentId(), "logo@example.org");
    EXPECT_EQ(picture->MimeType(), "image/png");
    EXPECT_TRUE(picture->IsHidden());
    EXPECT_FALSE(mail->GetAttachments()->GetAttachment(2)->IsHidden());

    const auto plain = items->GetItem(2);
    EXPECT_EQ(plain->HtmlBody(), "");
    EXPECT_EQ(*plain->MessageFlags() & mapi::MSGFLAG_READ, mapi::MSGFLAG_READ);

    const auto done = tasks->GetItems()->GetItem(1);
    EXPECT_EQ(done->TaskStatus(), 2);
    EXPECT_EQ(done->PercentComplete(), 1.0);
    EXPECT_EQ(done->TaskComplete(), true);
    EXPECT_EQ(Utc(done->TaskDateCompleted()), "2024-01-30T00:00:00Z");
    EXPECT_EQ(done->TaskOwner(), "Anna Berger");
    EXPECT_EQ(items->GetItem(5)->PercentComplete(), 0.5);
  }
}

}  // namespace
}  // namespace norvexa::outlook
