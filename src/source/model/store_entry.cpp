// The entry text of the store list.
#include "source/model/store_entry.h"

#include <filesystem>

namespace norvexa::source {

std::string StoreListEntry(const std::string& display_name, const std::string& store_id) {
  return display_name + std::string(kStoreEntryBlanks, ' ') + "#" + store_id;
}

std::optional<std::string> StoreIdOfEntry(const std::string& entry) {
  // The last "#" separates name and identifier: a "#" inside the display
  // name must not cut the identifier short.
  const std::size_t hash = entry.rfind('#');
  if (hash == std::string::npos) return std::nullopt;
  return entry.substr(hash + 1);
}

std::string StoreEntryLabel(const std::string& display_name, const std::string& store_path) {
  // The platform's own idea of a path's last component; texts are UTF-8.
  const std::filesystem::path path(std::u8string(store_path.begin(), store_path.end()));
  const std::u8string file = path.filename().u8string();
  if (file.empty()) return display_name;
  return display_name + " \u2014 " + std::string(file.begin(), file.end());
}

}  // namespace norvexa::source
