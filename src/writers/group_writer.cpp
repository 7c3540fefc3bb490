// SaveNotesGroups: one Outlook distribution list as one Notes "Group".
#include "writers/writers.h"

#include "conversion/global/global.h"
#include "writers/item_values.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

namespace norvexa::writers {

// Writes the list into the address book at Global::AddressBookPath when
// NEW_DATABASE is set, else into Global::NsfFilePath, and files it into
// "Outlook Groups". Members becomes a text list of the same length and
// order. Every failing step is passed over; the result says whether the
// document was saved.
WriteResult SaveNotesGroups(std::string& DLName, std::vector<std::string>& Members, std::string& Desc,
                            bool& /*SaveIt*/, bool new_database) {
  Steps steps(Steps::Mode::Skip);
  NotesTarget target;
  target.Open(steps, new_database ? Global::AddressBookPath : Global::NsfFilePath);
  target.CreateDocument(steps);

  Put(steps, target.document, "Form", std::string("Group"));
  Put(steps, target.document, "ListName", DLName);
  Put(steps, target.document, "ListDescription", Desc);
  Put(steps, target.document, "Members", notes::TextList(Members.begin(), Members.end()));
  Put(steps, target.document, "Type", std::string("Group"));

  const bool saved = target.Save(steps);
  target.PutInFolder(steps, "Outlook Groups");
  target.Release();
  return Outcome(saved, steps);
}

}  // namespace norvexa::writers
