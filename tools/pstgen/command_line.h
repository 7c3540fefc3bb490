// The command line of pstgen: what it is asked to do and with which
// options, read from its arguments alone (no file is looked at here).
#pragma once

#include "damage.h"
#include "model.h"
#include "synthetic.h"

#include <optional>
#include <string>
#include <vector>

namespace norvexa::pstgen {

// What one run of pstgen does.
enum class Command {
  Check,        // run the structure checker on an existing file
  Damage,       // damage an existing file in place
  Description,  // write a mailbox from a JSON description
  Sample,       // write the sample mailbox
  Synthetic,    // write a synthetic mailbox
};

struct CommandLine {
  Command command = Command::Description;
  std::string file;         // Check and Damage: the existing file
  std::string description;  // Description: the JSON file
  std::string out;          // the writing commands: the file written
  // The writing commands: overrides of the mailbox's own format, encoding,
  // code page and deflation (absent or false: as the mailbox says).
  std::optional<FileFormat> format;
  std::optional<Encoding> encoding;
  std::optional<int> codepage;
  bool compress = false;
  bool report_memory = false;        // print the peak memory at the end
  SyntheticOptions synthetic;        // Synthetic: its size and seed
  std::vector<FileDamage> damage;    // applied in order after writing, or to FILE
};

// Reads ARGS, the arguments after the program's name:
//   --check FILE                         (exactly these two)
//   --damage FILE DAMAGE...
//   [OPTIONS] [DAMAGE...] DESCRIPTION.json OUT
//   [OPTIONS] [DAMAGE...] --sample OUT
//   [OPTIONS] [DAMAGE...] --synthetic [--folders F] [--items N]
//             [--attachment-bytes B] [--seed S] [--store NAME] OUT
// Options may come in any order and a later one overrides an earlier one;
// the synthetic options are accepted, and ignored, with the other forms.
// Returns nullopt for a line pstgen does not run: an unknown option, a
// missing or malformed value, a code page outside 1..65535, or a form with
// the wrong number of files (or --damage with a writing form or without
// any damage).
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args);

// Applies the overrides of LINE to MAILBOX.
void ApplyOverrides(const CommandLine& line, MailboxSpec& mailbox);

}  // namespace norvexa::pstgen
