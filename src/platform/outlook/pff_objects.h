// The libpff implementations of the store-access classes of outlook.h:
// store, folder, items, item, attachments, attachment.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/pff_handles.h"
#include "platform/outlook/property_bag.h"

#include <memory>
#include <string>
#include <vector>

namespace norvexa::outlook::pff {

// The store identifier of the store file at PATH: a short prefix and the
// hex of the UTF-8 absolute path (never holds "#").
std::string StoreIdForPath(const std::filesystem::path& path);
// The path named by store identifier ID, or nullopt when ID is not one.
std::optional<std::filesystem::path> PathForStoreId(const std::string& id);

// The message class a folder's items have, from its container class.
std::string DefaultMessageClassFor(const std::string& container_class);

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

// A store listed in a profile whose file cannot be opened: it answers its
// name and identifier, offers nothing, and throws REASON for its folders.
class UnavailableStore : public Store {
 public:
  UnavailableStore(std::filesystem::path path, std::string reason)
      : path_(std::move(path)), reason_(std::move(reason)) {}
  std::string DisplayName() const override;
  std::string StoreID() const override;
  std::string OfferText() const override { return std::string(); }
  std::string PstPath() const override;
  std::unique_ptr<Folder> IPMRootFolder() const override;
  std::unique_ptr<Folder> GetFolderFromID(const std::string& entry_id) const override;

 private:
  std::filesystem::path path_;
  std::string reason_;
};

class PffFolder : public Folder {
 public:
  // FOLDER is the folder item; PATH its path below the IPM subtree ("" for
  // the top folder), or nullopt when it is to be looked up on demand.
  PffFolder(ItemRef folder, std::optional<std::string> path);
  std::string Name() const override { return name_; }
  std::string DefaultMessageClass() const override { return DefaultMessageClassFor(container_class_); }
  std::string ContainerClass() const override { return container_class_; }
  std::string EntryID() const override;
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

// The contents of a folder, in the order of its contents table.
//
// libpff finds the message of a contents-table row by a linear search of
// the folder's children in its item tree, comparing identifiers, so a walk
// over a folder of N items costs N*N/2 such steps. Here the first GetItem
// reads every row's identifier from the contents table once, and the
// position of each among the folder's children in the tree; items are then
// taken by that position, which libpff reaches by following links from the
// nearer end of the children, without comparisons: about a quarter of the
// time on a folder of 20,000 items (still quadratic, with a far smaller
// constant). An item whose row cannot be matched this way is found the
// usual way.
class PffItems : public Items {
 public:
  explicit PffItems(ItemRef folder);
  std::int64_t Count() const override { return count_; }
  std::unique_ptr<Item> GetItem(std::int64_t position) const override;

 private:
  // Fills row_ids_ and child_of_row_, once; leaves them empty (every item
  // is then found the usual way) when the tables cannot be read.
  void MapRows() const;
  // The message of row ROW (from 0) by its place in the item tree, or
  // null when it is not there.
  libpff_item_t* MessageByChild(std::int64_t row) const;

  ItemRef folder_;
  std::int64_t count_ = 0;
  mutable bool mapped_ = false;
  mutable std::vector<std::uint32_t> row_ids_;  // message identifier of each row
  mutable std::vector<int> child_of_row_;       // index among the folder's children, -1 if none
};

// One recipient of a message (for writing attached messages out).
struct Recipient {
  int type = 1;  // 1 To, 2 Cc, 3 Bcc
  std::string name;
  std::string address;
};

class PffItem : public Item, public MapiObject {
 public:
  explicit PffItem(ItemRef message);

  std::string MessageClass() const override;
  std::string Subject() const override;
  std::string Body() const override;
  std::string To() const override;
  std::string CC() const override;
  std::string BCC() const override;
  std::string SenderEmailAddress() const override;
  std::string SenderName() const override;
  std::optional<std::int64_t> Importance() const override;
  std::string Categories() const override;
  std::optional<QDateTime> CreationTime() const override;
  std::optional<QDateTime> MessageDate() const override;
  std::optional<QDateTime> Start() const override;
  std::optional<QDateTime> End() const override;
  std::string Location() const override;
  std::optional<QDateTime> DueDate() const override;
  std::optional<QDateTime> StartDate() const override;
  std::optional<QDateTime> ReminderTime() const override;
  std::string Contact(ContactField field) const override;
  std::optional<QDateTime> Birthday() const override;
  std::optional<QDateTime> Anniversary() const override;
  std::string DLName() const override;
  std::vector<std::string> Members() const override;
  std::unique_ptr<Attachments> GetAttachments() const override;
  const MapiObject& MAPIOBJECT() const override { return *this; }

  PropValue GetProp(std::uint32_t tag) const override;

  // The message's recipients from its recipient table, in table order.
  std::vector<Recipient> Recipients() const;
  // The sender's SMTP address when the message has one, else 0x0C1F.
  std::string SenderSmtpAddress() const;

 private:
  ItemRef message_;
  PropertyBag bag_;
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

class PffAttachment : public Attachment {
 public:
  PffAttachment(ItemRef attachment, std::int64_t position);
  std::string FileName() const override;
  std::int64_t Size() const override;
  void SaveAsFile(const std::filesystem::path& path) const override;

  // Writes the attachment's content to OUT: the bytes of a by-value
  // attachment, or an attached item as an RFC 5322 message (DEPTH: how
  // deep that message sits in others). Throws OutlookError naming the
  // attachment.
  void WriteTo(std::ostream& out, int depth = 0) const;
  // True for an attached Outlook item.
  bool IsItem() const { return type_ == LIBPFF_ATTACHMENT_TYPE_ITEM; }
  // The MIME type stored with the attachment (0x370E), or "".
  std::string MimeType() const;

 private:
  // What names the attachment in errors: "attachment N (name) of <file>".
  std::string Describe() const;
  // The attached item, read once: libpff hands it out only once per
  // attachment object.
  const PffItem& AttachedItem() const;

  ItemRef attachment_;
  std::int64_t position_;
  PropertyBag bag_;
  int type_ = 0;
  mutable std::unique_ptr<PffItem> attached_item_;
};

// A file name safe to place in a folder: the last component of NAME
// (after any "/" or "\"), with characters no file system allows replaced by
// "_"; "" when nothing usable remains.
std::string SafeFileName(const std::string& name);

}  // namespace norvexa::outlook::pff
