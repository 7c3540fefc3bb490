// Stores, folders and folder contents on Norvexa's own PST reader: the
// folder hierarchy from hierarchy tables, folder paths, and items from
// contents tables (see pst_objects.h).
#include "platform/outlook/pst_objects.h"

#include "platform/outlook/store_file_cache.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"

#include <algorithm>

namespace norvexa::outlook {

std::unique_ptr<Store> OpenStoreFile(const std::filesystem::path& path) {
  return std::make_unique<pst::PstStore>(pst::OpenSharedFile(path));
}

namespace pst {
namespace {

// Folders nest a few levels deep in real stores; a parent chain longer
// than this is a loop in a damaged file.
constexpr int kMaxFolderDepth = 256;

bool IsFolderNid(std::uint32_t nid) {
  return NidType(nid) == kNidTypeNormalFolder || NidType(nid) == kNidTypeSearchFolder;
}

// The display name of the folder at NODE.
std::string FolderName(const StoreFile& file, const NodeEntry& node) {
  auto context = std::make_shared<const PropertyContext>(file.db(), node);
  return file.Bag(context, file.default_codepage()).Text(mapi::PR_DISPLAY_NAME);
}

}  // namespace

// ---------------------------------------------------------------------------
// Store
// ---------------------------------------------------------------------------

std::string PstStore::StoreID() const {
  return pff::StoreIdForPath(sys::PathFromUtf8(file_->path()));
}

std::unique_ptr<Folder> PstStore::IPMRootFolder() const {
  return std::make_unique<PstFolder>(file_, file_->Node(file_->top_folder(), "the top folder"), std::string());
}

std::unique_ptr<Folder> PstStore::GetFolderFromID(const std::string& raw) const {
  const std::optional<std::uint32_t> nid = pff::ParseFolderEntryId(raw);
  if (!nid) throw OutlookError(file_->path() + ": \"" + raw + "\" is not a folder entry identifier");
  // A folder is a folder by its node type, whatever its properties say.
  const std::optional<NodeEntry> node = IsFolderNid(*nid) ? file_->db()->FindNode(*nid) : std::nullopt;
  if (!node) {
    throw OutlookError(file_->path() + ": no folder with entry identifier " + sys::Trim(raw, sys::kLineBlanks));
  }
  std::optional<std::string> path;
  if (*nid == file_->top_folder()) path = std::string();
  return std::make_unique<PstFolder>(file_, *node, path);
}

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

PstFolder::PstFolder(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::optional<std::string> path)
    : file_(std::move(file)), node_(node), path_(std::move(path)) {
  auto context = std::make_shared<const PropertyContext>(file_->db(), node_);
  const pff::PropertyBag bag = file_->Bag(context, file_->default_codepage());
  name_ = bag.Text(mapi::PR_DISPLAY_NAME);
  container_class_ = bag.Text(mapi::PR_CONTAINER_CLASS);
}

std::string PstFolder::FolderPath() const {
  if (!path_) {
    // Up the parents to the top folder; a folder outside the visible
    // hierarchy is named directly below it.
    std::vector<std::string> names{name_};
    std::uint32_t parent = node_.nid_parent;
    std::uint32_t current = node_.nid;
    bool inside = false;
    for (int step = 0; step < kMaxFolderDepth && parent != 0 && parent != current; ++step) {
      if (parent == file_->top_folder()) {
        inside = true;
        break;
      }
      const std::optional<NodeEntry> up = file_->db()->FindNode(parent);
      if (!up || !IsFolderNid(parent)) break;
      names.push_back(FolderName(*file_, *up));
      current = parent;
      parent = up->nid_parent;
    }
    if (inside) {
      std::string path;
      for (auto it = names.rbegin(); it != names.rend(); ++it) path += (path.empty() ? "" : "\\") + *it;
      path_ = path;
    } else {
      path_ = name_;
    }
  }
  const std::string root = "\\\\" + file_->display_name();
  return path_->empty() ? root : root + "\\" + *path_;
}

std::unique_ptr<Items> PstFolder::GetItems() const {
  const std::uint32_t type =
      NidType(node_.nid) == kNidTypeSearchFolder ? kNidTypeSearchContentsTable : kNidTypeContentsTable;
  const std::optional<NodeEntry> table = file_->db()->FindNode(NidWithType(node_.nid, type));
  if (!table) {
    throw OutlookError(file_->path() + ": the contents table of folder \"" + name_ + "\" is missing (damaged)");
  }
  try {
    return std::make_unique<PstItems>(file_, std::make_shared<const TableContext>(file_->db(), *table), name_);
  } catch (const OutlookError& e) {
    throw OutlookError("cannot read the contents table of folder \"" + name_ + "\": " + e.what());
  }
}

std::vector<std::unique_ptr<Folder>> PstFolder::Folders() const {
  std::vector<std::unique_ptr<Folder>> folders;
  const std::optional<NodeEntry> table_node = file_->db()->FindNode(NidWithType(node_.nid, kNidTypeHierarchyTable));
  if (!table_node) return folders;  // a folder that never had sub-folders
  try {
    auto table = std::make_shared<const TableContext>(file_->db(), *table_node);
    TableContext::Cursor rows(table);
    while (const std::optional<std::uint64_t> row = rows.Next()) {
      const std::optional<std::uint32_t> nid = table->Cell32(table->Row(*row), mapi::PidTagLtpRowId);
      if (!nid || !IsFolderNid(*nid) || *nid == node_.nid) continue;
      // A folder above this one, listed again by a damaged table: it is
      // already being read higher up, and following it would loop.
      if (std::find(above_.begin(), above_.end(), *nid) != above_.end()) continue;
      const std::optional<NodeEntry> child = file_->db()->FindNode(*nid);
      if (!child) continue;  // a row left behind by a deleted folder
      auto folder = std::make_unique<PstFolder>(file_, *child, std::nullopt);
      if (path_) folder->path_ = path_->empty() ? folder->name_ : *path_ + "\\" + folder->name_;
      folder->above_ = above_;
      folder->above_.push_back(node_.nid);
      folders.push_back(std::move(folder));
    }
  } catch (const OutlookError& e) {
    throw OutlookError("cannot read the sub-folders of folder \"" + name_ + "\": " + e.what());
  }
  return folders;
}

// ---------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------

std::unique_ptr<Item> PstItems::GetItem(std::int64_t position) const {
  if (position < 1 || position > Count()) {
    throw OutlookError(file_->path() + ": item " + std::to_string(position) + " is out of range (the folder has " +
                       std::to_string(Count()) + ")");
  }
  try {
    // Items are asked for in order; the cursor moves on from the last one,
    // and starts again only when an earlier one is asked for.
    const auto wanted = static_cast<std::uint64_t>(position);
    if (!cursor_ || cursor_->position() >= wanted) cursor_.emplace(table_);
    std::optional<std::uint64_t> row;
    while (cursor_->position() < wanted) {
      row = cursor_->Next();
      if (!row) file_->db()->Fail("its contents table has fewer rows than it counts (damaged)");
    }
    const std::optional<std::uint32_t> nid = table_->Cell32(table_->Row(*row), mapi::PidTagLtpRowId);
    if (!nid) file_->db()->Fail("its contents table row names no item (damaged)");
    return std::make_unique<PstItem>(file_, file_->Node(*nid, "the item"));
  } catch (const OutlookError& e) {
    throw OutlookError("cannot read item " + std::to_string(position) + " of folder \"" + folder_ + "\": " + e.what());
  }
}

}  // namespace pst
}  // namespace norvexa::outlook
