// Reading notes.ini, with a per-process cache keyed by the file's state.
#include "platform/notes/client_config.h"

#include "platform/notes/folder_path.h"
#include "platform/notes/notes.h"
#include "platform/system/text.h"

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>

namespace norvexa::notes::internal {

namespace {

// How long notes.ini must have been left alone before its parsed settings
// are kept by its size and time.
constexpr std::int64_t kSettledNs = 2'000'000'000;

struct CachedConfig {
  std::int64_t size = -1;
  std::int64_t mtime_ns = -1;
  std::shared_ptr<const ClientConfig> config;
};

// The blanks around a line and a key of notes.ini.
constexpr std::string_view kIniBlanks = " \t";

// Parses notes.ini at INI: "key=value" lines; "[section]" lines, ";"
// comments and blank lines are skipped. Values are kept as written.
std::shared_ptr<const ClientConfig> Parse(const std::filesystem::path& directory, const std::filesystem::path& ini) {
  std::ifstream in(ini, std::ios::binary);
  if (!in) throw NotesError("no usable Notes client in " + directory.string() + ": " + ini.string() + " cannot be read");
  auto config = std::make_shared<ClientConfig>();
  config->directory = directory;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = sys::Trim(line, kIniBlanks);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = sys::Trim(std::string_view(line).substr(0, equals), kIniBlanks);
    config->settings.emplace_back(key, line.substr(equals + 1));
  }
  if (in.bad()) throw NotesError("no usable Notes client in " + directory.string() + ": " + ini.string() + " cannot be read");
  return config;
}

}  // namespace

std::string ClientConfig::Get(const std::string& name) const {
  const std::string key = FolderKey(name);
  for (const auto& [k, v] : settings)
    if (FolderKey(k) == key) return v;
  return {};
}

std::shared_ptr<const ClientConfig> LoadClient(const std::filesystem::path& directory) {
  const std::filesystem::path ini = directory / "notes.ini";
  struct stat st {};
  if (::stat(ini.c_str(), &st) != 0)
    throw NotesError("no Notes client installed: " + ini.string() + " does not exist (run norvexa-notes-setup)");
  if (!S_ISREG(st.st_mode))
    throw NotesError("no usable Notes client in " + directory.string() + ": " + ini.string() + " cannot be read");
  const std::int64_t mtime_ns = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;

  static std::mutex mutex;
  static std::map<std::string, CachedConfig> cache;
  std::lock_guard lock(mutex);
  CachedConfig& entry = cache[ini.string()];
  if (entry.config && entry.size == st.st_size && entry.mtime_ns == mtime_ns) return entry.config;
  std::shared_ptr<const ClientConfig> config = Parse(directory, ini);
  // File times advance in coarse steps, so a rewrite of the same size within
  // one step would keep the time seen now. A file is therefore only trusted
  // by its time once it has not changed for a while; a newer one is read
  // again by every session.
  const std::int64_t now_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
  if (now_ns - mtime_ns > kSettledNs) {
    entry = {st.st_size, mtime_ns, config};
  } else {
    entry = {};
  }
  return config;
}

}  // namespace norvexa::notes::internal
