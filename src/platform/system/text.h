// Small text helpers shared by every layer: trimming blanks off both ends.
// Header only, so the store access and the Notes back-end, which do not link
// the system services, can use it too.
#pragma once

#include <string>
#include <string_view>

namespace norvexa::sys {

// The blanks the user-facing rules trim: spaces only.
inline constexpr std::string_view kSpaces = " ";
// The blanks around a line of a profile file or an identifier handed in:
// spaces, tabs and line ends.
inline constexpr std::string_view kLineBlanks = " \t\r\n";
// Every ASCII white-space character: the blanks around a field of a
// command's input.
inline constexpr std::string_view kWhitespace = " \t\n\v\f\r";

// TEXT without the characters of BLANKS at both ends; "" when TEXT holds
// nothing else. Spaces only unless the caller names other blanks (a line of
// a settings file also loses its tabs and line ends).
inline std::string Trim(std::string_view text, std::string_view blanks = kSpaces) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return std::string();
  const std::size_t last = text.find_last_not_of(blanks);
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace norvexa::sys
