// The calendar entry and task writers against a real mail database: items,
// types and order, the split of start and end, and failures reaching the
// caller.
#include "writers/writers.h"

#include "writers/writer_fixture.h"

#include <gtest/gtest.h>

#include <QTime>

namespace norvexa {
namespace {

using testing::ItemAs;
using writers::DateArg;

struct CalendarArgs {
  std::string calSubject = "Design review";
  writers::StagedFiles MailAttachment;
  std::string calSenderEmail = "carol@example.com";
  DateArg calStart = QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9, 250));
  DateArg calEnd = QDateTime(QDate(2024, 3, 8), QTime(0, 0, 0));
  std::string calBody = "Agenda";
  DateArg calCreationTime = QDateTime(QDate(2024, 1, 2), QTime(8, 0, 0));
  std::string calLocation = "Room 4";
  std::string calCategories = "Work";
  std::string FolderName = "Personal Folders\\Calendar";
  bool SaveIt = true;

  writers::WriteResult Send() {
    return writers::SendNotesCalendar(testing::writer_context, calSubject, MailAttachment, calSenderEmail, calStart, calEnd, calBody,
                                      calCreationTime, calLocation, calCategories, FolderName, SaveIt);
  }
};

struct TaskArgs {
  std::string TaskSubject = "File taxes";
  writers::StagedFiles MailAttachment;
  DateArg TaskDueDate = QDateTime(QDate(2024, 4, 15), QTime(17, 30, 0));
  DateArg TaskStart = QDateTime(QDate(2024, 4, 1), QTime(9, 0, 0));
  std::string TaskBody = "Forms in the drawer";
  DateArg TaskCreationTime = QDateTime(QDate(2024, 3, 20), QTime(11, 12, 13));
  std::string TaskPriority = "2";
  DateArg TaskReminderTime = QDateTime(QDate(2024, 4, 14), QTime(9, 0, 0));
  std::string FolderName = "Personal Folders\\Tasks";
  bool SaveIt = true;

  writers::WriteResult Send() {
    return writers::SendNotesTask(testing::writer_context, TaskSubject, MailAttachment, TaskDueDate, TaskStart, TaskBody, TaskCreationTime,
                                  TaskPriority, TaskReminderTime, FolderName, SaveIt);
  }
};

class CalendarWriter : public testing::WriterTest {};
class TaskWriter : public testing::WriterTest {};

TEST_F(CalendarWriter, EntryGetsEveryItemInOrderWithStartAndEndSplit) {
  CalendarArgs args;
  const writers::WriteResult result = args.Send();
  EXPECT_TRUE(result.saved) << result.reason;

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  // The entry's own items first, in their order; then what Notes calendar
  // views read of a single timed entry with the default busy time.
  EXPECT_EQ(doc->ItemNames(),
            (std::vector<std::string>{"Form", "AltChair", "Chair", "AppointmentType", "STARTDATETIME", "EndDateTime",
                                      "StartDate", "StartTime", "EndDate", "EndTime", "From", "Location", "Subject",
                                      "Body", "CalendarDateTime", "Categories", "excludeFromView", "$CSVersion",
                                      "_ViewIcon", "Alarms", "BookFreeTime", "$BusyPriority"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Appointment");
  EXPECT_EQ(ItemAs<std::string>(*doc, "AltChair"), "");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Chair"), "");
  EXPECT_EQ(ItemAs<std::string>(*doc, "AppointmentType"), "0");
  // The whole values are kept (to the second, as the back-end stores them).
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "STARTDATETIME"), QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9)));
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "CalendarDateTime"), QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9)));
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "EndDateTime"), *args.calEnd);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "StartDate"), QDateTime(QDate(2024, 3, 7), QTime(0, 0, 0)));
  EXPECT_EQ(ItemAs<QTime>(*doc, "StartTime"), QTime(14, 5, 9));
  // An end at exactly midnight: that day, and time 00:00:00.
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "EndDate"), QDateTime(QDate(2024, 3, 8), QTime(0, 0, 0)));
  EXPECT_EQ(ItemAs<QTime>(*doc, "EndTime"), QTime(0, 0, 0));
  EXPECT_EQ(ItemAs<std::string>(*doc, "From"), "carol@example.com");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Location"), "Room 4");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Subject"), "Design review");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Body"), "Agenda");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Categories"), "Work");
  EXPECT_EQ(ItemAs<notes::TextList>(*doc, "excludeFromView"), (notes::TextList{"D", "S"}));
  EXPECT_EQ(db.db->FolderDocumentIds("Personal Folders\\Calendar"), std::vector<std::string>{doc->UniversalID()});
}

TEST_F(CalendarWriter, MissingStartAndEndGiveEmptyItems) {
  CalendarArgs args;
  args.calStart = std::nullopt;
  args.calEnd = std::nullopt;
  ASSERT_TRUE(args.Send().saved);
  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  for (const char* name : {"STARTDATETIME", "EndDateTime", "StartDate", "StartTime", "EndDate", "EndTime",
                           "CalendarDateTime"}) {
    EXPECT_EQ(ItemAs<std::string>(*doc, name), "") << name;
  }
}

TEST_F(CalendarWriter, FailureBeforeTheAttachmentsReachesTheCaller) {
  testing::writer_context.paths.mail_database = (out_ / "no-such.nsf").string();
  CalendarArgs args;
  const std::string staged = Stage("slides.pdf", "pdf");
  args.MailAttachment = {staged};
  EXPECT_THROW(args.Send(), notes::NotesError);
  // The staged file was not consumed: it is left to the run.
  EXPECT_TRUE(std::filesystem::exists(staged));
  EXPECT_EQ(args.MailAttachment, writers::StagedFiles{staged});
}

TEST_F(TaskWriter, TaskGetsEveryItemInOrderWithWholeDatesAndImportanceUnchanged) {
  TaskArgs args;
  const writers::WriteResult result = args.Send();
  EXPECT_TRUE(result.saved) << result.reason;

  testing::OpenedDatabase db(mail_path_);
  auto doc = db.OnlyDocument();
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->ItemNames(),
            (std::vector<std::string>{"Form", "TaskType", "Chair", "Repeats", "From", "DueDate", "DueDateTime",
                                      "StartDate", "STARTDATETIME", "Subject", "Body", "CalendarDateTime",
                                      "Importance", "excludeFromView"}));
  EXPECT_EQ(ItemAs<std::string>(*doc, "Form"), "Task");
  EXPECT_EQ(ItemAs<std::string>(*doc, "TaskType"), "1");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Chair"), "");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Repeats"), "");
  EXPECT_EQ(ItemAs<std::string>(*doc, "From"), "");
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "DueDate"), *args.TaskDueDate);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "DueDateTime"), *args.TaskDueDate);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "StartDate"), *args.TaskStart);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "STARTDATETIME"), *args.TaskStart);
  EXPECT_EQ(ItemAs<QDateTime>(*doc, "CalendarDateTime"), *args.TaskCreationTime);
  EXPECT_EQ(ItemAs<std::string>(*doc, "Importance"), "2");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Subject"), "File taxes");
  EXPECT_EQ(ItemAs<std::string>(*doc, "Body"), "Forms in the drawer");
  EXPECT_EQ(ItemAs<notes::TextList>(*doc, "excludeFromView"), (notes::TextList{"D", "S"}));
  EXPECT_EQ(db.db->FolderDocumentIds("Personal Folders\\Tasks"), std::vector<std::string>{doc->UniversalID()});
}

TEST_F(TaskWriter, MissingDatesGiveEmptyItemsAndFailuresReachTheCaller) {
  TaskArgs args;
  args.TaskDueDate = std::nullopt;
  args.TaskCreationTime = std::nullopt;
  ASSERT_TRUE(args.Send().saved);
  {
    testing::OpenedDatabase db(mail_path_);
    auto doc = db.OnlyDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(ItemAs<std::string>(*doc, "DueDate"), "");
    EXPECT_EQ(ItemAs<std::string>(*doc, "DueDateTime"), "");
    EXPECT_EQ(ItemAs<std::string>(*doc, "CalendarDateTime"), "");
    EXPECT_EQ(ItemAs<QDateTime>(*doc, "StartDate"), *args.TaskStart);
  }

  testing::writer_context.paths.mail_database = (out_ / "missing" / "mail.nsf").string();
  TaskArgs failing;
  EXPECT_THROW(failing.Send(), std::exception);
}

}  // namespace
}  // namespace norvexa
