// The staging folders of runs, by the process that made them; see
// staging_leftovers.h.
#include "conversion/staging_leftovers.h"

#include "platform/system/file_names.h"
#include "platform/system/paths.h"
#include "platform/system/processes.h"

#include <charconv>
#include <system_error>

namespace norvexa::conversion {
namespace {

// The longest host name kept in a staging folder's name, in bytes.
constexpr std::size_t kHostBytes = 64;

// QTemporaryDir's random part of the name.
constexpr std::size_t kRandomChars = 6;

// The longest process id text read back: far more than any system gives.
constexpr std::size_t kPidDigits = 18;

}  // namespace

std::string StagingNamePrefix() {
  std::string host = sys::SafeFileName(sys::CurrentHostName());
  if (host.size() > kHostBytes) host.resize(kHostBytes);
  // Cut on a character's first byte, so that what is left is still UTF-8.
  while (!host.empty() && (static_cast<unsigned char>(host.back()) & 0xC0) == 0x80) host.pop_back();
  if (!host.empty() && (static_cast<unsigned char>(host.back()) & 0x80) != 0) host.pop_back();
  return "norvexa-attachments-" + (host.empty() ? std::string("host") : host) + "-";
}

std::string StagingNameTemplate() {
  return StagingNamePrefix() + std::to_string(sys::CurrentProcessId()) + "-XXXXXX";
}

std::optional<std::int64_t> StagingFolderProcess(const std::string& name) {
  const std::string prefix = StagingNamePrefix();
  if (name.size() <= prefix.size() + kRandomChars + 1 || name.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  const std::size_t dash = name.size() - kRandomChars - 1;
  if (name[dash] != '-') return std::nullopt;
  const std::string digits = name.substr(prefix.size(), dash - prefix.size());
  if (digits.empty() || digits.size() > kPidDigits) return std::nullopt;
  std::int64_t pid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) return std::nullopt;
  return pid;
}

std::vector<std::filesystem::path> RemoveLeftoverStaging(const std::vector<std::filesystem::path>& parents) {
  namespace fs = std::filesystem;
  std::vector<fs::path> removed;
  const std::int64_t self = sys::CurrentProcessId();
  for (const fs::path& parent : parents) {
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::directory_entry& entry = *it;
      const std::optional<std::int64_t> pid = StagingFolderProcess(sys::Utf8(entry.path().filename()));
      if (!pid || *pid == self || sys::ProcessExists(*pid)) continue;
      std::error_code status_ec;
      // symlink_status: a link named like a staging folder is not one.
      if (!fs::is_directory(entry.symlink_status(status_ec)) || status_ec) continue;
      std::error_code remove_ec;
      fs::remove_all(entry.path(), remove_ec);
      if (!remove_ec) removed.push_back(entry.path());
    }
  }
  return removed;
}

}  // namespace norvexa::conversion
