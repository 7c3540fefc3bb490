// The local Notes client's notes.ini: reading its settings.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace norvexa::notes::internal {

// The settings of one notes.ini, in file order.
struct ClientConfig {
  std::filesystem::path directory;
  std::vector<std::pair<std::string, std::string>> settings;

  // The value of NAME (first match, key compared without regard to ASCII
  // case), "" when unset.
  std::string Get(const std::string& name) const;
};

// The client in DIRECTORY. notes.ini is parsed once and kept while its size
// and modification time stay the same (once it has been unchanged for two
// seconds), since every writer opens a session.
// Throws NotesError when there is no notes.ini or it cannot be read.
std::shared_ptr<const ClientConfig> LoadClient(const std::filesystem::path& directory);

}  // namespace norvexa::notes::internal
