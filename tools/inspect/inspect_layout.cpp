// norvexa-inspect store --layout: where the named structures of a store file
// are (the B-tree roots, the first block of the message store, of every
// folder and its tables, and of every attachment table), so that tests and
// people looking into a damaged file can find them.
#include "inspect.h"

#include "platform/outlook/pst_objects.h"
#include "platform/outlook/store_file_cache.h"
#include "platform/system/hex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <ostream>

namespace norvexa::inspect {
namespace {

using namespace norvexa::outlook;
using namespace norvexa::outlook::pst;

// TEXT (UTF-8) as a QString.
QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Node id NID as JSON text, "0x" and eight hex digits.
QString NidText(std::uint32_t nid) { return Q("0x" + sys::HexNumber(nid, 8)); }

// The structure WHAT of node NID whose data starts at BID_DATA, as a JSON
// object with the offset and size of its first data block (the heap's header
// for tables and property sets), or an "error" when it cannot be placed.
QJsonObject Structure(const NodeDatabase& db, const std::string& what, std::uint32_t nid, std::uint64_t bid_data) {
  QJsonObject o{{"what", Q(what)}, {"nid", NidText(nid)}};
  try {
    const NodeDatabase::DataTree tree = db.ReadDataTree(bid_data);
    const std::optional<NodeDatabase::BlockExtent> first =
        tree.blocks.empty() ? std::nullopt : db.LocateBlock(tree.blocks.front());
    if (!first) {
      o["error"] = "its data cannot be placed";
      return o;
    }
    o["offset"] = static_cast<qint64>(first->offset);
    o["size"] = static_cast<qint64>(first->size);
    o["blocks"] = static_cast<qint64>(tree.blocks.size());
  } catch (const OutlookError& e) {
    o["error"] = Q(e.what());
  }
  return o;
}

// The paths of folders by node id, each looked up once.
class FolderPaths {
 public:
  explicit FolderPaths(const PstStore& store) : store_(store) {}

  // The path of folder FOLDER as JSON; null for a folder that cannot be
  // read (it has no path to give).
  QJsonValue Of(std::uint32_t folder) {
    auto found = paths_.find(folder);
    if (found == paths_.end()) {
      std::string text;
      try {
        text = store_.GetFolderFromID(items::FolderEntryId(folder))->FolderPath();
      } catch (const OutlookError&) {
        text.clear();  // a folder that cannot be read has no path to give
      }
      found = paths_.emplace(folder, text).first;
    }
    return found->second.empty() ? QJsonValue() : QJsonValue(Q(found->second));
  }

 private:
  const PstStore& store_;
  std::map<std::uint32_t, std::string> paths_;
};

// The attachment table of the message NODE, or nullopt when it has none or
// its subnodes cannot be read.
std::optional<NodeEntry> AttachmentTable(const NodeDatabase& db, const NodeEntry& node) {
  try {
    return db.FindSubnode(node.bid_sub, kNidAttachmentTable);
  } catch (const OutlookError&) {
    return std::nullopt;  // an item whose subnodes cannot be read names no table
  }
}

// The named structure NODE is (the message store, the named-property map,
// a folder, its hierarchy or contents table, or a message's attachment
// table) with the folder it belongs to; nullopt for any other node.
std::optional<QJsonObject> NodeStructure(const NodeDatabase& db, const NodeEntry& node, FolderPaths& paths) {
  const std::uint32_t type = NidType(node.nid);
  const std::uint32_t folder = NidWithType(node.nid, kNidTypeNormalFolder);
  QJsonObject o;
  if (node.nid == kNidMessageStore) return Structure(db, "message store", node.nid, node.bid_data);
  if (node.nid == kNidNameToIdMap) return Structure(db, "named-property map", node.nid, node.bid_data);
  if (type == kNidTypeNormalFolder || type == kNidTypeSearchFolder) {
    o = Structure(db, "folder", node.nid, node.bid_data);
    o["folder"] = paths.Of(node.nid);
  } else if (type == kNidTypeHierarchyTable) {
    o = Structure(db, "hierarchy table", node.nid, node.bid_data);
    o["folder"] = paths.Of(folder);
  } else if (type == kNidTypeContentsTable) {
    o = Structure(db, "contents table", node.nid, node.bid_data);
    o["folder"] = paths.Of(folder);
  } else if (type == kNidTypeNormalMessage) {
    const std::optional<NodeEntry> table = AttachmentTable(db, node);
    if (!table) return std::nullopt;
    o = Structure(db, "attachment table", node.nid, table->bid_data);
    o["folder"] = paths.Of(node.nid_parent);
  } else {
    return std::nullopt;
  }
  return o;
}

// The name norvexa-inspect gives the file format of DB.
const char* FormatName(const NodeDatabase& db) {
  return db.format() == Format::Ansi ? "ansi" : db.format() == Format::Unicode ? "unicode" : "unicode4k";
}

// A page at OFFSET, PAGE bytes long, as JSON.
QJsonObject Page(std::uint64_t offset, std::uint32_t page) {
  return QJsonObject{{"offset", static_cast<qint64>(offset)}, {"size", static_cast<qint64>(page)}};
}

}  // namespace

int InspectLayout(const std::string& file, std::ostream& out, std::ostream& err) {
  try {
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    const std::shared_ptr<StoreFile> store_file = OpenSharedFile(path);
    const PstStore store(store_file);
    const NodeDatabase& db = *store_file->db();
    const std::uint32_t page = static_cast<std::uint32_t>(db.layout().page_size);
    FolderPaths paths(store);
    QJsonArray structures;
    db.ForEachNode([&](const NodeEntry& node) {
      if (const std::optional<QJsonObject> o = NodeStructure(db, node, paths)) structures.append(*o);
    });
    const QJsonObject result{{"file", Q(store_file->path())},
                             {"format", FormatName(db)},
                             {"top_folder", NidText(store_file->top_folder())},
                             {"node_index_root", Page(db.node_index_root(), page)},
                             {"block_index_root", Page(db.block_index_root(), page)},
                             {"structures", structures}};
    out << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  } catch (const OutlookError& e) {
    return FailWith(e.what(), err);
  }
}

}  // namespace norvexa::inspect
