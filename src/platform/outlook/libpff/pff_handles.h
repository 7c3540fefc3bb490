// Ownership of libpff objects: the open store file, and items (folders,
// messages, attachments) that keep what they depend on alive.
//
// libpff hands out raw pointers with C free functions. Here every pointer
// gets exactly one owner. An attachment item points into tree nodes owned by
// its message, and an attached message into its attachment, so an ItemHandle
// keeps its parent handle alive; every handle keeps the file open.
#pragma once

#include "platform/outlook/libpff/pff.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace norvexa::outlook::libpff {

// Throws OutlookError "<file>: <what>: <reason from ERROR>" and frees ERROR.
// ERROR may be null, then the message is "<file>: <what>".
[[noreturn]] void Fail(const std::string& file, const std::string& what, libpff_error_t* error);

// The innermost reason libpff gives in ERROR ("" for null); frees ERROR.
std::string TakeReason(libpff_error_t* error);

// An open store file (read-only) and what is read once per file. Like
// libpff itself, it is meant for one thread at a time.
class File {
 public:
  // Opens the store at PATH, always anew.
  // Throws OutlookError naming the file and the reason when it is missing,
  // a folder, empty, not a store, or damaged so that its indexes or its
  // message store cannot be read.
  static std::shared_ptr<File> Open(const std::filesystem::path& path);

  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  libpff_file_t* get() const { return file_; }
  // Absolute path of the file, UTF-8.
  const std::string& path() const { return path_; }
  // PR_DISPLAY_NAME of the message store, else the file name without
  // extension.
  const std::string& display_name() const { return display_name_; }
  // Code page for 8-bit texts of items that name none.
  int default_codepage() const { return default_codepage_; }
  // What names the store in the source key of each of its items (see
  // items::StoreKey).
  const std::string& store_key() const { return store_key_; }
  // Node identifier of the IPM subtree, or nullopt when the message store
  // does not name one (the root folder then serves as top).
  std::optional<std::uint32_t> ipm_subtree() const { return ipm_subtree_; }

  // The path below the IPM subtree ("Inbox\Projects") of every folder
  // reachable from it, keyed by node identifier. Built on first use by one
  // walk over the folder hierarchy (folders only, never messages).
  const std::map<std::uint32_t, std::string>& FolderPaths();

 private:
  File() = default;
  libpff_file_t* file_ = nullptr;
  std::string path_;
  std::string display_name_;
  std::string store_key_;
  int default_codepage_ = 1252;
  std::optional<std::uint32_t> ipm_subtree_;
  std::optional<std::map<std::uint32_t, std::string>> folder_paths_;
};

// One libpff item with its owner chain.
class ItemHandle {
 public:
  ItemHandle(std::shared_ptr<File> file, std::shared_ptr<const ItemHandle> parent, libpff_item_t* item)
      : file_(std::move(file)), parent_(std::move(parent)), item_(item) {}
  ~ItemHandle();
  ItemHandle(const ItemHandle&) = delete;
  ItemHandle& operator=(const ItemHandle&) = delete;

  libpff_item_t* get() const { return item_; }
  const std::shared_ptr<File>& file() const { return file_; }

 private:
  std::shared_ptr<File> file_;
  std::shared_ptr<const ItemHandle> parent_;
  libpff_item_t* item_;
};

using ItemRef = std::shared_ptr<const ItemHandle>;

// Node identifier of ITEM; throws naming the file when it cannot be read.
std::uint32_t Identifier(const ItemHandle& item);

// The folder with node identifier ID, or null when there is none. Throws
// when the store cannot be searched.
ItemRef ItemByIdentifier(const std::shared_ptr<File>& file, std::uint32_t id);

}  // namespace norvexa::outlook::libpff
