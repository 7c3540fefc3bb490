// The store-access classes of outlook.h on Norvexa's own PST reader:
// store, folder, items, item, attachments, attachment. Each object holds the
// open store file and the node it stands for, and reads what it is asked
// for when it is asked.
#pragma once

#include "platform/outlook/mapi_item.h"
#include "platform/outlook/store_file.h"

#include <memory>
#include <optional>
#include <string>
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

 private:
  std::shared_ptr<StoreFile> file_;
};

class PstFolder : public Folder {
 public:
  // The folder at node NODE; PATH is its path below the top folder ("" for
  // the top folder itself), or nullopt when it is to be worked out on
  // demand. Throws OutlookError when the folder's properties are damaged.
  PstFolder(std::shared_ptr<StoreFile> file, const NodeEntry& node, std::optional<std::string> path);
  std::string Name() const override { return name_; }
  std::string DefaultMessageClass() const override { return pff::DefaultMessageClassFor(container_class_); }
  std::string ContainerClass() const override { return container_class_; }
  std::string EntryID() const override { return pff::FolderEntryId(node_.nid); }
  std::string FolderPath() const override;
  std::unique_ptr<Items> GetItems() const override;
  std::vector<std::unique_ptr<Folder>> Folders() const override;

 private:
  std::shared_ptr<StoreFile> file_;
  NodeEntry node_;
  std::string name_;
  std::string container_class_;
  mutable std::optional<std::string> path_;
  // The folders this one was reached through, from the first one asked
  // for down to its parent. A damaged hierarchy table can list one of
  // them again below; Folders() leaves such rows out, or the folder tree
  // would have no end.
  std::vector<std::uint32_t> above_;
};

// The contents of a folder, in the order of its contents table. Only the
// table's header stays in memory; each item's row is read when it is asked
// for.
class PstItems : public Items {
 public:
  PstItems(std::shared_ptr<StoreFile> file, std::shared_ptr<const TableContext> table, std::string folder)
      : file_(std::move(file)), table_(std::move(table)), folder_(std::move(folder)) {}
  std::int64_t Count() const override { return table_ ? static_cast<std::int64_t>(table_->row_count()) : 0; }
  std::unique_ptr<Item> GetItem(std::int64_t position) const override;

 private:
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const TableContext> table_;
  std::string folder_;
  mutable std::optional<TableContext::Cursor> cursor_;
};

class PstItem : public pff::MapiItem {
 public:
  // The message at NODE (a node, or the subnode of an attached item).
  // Throws OutlookError when its properties are damaged.
  PstItem(std::shared_ptr<StoreFile> file, const NodeEntry& node, int depth = 0);
  std::unique_ptr<Attachments> GetAttachments() const override;
  std::vector<pff::Recipient> Recipients() const override;
  std::string SourceKey() const override;

 private:
  PstItem(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context, int depth);
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  int depth_;
};

class PstAttachments : public Attachments {
 public:
  // The attachments of the message whose properties are CONTEXT, listed by
  // SUBNODES (their subnode identifiers, in table order).
  PstAttachments(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                 std::vector<std::uint32_t> subnodes, int depth)
      : file_(std::move(file)), context_(std::move(context)), subnodes_(std::move(subnodes)), depth_(depth) {}
  std::int64_t Count() const override { return static_cast<std::int64_t>(subnodes_.size()); }
  std::unique_ptr<Attachment> GetAttachment(std::int64_t position) const override;

 private:
  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  std::vector<std::uint32_t> subnodes_;
  int depth_;
};

class PstAttachment : public pff::MapiAttachment {
 public:
  PstAttachment(std::shared_ptr<StoreFile> file, std::shared_ptr<const PropertyContext> context,
                std::int64_t position, int depth);

 protected:
  std::int64_t DataSize() const override;
  void WriteData(std::ostream& out) const override;
  const pff::MapiItem& AttachedItem() const override;

 private:
  // The node that holds the attachment's data object (PT_OBJECT values).
  NodeEntry ObjectNode() const;

  std::shared_ptr<StoreFile> file_;
  std::shared_ptr<const PropertyContext> context_;
  int depth_;
  mutable std::unique_ptr<PstItem> attached_item_;
};

}  // namespace norvexa::outlook::pst
