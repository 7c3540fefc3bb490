// Stores, folders and folder contents on Norvexa's own PST reader: the
// folder hierarchy from hierarchy tables, folder paths, and items from
// contents tables (see pst_objects.h).
#include "platform/outlook/pst_objects.h"

#include "platform/outlook/position_check.h"
#include "platform/outlook/store_file_cache.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"

#include <algorithm>
#include <unordered_set>

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

// "1 row" or "N rows" (and the like).
std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The node NID looked up with LOG in scope; nullopt when there is none.
std::optional<NodeEntry> FindLogged(const StoreFile& file, std::uint32_t nid, DamageLog* log) {
  DamageScope scope(file.db()->listeners(), log);
  return file.db()->FindNode(nid);
}

}  // namespace

// ---------------------------------------------------------------------------
// Store
// ---------------------------------------------------------------------------

std::string PstStore::StoreID() const {
  return items::StoreIdForPath(sys::PathFromUtf8(file_->path()));
}

std::unique_ptr<Folder> PstStore::IPMRootFolder() const {
  auto log = std::make_shared<DamageLog>();
  NodeEntry node;
  {
    DamageScope scope(file_->db()->listeners(), log.get());
    node = file_->Node(file_->top_folder(), "the top folder");
  }
  return std::make_unique<PstFolder>(file_, node, std::string(), std::move(log));
}

std::unique_ptr<Folder> PstStore::GetFolderFromID(const std::string& raw) const {
  const std::optional<std::uint32_t> nid = items::ParseFolderEntryId(raw);
  if (!nid) throw OutlookError(file_->path() + ": \"" + raw + "\" is not a folder entry identifier");
  // A folder is a folder by its node type, whatever its properties say.
  auto log = std::make_shared<DamageLog>();
  const std::optional<NodeEntry> node = IsFolderNid(*nid) ? FindLogged(*file_, *nid, log.get()) : std::nullopt;
  if (!node) {
    throw OutlookError(file_->path() + ": no folder with entry identifier " + sys::Trim(raw, sys::kLineBlanks));
  }
  std::optional<std::string> path;
  if (*nid == file_->top_folder()) path = std::string();
  return std::make_unique<PstFolder>(file_, *node, path, std::move(log));
}

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

PstFolder::PstFolder(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::optional<std::string> path,
                     std::shared_ptr<DamageLog> log)
    : file_(std::move(file)),
      node_(node),
      log_(log ? std::move(log) : std::make_shared<DamageLog>()),
      path_(std::move(path)) {
  DamageScope scope(file_->db()->listeners(), log_.get());
  auto context = std::make_shared<const PropertyContext>(file_->db(), node_);
  const items::PropertyBag bag = file_->Bag(context, file_->default_codepage(), log_);
  name_ = bag.Text(mapi::PR_DISPLAY_NAME);
  container_class_ = bag.Text(mapi::PR_CONTAINER_CLASS);
}

std::string PstFolder::FolderPath() const {
  if (!path_) {
    // Up the parents to the top folder; a folder outside the visible
    // hierarchy is named directly below it.
    DamageScope scope(file_->db()->listeners(), log_.get());
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

std::vector<std::uint32_t> PstFolder::RowNodes(const std::shared_ptr<const TableContext>& table,
                                               const std::string& what, std::uint64_t table_at) const {
  std::vector<std::uint32_t> rows;
  if (!table) return rows;
  std::size_t lost = 0;
  auto row_id = [&](std::uint64_t row) {
    try {
      if (const std::optional<std::uint32_t> nid = table->Cell32(table->Row(row), mapi::PidTagLtpRowId)) {
        rows.push_back(*nid);
        return;
      }
    } catch (const OutlookError&) {
      // Counted below: the row is lost, the others are still read.
    }
    ++lost;
  };
  try {
    TableContext::Cursor cursor(table);
    while (const std::optional<std::uint64_t> row = cursor.Next()) row_id(*row);
  } catch (const OutlookError& e) {
    // The row index is only the order of the rows: the matrix holds them.
    log_->Add(OffsetOf(e, table_at), "the row index of its " + what + " cannot be read (" + WithoutFileName(e.what(), file_->path()) +
                                         "); its rows were read in the order they are stored");
    rows.clear();
    lost = 0;
    for (std::uint64_t row = 0; row < table->matrix_rows(); ++row) row_id(row);
  }
  if (lost > 0) log_->Add(table_at, Plural(lost, "row", "rows") + " of its " + what + " could not be read");
  return rows;
}

std::vector<PstFolder::Listed> PstFolder::Recover(const std::shared_ptr<const TableContext>& table,
                                                  const std::string& what, std::uint64_t place,
                                                  std::uint32_t nid_type, std::uint32_t other_type,
                                                  bool any_parent) const {
  const NodeDatabase& db = *file_->db();
  const std::uint64_t table_at = table ? db.BlockOffset(table->heap().node().bid_data).value_or(place) : place;
  const std::vector<std::uint32_t> rows = RowNodes(table, what, table_at);

  // Rows that name nothing of this folder are damage too.
  std::vector<Listed> listed;
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(rows.size());
  std::size_t dropped = 0;
  for (const std::uint32_t nid : rows) {
    if (seen.count(nid) != 0) continue;
    std::optional<NodeEntry> node;
    try {
      node = db.FindNode(nid);
    } catch (const OutlookError&) {
      node.reset();
    }
    if (!node || (!any_parent && node->nid_parent != node_.nid)) {
      ++dropped;
      continue;
    }
    listed.push_back(Listed{nid, true});
    seen.insert(nid);
  }
  if (dropped > 0) {
    log_->Add(table_at, Plural(dropped, "row", "rows") + " of its " + what +
                            " name no node of this folder (damaged rows, left out)");
  }
  if (!any_parent) AddUnlisted(seen, nid_type, other_type, what, table_at, listed);
  return listed;
}

void PstFolder::AddUnlisted(const std::unordered_set<std::uint32_t>& seen, std::uint32_t nid_type,
                            std::uint32_t other_type, const std::string& what, std::uint64_t table_at,
                            std::vector<Listed>& listed) const {
  // The nodes whose parent is this folder: what the table should list.
  std::size_t found = 0;
  try {
    file_->db()->ForEachNode([&](const NodeEntry& node) {
      const std::uint32_t type = NidType(node.nid);
      if ((type != nid_type && type != other_type) || node.nid_parent != node_.nid || node.nid == node_.nid) return;
      if (seen.count(node.nid) != 0) return;
      listed.push_back(Listed{node.nid, false});
      ++found;
    });
  } catch (const OutlookError& e) {
    log_->Add(OffsetOf(e, table_at), "its nodes could not all be looked for in the node index: " + WithoutFileName(e.what(), file_->path()));
  }
  if (found > 0) {
    log_->Add(table_at, Plural(found, "node", "nodes") + " of this folder that its " + what +
                            " does not list were found in the node index");
  }
}

std::unique_ptr<Items> PstFolder::GetItems() const {
  const NodeDatabase& db = *file_->db();
  DamageScope scope(db.listeners(), log_.get());
  const std::uint64_t before = db.listeners().notes();
  const bool search = NidType(node_.nid) == kNidTypeSearchFolder;
  const std::uint32_t type = search ? kNidTypeSearchContentsTable : kNidTypeContentsTable;
  const std::optional<NodeEntry> table_node = db.FindNode(NidWithType(node_.nid, type));
  std::shared_ptr<const TableContext> table;
  std::string failure;
  std::uint64_t failure_at = 0;
  if (!table_node) {
    failure = "the contents table of folder \"" + name_ + "\" is missing (damaged)";
  } else {
    failure_at = db.BlockOffset(table_node->bid_data).value_or(0);
    try {
      table = std::make_shared<const TableContext>(file_->db(), *table_node);
      (void)table->row_count();
    } catch (const OutlookError& e) {
      failure = "cannot read the contents table of folder \"" + name_ + "\": " + std::string(e.what());
      failure_at = OffsetOf(e, failure_at);
      table.reset();
    }
  }
  if (failure.empty() && db.listeners().notes() == before) {
    return std::make_unique<PstItems>(file_, table, name_, search ? 0 : node_.nid, log_);
  }
  // A search folder's items are anywhere: without its table there is
  // nothing to find them by.
  if (!table && search) throw DamageError(table_node ? failure : file_->path() + ": " + failure, failure_at);
  if (!failure.empty()) {
    log_->Add(failure_at, WithoutFileName(failure, file_->path()) + "; its items were looked for in the node index");
  }
  std::vector<std::pair<std::uint32_t, bool>> nids;
  for (const Listed& l : Recover(table, "contents table", failure_at, kNidTypeNormalMessage, kNidTypeNormalMessage, search)) {
    nids.emplace_back(l.nid, l.in_table);
  }
  return std::make_unique<PstItems>(file_, std::move(nids), name_, failure_at, log_);
}

std::vector<PstFolder::Listed> PstFolder::ListSubFolders(std::uint64_t& failure_at) const {
  const NodeDatabase& db = *file_->db();
  const std::uint64_t before = db.listeners().notes();
  const std::optional<NodeEntry> table_node = db.FindNode(NidWithType(node_.nid, kNidTypeHierarchyTable));
  // A folder that never had sub-folders, as its intact index says.
  if (!table_node && db.listeners().notes() == before) return {};

  std::vector<Listed> children;
  std::shared_ptr<const TableContext> table;
  std::string failure;
  if (table_node) {
    failure_at = db.BlockOffset(table_node->bid_data).value_or(0);
    try {
      table = std::make_shared<const TableContext>(file_->db(), *table_node);
      TableContext::Cursor rows(table);
      while (const std::optional<std::uint64_t> row = rows.Next()) {
        const std::optional<std::uint32_t> nid = table->Cell32(table->Row(*row), mapi::PidTagLtpRowId);
        if (nid) children.push_back(Listed{*nid, true});
      }
    } catch (const OutlookError& e) {
      failure = std::string("its hierarchy table cannot be read: ") + e.what();
      failure_at = OffsetOf(e, failure_at);
    }
  } else {
    failure = "its hierarchy table is missing from a damaged node index";
  }
  if (!failure.empty() || db.listeners().notes() != before) {
    if (!failure.empty()) {
      log_->Add(failure_at, WithoutFileName(failure, file_->path()) + "; its sub-folders were looked for in the node index");
    }
    children = Recover(table, "hierarchy table", failure_at, kNidTypeNormalFolder, kNidTypeSearchFolder, false);
    file_->NoteHierarchyDamage({failure_at, "the hierarchy table of folder \"" + name_ +
                                                "\" is damaged; its sub-folders were read as far as they could be "
                                                "found (the folder's damage says how)"});
  }
  return children;
}

std::vector<std::unique_ptr<Folder>> PstFolder::Folders() const {
  std::vector<std::unique_ptr<Folder>> folders;
  DamageScope scope(file_->db()->listeners(), log_.get());
  std::uint64_t failure_at = 0;
  const std::vector<Listed> children = ListSubFolders(failure_at);
  for (const Listed& listed : children) {
    const std::uint32_t nid = listed.nid;
    if (!IsFolderNid(nid) || nid == node_.nid) continue;
    // A folder above this one, listed again by a damaged table: it is
    // already being read higher up, and following it would loop.
    if (std::find(above_.begin(), above_.end(), nid) != above_.end()) continue;
    auto log = std::make_shared<DamageLog>();
    try {
      const std::optional<NodeEntry> child = FindLogged(*file_, nid, log.get());
      if (!child) continue;  // a row left behind by a deleted folder
      if (!listed.in_table) {
        log->Add(failure_at, "found in the node index; the hierarchy table of its parent does not list it");
      }
      auto folder = std::make_unique<PstFolder>(file_, *child, std::nullopt, std::move(log));
      if (path_) folder->path_ = path_->empty() ? folder->name_ : *path_ + "\\" + folder->name_;
      folder->above_ = above_;
      folder->above_.push_back(node_.nid);
      folders.push_back(std::move(folder));
    } catch (const OutlookError& e) {
      // One sub-folder that cannot be read leaves the others readable.
      const outlook::Damage lost{OffsetOf(e, failure_at), "the sub-folder of node " + std::to_string(nid) + " of folder \"" +
                                                     name_ + "\" cannot be read: " +
                                                     WithoutFileName(e.what(), file_->path())};
      log_->Add(lost);
      file_->NoteHierarchyDamage(lost);
    }
  }
  return folders;
}

// ---------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------

std::unique_ptr<Item> PstItems::GetItem(std::int64_t position) const {
  items::CheckPosition(file_->path(), position, Count(), "item", "folder");
  const NodeDatabase& db = *file_->db();
  auto log = std::make_shared<DamageLog>();
  try {
    std::uint32_t nid = 0;
    bool row_damaged = false;
    bool in_table = true;
    if (table_) {
      // The row is the folder's: damage in it is the folder's.
      DamageScope scope(db.listeners(), folder_log_.get());
      const std::uint64_t before = db.listeners().notes();
      // Items are asked for in order; the cursor moves on from the last
      // one, and starts again only when an earlier one is asked for.
      const auto wanted = static_cast<std::uint64_t>(position);
      if (!cursor_ || cursor_->position() >= wanted) cursor_.emplace(table_);
      std::optional<std::uint64_t> row;
      while (cursor_->position() < wanted) {
        row = cursor_->Next();
        if (!row) db.Fail("its contents table has fewer rows than it counts (damaged)");
      }
      const std::optional<std::uint32_t> cell = table_->Cell32(table_->Row(*row), mapi::PidTagLtpRowId);
      if (!cell) db.Fail("its contents table row names no item (damaged)");
      nid = *cell;
      row_damaged = db.listeners().notes() != before;
    } else {
      nid = nids_[static_cast<std::size_t>(position - 1)].first;
      in_table = nids_[static_cast<std::size_t>(position - 1)].second;
    }
    NodeEntry node;
    {
      DamageScope scope(db.listeners(), log.get());
      node = file_->Node(nid, "the item");
    }
    // A row read from a damaged part may name another folder's item.
    if (row_damaged && folder_nid_ != 0 && node.nid_parent != folder_nid_) {
      db.Fail("its contents table row, in a damaged part of the file, names an item of another folder");
    }
    if (!in_table) {
      log->Add(table_offset_, "found in the node index; the damaged contents table of its folder does not list it");
    }
    return std::make_unique<PstItem>(file_, node, log);
  } catch (const OutlookError& e) {
    const std::string what = "cannot read item " + std::to_string(position) + " of folder \"" + folder_ + "\": " + e.what();
    folder_log_->Add(OffsetOf(e, 0), WithoutFileName(what, file_->path()));
    throw DamageError(what, OffsetOf(e, 0));
  }
}

}  // namespace pst
}  // namespace norvexa::outlook
