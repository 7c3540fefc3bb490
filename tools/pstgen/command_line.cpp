// Reading pstgen's command line; see command_line.h.
#include "command_line.h"

#include "description.h"

#include <QString>

namespace norvexa::pstgen {
namespace {

// Parses a non-negative whole number as Qt reads one; false when TEXT is
// not one.
bool Number(const std::string& text, std::uint64_t& out) {
  bool ok = false;
  out = QString::fromStdString(text).toULongLong(&ok);
  return ok;
}

// What the arguments say before their form is checked: the options, the
// files, and which form they ask for.
struct Arguments {
  CommandLine line;
  std::vector<std::string> positional;
  bool sample = false, synthetic = false;
  std::string damage_only;  // --damage FILE (empty: not given)
};

// Walks the arguments of one command line, option by option.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  // Reads every argument into OUT; false at the first one that is not
  // understood.
  bool Read(Arguments& out) {
    CommandLine& line = out.line;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& a = args_[i_];
      if (a == "--sample") {
        out.sample = true;
      } else if (a == "--synthetic") {
        out.synthetic = true;
      } else if (a == "--compress") {
        line.compress = true;
      } else if (a == "--report-memory") {
        line.report_memory = true;
      } else if (a == "--damage" && HasValue()) {
        out.damage_only = args_[++i_];
      } else if (IsValueOption(a)) {
        if (!ReadValue(a, line)) return false;
      } else if (a.rfind("--", 0) == 0) {
        return false;
      } else {
        out.positional.push_back(a);
      }
    }
    return true;
  }

 private:
  // Whether OPTION takes the argument after it.
  static bool IsValueOption(const std::string& option) {
    for (const char* name : {"--format", "--encoding", "--codepage", "--folders", "--items", "--attachment-bytes",
                             "--seed", "--store", "--flip-bit", "--zero-page"}) {
      if (option == name) return true;
    }
    return false;
  }

  // Whether an argument follows the current one.
  bool HasValue() const { return i_ + 1 < args_.size(); }

  // The next argument as a number (and steps over it); false when there is
  // none or it is not one.
  bool NumberValue(std::uint64_t& out) {
    if (!HasValue() || !Number(args_[i_ + 1], out)) return false;
    ++i_;
    return true;
  }

  // Reads the value of OPTION (one of IsValueOption's) into LINE; false
  // when it is missing or malformed.
  bool ReadValue(const std::string& option, CommandLine& line) {
    std::uint64_t n = 0;
    if (option == "--codepage") {
      if (!NumberValue(n) || n == 0 || n > 65535) return false;
      line.codepage = static_cast<int>(n);
    } else if (option == "--folders" || option == "--items" || option == "--attachment-bytes" ||
               option == "--seed") {
      if (!NumberValue(n)) return false;
      SetSynthetic(option, n, line.synthetic);
    } else {
      if (!HasValue()) return false;
      return ReadText(option, args_[++i_], line);
    }
    return true;
  }

  // Sets the synthetic option OPTION to N.
  static void SetSynthetic(const std::string& option, std::uint64_t n, SyntheticOptions& options) {
    if (option == "--folders") options.folders = static_cast<int>(n);
    if (option == "--items") options.items = static_cast<std::int64_t>(n);
    if (option == "--attachment-bytes") options.attachment_bytes = n;
    if (option == "--seed") options.seed = n;
  }

  // Reads VALUE of the text-valued OPTION into LINE; false when it is not
  // one the option takes.
  static bool ReadText(const std::string& option, const std::string& value, CommandLine& line) {
    if (option == "--store") {
      line.synthetic.store_name = value;
      return true;
    }
    if (option == "--format") {
      FileFormat f{};
      if (!ParseFileFormat(value, f)) return false;
      line.format = f;
      return true;
    }
    if (option == "--encoding") {
      Encoding e{};
      if (!ParseEncoding(value, e)) return false;
      line.encoding = e;
      return true;
    }
    FileDamage d;
    if (!(option == "--flip-bit" ? ParseFlipBit(value, d) : ParseZeroPage(value, d))) return false;
    line.damage.push_back(d);
    return true;
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
};

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "--check") {
    CommandLine check;
    check.command = Command::Check;
    check.file = args[1];
    return check;
  }
  Arguments a;
  if (!Parser(args).Read(a)) return std::nullopt;
  CommandLine& line = a.line;
  const std::vector<std::string>& positional = a.positional;
  if (!a.damage_only.empty()) {
    if (!positional.empty() || a.sample || a.synthetic || line.damage.empty()) return std::nullopt;
    line.command = Command::Damage;
    line.file = a.damage_only;
  } else if (a.sample || a.synthetic) {
    if (positional.size() != 1 || (a.sample && a.synthetic)) return std::nullopt;
    line.command = a.sample ? Command::Sample : Command::Synthetic;
    line.out = positional[0];
  } else {
    if (positional.size() != 2) return std::nullopt;
    line.command = Command::Description;
    line.description = positional[0];
    line.out = positional[1];
  }
  return line;
}

void ApplyOverrides(const CommandLine& line, MailboxSpec& mailbox) {
  if (line.encoding) mailbox.encoding = *line.encoding;
  if (line.format) mailbox.format = *line.format;
  if (line.codepage) mailbox.codepage = *line.codepage;
  if (line.compress) mailbox.compress = true;
}

}  // namespace norvexa::pstgen
