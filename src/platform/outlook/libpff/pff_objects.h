// The store-access classes of outlook.h read through libpff: store,
// folder, items, item, attachments, attachment. Norvexa reads stores with
// its own reader; this one stays as an independent second reader, so that
// tests and `norvexa-inspect --reader libpff` can compare every value.
#pragma once

#include "platform/outlook/bag_attachment.h"
#include "platform/outlook/bag_item.h"
#include "platform/outlook/libpff/pff_handles.h"
#include "platform/outlook/store_identity.h"

#include <memory>
#include <string>
#include <vector>

namespace norvexa::outlook::libpff {

// Opens the store file at PATH with libpff, always anew. Throws
// OutlookError naming the file and the reason.
std::unique_ptr<Store> OpenStore(const std::filesystem::path& path);

class PffStore : public Store {
 public:
  explicit PffStore(std::shared_ptr<File> file) : file_(std::move(file)) {}
  std::string DisplayName() const override;
  std::string StoreID() const override;
  std::string OfferText() const override;
  std::string PstPath() const override;
  std::unique_ptr<Folder> IPMRootFolder() const override;
  std::unique_ptr<Folder> GetFolderFromID(const std::string& entry_id) const override;

 private:
  std::shared_ptr<File> file_;
};

class PffFolder : public Folder {
 public:
  // FOLDER is the folder item; PATH its path below the IPM subtree ("" for
  // the top folder), or nullopt when it is to be looked up on demand.
  PffFolder(ItemRef folder, std::optional<std::string> path);
  std::string Name() const override { return name_; }
  std::string DefaultMessageClass() const override { return items::DefaultMessageClassFor(container_class_); }
  std::string ContainerClass() const override { return container_class_; }
  std::string EntryID() const override { return items::FolderEntryId(id_); }
  std::string FolderPath() const override;
  std::unique_ptr<Items> GetItems() const override;
  std::vector<std::unique_ptr<Folder>> Folders() const override;

 private:
  ItemRef folder_;
  std::uint32_t id_ = 0;
  std::string name_;
  std::string container_class_;
  mutable std::optional<std::string> path_;
};

// The contents of a folder, in the order of libpff's sub-messages.
class PffItems : public Items {
 public:
  explicit PffItems(ItemRef folder);
  std::int64_t Count() const override { return count_; }
  std::unique_ptr<Item> GetItem(std::int64_t position) const override;

 private:
  ItemRef folder_;
  std::int64_t count_ = 0;
};

class PffItem : public items::MapiItem {
 public:
  // MESSAGE is a folder's item, or, when ATTACHED, an item attached to
  // another (which has no source key).
  explicit PffItem(ItemRef message, bool attached = false);
  std::unique_ptr<Attachments> GetAttachments() const override;
  std::vector<items::Recipient> Recipients() const override;
  std::string SourceKey() const override;

 private:
  ItemRef message_;
  bool attached_;
};

class PffAttachments : public Attachments {
 public:
  PffAttachments(ItemRef message, std::int64_t count) : message_(std::move(message)), count_(count) {}
  std::int64_t Count() const override { return count_; }
  std::unique_ptr<Attachment> GetAttachment(std::int64_t position) const override;

 private:
  ItemRef message_;
  std::int64_t count_;
};

class PffAttachment : public items::MapiAttachment {
 public:
  PffAttachment(ItemRef attachment, std::int64_t position);

 protected:
  std::int64_t DataSize() const override;
  void WriteData(std::ostream& out) const override;
  const items::MapiItem& AttachedItem() const override;

 private:
  ItemRef attachment_;
  // The attached item, read once: libpff hands it out only once per
  // attachment object.
  mutable std::unique_ptr<PffItem> attached_item_;
};

// The properties of record set SET_INDEX of ITEM as a bag. HANDLE, when
// given, is kept alive by the bag (ITEM belongs to it); without it ITEM
// must outlive the bag. FILE names the store in errors. Throws
// OutlookError when the record set is unreadable.
items::PropertyBag ReadBag(std::shared_ptr<const ItemHandle> handle, libpff_item_t* item, int set_index,
                         const std::string& file, int store_codepage);

}  // namespace norvexa::outlook::libpff
