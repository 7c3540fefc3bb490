// The command line of norvexa-export: what to export (a store file, the
// stores of a profile, or the lines of a batch list), into which target,
// which folders, and how to report.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace norvexa::exporter {

// A command line that cannot be run; what() says why, in one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TargetKind { None, NewDatabase, ExistingDatabase };

struct ExportOptions {
  std::string store;                 // STORE.pst
  std::string profile;               // --profile FILE
  std::string batch;                 // --batch LIST.tsv
  TargetKind target = TargetKind::None;
  std::string target_path;           // the output folder, or the .nsf file
  std::vector<std::string> folders;  // --folders PATH...; empty: every folder
  bool json = false;                 // --json
  bool resume = false;               // --resume
  bool help = false;                 // --help
};

// Reads ARGUMENTS (the program's name left out). Throws UsageError when they
// name no source or more than one, no target or two, an option without its
// value, an unknown option, --resume without an existing database, or a
// target option together with --batch (each line names its own target).
ExportOptions ParseArguments(const std::vector<std::string>& arguments);

// The text --help prints, and the hint after a usage error.
std::string UsageText();

// The command line (the program's name left out) of one export of STORE into
// TARGET (a line of a batch list), carrying over the options of OPTIONS that
// hold for every line: --folders, --json and --resume.
std::vector<std::string> LineArguments(const ExportOptions& options, const std::string& store, TargetKind kind,
                                       const std::string& target);

}  // namespace norvexa::exporter
