// An export as the save window runs it: the request made from what the
// main window handed over (Global::SelectedStoreId, SelectedFolders and
// SelectedFolderCounts, ExcludeFromViewValues) and the target the user
// chose; the target paths published in Global::NsfFilePath and
// AddressBookPath once the job has settled them; the folders handed over
// cleared once they were walked; and the box for the result, shown over the
// window (the program ends when new databases could not be made).
#pragma once

#include "conversion/export_job.h"

#include <string>

class QWidget;

namespace norvexa::windows {

// The target the user chose in the save window.
struct RunTarget {
  bool new_database = true;   // "Save in New NSF file" selected
  std::string existing_file;  // text of the existing-database box
  std::string output_folder;  // the folder chosen for a new database
};

// The request for TARGET from the globals the windows set.
conversion::ExportRequest RequestFromWindows(const RunTarget& target);

// Runs JOB for TARGET as above, telling OBSERVER what happens; OWNER owns
// the box shown at the end (may be null). Clears SelectedFolders and
// SelectedFolderCounts unless the run could not start. Returns how the run
// ended.
conversion::RunEnd RunFromSaveWindow(conversion::ExportJob& job, conversion::ExportObserver& observer,
                                     const RunTarget& target, QWidget* owner);

}  // namespace norvexa::windows
