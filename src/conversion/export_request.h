// What one export is asked to do, as values: the store, the folders as the
// folder tree has them, the target, and whether to resume. Every caller
// (the save window, norvexa-export, the benchmark) fills one and hands it to
// an ExportJob; the job reads nothing else (no globals, no environment).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace norvexa::conversion {

// The store to read: a store file (.pst, .ost), or the identifier of a store
// (outlook::Store::StoreID) that the default Outlook profile's session opens,
// a .pst opened beside the profile included. FILE wins when both are given.
struct StoreSource {
  std::string file;
  std::string id;
};

// Where the documents go.
struct TargetChoice {
  enum class Kind { NewDatabase, ExistingDatabase };
  Kind kind = Kind::NewDatabase;
  // NewDatabase: the folder in which "Converted Outlook PST" is made (an
  // empty one is refused). ExistingDatabase: the .nsf file (blanks around it
  // are dropped).
  std::string path;
};

struct ExportRequest {
  StoreSource store;
  // The folder references of the folders to convert, "entry id#path" as the
  // folder tree hands them over, in tree order; blank entries are passed
  // over.
  std::vector<std::string> folders;
  // The item count the folder tree showed for each folder, by reference (may
  // lack some): where the overall progress starts from, and what a folder
  // that cannot be read counts as not copied.
  std::map<std::string, std::int64_t> folder_counts;
  TargetChoice target;
  // With an existing database: every item whose document the database holds
  // already (by its source key) is not written again. A new database holds
  // nothing to skip.
  bool resume = false;
  // Written as the text list "excludeFromView" of mail, calendar entries and
  // tasks.
  std::array<std::string, 2> exclude_from_view{"D", "S"};
};

}  // namespace norvexa::conversion
