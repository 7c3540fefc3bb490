// Identifiers and classes that do not depend on how a store file is read:
// the check that a file can be a store, store identifiers from paths,
// folder entry identifiers and source keys, the message class of a
// folder's items, and the stand-in for a store that cannot be opened.
#pragma once

#include "platform/outlook/outlook.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace norvexa::outlook::items {

// Checks that PATH names a file that can be a store: present, a regular
// file, not empty, starting with the PST signature. Returns its absolute
// name (UTF-8), with which errors name it. Throws OutlookError naming the
// file and what is wrong.
std::string CheckStoreFile(const std::filesystem::path& path);

// The store identifier of the store file at PATH: a short prefix and the
// hex of the UTF-8 absolute path (never holds "#").
std::string StoreIdForPath(const std::filesystem::path& path);
// The path named by store identifier ID, or nullopt when ID is not one.
std::optional<std::filesystem::path> PathForStoreId(const std::string& id);

// The message class a folder's items have, from its container class.
std::string DefaultMessageClassFor(const std::string& container_class);

// A folder entry identifier as text: eight hex digits of the node.
std::string FolderEntryId(std::uint32_t nid);

// The node identifier at the end of a store's entry identifier ENTRY_ID
// (4 bytes of flags, the 16-byte provider UID, then the 32-bit node
// identifier, little-endian), or nullopt when it is too short to hold one.
std::optional<std::uint32_t> NodeOfEntryId(const std::string& entry_id);

// The part of Item::SourceKey that names the store: RECORD_KEY (the bytes of
// the message store's PR_RECORD_KEY) in upper-case hex or, when it is empty,
// "file" and 16 hex digits of the 64-bit FNV-1a hash of PATH (the store
// file's absolute path, UTF-8).
std::string StoreKey(const std::string& record_key, const std::string& path);
// An item's source key: STORE_KEY, "-", the node NID in eight hex digits.
std::string ItemSourceKey(const std::string& store_key, std::uint32_t nid);
// The node named by folder entry identifier TEXT (blanks around ignored),
// or nullopt when it is not one.
std::optional<std::uint32_t> ParseFolderEntryId(const std::string& text);

// A store listed in a profile whose file cannot be opened: it answers its
// name and identifier, offers nothing, and throws REASON for its folders.
class UnavailableStore : public Store {
 public:
  UnavailableStore(std::filesystem::path path, std::string reason)
      : path_(std::move(path)), reason_(std::move(reason)) {}
  std::string DisplayName() const override;
  std::string StoreID() const override;
  std::string OfferText() const override { return std::string(); }
  std::string PstPath() const override;
  std::unique_ptr<Folder> IPMRootFolder() const override;
  std::unique_ptr<Folder> GetFolderFromID(const std::string& entry_id) const override;

 private:
  std::filesystem::path path_;
  std::string reason_;
};

}  // namespace norvexa::outlook::items
