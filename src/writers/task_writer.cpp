// SendNotesTask: one Outlook task as one Notes "Task" document.
#include "writers/writers.h"

#include "writers/item_values.h"
#include "writers/mime_body.h"
#include "writers/task_items.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

namespace norvexa::writers {

// Writes the task into the context's mail database and files it into FolderName.
// Failures are handled as in SendNotesCalendar: thrown to the caller until
// the first attachment path, passed over and reported in the result after.
// Dates are put whole (no split); CalendarDateTime is the creation time;
// TaskPriority goes to Importance unchanged. TaskReminderTime is not used;
// a missing date-time gives an empty item. A task with a formatted body
// gets it as MIME (mime_body.h) in place of the text Body; its status,
// completion and owner follow (task_items.h).
WriteResult SendNotesTask(const WriterContext& context, std::string& TaskSubject, StagedFiles& MailAttachment, DateArg& TaskDueDate,
                          DateArg& TaskStart, std::string& TaskBody, DateArg& TaskCreationTime,
                          std::string& TaskPriority, DateArg& /*TaskReminderTime*/, std::string& FolderName,
                          bool& /*SaveIt*/) {
  Steps steps(Steps::Mode::Throw);
  NotesTarget target(context);
  target.Begin(steps, context.paths.mail_database, FolderName);

  Put(steps, target.document, "Form", std::string("Task"));
  Put(steps, target.document, "TaskType", std::string("1"));
  Put(steps, target.document, "Chair", std::string());
  Put(steps, target.document, "Repeats", std::string());
  Put(steps, target.document, "From", std::string());
  Put(steps, target.document, "DueDate", DateValue(TaskDueDate));
  Put(steps, target.document, "DueDateTime", DateValue(TaskDueDate));
  Put(steps, target.document, "StartDate", DateValue(TaskStart));
  Put(steps, target.document, "STARTDATETIME", DateValue(TaskStart));
  Put(steps, target.document, "Subject", TaskSubject);
  MimeBody mime;
  const bool formatted = PutEntryBody(steps, target.session, target.document, TaskBody, context.extras.body, mime);
  Put(steps, target.document, "CalendarDateTime", DateValue(TaskCreationTime));
  Put(steps, target.document, "Importance", TaskPriority);
  Put(steps, target.document, "excludeFromView", ExcludeFromViewList(context));
  PutTaskExtras(steps, target.document, context.extras.task);

  return target.Finish(steps, &MailAttachment, FolderName, [&] {
    if (formatted) CloseMimeBody(steps, target.document, mime);
  });
}

}  // namespace norvexa::writers
