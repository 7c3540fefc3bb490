// SendNotesCalendar: one Outlook appointment as one Notes "Appointment".
#include "writers/writers.h"

#include "writers/calendar_items.h"
#include "writers/item_values.h"
#include "writers/mime_body.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

namespace norvexa::writers {
namespace {

// True for the items the writer puts itself that CalendarItems gives
// again for every entry: the sender stays the sender.
bool WriterOwnsItem(const std::string& name) { return name == "From"; }

// True for the date items of an entry that neither repeats nor lasts whole
// days: the writer's own values of them stand.
bool DateOfASingleEntry(const std::string& name) {
  static const char* const kNames[] = {"StartDateTime", "EndDateTime", "CalendarDateTime", "StartDate",
                                       "EndDate",       "StartTime",   "EndTime"};
  for (const char* known : kNames) {
    if (name == known) return true;
  }
  return false;
}

// Puts the items of DETAILS (calendar_items.h) into DOCUMENT, each a step of
// STEPS, leaving the writer's own where they already say the same.
void PutCalendarDetails(Steps& steps, const std::unique_ptr<notes::Document>& document,
                        const CalendarDetails& details) {
  const bool single = !details.rule && !details.all_day;
  for (auto& [name, value] : CalendarItems(details)) {
    if (WriterOwnsItem(name) || (single && DateOfASingleEntry(name))) continue;
    Put(steps, document, name, value);
  }
}

}  // namespace

// Writes the appointment into the context's mail database and files it into
// FolderName. Until the first attachment path is handled, a failing step
// throws notes::NotesError to the caller (the run records the item as not
// written; the unsaved document is dropped). From the first path on, every
// failure is passed over and reported in the result. Without attachments a
// failing Save or PutInFolder throws as well. The start and end are also
// put split into a date at midnight and a time of day. calCreationTime is
// not used; a missing date-time gives empty items. An appointment with a
// formatted body gets it as MIME (mime_body.h) in place of the text Body.
// Then come the items of its series, alarm, busy time and people
// (calendar_items.h): a repeating entry lists every occurrence in its date
// items, and an all-day event is AppointmentType "2".
WriteResult SendNotesCalendar(const WriterContext& context, std::string& calSubject, StagedFiles& MailAttachment,
                              std::string& calSenderEmail, DateArg& calStart, DateArg& calEnd,
                              std::string& calBody, DateArg& /*calCreationTime*/, std::string& calLocation,
                              std::string& calCategories, std::string& FolderName, bool& /*SaveIt*/) {
  Steps steps(Steps::Mode::Throw);
  NotesTarget target(context);
  target.Begin(steps, context.paths.mail_database, FolderName);

  Put(steps, target.document, "Form", std::string("Appointment"));
  Put(steps, target.document, "AltChair", std::string());
  Put(steps, target.document, "Chair", std::string());
  Put(steps, target.document, "AppointmentType", std::string("0"));
  Put(steps, target.document, "STARTDATETIME", DateValue(calStart));
  Put(steps, target.document, "EndDateTime", DateValue(calEnd));
  Put(steps, target.document, "StartDate", DayValue(calStart));
  Put(steps, target.document, "StartTime", TimeOfDayValue(calStart));
  Put(steps, target.document, "EndDate", DayValue(calEnd));
  Put(steps, target.document, "EndTime", TimeOfDayValue(calEnd));
  Put(steps, target.document, "From", calSenderEmail);
  Put(steps, target.document, "Location", calLocation);
  Put(steps, target.document, "Subject", calSubject);
  MimeBody mime;
  const bool formatted = PutEntryBody(steps, target.session, target.document, calBody, context.extras.body, mime);
  Put(steps, target.document, "CalendarDateTime", DateValue(calStart));
  Put(steps, target.document, "Categories", calCategories);
  Put(steps, target.document, "excludeFromView", ExcludeFromViewList(context));
  PutCalendarDetails(steps, target.document, context.extras.calendar);

  return target.Finish(steps, &MailAttachment, FolderName, [&] {
    if (formatted) CloseMimeBody(steps, target.document, mime);
  });
}

}  // namespace norvexa::writers
