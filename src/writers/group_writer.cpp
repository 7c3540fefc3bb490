// SaveNotesGroups: one Outlook distribution list as one Notes "Group".
#include "writers/writers.h"

#include "writers/item_values.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

namespace norvexa::writers {

// Writes the list into the context's contacts database (the address book
// of a new database, else the mail database) and files it into
// "Outlook Groups". Members becomes a text list of the same length and
// order. Every failing step is passed over; the result says whether the
// document was saved.
WriteResult SaveNotesGroups(const WriterContext& context, std::string& DLName, std::vector<std::string>& Members,
                            std::string& Desc, bool& /*SaveIt*/) {
  Steps steps(Steps::Mode::Skip);
  NotesTarget target(context);
  target.Begin(steps, context.paths.ContactsDatabase(), std::string());

  Put(steps, target.document, "Form", std::string("Group"));
  Put(steps, target.document, "ListName", DLName);
  Put(steps, target.document, "ListDescription", Desc);
  Put(steps, target.document, "Members", notes::TextList(Members.begin(), Members.end()));
  Put(steps, target.document, "Type", std::string("Group"));

  return target.Finish(steps, nullptr, "Outlook Groups");
}

}  // namespace norvexa::writers
