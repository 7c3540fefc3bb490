// Item preparation: the values handed to each writer, the progress texts,
// and staged files that never outlive their item.
#include "conversion/attachment_staging.h"
#include "conversion/global/global.h"
#include "conversion/item_preparation.h"
#include "fake_item.h"
#include "platform/system/system_services.h"
#include "support/fixtures.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <filesystem>

namespace norvexa::conversion {
namespace {

using outlook::ContactField;
using testing::FakeItem;

class RecordingProgress final : public ItemProgress {
 public:
  std::string processing, found, current;
  void SetProcessing(const std::string& text) override { processing = text; }
  void SetFound(const std::string& text) override { found = text; }
  void SetCurrent(const std::string& text) override { current = text; }
};

TEST(Preparation, MailSentFlagAndSenderNameComeFromTheMessageProperties) {
  FakeItem received;
  received.subject = "Hello";
  received.sender_email = "/O=ORG/CN=RECIPIENTS/CN=USER1";
  received.date = QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0));
  outlook::PropValue name;
  name.kind = outlook::PropValue::Kind::Text;
  name.text = "User One";
  received.mapi.props[outlook::PR_SENDER_NAME] = name;
  std::vector<std::string> problems;
  MailValues v = ReadMailValues(received, problems);
  EXPECT_EQ(v.SentFlag, 0);
  EXPECT_EQ(v.SenderName, "User One");
  EXPECT_EQ(v.MailFrom, "/O=ORG/CN=RECIPIENTS/CN=USER1");
  EXPECT_EQ(v.MailDate, received.date);

  FakeItem sent;
  outlook::PropValue entry;
  entry.kind = outlook::PropValue::Kind::Binary;
  entry.text = std::string("\x00\x01\x02", 3);
  sent.mapi.props[outlook::PR_SENTMAIL_ENTRYID] = entry;
  v = ReadMailValues(sent, problems);
  EXPECT_EQ(v.SentFlag, 1);
  EXPECT_EQ(v.SenderName, "");
  EXPECT_FALSE(v.MailDate.has_value());  // no date stays no date
  EXPECT_TRUE(problems.empty());
}

TEST(Preparation, TaskPriorityIsTheImportanceInDigitsAndMissingDatesStayEmpty) {
  FakeItem task;
  task.subject = "Do it";
  task.importance = 2;
  task.due = QDateTime(QDate(2026, 5, 1), QTime(0, 0));
  std::vector<std::string> problems;
  TaskValues v = ReadTaskValues(task, problems);
  EXPECT_EQ(v.TaskPriority, "2");
  EXPECT_EQ(v.TaskDueDate, task.due);
  EXPECT_FALSE(v.TaskStart.has_value());
  EXPECT_FALSE(v.TaskReminderTime.has_value());
  EXPECT_FALSE(v.TaskCreationTime.has_value());
  task.importance = 1;
  EXPECT_EQ(ReadTaskValues(task, problems).TaskPriority, "1");
  task.importance = 0;
  EXPECT_EQ(ReadTaskValues(task, problems).TaskPriority, "0");
  task.importance.reset();
  EXPECT_EQ(ReadTaskValues(task, problems).TaskPriority, "1");

  FakeItem appointment;
  appointment.start = QDateTime(QDate(2026, 5, 1), QTime(9, 0));
  const CalendarValues c = ReadCalendarValues(appointment, problems);
  EXPECT_EQ(c.calStart, appointment.start);
  EXPECT_FALSE(c.calEnd.has_value());
  EXPECT_FALSE(c.calCreationTime.has_value());
}

TEST(Preparation, ContactValuesInTheirPlacesWithTheirDates) {
  FakeItem contact;
  contact.message_class = "IPM.Contact";
  contact.contact = {{ContactField::FirstName, "Ada"},     {ContactField::LastName, "Lovelace"},
                     {ContactField::Email1, "ada@x.org"}, {ContactField::Email2, "ada@y.org"},
                     {ContactField::Email3, "ada@z.org"}, {ContactField::Children, "Byron, Anne"},
                     {ContactField::OfficeLocation, "B2"}, {ContactField::HomeFax, "555"}};
  contact.body = "Notes";
  contact.categories = "Friends, Math";
  contact.birthday = QDateTime(QDate(1815, 12, 10), QTime(0, 0));
  std::vector<std::string> problems;
  // The dates do not pass through the user's way of writing them: the same
  // day comes out in English, German and Japanese.
  const QLocale previous;
  for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Japanese, QLocale::Japan),
                                QLocale(QLocale::English, QLocale::UnitedStates)}) {
    QLocale::setDefault(locale);
    const writers::ContactValues c = ReadContactValues(contact, problems);
    ASSERT_TRUE(c.elotus_BirthDay.has_value()) << locale.name().toStdString();
    EXPECT_EQ(c.elotus_BirthDay->date(), QDate(1815, 12, 10)) << locale.name().toStdString();
  }
  QLocale::setDefault(previous);
  const writers::ContactValues c = ReadContactValues(contact, problems);
  EXPECT_EQ(c.elotus_FirstName, "Ada");
  EXPECT_EQ(c.elotus_LastName, "Lovelace");
  EXPECT_EQ(c.elotus_Email, "ada@x.org");
  EXPECT_EQ(c.elotus_OtherEmail1, c.elotus_Email);
  EXPECT_EQ(c.elotus_OtherEmail2, "ada@y.org");
  EXPECT_EQ(c.elotus_OtherEmail3, "ada@z.org");
  EXPECT_EQ(c.elotus_Childern, "Byron, Anne");
  EXPECT_EQ(c.elotus_Location, "B2");
  EXPECT_EQ(c.elotus_HomeFax, "555");
  EXPECT_EQ(c.elotus_Comments, "Notes");
  EXPECT_EQ(c.elotus_Categories, "Friends, Math");
  // The whole date, never shortened: 1815 stays 1815.
  EXPECT_EQ(c.elotus_BirthDay, QDateTime(QDate(1815, 12, 10), QTime(0, 0)));
  EXPECT_FALSE(c.elotus_Anniversary.has_value());  // absent: empty, not a made-up date
  EXPECT_TRUE(problems.empty());

  // A value that is there but unreadable is empty and named as a problem.
  contact.failing = {"Body"};
  const writers::ContactValues broken = ReadContactValues(contact, problems);
  EXPECT_EQ(broken.elotus_Comments, "");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("body"), std::string::npos);
}

TEST(Preparation, ProgressTextsNameTheItemAndCountTheFolder) {
  EXPECT_EQ(MakeCountTexts(3, 120).found, "120");
  EXPECT_EQ(MakeCountTexts(3, 120).current, "3/120");
  EXPECT_EQ(MakeCountTexts(40000, 70000).current, "40000/70000");  // beyond 16 bits

  testing::ScratchDir scratch;
  AttachmentStaging staging(scratch.path().string() + sys::PathSeparator().toStdString());
  RecordingProgress progress;
  testing::FakeItems items;
  items.count = 7;
  // No Notes client here: the writers fail, which the outcome says.
  writers::WriterContext writer;
  writer.paths.mail_database = (scratch / "missing.nsf").string();
  ItemContext context{items, 3, "Personal Folders\\Contacts", progress, staging, writer};

  FakeItem nameless;
  ItemOutcome outcome = PrepareContact(nameless, context);
  EXPECT_EQ(progress.processing, " ");
  EXPECT_EQ(progress.found, "7");
  EXPECT_EQ(progress.current, "3/7");
  EXPECT_FALSE(outcome.Copied());
  EXPECT_FALSE(outcome.problems.empty());

  FakeItem list;
  list.message_class = "IPM.DistList";
  list.dl_name = "Team";
  list.members = {"a@x.org", "b@x.org"};
  context.ordinal = 4;
  PrepareGroup(list, context);
  EXPECT_EQ(progress.processing, "Team");
  EXPECT_EQ(progress.current, "4/7");

  FakeItem mail;
  mail.subject = "Quarterly report";
  mail.attachments = {{"report.pdf", "%PDF"}, {"report.pdf", "%PDF2"}};
  context.ordinal = 5;
  outcome = PrepareMail(mail, context);
  EXPECT_EQ(progress.processing, "Quarterly report");
  EXPECT_EQ(progress.current, "5/7");
  EXPECT_EQ(outcome.label, "Quarterly report");
  EXPECT_EQ(Global::AttachmentList,
            (writers::StagedFiles{staging.Folder() + "report.pdf", staging.Folder() + "report (2).pdf"}));
  EXPECT_TRUE(std::filesystem::is_empty(staging.Folder()));

  // The calendar writer gives up before its attachment step when there is no
  // database; the staged files are gone anyway.
  FakeItem appointment;
  appointment.subject = "Review";
  appointment.attachments = {{"agenda.txt", "1. budget"}};
  context.ordinal = 6;
  outcome = PrepareCalendar(appointment, context);
  EXPECT_EQ(progress.processing, "Review");
  EXPECT_FALSE(outcome.Copied());
  EXPECT_EQ(Global::AttachmentList, writers::StagedFiles{staging.Folder() + "agenda.txt"});
  EXPECT_TRUE(std::filesystem::is_empty(staging.Folder()));
}

TEST(Preparation, EveryPreparationCopiesTheItemsDamageIntoItsOutcome) {
  testing::ScratchDir scratch;
  AttachmentStaging staging(scratch.path().string() + sys::PathSeparator().toStdString());
  RecordingProgress progress;
  testing::FakeItems items;
  items.count = 1;
  writers::WriterContext writer;
  writer.paths.mail_database = (scratch / "missing.nsf").string();
  ItemContext context{items, 1, "Personal Folders\\Inbox", progress, staging, writer};
  const std::vector<outlook::Damage> damage = {{0x5A40, "block 0x2C fails its CRC check (damaged)"},
                                               {0x6000, "a value could not be read"}};
  FakeItem item;
  item.subject = "Hit";
  item.damage = damage;
  // Whatever became of the document (no Notes client here), the damage
  // the item was read through goes with the outcome.
  EXPECT_EQ(PrepareMail(item, context).damage, damage);
  EXPECT_EQ(PrepareCalendar(item, context).damage, damage);
  EXPECT_EQ(PrepareTask(item, context).damage, damage);
  EXPECT_EQ(PrepareContact(item, context).damage, damage);
  item.message_class = "IPM.DistList";
  EXPECT_EQ(PrepareGroup(item, context).damage, damage);
  FakeItem sound;
  EXPECT_TRUE(PrepareMail(sound, context).damage.empty());
}

}  // namespace
}  // namespace norvexa::conversion
