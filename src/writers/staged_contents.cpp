// Staged attachments held in memory; see staged_contents.h.
#include "writers/staged_contents.h"

#include <algorithm>

namespace norvexa::writers {

void StagedContents::Hold(const std::filesystem::path& path, std::string bytes) {
  Release(path);
  bytes_ += bytes.size();
  held_.emplace_back(path, std::move(bytes));
}

const std::string* StagedContents::Find(const std::filesystem::path& path) const {
  for (const auto& [held_path, bytes] : held_) {
    if (held_path == path) return &bytes;
  }
  return nullptr;
}

void StagedContents::Release(const std::filesystem::path& path) {
  const auto found = std::find_if(held_.begin(), held_.end(), [&](const auto& entry) { return entry.first == path; });
  if (found == held_.end()) return;
  bytes_ -= found->second.size();
  held_.erase(found);
}

void StagedContents::Clear() {
  held_.clear();
  bytes_ = 0;
}

}  // namespace norvexa::writers
