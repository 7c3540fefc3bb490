// Item preparation; see item_preparation.h.
#include "conversion/item_preparation.h"

#include "conversion/attachment_staging.h"
#include "conversion/calendar_details.h"
#include "conversion/formatted_body.h"
#include "conversion/global/global.h"
#include "conversion/read_or.h"
#include "platform/outlook/outlook.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <utility>

namespace norvexa::conversion {
namespace {

using outlook::ContactField;
using outlook::Item;

// Deletes the staged files of the current item when it goes out of scope, so
// leftovers go also when the writer throws.
class ItemDoneGuard {
 public:
  explicit ItemDoneGuard(AttachmentStaging& staging) : staging_(staging) {}
  ~ItemDoneGuard() { staging_.ItemDone(); }
  ItemDoneGuard(const ItemDoneGuard&) = delete;
  ItemDoneGuard& operator=(const ItemDoneGuard&) = delete;

 private:
  AttachmentStaging& staging_;
};

// The run's writer context for ITEM: the same targets, with the item's
// source key, so that its document says which item it came from.
writers::WriterContext WriterFor(const Item& item, const ItemContext& context) {
  writers::WriterContext writer = context.writer;
  try {
    writer.source_key = item.SourceKey();
  } catch (const std::exception&) {
    // The key is documented never to throw; a store access that does
    // anyway gets its document written without a key.
    writer.source_key.clear();
  }
  return writer;
}

// Sets the three progress texts for the item of CONTEXT; the count is read
// from the folder's items now.
void ShowProgress(ItemContext& context, const std::string& processing) {
  context.progress.SetProcessing(processing);
  std::int64_t count = 0;
  try {
    count = context.items.Count();
  } catch (const std::exception&) {
    // The count only feeds the display; the item itself is still written.
    count = 0;
  }
  const CountTexts texts = MakeCountTexts(context.ordinal, count);
  context.progress.SetFound(texts.found);
  context.progress.SetCurrent(texts.current);
}

// Stages the attachments of ITEM into Global::AttachmentList (reset first).
void StageAttachments(const Item& item, ItemContext& context, ItemOutcome& outcome) {
  Global::AttachmentList.clear();
  std::vector<StagingProblem> problems;
  Global::AttachmentList = context.staging.StageItem(item, problems);
  for (StagingProblem& problem : problems) outcome.problems.push_back(std::move(problem.what));
  if (context.before_write) context.before_write(context.staging.ItemBytes());
}

// Calls WRITE and folds its result, or the exception it throws, into OUTCOME.
template <typename Write>
void CallWriter(ItemOutcome& outcome, Write write) {
  try {
    const writers::WriteResult result = write();
    outcome.written = result.saved;
    if (!result.saved) {
      outcome.problems.push_back(result.reason.empty() ? std::string("the document was not saved")
                                                       : result.reason);
    } else if (!result.reason.empty()) {
      // Saved, but without a part: the item is not fully copied.
      outcome.problems.push_back("the document was saved incomplete: " + result.reason);
    }
  } catch (const std::exception& e) {
    outcome.written = false;
    outcome.problems.push_back(e.what());
  }
}

}  // namespace

CountTexts MakeCountTexts(std::int64_t ordinal, std::int64_t count) {
  return {std::to_string(count), std::to_string(ordinal) + "/" + std::to_string(count)};
}

MailValues ReadMailValues(const Item& item, std::vector<std::string>& problems) {
  MailValues v;
  {
    // The property utility is made for this item alone.
    const outlook::MapiUtils utils;
    const outlook::PropValue sent = ReadOr(problems, "the sent-mail folder reference", [&] {
      return utils.HrGetOneProp(item.MAPIOBJECT(), outlook::PR_SENTMAIL_ENTRYID);
    });
    v.SentFlag = sent.empty() ? 0 : 1;
    const outlook::PropValue sender = ReadOr(problems, "the sender's name", [&] {
      return utils.HrGetOneProp(item.MAPIOBJECT(), outlook::PR_SENDER_NAME);
    });
    if (sender.kind == outlook::PropValue::Kind::Text) v.SenderName = sender.text;
  }
  v.Subject = ReadOr(problems, "the subject", [&] { return item.Subject(); });
  v.MailTo = ReadOr(problems, "the To recipients", [&] { return item.To(); });
  v.MailFrom = ReadOr(problems, "the sender's address", [&] { return item.SenderEmailAddress(); });
  v.MailCC = ReadOr(problems, "the Cc recipients", [&] { return item.CC(); });
  v.MailBCC = ReadOr(problems, "the Bcc recipients", [&] { return item.BCC(); });
  v.BodyText = ReadOr(problems, "the body", [&] { return item.Body(); });
  // The date a mail is dated by is when it was sent; the time it arrived
  // travels apart (MailExtras::received).
  v.MailDate = ReadOr(problems, "the date", [&] { return item.SubmitTime(); });
  if (!v.MailDate) v.MailDate = ReadOr(problems, "the date", [&] { return item.MessageDate(); });
  return v;
}

CalendarValues ReadCalendarValues(const Item& item, std::vector<std::string>& problems) {
  CalendarValues v;
  v.calSubject = ReadOr(problems, "the subject", [&] { return item.Subject(); });
  v.calSenderEmail = ReadOr(problems, "the sender's address", [&] { return item.SenderEmailAddress(); });
  v.calStart = ReadOr(problems, "the start", [&] { return item.Start(); });
  v.calEnd = ReadOr(problems, "the end", [&] { return item.End(); });
  v.calBody = ReadOr(problems, "the body", [&] { return item.Body(); });
  v.calCreationTime = ReadOr(problems, "the creation time", [&] { return item.CreationTime(); });
  v.calLocation = ReadOr(problems, "the location", [&] { return item.Location(); });
  v.calCategories = ReadOr(problems, "the categories", [&] { return item.Categories(); });
  return v;
}

TaskValues ReadTaskValues(const Item& item, std::vector<std::string>& problems) {
  TaskValues v;
  v.TaskSubject = ReadOr(problems, "the subject", [&] { return item.Subject(); });
  v.TaskDueDate = ReadOr(problems, "the due date", [&] { return item.DueDate(); });
  v.TaskStart = ReadOr(problems, "the start date", [&] { return item.StartDate(); });
  v.TaskBody = ReadOr(problems, "the body", [&] { return item.Body(); });
  v.TaskCreationTime = ReadOr(problems, "the creation time", [&] { return item.CreationTime(); });
  // An item without an importance is of normal importance (1) in MAPI's
  // scale, as the store's own clients show it.
  const std::optional<std::int64_t> importance =
      ReadOr(problems, "the importance", [&] { return item.Importance(); });
  v.TaskPriority = std::to_string(importance.value_or(1));
  v.TaskReminderTime = ReadOr(problems, "the reminder time", [&] { return item.ReminderTime(); });
  return v;
}

writers::ContactValues ReadContactValues(const Item& item, std::vector<std::string>& problems) {
  auto field = [&](ContactField f, const char* what) {
    return ReadOr(problems, what, [&] { return item.Contact(f); });
  };
  writers::ContactValues c;
  c.elotus_FirstName = field(ContactField::FirstName, "the first name");
  c.elotus_MiddleName = field(ContactField::MiddleName, "the middle name");
  c.elotus_LastName = field(ContactField::LastName, "the last name");
  c.elotus_Suffix = field(ContactField::Suffix, "the name suffix");
  c.elotus_Title = field(ContactField::Title, "the title");
  c.elotus_Email = field(ContactField::Email1, "the first e-mail address");
  c.elotus_Company = field(ContactField::CompanyName, "the company");
  c.elotus_JobTitle = field(ContactField::JobTitle, "the job title");
  c.elotus_BusinessStreet = field(ContactField::BusinessStreet, "the business street");
  c.elotus_BusinessCity = field(ContactField::BusinessCity, "the business city");
  c.elotus_BusinessZip = field(ContactField::BusinessPostalCode, "the business postal code");
  c.elotus_BusinessState = field(ContactField::BusinessState, "the business state");
  c.elotus_BusinessCountry = field(ContactField::BusinessCountry, "the business country");
  c.elotus_Location = field(ContactField::OfficeLocation, "the location");
  c.elotus_WebPage = field(ContactField::WebPage, "the web page");
  c.elotus_Department = field(ContactField::Department, "the department");
  c.elotus_Manager = field(ContactField::ManagerName, "the manager's name");
  c.elotus_Assistant = field(ContactField::AssistantName, "the assistant's name");
  c.elotus_OfficePhone = field(ContactField::BusinessPhone, "the business telephone");
  c.elotus_OfficeFax = field(ContactField::BusinessFax, "the business fax");
  c.elotus_CellPhone = field(ContactField::MobilePhone, "the mobile telephone");
  c.elotus_Pager = field(ContactField::Pager, "the pager");
  c.elotus_OtherEmail1 = c.elotus_Email;
  c.elotus_OtherEmail2 = field(ContactField::Email2, "the second e-mail address");
  c.elotus_OtherEmail3 = field(ContactField::Email3, "the third e-mail address");
  c.elotus_PersonalStreet = field(ContactField::HomeStreet, "the home street");
  c.elotus_PersonalCity = field(ContactField::HomeCity, "the home city");
  c.elotus_PersonalZip = field(ContactField::HomePostalCode, "the home postal code");
  c.elotus_PersonalState = field(ContactField::HomeState, "the home state");
  c.elotus_PersonalCountry = field(ContactField::HomeCountry, "the home country");
  c.elotus_Spouse = field(ContactField::Spouse, "the spouse");
  c.elotus_Childern = field(ContactField::Children, "the children");
  c.elotus_HomePhone = field(ContactField::HomePhone, "the home telephone");
  c.elotus_HomeFax = field(ContactField::HomeFax, "the home fax");
  c.elotus_BirthDay = ReadOr(problems, "the birthday", [&] { return item.Birthday(); });
  c.elotus_Anniversary = ReadOr(problems, "the anniversary", [&] { return item.Anniversary(); });
  c.elotus_Comments = ReadOr(problems, "the body", [&] { return item.Body(); });
  c.elotus_Categories = ReadOr(problems, "the categories", [&] { return item.Categories(); });
  return c;
}

GroupValues ReadGroupValues(const Item& item, std::vector<std::string>& problems) {
  GroupValues v;
  v.Members = ReadOr(problems, "the members", [&] { return item.Members(); });
  v.DLName = ReadOr(problems, "the list's name", [&] { return item.DLName(); });
  v.Desc = ReadOr(problems, "the body", [&] { return item.Body(); });
  return v;
}

bool ReadUnread(const Item& item, std::vector<std::string>& problems) {
  const std::optional<std::int64_t> flags = ReadOr(problems, "the read state", [&] { return item.MessageFlags(); });
  // An item without flags has never been marked unread.
  return flags && (*flags & outlook::mapi::MSGFLAG_READ) == 0;
}

writers::MailExtras ReadMailExtras(const Item& item, std::vector<std::string>& problems) {
  writers::MailExtras x;
  x.sender_name = ReadOr(problems, "the sender's name", [&] { return item.SenderName(); });
  x.sender_address = ReadOr(problems, "the sender's Internet address", [&] { return item.SenderSmtpAddress(); });
  x.transport_headers = ReadOr(problems, "the Internet headers", [&] { return item.TransportHeaders(); });
  x.message_id = ReadOr(problems, "the message id", [&] { return item.InternetMessageId(); });
  x.in_reply_to = ReadOr(problems, "the id of the mail replied to", [&] { return item.InReplyTo(); });
  x.references = ReadOr(problems, "the thread's message ids", [&] { return item.InternetReferences(); });
  x.importance = ReadOr(problems, "the importance", [&] { return item.Importance(); });
  x.sensitivity = ReadOr(problems, "the sensitivity", [&] { return item.Sensitivity(); });
  x.categories = ReadOr(problems, "the categories", [&] { return item.CategoryList(); });
  const outlook::FollowUpFlag flag = ReadOr(problems, "the follow-up flag", [&] { return item.FollowUp(); });
  x.follow_up = writers::FollowUp{flag.status, flag.request, flag.due, flag.completed};
  x.received = ReadOr(problems, "the arrival time", [&] { return item.ReceivedTime(); });
  return x;
}

writers::TaskExtras ReadTaskExtras(const Item& item, std::vector<std::string>& problems) {
  writers::TaskExtras x;
  x.status = ReadOr(problems, "the task's status", [&] { return item.TaskStatus(); });
  x.percent_complete = ReadOr(problems, "the task's percent complete", [&] { return item.PercentComplete(); });
  x.completed = ReadOr(problems, "the task's completion date", [&] { return item.TaskDateCompleted(); });
  x.complete = ReadOr(problems, "whether the task is complete", [&] { return item.TaskComplete(); }).value_or(false);
  x.owner = ReadOr(problems, "the task's owner", [&] { return item.TaskOwner(); });
  return x;
}

namespace {

// The preparation of an item that carries attachments (mail, calendar
// entry, task): stages its attachments, reads its values with READ and what
// it carries beyond them with EXTRAS (may be null), names it by its
// SUBJECT, shows the progress and calls WRITE with the writer context, the
// values, the staged files and the folder name.
template <typename Values, typename Write>
ItemOutcome PrepareWithAttachments(const Item& item, ItemContext& context,
                                   Values (*read)(const Item&, std::vector<std::string>&),
                                   void (*extras)(const Item&, writers::ItemExtras&, std::vector<std::string>&),
                                   std::string Values::*subject, Write write) {
  ItemOutcome outcome;
  writers::WriterContext writer = WriterFor(item, context);
  ItemDoneGuard done(context.staging);
  StageAttachments(item, context, outcome);
  Values v = read(item, outcome.problems);
  writer.extras.unread = ReadUnread(item, outcome.problems);
  writer.staged = &context.staging.Held();
  writer.extras.body = ReadFormattedBody(item, Global::AttachmentList, outcome.problems, writer.staged);
  if (extras) extras(item, writer.extras, outcome.problems);
  outcome.label = v.*subject;
  ShowProgress(context, outcome.label);
  writers::StagedFiles attachments = Global::AttachmentList;
  std::string folder = context.folder_name;
  bool save_it = true;
  CallWriter(outcome, [&] { return write(writer, v, attachments, folder, save_it); });
  outcome.damage = item.Damage();
  return outcome;
}

void MailExtrasOf(const Item& item, writers::ItemExtras& extras, std::vector<std::string>& problems) {
  extras.mail = ReadMailExtras(item, problems);
}

void TaskExtrasOf(const Item& item, writers::ItemExtras& extras, std::vector<std::string>& problems) {
  extras.task = ReadTaskExtras(item, problems);
}

void CalendarExtrasOf(const Item& item, writers::ItemExtras& extras, std::vector<std::string>& problems) {
  const auto start = ReadOr(problems, "the start", [&] { return item.Start(); });
  const auto end = ReadOr(problems, "the end", [&] { return item.End(); });
  extras.calendar = ReadCalendarDetails(item, start, end, problems);
}

}  // namespace

ItemOutcome PrepareMail(const Item& item, ItemContext& context) {
  return PrepareWithAttachments(item, context, ReadMailValues, MailExtrasOf, &MailValues::Subject,
                                [](const writers::WriterContext& writer, MailValues& v,
                                   writers::StagedFiles& attachments, std::string& folder, bool& save_it) {
                                  return writers::SendNotesMail(writer, v.Subject, attachments, v.MailTo, v.MailFrom,
                                                                v.MailCC, v.MailBCC, v.BodyText, v.MailDate, folder,
                                                                v.SenderName, v.SentFlag, save_it);
                                });
}

ItemOutcome PrepareCalendar(const Item& item, ItemContext& context) {
  return PrepareWithAttachments(item, context, ReadCalendarValues, CalendarExtrasOf, &CalendarValues::calSubject,
                                [](const writers::WriterContext& writer, CalendarValues& v,
                                   writers::StagedFiles& attachments, std::string& folder, bool& save_it) {
                                  return writers::SendNotesCalendar(writer, v.calSubject, attachments,
                                                                    v.calSenderEmail, v.calStart, v.calEnd, v.calBody,
                                                                    v.calCreationTime, v.calLocation, v.calCategories,
                                                                    folder, save_it);
                                });
}

ItemOutcome PrepareTask(const Item& item, ItemContext& context) {
  return PrepareWithAttachments(item, context, ReadTaskValues, TaskExtrasOf, &TaskValues::TaskSubject,
                                [](const writers::WriterContext& writer, TaskValues& v,
                                   writers::StagedFiles& attachments, std::string& folder, bool& save_it) {
                                  return writers::SendNotesTask(writer, v.TaskSubject, attachments, v.TaskDueDate,
                                                                v.TaskStart, v.TaskBody, v.TaskCreationTime,
                                                                v.TaskPriority, v.TaskReminderTime, folder, save_it);
                                });
}

ItemOutcome PrepareContact(const Item& item, ItemContext& context) {
  ItemOutcome outcome;
  writers::WriterContext writer = WriterFor(item, context);
  writer.extras.unread = ReadUnread(item, outcome.problems);
  writers::ContactValues c = ReadContactValues(item, outcome.problems);
  // A contact is named by first name, one space, last name.
  outcome.label = c.elotus_FirstName + " " + c.elotus_LastName;
  ShowProgress(context, outcome.label);
  bool save_it = true;
  CallWriter(outcome, [&] { return writers::SaveNotesContacts(writer, c, save_it); });
  outcome.damage = item.Damage();
  return outcome;
}

ItemOutcome PrepareGroup(const Item& item, ItemContext& context) {
  ItemOutcome outcome;
  writers::WriterContext writer = WriterFor(item, context);
  writer.extras.unread = ReadUnread(item, outcome.problems);
  GroupValues v = ReadGroupValues(item, outcome.problems);
  outcome.label = v.DLName;
  ShowProgress(context, v.DLName);
  bool save_it = true;
  CallWriter(outcome, [&] { return writers::SaveNotesGroups(writer, v.DLName, v.Members, v.Desc, save_it); });
  v.Members.clear();
  outcome.damage = item.Damage();
  return outcome;
}

}  // namespace norvexa::conversion
