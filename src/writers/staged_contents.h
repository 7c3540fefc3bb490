// Staged attachments held in memory: the bytes of an attachment that the
// staging kept instead of writing a file, found by the staged path the
// writers are handed. A staged path names either a file in the staging
// folder or an entry here, never both.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace norvexa::writers {

class StagedContents {
 public:
  // Holds BYTES as the staged attachment at PATH (replacing what was held
  // there).
  void Hold(const std::filesystem::path& path, std::string bytes);

  // The bytes held for PATH; null when nothing is held for it (the staged
  // attachment is a file, or its staging failed, or it was released).
  const std::string* Find(const std::filesystem::path& path) const;

  // Forgets what is held for PATH; nothing happens when nothing is.
  void Release(const std::filesystem::path& path);

  // Forgets everything.
  void Clear();

  // The number of bytes held.
  std::uintmax_t Bytes() const { return bytes_; }

 private:
  // An item has few attachments: a list searched in order is the cheapest.
  std::vector<std::pair<std::filesystem::path, std::string>> held_;
  std::uintmax_t bytes_ = 0;
};

}  // namespace norvexa::writers
