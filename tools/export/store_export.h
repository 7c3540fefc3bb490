// One export of one store into one target from the command line: the
// folders the folder tree would hand over (narrowed to the paths asked
// for), the target checked before anything is read, and the export job
// run with a progress view on standard error. What came of it is a
// StoreReport: an exit status, a one-line reason and the job's report.
#pragma once

#include "conversion/run_report.h"
#include "export_options.h"

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace norvexa::outlook {
class Store;
}

namespace norvexa::exporter {

// Where an export reads from: a store file, or the store at a position of a
// profile.
struct Source {
  std::string store_file;
  std::string profile;
  std::size_t profile_position = 0;  // from 1; 0 for a store file
};

struct Target {
  TargetKind kind = TargetKind::NewDatabase;
  std::string path;  // the output folder, or the existing .nsf file
};

// How an export shows its progress.
struct Display {
  std::ostream* out = nullptr;  // standard error
  bool terminal = false;        // a bar redrawn in place, else lines
  int columns = 80;
};

// What one export did.
struct StoreReport {
  std::string store;       // the store file
  std::string store_name;  // its display name, "" when it could not be opened
  Target target;
  bool resume = false;
  int status = 2;          // 0 everything copied, 1 some items not, 2 nothing done
  std::string reason;      // one line: why, or what was done
  std::string mail_database;  // the databases written; "" when none
  std::string address_book;
  std::optional<conversion::RunReport> report;  // once the run began writing
  std::int64_t items_in_folders = 0;  // items of the chosen folders of the kinds converted
  double seconds = 0;
};

// The folder references and counts handed to the run.
struct Selection {
  std::vector<std::string> references;           // tree order
  std::map<std::string, std::int64_t> counts;     // by reference, as the tree shows them
  std::int64_t items = 0;                         // items of the kinds converted
  std::vector<std::string> unknown;               // wanted paths that name no folder
  std::vector<std::string> available;             // with UNKNOWN: every folder's path
};

// The folders of STORE as the folder tree lists them (every supported
// folder, in tree order), narrowed to WANTED when it is not empty. A wanted
// path is a folder's path as the tree's folder references carry it
// ("Personal Folders\Inbox"), or the same without the store's name
// ("Inbox"); compared without regard to case, a trailing "\" ignored.
// Throws OutlookError when the folders cannot be read.
Selection SelectFolders(const outlook::Store& store, const std::vector<std::string>& wanted);

// Exports SOURCE into TARGET: only FOLDERS when not empty; with RESUME, the
// items whose documents the target holds are skipped. Progress goes to
// DISPLAY, and the last line says what was done. Never throws.
StoreReport RunExport(const Source& source, const Target& target, const std::vector<std::string>& folders, bool resume,
                      const Display& display);

// The exit status of several exports: 0 when all are 0, 2 when all are 2 (or
// there are none), else 1.
int CombinedStatus(const std::vector<int>& statuses);

}  // namespace norvexa::exporter
