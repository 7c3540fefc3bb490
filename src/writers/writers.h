// The five Notes document writers. Each stores one Outlook item as one Notes
// document in the target database, files it into its folder and releases its
// session, database and document in that order. Arguments are passed by
// reference, in the order of the item preparation; a writer may change them.
//
// Each writer tells the run whether its document was saved: the result's
// `saved` is true only when Save returned; `reason` says what failed, also
// for a saved document that lacks a part. Where a failure must reach the run (the calendar and task writers
// before their attachment step) the writer throws instead.
#pragma once

#include <QDateTime>

#include <cstdint>
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

// Mail ("Memo") into Global::NsfFilePath, folder FolderName.
WriteResult SendNotesMail(std::string& Subject, std::string& MailAttachment, std::string& MailTo,
                          std::string& MailFrom, std::string& MailCC, std::string& MailBCC,
                          std::string& BodyText, DateArg& MailDate, std::string& FolderName,
                          std::string& SenderName, std::int16_t& SentFlag, bool& SaveIt);

// Calendar entry ("Appointment") into Global::NsfFilePath.
WriteResult SendNotesCalendar(std::string& calSubject, std::string& MailAttachment,
                              std::string& calSenderEmail, DateArg& calStart, DateArg& calEnd,
                              std::string& calBody, DateArg& calCreationTime, std::string& calLocation,
                              std::string& calCategories, std::string& FolderName, bool& SaveIt);

// Task ("Task") into Global::NsfFilePath.
WriteResult SendNotesTask(std::string& TaskSubject, std::string& MailAttachment, DateArg& TaskDueDate,
                          DateArg& TaskStart, std::string& TaskBody, DateArg& TaskCreationTime,
                          std::string& TaskPriority, DateArg& TaskReminderTime, std::string& FolderName,
                          bool& SaveIt);

// The 38 text values of a contact, in the order of the item preparation.
struct ContactValues {
  std::string elotus_FirstName, elotus_MiddleName, elotus_LastName, elotus_Suffix, elotus_Title,
      elotus_Email, elotus_Company, elotus_JobTitle, elotus_BusinessStreet, elotus_BusinessCity,
      elotus_BusinessZip, elotus_BusinessState, elotus_BusinessCountry, elotus_Location, elotus_WebPage,
      elotus_Department, elotus_Manager, elotus_Assistant, elotus_OfficePhone, elotus_OfficeFax,
      elotus_CellPhone, elotus_Pager, elotus_OtherEmail1, elotus_OtherEmail2, elotus_OtherEmail3,
      elotus_PersonalStreet, elotus_PersonalCity, elotus_PersonalZip, elotus_PersonalState,
      elotus_PersonalCountry, elotus_Spouse, elotus_Childern, elotus_HomePhone, elotus_HomeFax,
      elotus_BirthDay, elotus_Anniversary, elotus_Comments, elotus_Categories;
};

// Person document into the address book (new database) or NsfFilePath.
// NEW_DATABASE tells which: the save window's "Save in New NSF file" option.
WriteResult SaveNotesContacts(ContactValues& contact, bool& SaveIt, bool new_database);

// Group document into the address book (new database) or NsfFilePath.
WriteResult SaveNotesGroups(std::string& DLName, std::vector<std::string>& Members, std::string& Desc,
                            bool& SaveIt, bool new_database);

}  // namespace norvexa::writers
