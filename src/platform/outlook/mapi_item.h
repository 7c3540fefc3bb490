// Items and attachments read from a property bag: every value the rest of
// Norvexa reads of an item (texts, dates, contact fields, list members),
// the attachment names, and saving attachments to files. A store reader
// gives each item its bag, its recipients and its attachments; everything
// else is the same whichever reader read the file.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/property_bag.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace norvexa::outlook::pff {

// Attached items nest inside one another; a damaged file could make them
// nest without end, which no real mailbox does. Deeper nesting is damage.
inline constexpr int kMaxAttachedItemNesting = 32;

// One recipient of a message (for writing attached messages out).
struct Recipient {
  int type = mapi::MAPI_TO;  // PR_RECIPIENT_TYPE: MAPI_TO, MAPI_CC or MAPI_BCC
  std::string name;
  std::string address;
};

class MapiItem : public Item, public MapiObject {
 public:
  explicit MapiItem(PropertyBag bag) : bag_(std::move(bag)) {}

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
  std::string HtmlBody() const override;
  std::string CompressedRtf() const override;
  std::string InternetMessageId() const override;
  std::string InReplyTo() const override;
  std::string InternetReferences() const override;
  std::string TransportHeaders() const override;
  std::optional<std::int64_t> MessageFlags() const override;
  std::optional<std::int64_t> Sensitivity() const override;
  std::optional<QDateTime> ReceivedTime() const override;
  std::optional<QDateTime> SubmitTime() const override;
  std::vector<std::string> CategoryList() const override;
  FollowUpFlag FollowUp() const override;
  std::vector<RecipientEntry> RecipientList() const override;
  std::string SenderSmtpAddress() const override;
  std::string SentRepresentingName() const override;
  std::string SentRepresentingAddress() const override;
  std::string RecurrenceBlob() const override;
  std::optional<bool> IsRecurring() const override;
  std::string TimeZoneDefinition() const override;
  std::string TimeZoneStruct() const override;
  std::string TimeZoneDescription() const override;
  std::optional<bool> AllDayEvent() const override;
  std::optional<std::int64_t> BusyStatus() const override;
  std::optional<std::int64_t> AppointmentStateFlags() const override;
  std::optional<bool> ReminderSet() const override;
  std::optional<std::int64_t> ReminderMinutesBefore() const override;
  std::optional<std::int64_t> TaskStatus() const override;
  std::optional<double> PercentComplete() const override;
  std::optional<QDateTime> TaskDateCompleted() const override;
  std::optional<bool> TaskComplete() const override;
  std::string TaskOwner() const override;
  const MapiObject& MAPIOBJECT() const override { return *this; }

  PropValue GetProp(std::uint32_t tag) const override;

  // The message's recipients from its recipient table, in table order.
  // Throws OutlookError when the table is damaged.
  virtual std::vector<Recipient> Recipients() const = 0;
  // One recipient from its row ROW of a recipient table.
  static Recipient RecipientFromRow(const PropertyBag& row);

  const PropertyBag& bag() const { return bag_; }

 protected:
  // "item \"subject\"" for error messages.
  std::string Describe() const;

  PropertyBag bag_;
};

// An attachment read from its property bag. The reader supplies how its
// data is read and, for an attached item, the item.
class MapiAttachment : public Attachment {
 public:
  // How an attachment holds its content.
  enum class Kind { Data, Item, Reference };

  MapiAttachment(PropertyBag bag, std::int64_t position, Kind kind)
      : bag_(std::move(bag)), position_(position), kind_(kind) {}

  std::string FileName() const override;
  std::int64_t Size() const override;
  void SaveAsFile(const std::filesystem::path& path) const override;
  void SaveTo(std::ostream& out) const override;

  // Writes the attachment's content to OUT: the bytes of a by-value
  // attachment, or an attached item as an RFC 5322 message (DEPTH: how
  // deep that message sits in others). Throws OutlookError naming the
  // attachment.
  void WriteTo(std::ostream& out, int depth = 0) const;
  bool IsItem() const override { return kind_ == Kind::Item; }
  std::string MimeType() const override;
  std::string ContentId() const override;
  std::string ContentLocation() const override;
  bool IsHidden() const override;

 protected:
  // What names the attachment in errors: "attachment N (name)".
  std::string Describe() const;
  // The number of bytes of the by-value data.
  virtual std::int64_t DataSize() const = 0;
  // Writes the by-value data to OUT, streamed.
  virtual void WriteData(std::ostream& out) const = 0;
  // The attached item; throws OutlookError when it cannot be read.
  virtual const MapiItem& AttachedItem() const = 0;

  PropertyBag bag_;
  std::int64_t position_;
  Kind kind_;
};

// Checks that PATH names a file that can be a store: present, a regular
// file, not empty, starting with the PST signature. Returns its absolute
// name (UTF-8), with which errors name it. Throws OutlookError naming the
// file and what is wrong.
std::string CheckStoreFile(const std::filesystem::path& path);

// The store identifier of the store file at PATH: a short prefix and the
// hex of the UTF-8 absolute path (never holds "#").
std::string StoreIdForPath(const std::filesystem::path& path);
// The path named by store identifier ID, or nullopt when ID is not one.
std::optional<std::filesystem::path> PathForStoreId(const std::string& id);

// The message class a folder's items have, from its container class.
std::string DefaultMessageClassFor(const std::string& container_class);

// A folder entry identifier as text: eight hex digits of the node.
std::string FolderEntryId(std::uint32_t nid);

// The node identifier at the end of a store's entry identifier ENTRY_ID
// (4 bytes of flags, the 16-byte provider UID, then the 32-bit node
// identifier, little-endian), or nullopt when it is too short to hold one.
std::optional<std::uint32_t> NodeOfEntryId(const std::string& entry_id);

// The part of Item::SourceKey that names the store: RECORD_KEY (the bytes of
// the message store's PR_RECORD_KEY) in upper-case hex or, when it is empty,
// "file" and 16 hex digits of the 64-bit FNV-1a hash of PATH (the store
// file's absolute path, UTF-8).
std::string StoreKey(const std::string& record_key, const std::string& path);
// An item's source key: STORE_KEY, "-", the node NID in eight hex digits.
std::string ItemSourceKey(const std::string& store_key, std::uint32_t nid);
// The node named by folder entry identifier TEXT (blanks around ignored),
// or nullopt when it is not one.
std::optional<std::uint32_t> ParseFolderEntryId(const std::string& text);

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

}  // namespace norvexa::outlook::pff
