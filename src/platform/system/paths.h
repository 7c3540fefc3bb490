// File-system paths and the UTF-8 text the rest of the program keeps them in.
// Header only, like text.h, so that every layer can use it.
#pragma once

#include <filesystem>
#include <string>

namespace norvexa::sys {

// PATH as UTF-8 text, on every platform.
inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path that the UTF-8 text TEXT names.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace norvexa::sys
