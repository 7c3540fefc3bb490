// SaveNotesContacts: one Outlook contact as one Notes "Person" document.
#include "writers/writers.h"

#include "conversion/global/global.h"
#include "writers/date_text.h"
#include "writers/item_values.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

#include <QDateTime>
#include <QTime>

namespace norvexa::writers {

namespace {

// Puts NAME as the date TEXT denotes, at midnight, when TEXT is a date;
// otherwise (empty or not a date) puts nothing.
void PutDateFromText(Steps& steps, NotesTarget& target, const std::string& name, const std::string& text) {
  if (text.empty()) return;
  const std::optional<QDate> date = ParseRegionalDate(text);
  if (!date) return;
  Put(steps, target.document, name, QDateTime(*date, QTime(0, 0, 0)));
}

}  // namespace

// Writes the contact into the address book at Global::AddressBookPath when
// NEW_DATABASE (the new-database option) is set, else into the mail
// database at Global::NsfFilePath, and files it into "Outlook Contacts".
// Every failing step is passed over; the result says whether the document
// was saved. All items are text and written even when empty, except
// Birthday and Anniversary, which are put only for a date text.
WriteResult SaveNotesContacts(ContactValues& c, bool& /*SaveIt*/, bool new_database) {
  Steps steps(Steps::Mode::Skip);
  NotesTarget target;
  target.Open(steps, new_database ? Global::AddressBookPath : Global::NsfFilePath);
  target.CreateDocument(steps);

  const auto put = [&](const std::string& name, const std::string& value) {
    Put(steps, target.document, name, value);
  };
  put("Form", "Person");
  put("FirstName", c.elotus_FirstName);
  put("MiddleName", c.elotus_MiddleName);
  put("FullName", TrimSpaces(c.elotus_FirstName + " " + c.elotus_MiddleName + " " + c.elotus_LastName));
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
  PutDateFromText(steps, target, "Birthday", c.elotus_BirthDay);
  PutDateFromText(steps, target, "Anniversary", c.elotus_Anniversary);
  put("Comment", c.elotus_Comments);
  put("Categories", c.elotus_Categories);
  put("Type", "Person");

  const bool saved = target.Save(steps);
  target.PutInFolder(steps, "Outlook Contacts");
  target.Release();
  return Outcome(saved, steps);
}

}  // namespace norvexa::writers
