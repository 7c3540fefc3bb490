// Stores, folders and folder contents read through libpff: the folder
// hierarchy below the IPM subtree, folder paths and message classes.
#include "platform/outlook/libpff/pff_objects.h"

#include "platform/outlook/position_check.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"

namespace norvexa::outlook::libpff {
namespace {

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

std::unique_ptr<Store> OpenStore(const std::filesystem::path& path) {
  return std::make_unique<PffStore>(File::Open(path));
}

// ---------------------------------------------------------------------------
// Stores
// ---------------------------------------------------------------------------

std::string PffStore::DisplayName() const { return file_->display_name(); }
std::string PffStore::StoreID() const {
  return items::StoreIdForPath(sys::PathFromUtf8(file_->path()));
}
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
  const std::optional<std::uint32_t> id = items::ParseFolderEntryId(raw);
  if (!id) throw OutlookError(file_->path() + ": \"" + raw + "\" is not a folder entry identifier");
  ItemRef folder = FolderItem(file_, *id);
  if (!folder) {
    throw OutlookError(file_->path() + ": no folder with entry identifier " + sys::Trim(raw, sys::kLineBlanks));
  }
  std::optional<std::string> path;
  if (file_->ipm_subtree() && *file_->ipm_subtree() == *id) path = std::string();
  return std::make_unique<PffFolder>(folder, path);
}

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

PffFolder::PffFolder(ItemRef folder, std::optional<std::string> path)
    : folder_(std::move(folder)), path_(std::move(path)) {
  id_ = Identifier(*folder_);
  const File& file = *folder_->file();
  const items::PropertyBag bag = ReadBag(folder_, folder_->get(), 0, file.path(), file.default_codepage());
  name_ = bag.Text(mapi::PR_DISPLAY_NAME);
  container_class_ = bag.Text(mapi::PR_CONTAINER_CLASS);
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
  std::vector<std::unique_ptr<Folder>> folders;
  folders.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    libpff_item_t* sub = nullptr;
    if (libpff_folder_get_sub_folder(folder_->get(), i, &sub, &error) != 1 || sub == nullptr) {
      Fail(file->path(), "cannot read sub-folder " + std::to_string(i + 1) + " of folder \"" + name_ + "\"", error);
    }
    auto handle = std::make_shared<const ItemHandle>(file, folder_, sub);
    auto child = std::make_unique<PffFolder>(handle, std::nullopt);
    if (path_) child->path_ = path_->empty() ? child->name_ : *path_ + "\\" + child->name_;
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

std::unique_ptr<Item> PffItems::GetItem(std::int64_t position) const {
  const std::string& file = folder_->file()->path();
  items::CheckPosition(file, position, count_, "item", "folder");
  libpff_item_t* message = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_folder_get_sub_message(folder_->get(), static_cast<int>(position - 1), &message, &error) != 1 ||
      message == nullptr) {
    Fail(file, "cannot read item " + std::to_string(position) + " of a folder", error);
  }
  return std::make_unique<PffItem>(std::make_shared<const ItemHandle>(folder_->file(), folder_, message));
}

}  // namespace norvexa::outlook::libpff
