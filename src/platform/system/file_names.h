// The one rule that makes a name from a mailbox fit to be a file name in a
// folder of ours, on every platform. Header only, so that the store access
// (which names attachments) and the staging of attachments share it.
#pragma once

#include <array>
#include <cctype>
#include <string>
#include <string_view>

namespace norvexa::sys {

// Longest name SafeFileName gives, in UTF-8 bytes: well below the 255 that
// common file systems allow, leaving room for a " (N)" that tells equal
// names apart.
inline constexpr std::size_t kMaxFileNameBytes = 200;

namespace detail {

inline bool IsReservedDeviceName(std::string_view name) {
  // The part before the first dot decides: "con.txt" is CON as well.
  std::string stem(name.substr(0, name.find('.')));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (std::string_view reserved : kPlain) {
    if (stem == reserved) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

// The length of the longest prefix of TEXT of at most MAX bytes that does
// not end inside a UTF-8 sequence.
inline std::size_t Utf8Prefix(std::string_view text, std::size_t max) {
  if (text.size() <= max) return text.size();
  std::size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace detail

// NAME (UTF-8) made fit to be a file name: only its last component is kept
// (after any "/" or "\"); control characters and the characters no file
// system allows (<>:"|?*) become "_"; runs of dots become one dot, so no
// ".." is left; blanks at the start and dots and blanks at the end go (file
// systems drop them, which would merge two names); a reserved device name
// (CON, NUL, COM1...) gets a leading "_"; a name longer than
// kMaxFileNameBytes is shortened before its extension, never inside a
// character. "" when nothing usable remains. Applying it twice changes
// nothing more.
inline std::string SafeFileName(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);

  std::string clean;
  clean.reserve(name.size());
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    const bool forbidden = u < 0x20 || u == 0x7F || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' ||
                           c == '?' || c == '*';
    if (c == '.' && !clean.empty() && clean.back() == '.') continue;
    clean.push_back(forbidden ? '_' : c);
  }
  const std::size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  clean.erase(0, first);
  while (!clean.empty() && (clean.back() == '.' || clean.back() == ' ')) clean.pop_back();
  if (clean.empty()) return std::string();
  if (detail::IsReservedDeviceName(clean)) clean.insert(clean.begin(), '_');

  if (clean.size() > kMaxFileNameBytes) {
    // The extension (from the last dot that is not the first character)
    // stays when it is short enough to leave room for a name before it.
    const std::size_t dot = clean.rfind('.');
    std::string extension = dot != std::string::npos && dot > 0 ? clean.substr(dot) : std::string();
    if (extension.size() > kMaxFileNameBytes / 4) extension.clear();
    const std::string_view base = std::string_view(clean).substr(0, clean.size() - extension.size());
    std::string shortened(base.substr(0, detail::Utf8Prefix(base, kMaxFileNameBytes - extension.size())));
    while (!shortened.empty() && (shortened.back() == '.' || shortened.back() == ' ')) shortened.pop_back();
    clean = shortened + extension;
  }
  return clean;
}

}  // namespace norvexa::sys
