// Item preparation: for each item the run reaches, read the values its
// writer needs, stage its attachments, show its progress texts and call the
// writer (mail, calendar entry, task, person, group). Plain functions over
// the store access, testable without a screen.
#pragma once

#include "platform/outlook/outlook.h"
#include "writers/writers.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace norvexa::outlook {
class Item;
class Items;
}  // namespace norvexa::outlook

namespace norvexa::conversion {

class AttachmentStaging;

// The progress labels that the preparation writes: what is being processed,
// the folder's item count, and "ordinal/count".
class ItemProgress {
 public:
  virtual ~ItemProgress() = default;
  virtual void SetProcessing(const std::string& text) = 0;
  virtual void SetFound(const std::string& text) = 0;
  virtual void SetCurrent(const std::string& text) = 0;
};

// The count texts for item ORDINAL of a folder holding COUNT items: found is
// COUNT in decimal, current is "ORDINAL/COUNT".
struct CountTexts {
  std::string found;
  std::string current;
};
CountTexts MakeCountTexts(std::int64_t ordinal, std::int64_t count);

// Everything one preparation needs besides the item itself.
struct ItemContext {
  const outlook::Items& items;   // the folder's items, for the count shown
  std::int64_t ordinal = 1;      // position of the item in its folder, from 1
  std::string folder_name;       // Notes folder for mail, calendar and task
  ItemProgress& progress;
  AttachmentStaging& staging;
  // The run's writer context: target databases, yielding, exclude-from-view
  // values. Each item's writer gets a copy with the item's source key.
  const writers::WriterContext& writer;
  // Told the bytes of the item's staged attachments once they are staged,
  // before anything of the item is written (may be empty).
  std::function<void(std::uintmax_t staged_bytes)> before_write;
};

// What became of one item: the text that names it (subject, "first last" or
// list name), whether its document was saved, and every problem met.
// An item counts as copied only when written and without problems. DAMAGE
// is the item's Damage() once everything was read: the damaged parts of the
// store file it was read through.
struct ItemOutcome {
  std::string label;
  bool written = false;
  std::vector<std::string> problems;
  std::vector<outlook::Damage> damage;
  bool Copied() const { return written && problems.empty(); }
};

// The values handed to each writer, read from an item. A value the item
// lacks is empty (dates: std::nullopt); a value that is there but cannot be
// read is empty too and adds a line to PROBLEMS.
struct MailValues {
  std::string Subject, MailTo, MailFrom, MailCC, MailBCC, BodyText, SenderName;
  writers::DateArg MailDate;
  std::int16_t SentFlag = 0;
};
struct CalendarValues {
  std::string calSubject, calSenderEmail, calBody, calLocation, calCategories;
  writers::DateArg calStart, calEnd, calCreationTime;
};
struct TaskValues {
  std::string TaskSubject, TaskBody, TaskPriority;
  writers::DateArg TaskDueDate, TaskStart, TaskCreationTime, TaskReminderTime;
};
struct GroupValues {
  std::string DLName, Desc;
  std::vector<std::string> Members;
};

MailValues ReadMailValues(const outlook::Item& item, std::vector<std::string>& problems);
CalendarValues ReadCalendarValues(const outlook::Item& item, std::vector<std::string>& problems);
TaskValues ReadTaskValues(const outlook::Item& item, std::vector<std::string>& problems);
// Birthday and anniversary stay dates; std::nullopt when the contact has none.
writers::ContactValues ReadContactValues(const outlook::Item& item, std::vector<std::string>& problems);
GroupValues ReadGroupValues(const outlook::Item& item, std::vector<std::string>& problems);

// What ITEM carries beyond its writer's arguments: whether it is unread
// (PR_MESSAGE_FLAGS without MSGFLAG_READ), and for mail its Internet
// headers, importance, sensitivity, categories, follow-up flag and arrival
// time, for tasks their state. Values that cannot be read are left empty and
// named in PROBLEMS. The formatted body is read apart (formatted_body.h),
// once the attachments are staged.
bool ReadUnread(const outlook::Item& item, std::vector<std::string>& problems);
writers::MailExtras ReadMailExtras(const outlook::Item& item, std::vector<std::string>& problems);
writers::TaskExtras ReadTaskExtras(const outlook::Item& item, std::vector<std::string>& problems);

// The five preparations. Each sets the progress texts, calls its writer
// (SendNotesMail, SendNotesCalendar, SendNotesTask, SaveNotesContacts,
// SaveNotesGroups) with the values read, and reports the outcome; a writer
// that throws or does not save gives an outcome that says why. Mail,
// calendar and task items first stage their attachments into
// Global::AttachmentList; whatever staged file the writer left is deleted
// before the function returns, whatever happened. The writer gets the
// item's source key in its context, so its document carries it.
ItemOutcome PrepareMail(const outlook::Item& item, ItemContext& context);
ItemOutcome PrepareCalendar(const outlook::Item& item, ItemContext& context);
ItemOutcome PrepareTask(const outlook::Item& item, ItemContext& context);
ItemOutcome PrepareContact(const outlook::Item& item, ItemContext& context);
ItemOutcome PrepareGroup(const outlook::Item& item, ItemContext& context);

}  // namespace norvexa::conversion
