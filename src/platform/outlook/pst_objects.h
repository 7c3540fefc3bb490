// The store-access classes of outlook.h on Norvexa's own PST reader:
// store, folder, items, item, attachments, attachment. Each object holds the
// open store file and the node it stands for, and reads what it is asked
// for when it is asked. Each folder and item keeps a DamageLog that the
// node database adds to while the object is being read (a DamageScope is
// open around every read); an item's attachments and attached items share
// the item's log.
#pragma once

#include "platform/outlook/bag_attachment.h"
#include "platform/outlook/bag_item.h"
#include "platform/outlook/store_file.h"
#include "platform/outlook/store_identity.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace norvexa::outlook::pst {

class PstStore : public Store {
 public:
  explicit PstStore(std::shared_ptr<StoreFile> file) : file_(std::move(file)) {}
  std::string DisplayName() const override { return file_->display_name(); }
  std::string StoreID() const override;
  std::string OfferText() const override { return file_->path(); }
  std::string PstPath() const override { return file_->path(); }
  std::unique_ptr<Folder> IPMRootFolder() const override;
  std::unique_ptr<Folder> GetFolderFromID(const std::string& entry_id) const override;
  std::vector<outlook::Damage> Damage() const override { return file_->StoreDamage(); }

 private:
  std::shared_ptr<StoreFile> file_;
};

class PstFolder : public Folder {
 public:
  // The folder at node NODE; PATH is its path below the top folder ("" for
  // the top folder itself), or nullopt when it is to be worked out on
  // demand. LOG is the folder's damage log (what finding its node met is
  // in it already), or null for a new one. Throws OutlookError when the
  // folder's properties are damaged.
  PstFolder(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::optional<std::string> path,
            std::shared_ptr<DamageLog> log = nullptr);
  std::string Name() const override { return name_; }
  std::string DefaultMessageClass() const override { return items::DefaultMessageClassFor(container_class_); }
  std::string ContainerClass() const override { return container_class_; }
  std::string EntryID() const override { return items::FolderEntryId(node_.nid); }
  std::string FolderPath() const override;
  std::unique_ptr<Items> GetItems() const override;
  std::vector<std::unique_ptr<Folder>> Folders() const override;
  std::vector<outlook::Damage> Damage() const override { return log_->entries(); }

 private:
  // A node listed as one of the folder's items or sub-folders, and whether
  // its table listed it (else it was found in the node index).
  struct Listed {
    std::uint32_t nid = 0;
    bool in_table = true;
  };
  // The nodes of a folder's damaged table TABLE (null when it could not be
  // read): its rows as far as they read, through its row index or, when
  // that is damaged, in the order they are stored; those that are not
  // nodes whose parent is this folder (ANY_PARENT: whatever their parent)
  // left out; then, unless ANY_PARENT, the nodes of type NID_TYPE (or
  // OTHER_TYPE) whose parent is this folder that the table does not list.
  // WHAT names the table in the log, PLACE is where it was found damaged.
  std::vector<Listed> Recover(const std::shared_ptr<const TableContext>& table, const std::string& what,
                              std::uint64_t place, std::uint32_t nid_type, std::uint32_t other_type,
                              bool any_parent) const;
  // The nodes the rows of TABLE name (none when TABLE is null), read
  // through its row index or, when that is damaged, in the order they are
  // stored; the rows that cannot be read are noted in the log against
  // TABLE_AT. Never throws for damage.
  std::vector<std::uint32_t> RowNodes(const std::shared_ptr<const TableContext>& table, const std::string& what,
                                      std::uint64_t table_at) const;
  // Adds to LISTED the nodes of type NID_TYPE or OTHER_TYPE whose parent is
  // this folder and that are not in SEEN, as found in the node index; notes
  // how many there were. Never throws for damage.
  void AddUnlisted(const std::unordered_set<std::uint32_t>& seen, std::uint32_t nid_type, std::uint32_t other_type,
                   const std::string& what, std::uint64_t table_at, std::vector<Listed>& listed) const;
  // The sub-folders as the hierarchy table lists them or, when it is
  // missing or damaged, as Recover finds them; FAILURE_AT is set to where
  // the table is (damaged). Throws OutlookError when the node index cannot
  // be read at all.
  std::vector<Listed> ListSubFolders(std::uint64_t& failure_at) const;

  std::shared_ptr<StoreFile> file_;
  NodeEntry node_;
  std::string name_;
  std::string container_class_;
  std::shared_ptr<DamageLog> log_;
  mutable std::optional<std::string> path_;
  // The folders this one was reached through, from the first one asked
  // for down to its parent. A damaged hierarchy table can list one of
  // them again below; Folders() leaves such rows out, or the folder tree
  // would have no end.
  std::vector<std::uint32_t> above_;
};

// The contents of a folder. Read through an intact contents table, in the
// order of the table: only the table's header stays in memory, and each
// item's row is read when it is asked for. Read through a damaged one, the
// items' nodes are listed once (see PstFolder::Recover) and taken in that
// order. FOLDER_LOG is the folder's log: the rows and items that cannot be
// read are added to it.
class PstItems : public Items {
 public:
  // The items of TABLE's rows. FOLDER_NID is the folder's node, whose
  // items a row read from a damaged part of the file must be (0: a search
  // folder, whose items are anywhere).
  PstItems(std::shared_ptr<StoreFile> file, std::shared_ptr<const TableContext> table, std::string folder,
           std::uint32_t folder_nid, std::shared_ptr<DamageLog> folder_log)
      : file_(std::move(file)),
        table_(std::move(table)),
        folder_(std::move(folder)),
        folder_nid_(folder_nid),
        folder_log_(std::move(folder_log)) {}
  // The items of the nodes NIDS; those flagged as not in the table are
  // marked in their own log as found otherwise, at TABLE_OFFSET.
  PstItems(std::shared_ptr<StoreFile> file, std::vector<std::pair<std::uint32_t, bool>> nids, std::string folder,
           std::uint64_t table_offset, std::shared_ptr<DamageLog> folder_log)
      : file_(std::move(file)),
        nids_(std::move(nids)),
        folder_(std::move(folder)),
        table_offset_(table_offset),
        folder_log_(std::move(folder_log)) {}
  std::int64_t Count() const override {
    return table_ ? static_cast<std::int64_t>(table_->row_count()) : static_cast<std::int64_t>(nids_.size());
  }
  std::unique_ptr<Item> GetItem(std::int64_t position) const override;

 private:
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const TableContext> table_;
  std::vector<std::pair<std::uint32_t, bool>> nids_;  // node, listed by the table
  std::string folder_;
  std::uint32_t folder_nid_ = 0;
  std::uint64_t table_offset_ = 0;
  std::shared_ptr<DamageLog> folder_log_;
  mutable std::optional<TableContext::Cursor> cursor_;
};

class PstItem : public items::MapiItem {
 public:
  // The message at NODE (a node, or the subnode of an attached item), its
  // damage going to LOG, which must not be null (an attached item shares
  // its carrier's). Throws OutlookError when its properties are damaged.
  PstItem(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::shared_ptr<DamageLog> log, int depth = 0);
  std::unique_ptr<Attachments> GetAttachments() const override;
  std::vector<items::Recipient> Recipients() const override;
  std::string SourceKey() const override;
  std::vector<outlook::Damage> Damage() const override;

 private:
  PstItem(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
          std::shared_ptr<DamageLog> log, int depth);
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  std::shared_ptr<DamageLog> log_;
  int depth_;
};

class PstAttachments : public Attachments {
 public:
  // The attachments of the message whose properties are CONTEXT, listed by
  // SUBNODES (their subnode identifiers, in table order); LOG is the
  // message's.
  PstAttachments(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                 std::vector<std::uint32_t> subnodes, std::shared_ptr<DamageLog> log, int depth)
      : file_(std::move(file)),
        context_(std::move(context)),
        subnodes_(std::move(subnodes)),
        log_(std::move(log)),
        depth_(depth) {}
  std::int64_t Count() const override { return static_cast<std::int64_t>(subnodes_.size()); }
  std::unique_ptr<Attachment> GetAttachment(std::int64_t position) const override;

 private:
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  std::vector<std::uint32_t> subnodes_;
  std::shared_ptr<DamageLog> log_;
  int depth_;
};

class PstAttachment : public items::MapiAttachment {
 public:
  PstAttachment(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                std::int64_t position, std::shared_ptr<DamageLog> log, int depth);

 protected:
  std::int64_t DataSize() const override;
  void WriteData(std::ostream& out) const override;
  const items::MapiItem& AttachedItem() const override;

 private:
  // The node that holds the attachment's data object (PT_OBJECT values).
  NodeEntry ObjectNode() const;
  // Runs READ with the log in scope; an OutlookError it throws is added to
  // the log as this attachment's, then thrown on.
  template <typename Read>
  auto Logged(Read read) const -> decltype(read());

  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  std::shared_ptr<DamageLog> log_;
  int depth_;
  mutable std::unique_ptr<PstItem> attached_item_;
};

}  // namespace norvexa::outlook::pst
