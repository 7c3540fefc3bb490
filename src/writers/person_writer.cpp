// SaveNotesContacts: one Outlook contact as one Notes "Person" document.
#include "writers/writers.h"

#include "platform/system/text.h"
#include "writers/item_values.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

#include <QDateTime>
#include <QTime>

namespace norvexa::writers {

namespace {

// Puts NAME as the day of WHEN at midnight, when WHEN is a date; otherwise
// (missing or invalid) puts nothing.
void PutDay(Steps& steps, NotesTarget& target, const std::string& name, const DateArg& when) {
  if (!when || !when->isValid()) return;
  Put(steps, target.document, name, QDateTime(when->date(), QTime(0, 0, 0)));
}

}  // namespace

// Writes the contact into the context's contacts database (the address
// book of a new database, else the mail database) and files it into
// "Outlook Contacts". Every failing step is passed over; the result says
// whether the document was saved. All items are text and written even when
// empty, except Birthday and Anniversary: the day at midnight, put only when
// the contact has the date.
WriteResult SaveNotesContacts(const WriterContext& context, ContactValues& c, bool& /*SaveIt*/) {
  Steps steps(Steps::Mode::Skip);
  NotesTarget target(context);
  target.Begin(steps, context.paths.ContactsDatabase(), std::string());

  const auto put = [&](const std::string& name, const std::string& value) {
    Put(steps, target.document, name, value);
  };
  put("Form", "Person");
  put("FirstName", c.elotus_FirstName);
  put("MiddleName", c.elotus_MiddleName);
  put("FullName", sys::Trim(c.elotus_FirstName + " " + c.elotus_MiddleName + " " + c.elotus_LastName));
  put("LastName", c.elotus_LastName);
  put("Suffix", c.elotus_Suffix);
  put("Title", c.elotus_Title);
  put("MailAddress", c.elotus_Email);
  put("CompanyName", c.elotus_Company);
  put("JobTitle", c.elotus_JobTitle);
  put("OfficeStreetAddress", c.elotus_BusinessStreet);
  put("OfficeCity", c.elotus_BusinessCity);
  put("OfficeZIP", c.elotus_BusinessZip);
  put("OfficeState", c.elotus_BusinessState);
  put("OfficeCountry", c.elotus_BusinessCountry);
  put("Location", c.elotus_Location);
  put("WebSite", c.elotus_WebPage);
  put("Department", c.elotus_Department);
  put("Manager", c.elotus_Manager);
  put("Assistant", c.elotus_Assistant);
  put("OfficePhoneNumber", c.elotus_OfficePhone);
  put("OfficeFAXPhoneNumber", c.elotus_OfficeFax);
  put("CellPhoneNumber", c.elotus_CellPhone);
  put("PhoneNumber_6", c.elotus_Pager);
  put("MiscPhone1", c.elotus_OtherEmail1);
  put("MiscPhone2", c.elotus_OtherEmail2);
  put("MiscPhone3", c.elotus_OtherEmail3);
  put("StreetAddress", c.elotus_PersonalStreet);
  put("City", c.elotus_PersonalCity);
  put("Zip", c.elotus_PersonalZip);
  put("State", c.elotus_PersonalState);
  put("Country", c.elotus_PersonalCountry);
  put("Spouse", c.elotus_Spouse);
  put("Children", c.elotus_Childern);
  put("PhoneNumber", c.elotus_HomePhone);
  put("HomeFAXPhoneNumber", c.elotus_HomeFax);
  PutDay(steps, target, "Birthday", c.elotus_BirthDay);
  PutDay(steps, target, "Anniversary", c.elotus_Anniversary);
  put("Comment", c.elotus_Comments);
  put("Categories", c.elotus_Categories);
  put("Type", "Person");

  return target.Finish(steps, nullptr, "Outlook Contacts");
}

}  // namespace norvexa::writers
