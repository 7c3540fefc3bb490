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

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

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

}  // namespace

int InspectLayout(const std::string& file, std::ostream& out, std::ostream& err) {
  try {
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    const std::shared_ptr<StoreFile> store_file = OpenSharedFile(path);
    const PstStore store(store_file);
    const NodeDatabase& db = *store_file->db();
    const std::uint32_t page = static_cast<std::uint32_t>(db.layout().page_size);

    // Folder paths, looked up once per folder.
    std::map<std::uint32_t, std::string> paths;
    auto path_of = [&](std::uint32_t folder) -> QJsonValue {
      auto found = paths.find(folder);
      if (found == paths.end()) {
        std::string text;
        try {
          text = store.GetFolderFromID(items::FolderEntryId(folder))->FolderPath();
        } catch (const OutlookError&) {
          text.clear();  // a folder that cannot be read has no path to give
        }
        found = paths.emplace(folder, text).first;
      }
      return found->second.empty() ? QJsonValue() : QJsonValue(Q(found->second));
    };

    QJsonArray structures;
    db.ForEachNode([&](const NodeEntry& node) {
      const std::uint32_t type = NidType(node.nid);
      const std::uint32_t folder = NidWithType(node.nid, kNidTypeNormalFolder);
      QJsonObject o;
      if (node.nid == kNidMessageStore) {
        o = Structure(db, "message store", node.nid, node.bid_data);
      } else if (node.nid == kNidNameToIdMap) {
        o = Structure(db, "named-property map", node.nid, node.bid_data);
      } else if (type == kNidTypeNormalFolder || type == kNidTypeSearchFolder) {
        o = Structure(db, "folder", node.nid, node.bid_data);
        o["folder"] = path_of(node.nid);
      } else if (type == kNidTypeHierarchyTable) {
        o = Structure(db, "hierarchy table", node.nid, node.bid_data);
        o["folder"] = path_of(folder);
      } else if (type == kNidTypeContentsTable) {
        o = Structure(db, "contents table", node.nid, node.bid_data);
        o["folder"] = path_of(folder);
      } else if (type == kNidTypeNormalMessage) {
        std::optional<NodeEntry> table;
        try {
          table = db.FindSubnode(node.bid_sub, kNidAttachmentTable);
        } catch (const OutlookError&) {
          table.reset();  // an item whose subnodes cannot be read names no table
        }
        if (!table) return;
        o = Structure(db, "attachment table", node.nid, table->bid_data);
        o["folder"] = path_of(node.nid_parent);
      } else {
        return;
      }
      structures.append(o);
    });
    const char* format = db.format() == Format::Ansi ? "ansi" : db.format() == Format::Unicode ? "unicode" : "unicode4k";
    const QJsonObject result{
        {"file", Q(store_file->path())},
        {"format", format},
        {"top_folder", NidText(store_file->top_folder())},
        {"node_index_root", QJsonObject{{"offset", static_cast<qint64>(db.node_index_root())}, {"size", static_cast<qint64>(page)}}},
        {"block_index_root",
         QJsonObject{{"offset", static_cast<qint64>(db.block_index_root())}, {"size", static_cast<qint64>(page)}}},
        {"structures", structures}};
    out << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  } catch (const OutlookError& e) {
    return FailWith(e.what(), err);
  }
}

}  // namespace norvexa::inspect
