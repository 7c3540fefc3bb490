// The five Notes document writers. Each stores one Outlook item as one Notes
// document in the target database of its context, files it into its folder
// and releases its session, database and document in that order. Arguments
// are passed by reference, in the order of the item preparation, after the
// context; a writer may change them.
//
// SaveIt, the last argument of each, is always true and not consulted: it
// stays so that every writer takes the arguments of the item preparation's
// contract, in its order.
//
// Each writer tells the run whether its document was saved: the result's
// `saved` is true only when Save returned; `reason` says what failed, also
// for a saved document that lacks a part. Where a failure must reach the run
// (the calendar and task writers before their attachment step) the writer
// throws instead.
#pragma once

#include "writers/writer_context.h"

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::writers {

struct WriteResult {
  bool saved = false;
  // Why the document was not saved or, when it was, what it lacks because a
  // step failed (an attachment not embedded); "" when every step went through.
  std::string reason;
};

// A date-time argument: std::nullopt when the item has no such date. A
// missing (or invalid) date reaches the document as its item holding the
// empty text, in its usual place: the item is there, and no date is made up.
using DateArg = std::optional<QDateTime>;

// The staged attachment files of one item, one path per attachment in the
// order of the item's attachments (a path may name no file when its save
// failed). Handed to the mail, calendar and task writers as MailAttachment.
using StagedFiles = std::vector<std::filesystem::path>;

// Mail ("Memo") into the mail database, folder FolderName.
WriteResult SendNotesMail(const WriterContext& context, std::string& Subject, StagedFiles& MailAttachment, std::string& MailTo,
                          std::string& MailFrom, std::string& MailCC, std::string& MailBCC,
                          std::string& BodyText, DateArg& MailDate, std::string& FolderName,
                          std::string& SenderName, std::int16_t& SentFlag, bool& SaveIt);

// Calendar entry ("Appointment") into the mail database.
WriteResult SendNotesCalendar(const WriterContext& context, std::string& calSubject, StagedFiles& MailAttachment,
                              std::string& calSenderEmail, DateArg& calStart, DateArg& calEnd,
                              std::string& calBody, DateArg& calCreationTime, std::string& calLocation,
                              std::string& calCategories, std::string& FolderName, bool& SaveIt);

// Task ("Task") into the mail database.
WriteResult SendNotesTask(const WriterContext& context, std::string& TaskSubject, StagedFiles& MailAttachment, DateArg& TaskDueDate,
                          DateArg& TaskStart, std::string& TaskBody, DateArg& TaskCreationTime,
                          std::string& TaskPriority, DateArg& TaskReminderTime, std::string& FolderName,
                          bool& SaveIt);

// The values of a contact, in the order of the item preparation: texts, but
// the birthday and the anniversary, which stay dates (std::nullopt or an
// invalid date-time when the contact has none).
struct ContactValues {
  std::string elotus_FirstName, elotus_MiddleName, elotus_LastName, elotus_Suffix, elotus_Title,
      elotus_Email, elotus_Company, elotus_JobTitle, elotus_BusinessStreet, elotus_BusinessCity,
      elotus_BusinessZip, elotus_BusinessState, elotus_BusinessCountry, elotus_Location, elotus_WebPage,
      elotus_Department, elotus_Manager, elotus_Assistant, elotus_OfficePhone, elotus_OfficeFax,
      elotus_CellPhone, elotus_Pager, elotus_OtherEmail1, elotus_OtherEmail2, elotus_OtherEmail3,
      elotus_PersonalStreet, elotus_PersonalCity, elotus_PersonalZip, elotus_PersonalState,
      elotus_PersonalCountry, elotus_Spouse, elotus_Childern, elotus_HomePhone, elotus_HomeFax,
      elotus_Comments, elotus_Categories;
  DateArg elotus_BirthDay, elotus_Anniversary;
};

// Person document into the context's contacts database (the address book
// of a new database, else the mail database).
WriteResult SaveNotesContacts(const WriterContext& context, ContactValues& contact, bool& SaveIt);

// Group document into the context's contacts database.
WriteResult SaveNotesGroups(const WriterContext& context, std::string& DLName, std::vector<std::string>& Members,
                            std::string& Desc, bool& SaveIt);

}  // namespace norvexa::writers
