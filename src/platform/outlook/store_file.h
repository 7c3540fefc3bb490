// An open store file as the messaging layer sees it: the node database, the
// message store's name and top folder, the code page of its 8-bit texts,
// and the map from named-property identifiers to their names. What it holds
// is read once at opening and does not grow with the number of items.
#pragma once

#include "platform/outlook/ltp.h"
#include "platform/outlook/messaging_layout.h"
#include "platform/outlook/property_bag.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace norvexa::outlook::pst {

// The largest property value read whole (bodies, tables, lists); larger
// ones are damage.
inline constexpr std::uint64_t kValueLimit = 1ULL << 30;

class StoreFile {
 public:
  // Opens the store file at PATH and reads its message store and named-
  // property map (damage of either is SharedDamage(), and stand-ins take the
  // place of what cannot be read). Throws OutlookError naming the file and
  // the reason when it is missing, a folder, empty, not a store, of an
  // unsupported kind, or damaged so that its top folder cannot be read.
  static std::shared_ptr<StoreFile> Open(const std::filesystem::path& path);

  const std::shared_ptr<const NodeDatabase>& db() const { return db_; }
  // Absolute path of the file, UTF-8.
  const std::string& path() const { return path_; }
  // PR_DISPLAY_NAME of the message store, else the file name without
  // extension.
  const std::string& display_name() const { return display_name_; }
  // What names the store in the source key of each of its items (see
  // items::StoreKey).
  const std::string& store_key() const { return store_key_; }
  // Code page for 8-bit texts of items that name none.
  int default_codepage() const { return default_codepage_; }
  // The top folder of the visible hierarchy: the IPM subtree when the
  // message store names one that is a folder, else the root folder.
  std::uint32_t top_folder() const { return top_folder_; }

  // The node NID of the node B-tree; throws OutlookError naming WHAT when
  // there is none.
  NodeEntry Node(std::uint32_t nid, const std::string& what) const;

  // The properties of CONTEXT as a bag, named properties resolved through
  // the store's map. CONTEXT stays alive as long as the bag. With LOG, the
  // damaged parts each value is read through, and each value that cannot
  // be read, are added to LOG (the log of the object the bag belongs to).
  items::PropertyBag Bag(std::shared_ptr<const PropertyContext> context, int codepage,
                       std::shared_ptr<DamageLog> log = nullptr) const;
  // The cells of one table row as a bag; LOG as for Bag.
  items::PropertyBag RowBag(std::shared_ptr<const TableContext> table, const std::string& row, int codepage,
                          std::shared_ptr<DamageLog> log = nullptr) const;

  // Damage of what every item's values depend on: the message store (the
  // store's key, name and code page) and the named-property map. Empty for
  // an undamaged file.
  std::vector<Damage> SharedDamage() const { return shared_damage_.entries(); }
  // What the store's account of damage holds now: the shared damage, that
  // of the indexes, and that of the folder hierarchy (NoteHierarchyDamage).
  std::vector<Damage> StoreDamage() const;
  // Adds DAMAGE of the folder hierarchy (a hierarchy table read in part) to
  // the store's account: whoever reads the store learns that folders may be
  // missing, whatever folders they look at.
  void NoteHierarchyDamage(const Damage& damage) const { hierarchy_damage_.Add(damage); }

 private:
  // The name behind a named-property identifier.
  struct Name {
    mapi::Guid guid{};
    bool by_string = false;
    std::uint32_t lid = 0;
    std::string name;
  };
  StoreFile() = default;
  // Reads the named-property map into names_; a damaged map is noted as
  // damage and leaves names_ empty.
  void ReadNameMap();
  // The name the NAMEID entry at ENTRY gives, with the GUID and string
  // streams of the map; nullopt when it names a property set or a string
  // that is not there.
  static std::optional<Name> NameAt(const std::uint8_t* entry, const std::string& guids, const std::string& strings);
  // ENTRY with its name filled in when its identifier is a named one.
  void Resolve(items::PropertyBag::Entry& entry) const;

  std::shared_ptr<const NodeDatabase> db_;
  std::string path_;
  std::string display_name_;
  std::string store_key_;
  int default_codepage_ = 1252;
  std::uint32_t top_folder_ = kNidRootFolder;
  std::unordered_map<std::uint16_t, Name> names_;
  DamageLog shared_damage_;
  mutable DamageLog hierarchy_damage_{64};
};

}  // namespace norvexa::outlook::pst
