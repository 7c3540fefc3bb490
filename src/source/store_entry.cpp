// The entry text of the store list.
#include "source/store_entry.h"

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

}  // namespace norvexa::source
