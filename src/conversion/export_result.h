// What an export job came to, typed: how it ended and why, what was copied
// and what not (with reasons), the folders not read and not converted, and
// the target databases. Callers compose their own texts from it: the save
// window its message boxes, norvexa-export its reason and JSON report.
#pragma once

#include "conversion/run_report.h"
#include "target/create_nsf.h"
#include "target/run_paths.h"

#include <cstddef>
#include <optional>
#include <string>

namespace norvexa::conversion {

// How a run ended: Completed when it went through every folder; Stopped
// when it could not start (nothing was written; StartFailure says why);
// Halted when it began writing and had to end early because the target (or
// the folder for attachments) became full, read-only or vanished (what was
// saved stays; the report's stop cause says what happened); StoppedByUser
// when asked to stop (RequestStop): it ended after the item it was copying
// and what was saved stays.
enum class RunEnd { Completed, Stopped, Halted, StoppedByUser };

// Why a run could not start.
struct StartFailure {
  enum class Step {
    LogOn,             // the default Outlook profile could not be logged on to
    OpenStore,         // the store could not be opened
    StagingFolder,     // no folder for the attachments could be made
    NoOutputFolder,    // no folder was given for a new database
    StoreFileUnknown,  // the store's file could not be found
    StoreWithoutFile,  // the store has no file to name a new database after
    PathTooLong,       // the new database's path passes the back-end's limit
    FolderNotMade,     // the folder for the new database could not be made
    DatabaseNotMade,   // the new databases could not be made (CREATION says why)
    NotADatabase,      // the existing target cannot be opened as a Notes database
    TargetUnreadable,  // resuming: what the existing database holds cannot be read
  };
  Step step = Step::OpenStore;
  std::string path;    // the file or folder concerned; "" when none
  std::string detail;  // what the system, the store access or the back-end said; "" when nothing
  std::size_t bytes = 0;  // PathTooLong: the longest path, in bytes of UTF-8
  std::size_t limit = 0;  // PathTooLong: the most the back-end takes
  std::optional<target::CreationFailure> creation;  // DatabaseNotMade
};

struct ExportResult {
  RunEnd end = RunEnd::Stopped;
  std::optional<StartFailure> start_failure;  // set exactly when END is Stopped
  RunReport report;        // per folder: copied, not copied and why, already there; folders not read, not converted
  target::RunPaths paths;  // the target databases, once settled; empty before
  std::string store_file;  // the store's file, once the store is open ("" when it has none)
  std::string store_name;  // the store's display name, once open
};

}  // namespace norvexa::conversion
