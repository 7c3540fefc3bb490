// The entry text of the store list: how a store is written into the
// drop-down list of configured stores, how its identifier is read back, and
// the label the list shows for it instead of the raw entry text.
#pragma once

#include <optional>
#include <string>

namespace norvexa::source {

// A store as the list of configured stores offers it.
struct StoreOffer {
  std::string entry;  // the entry text (StoreListEntry)
  std::string label;  // what the list shows for it (StoreEntryLabel)
  std::string path;   // the store file's full path; "" when it cannot be read
};

// Number of blanks between a store's display name and its "#".
inline constexpr std::size_t kStoreEntryBlanks = 300;

// The entry text of a store: DISPLAY_NAME, exactly 300 blanks, "#", then
// STORE_ID, each as the store gives it.
std::string StoreListEntry(const std::string& display_name, const std::string& store_id);

// The store identifier held by the entry text ENTRY: everything after its
// last "#" (identifiers never hold "#", display names may). std::nullopt when
// ENTRY holds no "#" at all, as the list's initial text does.
std::optional<std::string> StoreIdOfEntry(const std::string& entry);

// What the list shows for a store: DISPLAY_NAME, then " — " and the file
// name of STORE_PATH (its last component on this platform), so that two
// stores of one display name can be told apart. DISPLAY_NAME alone when
// STORE_PATH names no file.
std::string StoreEntryLabel(const std::string& display_name, const std::string& store_path);

}  // namespace norvexa::source
