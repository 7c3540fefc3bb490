// Names that are taken; see free_stamp.h.
#include "target/free_stamp.h"

#include "platform/system/paths.h"

#include <filesystem>
#include <system_error>

namespace norvexa::target {

Attempt WithFreeStamp(const QDateTime& first, const std::function<std::string(const QDateTime&)>& path_at,
                      const std::function<Attempt(const std::string&)>& attempt, std::string& last_path) {
  for (int second = 0; second < kStampTries; ++second) {
    last_path = path_at(first.addSecs(second));
    std::error_code ec;
    // A path that cannot be looked at is tried all the same: the creation
    // never writes over a file, and says why it failed.
    if (std::filesystem::exists(sys::PathFromUtf8(last_path), ec)) continue;
    const Attempt made = attempt(last_path);
    if (made != Attempt::Taken) return made;
  }
  return Attempt::Taken;
}

}  // namespace norvexa::target
