// Hyperlink field targets (see rtf_field.h).
#include "platform/outlook/rtf_field.h"

#include <cctype>
#include <utility>
#include <vector>

namespace norvexa::outlook::rtf {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Argument {
  std::string text;
  bool quoted = false;
};

// The blank-separated words and quoted strings of INSTRUCTION.
std::vector<Argument> Split(std::string_view instruction) {
  std::vector<Argument> out;
  std::size_t i = 0;
  while (i < instruction.size()) {
    if (IsBlank(instruction[i])) {
      ++i;
      continue;
    }
    Argument argument;
    if (instruction[i] == '"') {
      argument.quoted = true;
      const std::size_t close = instruction.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? instruction.size() : close;
      argument.text = std::string(instruction.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? instruction.size() : close + 1;
    } else {
      const std::size_t start = i;
      while (i < instruction.size() && !IsBlank(instruction[i]) && instruction[i] != '"') ++i;
      argument.text = std::string(instruction.substr(start, i - start));
    }
    out.push_back(std::move(argument));
  }
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Whether TARGET's scheme runs script. Blanks and control characters are
// passed over as browsers do when they read a scheme.
bool RunsScript(std::string_view target) {
  std::string scheme;
  for (char c : target) {
    if (c == ':') break;
    if (static_cast<unsigned char>(c) <= 0x20) continue;
    scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (scheme.size() > 16) return false;
  }
  return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

}  // namespace

std::optional<std::string> HyperlinkTarget(std::string_view instruction) {
  const std::vector<Argument> arguments = Split(instruction);
  if (arguments.empty() || arguments[0].quoted || !EqualsNoCase(arguments[0].text, "HYPERLINK")) return std::nullopt;
  std::string url;
  std::string anchor;
  bool have_url = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const Argument& a = arguments[i];
    if (!a.quoted && a.text.size() == 2 && a.text[0] == '\\') {
      const char s = static_cast<char>(std::tolower(static_cast<unsigned char>(a.text[1])));
      if (s == 'l' && i + 1 < arguments.size()) {
        anchor = arguments[++i].text;
      } else if ((s == 'o' || s == 't') && i + 1 < arguments.size()) {
        ++i;
      }
      continue;
    }
    if (!have_url) {
      url = a.text;
      have_url = true;
    }
  }
  std::string target = url;
  if (!anchor.empty()) target += "#" + anchor;
  if (target.empty() || RunsScript(target)) return std::nullopt;
  return target;
}

}  // namespace norvexa::outlook::rtf
