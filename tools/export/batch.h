// Many mailboxes in one command: a list of "store file<TAB>target" lines,
// each exported by its own norvexa-export process, one after the other, so
// that a store that brings its export down costs that line only.
#pragma once

#include "export_options.h"

#include <ostream>
#include <string>
#include <vector>

namespace norvexa::exporter {

// One line of a batch list.
struct BatchLine {
  int number = 0;  // in the file, from 1
  std::string store;
  TargetKind kind = TargetKind::NewDatabase;
  std::string target;
  std::string error;  // why the line cannot be run; "" when it can
};

// The lines of the list at PATH: one "store file<TAB>target" each (a
// carriage return before the line end and blanks around each field are
// dropped). Blank lines and lines starting with "#" are passed over. A
// target ending in ".nsf" (any case) is an existing database, any other the
// folder for a new one. A line without exactly two non-empty fields is kept
// with its error. Throws UsageError when the file cannot be read.
std::vector<BatchLine> ReadBatchList(const std::string& path);

// Exports every line of OPTIONS.batch with PROGRAM (this command), passing
// on --folders, --json and --resume; the children write their progress and
// reports straight to this process's standard error and output. A line that
// cannot be run, or whose process does not end normally, gets its line on
// ERR and, with --json, its report on OUT here. New databases are begun in
// different seconds, as their names only go down to the second. Returns
// the combined exit status (CombinedStatus).
int RunBatch(const ExportOptions& options, const std::string& program, std::ostream& out, std::ostream& err);

}  // namespace norvexa::exporter
