// Naming of the target of a run: the path of a new mail database composed
// from the chosen output folder, the store's file name and the date stamp,
// and the two pieces of a folder reference ("entry id#path").
#pragma once

#include <QDateTime>

#include <string>

namespace norvexa::conversion {

// Where a new mail database goes.
struct NewDatabaseNames {
  std::string folder;     // output folder + "Converted Outlook PST" + SEPARATOR
  std::string nsf_path;   // folder + base name + stamp + ".nsf"
};

// Composes the names of a new database. OUTPUT_FOLDER is the folder the user
// chose; a SEPARATOR is appended when it does not already end in one, and
// spaces are trimmed from both ends where the composition trims. The base
// name is the file name of PST_PATH (after its last SEPARATOR), trimmed, with
// every ".pst" removed (case-sensitively: "Mail.PST" keeps its extension),
// followed by the date stamp of NOW. Pure: touches neither disk nor globals.
NewDatabaseNames ComposeNewDatabaseNames(const std::string& output_folder, const std::string& pst_path,
                                         const QDateTime& now, const std::string& separator);

// A folder reference split at its FIRST "#": the entry identifier never holds
// "#", so a folder whose name holds one keeps its whole name.
struct FolderReference {
  std::string entry_id;     // before the first "#"
  std::string folder_name;  // after it, spaces trimmed; "" when there is no "#"
};
FolderReference SplitFolderReference(const std::string& reference);

}  // namespace norvexa::conversion
