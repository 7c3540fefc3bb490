// Ownership of libpff objects and the opening of a store file (see
// pff_handles.h).
#include "platform/outlook/libpff/pff_handles.h"

#include "platform/outlook/libpff/pff_objects.h"
#include "platform/system/paths.h"

#include "platform/outlook/outlook.h"
#include "platform/outlook/text_codec.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace norvexa::outlook::libpff {

using sys::Utf8;
namespace {

// Frees an item pointer that has not yet found its owner.
void FreeItem(libpff_item_t* item) {
  if (item != nullptr) libpff_item_free(&item, nullptr);
}

}  // namespace

std::string TakeReason(libpff_error_t* error) {
  if (error == nullptr) return std::string();
  char buffer[4096] = {0};
  std::string reason;
  if (libpff_error_backtrace_sprint(error, buffer, sizeof buffer) > 0) {
    // The backtrace lists the innermost cause first: "function: message".
    std::string text(buffer);
    const auto end_of_line = text.find('\n');
    if (end_of_line != std::string::npos) text.resize(end_of_line);
    const auto colon = text.find(": ");
    if (colon != std::string::npos && text.find(' ') > colon) text = text.substr(colon + 2);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    reason = text;
  }
  libpff_error_free(&error);
  return reason;
}

void Fail(const std::string& file, const std::string& what, libpff_error_t* error) {
  const std::string reason = TakeReason(error);
  throw OutlookError(file + ": " + what + (reason.empty() ? std::string() : ": " + reason));
}

std::shared_ptr<File> File::Open(const std::filesystem::path& path) {
  const std::string name = items::CheckStoreFile(path);

  std::shared_ptr<File> file(new File());
  file->path_ = name;
  libpff_error_t* error = nullptr;
  if (libpff_file_initialize(&file->file_, &error) != 1) Fail(name, "cannot prepare the store reader", error);
  if (libpff_file_open(file->file_, path.string().c_str(), LIBPFF_OPEN_READ, &error) != 1) {
    Fail(name, "cannot open the store file", error);
  }
  int ascii_codepage = 0;
  if (libpff_file_get_ascii_codepage(file->file_, &ascii_codepage, &error) == 1 && ascii_codepage > 0) {
    file->default_codepage_ = ascii_codepage;
  } else {
    TakeReason(error);
    error = nullptr;
  }

  libpff_item_t* store_item = nullptr;
  const int found = libpff_file_get_message_store(file->file_, &store_item, &error);
  if (found == -1) Fail(name, "cannot read the message store", error);
  if (found == 1 && store_item != nullptr) {
    ItemHandle store(file, nullptr, store_item);
    const items::PropertyBag bag = ReadBag(nullptr, store.get(), 0, name, file->default_codepage_);
    file->default_codepage_ = bag.codepage();
    file->display_name_ = bag.Text(mapi::PR_DISPLAY_NAME);
    file->ipm_subtree_ = items::NodeOfEntryId(bag.Bytes(bag.Find(mapi::PR_IPM_SUBTREE_ENTRYID)));
    file->store_key_ = items::StoreKey(bag.Bytes(bag.Find(mapi::PR_RECORD_KEY)), name);
  }
  if (file->store_key_.empty()) file->store_key_ = items::StoreKey(std::string(), name);
  if (file->display_name_.empty()) {
    file->display_name_ = Utf8(path.stem());
  }
  // The top folder must be readable for the store to be of any use.
  libpff_item_t* root = nullptr;
  if (libpff_file_get_root_folder(file->file_, &root, &error) != 1 || root == nullptr) {
    Fail(name, "cannot read the root folder", error);
  }
  FreeItem(root);
  return file;
}

File::~File() {
  if (file_ != nullptr) {
    libpff_file_close(file_, nullptr);
    libpff_file_free(&file_, nullptr);
  }
}

const std::map<std::uint32_t, std::string>& File::FolderPaths() {
  if (folder_paths_) return *folder_paths_;
  std::map<std::uint32_t, std::string> paths;
  libpff_error_t* error = nullptr;
  libpff_item_t* top = nullptr;
  if (ipm_subtree_) {
    if (libpff_file_get_item_by_identifier(file_, *ipm_subtree_, &top, &error) != 1) {
      TakeReason(error);
      error = nullptr;
      top = nullptr;
    }
  }
  if (top == nullptr && libpff_file_get_root_folder(file_, &top, &error) != 1) {
    Fail(path_, "cannot read the top folder", error);
  }
  // Depth-first walk; each level owns its items until it is done.
  struct Level {
    std::unique_ptr<libpff_item_t, void (*)(libpff_item_t*)> item;
    std::string path;
  };
  std::vector<Level> stack;
  stack.push_back(Level{{top, FreeItem}, std::string()});
  while (!stack.empty()) {
    Level level = std::move(stack.back());
    stack.pop_back();
    int count = 0;
    if (libpff_folder_get_number_of_sub_folders(level.item.get(), &count, &error) != 1) {
      Fail(path_, "cannot read the sub-folders of a folder", error);
    }
    for (int i = 0; i < count; ++i) {
      libpff_item_t* sub = nullptr;
      if (libpff_folder_get_sub_folder(level.item.get(), i, &sub, &error) != 1) {
        Fail(path_, "cannot read a sub-folder", error);
      }
      Level child{{sub, FreeItem}, std::string()};
      uint32_t id = 0;
      if (libpff_item_get_identifier(sub, &id, &error) != 1) Fail(path_, "cannot read a folder identifier", error);
      const items::PropertyBag bag = ReadBag(nullptr, sub, 0, path_, default_codepage_);
      const std::string folder_name = bag.Text(mapi::PR_DISPLAY_NAME);
      child.path = level.path.empty() ? folder_name : level.path + "\\" + folder_name;
      paths[id] = child.path;
      stack.push_back(std::move(child));
    }
  }
  folder_paths_ = std::move(paths);
  return *folder_paths_;
}

ItemHandle::~ItemHandle() { FreeItem(item_); }

std::uint32_t Identifier(const ItemHandle& item) {
  uint32_t id = 0;
  libpff_error_t* error = nullptr;
  if (libpff_item_get_identifier(item.get(), &id, &error) != 1) {
    Fail(item.file()->path(), "cannot read an item identifier", error);
  }
  return id;
}

ItemRef ItemByIdentifier(const std::shared_ptr<File>& file, std::uint32_t id) {
  libpff_item_t* item = nullptr;
  libpff_error_t* error = nullptr;
  const int rc = libpff_file_get_item_by_identifier(file->get(), id, &item, &error);
  if (rc != 1 || item == nullptr) {
    // libpff reports a missing identifier as an error too.
    TakeReason(error);
    return nullptr;
  }
  return std::make_shared<const ItemHandle>(file, nullptr, item);
}

}  // namespace norvexa::outlook::libpff
