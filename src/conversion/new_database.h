// The new databases of a run: their names composed from the chosen folder,
// the store's file name and the time (the next free second when a name is
// taken), the checks made before anything is written (a folder, a path the
// back-end can take), and CreateNSF.
#pragma once

#include "conversion/export_result.h"
#include "target/create_nsf.h"

#include <optional>
#include <string>

namespace norvexa::outlook {
class Store;
}

namespace norvexa::conversion {

// What settling a new database came to: its paths, the path its name would
// have had when that was taken, or why nothing was made.
struct NewDatabase {
  target::RunPaths paths;
  std::string taken_name;  // the mail database's first name when it was taken; "" otherwise
  std::optional<StartFailure> failure;
};

// Makes the new mail database and address book for STORE under
// OUTPUT_FOLDER + "Converted Outlook PST", named after the store's file and
// the current time (sys::Services().Now()), moving on to the next free
// second while a mail database of that name is there. Refuses, without
// making anything: an empty OUTPUT_FOLDER (NoOutputFolder), a store whose
// file cannot be found or that has none (StoreFileUnknown,
// StoreWithoutFile), a path too long for the Notes back-end (PathTooLong),
// a folder that cannot be made (FolderNotMade). A creation that fails is
// DatabaseNotMade with CreateNSF's failure. PROGRESS gets CreateNSF's labels
// and yields.
NewDatabase MakeNewDatabase(const std::string& output_folder, const outlook::Store& store,
                            target::SaveProgress& progress);

}  // namespace norvexa::conversion
