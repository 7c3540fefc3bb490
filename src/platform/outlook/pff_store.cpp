// Stores, folders and folder contents on libpff: identifiers, the folder
// hierarchy below the IPM subtree, folder paths and message classes.
#include "platform/outlook/pff_objects.h"

#include "platform/outlook/pff_file_cache.h"
#include "platform/outlook/text_codec.h"

#include <cstdio>
#include <unordered_map>

namespace norvexa::outlook {

std::unique_ptr<Store> OpenStoreFile(const std::filesystem::path& path) {
  return std::make_unique<pff::PffStore>(pff::OpenSharedFile(path));
}

namespace pff {
namespace {

constexpr const char* kStoreIdPrefix = "pst:";
constexpr std::uint16_t PR_DISPLAY_NAME = 0x3001;
constexpr std::uint16_t PR_CONTAINER_CLASS = 0x3613;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// True when CLASS is BASE or a sub-class "BASE.*" (case as stored).
bool IsClassOrSub(const std::string& klass, const std::string& base) {
  return klass == base || StartsWith(klass, base + ".");
}

// The folder item or null when the identifier names no folder.
ItemRef FolderItem(const std::shared_ptr<File>& file, std::uint32_t id) {
  ItemRef item = ItemByIdentifier(file, id);
  if (!item) return nullptr;
  uint8_t type = 0;
  libpff_error_t* error = nullptr;
  if (libpff_item_get_type(item->get(), &type, &error) != 1) Fail(file->path(), "cannot read an item type", error);
  return type == LIBPFF_ITEM_TYPE_FOLDER ? item : nullptr;
}

}  // namespace

std::string StoreIdForPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string text = PathUtf8((ec ? path : absolute).lexically_normal());
  std::string id = kStoreIdPrefix;
  static const char* digits = "0123456789ABCDEF";
  for (unsigned char c : text) {
    id.push_back(digits[c >> 4]);
    id.push_back(digits[c & 0x0F]);
  }
  return id;
}

std::optional<std::filesystem::path> PathForStoreId(const std::string& raw) {
  const std::string id = text::Trim(raw);
  if (!StartsWith(id, kStoreIdPrefix)) return std::nullopt;
  const std::string hex = id.substr(std::string(kStoreIdPrefix).size());
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::u8string text;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
      const char c = hex[k];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    if (value == 0) return std::nullopt;
    text.push_back(static_cast<char8_t>(value));
  }
  return std::filesystem::path(text);
}

std::string DefaultMessageClassFor(const std::string& container_class) {
  const std::string& c = container_class;
  if (c.empty() || IsClassOrSub(c, "IPF.Note") || c == "IPF.Imap") return "IPM.Note";
  static const char* const kKinds[] = {"Appointment", "Contact", "Task", "Journal", "StickyNote"};
  for (const char* kind : kKinds) {
    if (IsClassOrSub(c, std::string("IPF.") + kind)) return std::string("IPM.") + kind;
  }
  if (StartsWith(c, "IPF.")) return "IPM." + c.substr(4);
  // A class outside the IPF family ("Outlook.Reminder") holds no IPM items
  // of a known kind; it is handed on as it is.
  return c;
}

// ---------------------------------------------------------------------------
// Stores
// ---------------------------------------------------------------------------

std::string PffStore::DisplayName() const { return file_->display_name(); }
std::string PffStore::StoreID() const { return StoreIdForPath(std::filesystem::path(std::u8string(file_->path().begin(), file_->path().end()))); }
std::string PffStore::OfferText() const { return file_->path(); }
std::string PffStore::PstPath() const { return file_->path(); }

std::unique_ptr<Folder> PffStore::IPMRootFolder() const {
  ItemRef top;
  if (file_->ipm_subtree()) top = FolderItem(file_, *file_->ipm_subtree());
  if (!top) {
    libpff_item_t* root = nullptr;
    libpff_error_t* error = nullptr;
    if (libpff_file_get_root_folder(file_->get(), &root, &error) != 1 || root == nullptr) {
      Fail(file_->path(), "cannot read the top folder", error);
    }
    top = std::make_shared<const ItemHandle>(file_, nullptr, root);
  }
  return std::make_unique<PffFolder>(top, std::string());
}

std::unique_ptr<Folder> PffStore::GetFolderFromID(const std::string& raw) const {
  const std::string entry_id = text::Trim(raw);
  std::uint32_t id = 0;
  bool valid = !entry_id.empty() && entry_id.size() <= 8;
  for (char c : entry_id) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) valid = false;
    id = id * 16 + static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
  }
  if (!valid) throw OutlookError(file_->path() + ": \"" + raw + "\" is not a folder entry identifier");
  ItemRef folder = FolderItem(file_, id);
  if (!folder) throw OutlookError(file_->path() + ": no folder with entry identifier " + entry_id);
  std::optional<std::string> path;
  if (file_->ipm_subtree() && *file_->ipm_subtree() == id) path = std::string();
  return std::make_unique<PffFolder>(folder, path);
}

std::string UnavailableStore::DisplayName() const { return PathUtf8(path_.stem()); }
std::string UnavailableStore::StoreID() const { return StoreIdForPath(path_); }
std::string UnavailableStore::PstPath() const { return PathUtf8(path_); }
std::unique_ptr<Folder> UnavailableStore::IPMRootFolder() const { throw OutlookError(reason_); }
std::unique_ptr<Folder> UnavailableStore::GetFolderFromID(const std::string&) const { throw OutlookError(reason_); }

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

PffFolder::PffFolder(ItemRef folder, std::optional<std::string> path)
    : folder_(std::move(folder)), path_(std::move(path)) {
  id_ = Identifier(*folder_);
  const File& file = *folder_->file();
  PropertyBag bag(folder_->get(), 0, file.path(), file.default_codepage());
  name_ = bag.Text(PR_DISPLAY_NAME);
  container_class_ = bag.Text(PR_CONTAINER_CLASS);
}

std::string PffFolder::EntryID() const {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(id_));
  return buffer;
}

std::string PffFolder::FolderPath() const {
  if (!path_) {
    const auto& paths = folder_->file()->FolderPaths();
    const auto found = paths.find(id_);
    // A folder outside the visible hierarchy is named directly below it.
    path_ = found != paths.end() ? found->second : name_;
  }
  const std::string root = "\\\\" + folder_->file()->display_name();
  return path_->empty() ? root : root + "\\" + *path_;
}

std::unique_ptr<Items> PffFolder::GetItems() const { return std::make_unique<PffItems>(folder_); }

std::vector<std::unique_ptr<Folder>> PffFolder::Folders() const {
  const std::shared_ptr<File>& file = folder_->file();
  libpff_error_t* error = nullptr;
  int count = 0;
  if (libpff_folder_get_number_of_sub_folders(folder_->get(), &count, &error) != 1) {
    Fail(file->path(), "cannot read the sub-folders of folder \"" + name_ + "\"", error);
  }
  // The parent's path is known when the walk started at the top folder;
  // the children's paths follow from it without a store-wide lookup.
  std::optional<std::string> parent_path = path_;
  std::vector<std::unique_ptr<Folder>> folders;
  folders.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    libpff_item_t* sub = nullptr;
    if (libpff_folder_get_sub_folder(folder_->get(), i, &sub, &error) != 1 || sub == nullptr) {
      Fail(file->path(), "cannot read sub-folder " + std::to_string(i + 1) + " of folder \"" + name_ + "\"", error);
    }
    auto handle = std::make_shared<const ItemHandle>(file, folder_, sub);
    auto child = std::make_unique<PffFolder>(handle, std::nullopt);
    if (parent_path) child->path_ = parent_path->empty() ? child->name_ : *parent_path + "\\" + child->name_;
    folders.push_back(std::move(child));
  }
  return folders;
}

// ---------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------

PffItems::PffItems(ItemRef folder) : folder_(std::move(folder)) {
  int count = 0;
  libpff_error_t* error = nullptr;
  if (libpff_folder_get_number_of_sub_messages(folder_->get(), &count, &error) != 1) {
    Fail(folder_->file()->path(), "cannot read the contents table of a folder", error);
  }
  count_ = count;
}

void PffItems::MapRows() const {
  if (mapped_) return;
  mapped_ = true;
  libpff_error_t* error = nullptr;
  // The message identifier of every row of the contents table.
  libpff_item_t* raw_table = nullptr;
  if (libpff_folder_get_sub_messages(folder_->get(), &raw_table, &error) != 1 || raw_table == nullptr) {
    TakeReason(error);  // no table to map: every item is found the usual way
    return;
  }
  const ItemHandle table(folder_->file(), folder_, raw_table);
  int rows = 0;
  if (libpff_item_get_number_of_record_sets(table.get(), &rows, &error) != 1 || rows < count_) {
    TakeReason(error);
    return;
  }
  std::vector<std::uint32_t> ids(static_cast<std::size_t>(count_), 0);
  for (std::int64_t row = 0; row < count_; ++row) {
    libpff_record_set_t* set = nullptr;
    if (libpff_item_get_record_set_by_index(table.get(), static_cast<int>(row), &set, &error) != 1) {
      TakeReason(error);
      error = nullptr;
      continue;  // this row is found the usual way
    }
    libpff_record_entry_t* entry = nullptr;
    if (libpff_record_set_get_entry_by_type(set, LIBPFF_ENTRY_TYPE_SUB_ITEM_IDENTIFIER,
                                            LIBPFF_VALUE_TYPE_INTEGER_32BIT_SIGNED, &entry, 0, &error) == 1) {
      std::uint32_t id = 0;
      if (libpff_record_entry_get_data_as_32bit_integer(entry, &id, &error) == 1) ids[static_cast<std::size_t>(row)] = id;
      libpff_record_entry_free(&entry, nullptr);
    }
    TakeReason(error);
    error = nullptr;
    libpff_record_set_free(&set, nullptr);
  }
  // The place of every child of the folder in the item tree.
  int children = 0;
  if (libpff_item_get_number_of_sub_items(folder_->get(), &children, &error) != 1) {
    TakeReason(error);
    return;
  }
  std::unordered_map<std::uint32_t, int> child_of_id;
  child_of_id.reserve(static_cast<std::size_t>(children));
  for (int k = 0; k < children; ++k) {
    libpff_item_t* child = nullptr;
    if (libpff_item_get_sub_item(folder_->get(), k, &child, &error) != 1 || child == nullptr) {
      TakeReason(error);
      return;
    }
    std::uint32_t id = 0;
    const int got = libpff_item_get_identifier(child, &id, &error);
    libpff_item_free(&child, nullptr);
    if (got != 1) {
      TakeReason(error);
      return;
    }
    child_of_id.emplace(id, k);
  }
  std::vector<int> child_of_row(ids.size(), -1);
  for (std::size_t row = 0; row < ids.size(); ++row) {
    const auto found = child_of_id.find(ids[row]);
    if (ids[row] != 0 && found != child_of_id.end()) child_of_row[row] = found->second;
  }
  row_ids_ = std::move(ids);
  child_of_row_ = std::move(child_of_row);
}

libpff_item_t* PffItems::MessageByChild(std::int64_t row) const {
  MapRows();
  if (static_cast<std::size_t>(row) >= child_of_row_.size() || child_of_row_[static_cast<std::size_t>(row)] < 0) {
    return nullptr;
  }
  libpff_item_t* message = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_item_get_sub_item(folder_->get(), child_of_row_[static_cast<std::size_t>(row)], &message, &error) != 1 ||
      message == nullptr) {
    TakeReason(error);  // found the usual way instead
    return nullptr;
  }
  // The tree does not change while the file is open; the check costs one
  // call and guards against any mismatch all the same.
  std::uint32_t id = 0;
  if (libpff_item_get_identifier(message, &id, &error) != 1 || id != row_ids_[static_cast<std::size_t>(row)]) {
    TakeReason(error);
    libpff_item_free(&message, nullptr);
    return nullptr;
  }
  return message;
}

std::unique_ptr<Item> PffItems::GetItem(std::int64_t position) const {
  const std::string& file = folder_->file()->path();
  if (position < 1 || position > count_) {
    throw OutlookError(file + ": item " + std::to_string(position) + " is out of range (the folder has " +
                       std::to_string(count_) + ")");
  }
  libpff_item_t* message = MessageByChild(position - 1);
  if (message == nullptr) {
    libpff_error_t* error = nullptr;
    if (libpff_folder_get_sub_message(folder_->get(), static_cast<int>(position - 1), &message, &error) != 1 ||
        message == nullptr) {
      Fail(file, "cannot read item " + std::to_string(position) + " of a folder", error);
    }
  }
  return std::make_unique<PffItem>(std::make_shared<const ItemHandle>(folder_->file(), folder_, message));
}

}  // namespace pff
}  // namespace norvexa::outlook
