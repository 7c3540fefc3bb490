// The attachment step shared by the mail, calendar and task writers, driven
// through the writers against a real database: bytes kept exactly, staged
// files consumed, unusable paths passed over.
#include "writers/writers.h"

#include "writers/writer_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace norvexa {
namespace {

using testing::ReadFile;
using testing::writer_context;
using writers::StagedFiles;

// Every byte value, then a longer run: what a binary attachment looks like.
std::string BinaryBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  for (int i = 0; i < 100000; ++i) bytes.push_back(static_cast<char>((i * 7919) & 0xFF));
  return bytes;
}

class AttachmentStep : public testing::WriterTest {
 protected:
  // The bytes of attachment NAME of DOC, extracted to a scratch file.
  std::string Extracted(const notes::Document& doc, const std::string& name) {
    const auto path = client_.Scratch("extracted") / name;
    doc.ExtractAttachment(name, path);
    return ReadFile(path);
  }
};

TEST_F(AttachmentStep, MailEmbedsEachListedFileByteForByteAndDeletesIt) {
  const std::string a = Stage("a.txt", "first file\r\n");
  const std::string b = Stage("b.bin", BinaryBytes());
  const std::string missing = (staging_ / "never-staged.doc").string();
  const std::string folder = staging_.string();  // a path naming a folder is never deleted
  // A folder whose path holds "|" is an ordinary place for a staged file.
  std::filesystem::create_directories(staging_ / "tmp|1");
  const std::string piped = testing::WriteFile(staging_ / "tmp|1" / "c|d.txt", "piped").string();

  std::string Subject = "s", MailTo, MailFrom, MailCC, MailBCC, BodyText, FolderName = "Inbox", SenderName;
  StagedFiles MailAttachment{a, missing, folder, b, piped};
  const StagedFiles given = MailAttachment;
  writers::DateArg MailDate;
  std::int16_t SentFlag = 0;
  bool SaveIt = true;
  const writers::WriteResult result =
      writers::SendNotesMail(writer_context, Subject, MailAttachment, MailTo, MailFrom, MailCC, MailBCC, BodyText,
                             MailDate, FolderName, SenderName, SentFlag, SaveIt);
  EXPECT_TRUE(result.saved) << result.reason;
  EXPECT_EQ(MailAttachment, given);  // the caller's list is left as it was
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_FALSE(std::filesystem::exists(b));
  EXPECT_FALSE(std::filesystem::exists(piped));
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  EXPECT_TRUE(doc->HasItem("Attachment"));
  const auto attachments = doc->Attachments();
  ASSERT_EQ(attachments.size(), 3u);
  EXPECT_EQ(attachments[0].file_name, "a.txt");
  EXPECT_EQ(attachments[1].file_name, "b.bin");
  EXPECT_EQ(attachments[2].file_name, "c|d.txt");
  EXPECT_EQ(attachments[1].size, static_cast<std::int64_t>(BinaryBytes().size()));
  EXPECT_EQ(Extracted(*doc, "a.txt"), "first file\r\n");
  EXPECT_EQ(Extracted(*doc, "b.bin"), BinaryBytes());
  EXPECT_EQ(Extracted(*doc, "c|d.txt"), "piped");
}

// Attachments held in memory go in from there and are released; a listed
// path the staging holds nothing for and has no file behind is passed over,
// and held and file attachments keep their order.
TEST_F(AttachmentStep, HeldAttachmentsAreEmbeddedFromMemoryAndReleased) {
  writers::StagedContents held;
  const std::string a = (staging_ / "held.bin").string();
  held.Hold(a, BinaryBytes());
  const std::string b = Stage("file.txt", "on disk");
  const std::string gone = (staging_ / "failed.doc").string();
  writers::WriterContext context = writer_context;
  context.staged = &held;

  std::string Subject = "s", MailTo, MailFrom, MailCC, MailBCC, BodyText, FolderName = "Inbox", SenderName;
  StagedFiles MailAttachment{a, gone, b};
  writers::DateArg MailDate;
  std::int16_t SentFlag = 0;
  bool SaveIt = true;
  const writers::WriteResult result = writers::SendNotesMail(context, Subject, MailAttachment, MailTo, MailFrom,
                                                             MailCC, MailBCC, BodyText, MailDate, FolderName,
                                                             SenderName, SentFlag, SaveIt);
  EXPECT_TRUE(result.saved) << result.reason;
  EXPECT_EQ(held.Find(a), nullptr);  // released once embedded
  EXPECT_EQ(held.Bytes(), 0u);
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_FALSE(std::filesystem::exists(b));

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  const auto attachments = doc->Attachments();
  ASSERT_EQ(attachments.size(), 2u);
  EXPECT_EQ(attachments[0].file_name, "held.bin");
  EXPECT_EQ(attachments[1].file_name, "file.txt");
  EXPECT_EQ(Extracted(*doc, "held.bin"), BinaryBytes());
  EXPECT_EQ(Extracted(*doc, "file.txt"), "on disk");
}

TEST_F(AttachmentStep, EmptyListTouchesNothingAndCalendarAndTaskEmbedToo) {
  const std::string keep = Stage("keep.txt", "keep");
  std::string Subject = "s", MailTo, MailFrom, MailCC, MailBCC, BodyText, FolderName = "Inbox", SenderName;
  StagedFiles MailAttachment;
  writers::DateArg MailDate;
  std::int16_t SentFlag = 0;
  bool SaveIt = true;
  EXPECT_TRUE(writers::SendNotesMail(writer_context, Subject, MailAttachment, MailTo, MailFrom, MailCC, MailBCC,
                                     BodyText, MailDate, FolderName, SenderName, SentFlag, SaveIt)
                  .saved);
  EXPECT_TRUE(MailAttachment.empty());
  EXPECT_TRUE(std::filesystem::exists(keep));

  const std::string c = Stage("agenda.pdf", "%PDF-1.4 agenda");
  std::string calSubject = "m", calSender, calBody, calLocation, calCategories, calFolder = "Calendar";
  StagedFiles calAttachment{c};
  writers::DateArg calStart = QDateTime(QDate(2024, 1, 1), QTime(9, 0)), calEnd = calStart, calCreated;
  EXPECT_TRUE(writers::SendNotesCalendar(writer_context, calSubject, calAttachment, calSender, calStart, calEnd, calBody, calCreated,
                                         calLocation, calCategories, calFolder, SaveIt)
                  .saved);
  EXPECT_FALSE(std::filesystem::exists(c));

  const std::string t = Stage("list.xlsx", std::string("PK\x03\x04", 4) + "sheet");
  std::string TaskSubject = "t", TaskBody, TaskPriority = "1", TaskFolder = "Tasks";
  StagedFiles TaskAttachment{t};
  writers::DateArg due, start, created, reminder;
  EXPECT_TRUE(writers::SendNotesTask(writer_context, TaskSubject, TaskAttachment, due, start, TaskBody, created, TaskPriority,
                                     reminder, TaskFolder, SaveIt)
                  .saved);
  EXPECT_FALSE(std::filesystem::exists(t));

  testing::OpenedDatabase db(mail_path_);
  auto docs = db.Documents();
  ASSERT_EQ(docs.size(), 3u);
  EXPECT_FALSE(docs[0]->HasItem("Attachment"));
  EXPECT_TRUE(docs[0]->Attachments().empty());
  ASSERT_EQ(docs[1]->Attachments().size(), 1u);
  EXPECT_EQ(Extracted(*docs[1], "agenda.pdf"), "%PDF-1.4 agenda");
  ASSERT_EQ(docs[2]->Attachments().size(), 1u);
  EXPECT_EQ(Extracted(*docs[2], "list.xlsx"), std::string("PK\x03\x04", 4) + "sheet");
}

TEST_F(AttachmentStep, CalendarPassesOverAnUnusablePathOnceTheStepHasBegun) {
  const std::string ok = Stage("ok.txt", "ok");
  std::string calSubject = "m", calSender, calBody, calLocation, calCategories, calFolder = "Calendar";
  StagedFiles calAttachment{staging_ / "lost.txt", ok};
  writers::DateArg calStart, calEnd, calCreated;
  bool SaveIt = true;
  writers::WriteResult result;
  EXPECT_NO_THROW(result = writers::SendNotesCalendar(writer_context, calSubject, calAttachment, calSender, calStart, calEnd, calBody,
                                                      calCreated, calLocation, calCategories, calFolder, SaveIt));
  EXPECT_TRUE(result.saved) << result.reason;
  EXPECT_FALSE(std::filesystem::exists(ok));
  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  ASSERT_EQ(doc->Attachments().size(), 1u);
  EXPECT_EQ(doc->Attachments()[0].file_name, "ok.txt");
}

TEST_F(AttachmentStep, ADocumentThatNamesItsItemIsNotKeptWithoutAPart) {
  // With the item's source key, a part that cannot be embedded keeps the
  // whole document out of the database: the report's "not copied" holds
  // there too, and a later run with --resume writes it again.
  writer_context.source_key = "0123456789ABCDEF-00000001";
  const std::string ok = Stage("ok.txt", "ok");
  // A staged path the back-end cannot read a file from (a folder stands in
  // for a file the target failed at).
  std::filesystem::create_directory(staging_ / "lost.txt");
  std::filesystem::create_directory(staging_ / "gone.bin");
  std::string Subject = "s", MailTo, MailFrom, MailCC, MailBCC, BodyText, FolderName = "Inbox", SenderName;
  StagedFiles MailAttachment{staging_ / "lost.txt", ok};
  writers::DateArg MailDate;
  std::int16_t SentFlag = 0;
  bool SaveIt = true;
  writers::WriteResult mail = writers::SendNotesMail(writer_context, Subject, MailAttachment, MailTo, MailFrom, MailCC,
                                                     MailBCC, BodyText, MailDate, FolderName, SenderName, SentFlag,
                                                     SaveIt);
  EXPECT_FALSE(mail.saved);
  EXPECT_EQ(mail.reason.rfind("the document was not kept without its part: embedding ", 0), 0u) << mail.reason;
  EXPECT_NE(mail.reason.find("lost.txt"), std::string::npos) << mail.reason;
  EXPECT_FALSE(std::filesystem::exists(ok));  // the staged files go all the same

  const std::string t = Stage("list.xlsx", "sheet");
  std::string TaskSubject = "t", TaskBody, TaskPriority = "1", TaskFolder = "Tasks";
  StagedFiles TaskAttachment{t, staging_ / "gone.bin"};
  writers::DateArg due, start, created, reminder;
  EXPECT_FALSE(writers::SendNotesTask(writer_context, TaskSubject, TaskAttachment, due, start, TaskBody, created,
                                      TaskPriority, reminder, TaskFolder, SaveIt)
                   .saved);

  // Every part there: the document is kept, with its key.
  const std::string whole = Stage("whole.txt", "whole");
  StagedFiles complete{whole};
  mail = writers::SendNotesMail(writer_context, Subject, complete, MailTo, MailFrom, MailCC, MailBCC, BodyText,
                                MailDate, FolderName, SenderName, SentFlag, SaveIt);
  EXPECT_TRUE(mail.saved) << mail.reason;
  testing::OpenedDatabase db(mail_path_);
  const auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->Attachments().size(), 1u);
  EXPECT_EQ(testing::ItemAs<std::string>(*doc, writers::kSourceKeyItem), writer_context.source_key);
}

}  // namespace
}  // namespace norvexa
