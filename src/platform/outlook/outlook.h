// Outlook store access: the session, store list, stores, folders, items and
// attachments that the rest of Norvexa reads mailboxes through.
//
// Store files (.pst and .ost: 32-bit ANSI, 64-bit Unicode, and the 4 KB-page
// form of newer OST files; unencoded, permutation- or cyclic-encoded) are
// read by Norvexa's own reader, read-only, on demand and through a cache of
// bounded size: opening a file costs the same whatever its number of items,
// and reading it holds no more memory for a large file than for a small one.
// Nothing here ever writes to a store file. Every failure is an OutlookError thrown at the
// call, with a message naming the file and what failed. Texts are UTF-8.
// Dates are local date-times (PST times are UTC and are converted on the way
// out); a date the item does not carry is std::nullopt, never a made-up date.
//
// Lifetimes: every object may outlive the object it came from (the store file
// stays open as long as any object of that store is alive), but each is meant
// to be released as soon as its step is done. The most recently opened store
// file also stays open after its last object goes, until another file is
// opened or ReleaseCachedStores() is called.
#pragma once

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace norvexa::outlook {

// Every failure of the store access.
class OutlookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Store;
class Folder;
class Items;
class Item;
class Attachments;
class Attachment;
class MapiObject;

// ---------------------------------------------------------------------------
// Session: log-on to the default profile and the profile's store list.
//
// A profile is a UTF-8 text file listing store files, one absolute path per
// line (blank lines ignored). The default profile is the file named by
// $NORVEXA_MAPI_PROFILE when set, else ~/.config/norvexa/mapi-profile.
// ---------------------------------------------------------------------------
class StoreList;

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Logs on to the default profile. Throws OutlookError when there is no
  // profile file or it cannot be read (Outlook is not configured).
  void Logon();

  // Logs on to the profile file at PATH (same rules as the default one).
  void LogonProfile(const std::filesystem::path& path);

  // True between a successful log-on and Logoff().
  bool LoggedOn() const;

  // The store list of the profile. Throws when not logged on.
  StoreList& Stores();

  // Opens the store whose StoreID() is ID. Works for any store identifier
  // handed out by any session, also for .pst files opened with AddPSTStore
  // that the profile does not list. Throws when not logged on, when ID is
  // not an identifier, or when the store cannot be opened.
  std::unique_ptr<Store> GetStoreFromID(const std::string& id);

  // Ends the log-on. Safe to call twice.
  void Logoff();

 private:
  std::unique_ptr<StoreList> stores_;
};

// The stores of a profile, in the profile's order.
class StoreList {
 public:
  explicit StoreList(std::vector<std::filesystem::path> files);

  // Number of stores listed in the profile.
  std::size_t Count() const;

  // Store at POSITION, counted from 1. A listed file that cannot be opened
  // still gives a Store: its OfferText() is empty and reading its folders
  // throws. Throws OutlookError for a position out of range.
  std::unique_ptr<Store> Item(std::size_t position) const;

  // The store with identifier ID (leading and trailing blanks ignored).
  std::unique_ptr<Store> GetStoreFromID(const std::string& id) const;

  // Opens the personal-folders file at PATH (leading and trailing blanks
  // ignored) as a store, without adding it to the profile file. Throws when
  // it is missing or not a readable store.
  std::unique_ptr<Store> AddPSTStore(const std::string& path) const;

 private:
  std::vector<std::filesystem::path> files_;
};

// ---------------------------------------------------------------------------
// Store
// ---------------------------------------------------------------------------
class Store {
 public:
  virtual ~Store() = default;

  // PR_DISPLAY_NAME of the message store; the file name without extension
  // when absent.
  virtual std::string DisplayName() const = 0;

  // Identifier from which any session reopens this store; never holds "#".
  virtual std::string StoreID() const = 0;

  // The store file's absolute path when the store could be opened, else "".
  virtual std::string OfferText() const = 0;

  // Absolute path of the store file.
  virtual std::string PstPath() const = 0;

  // The top folder of the visible hierarchy (the IPM subtree).
  virtual std::unique_ptr<Folder> IPMRootFolder() const = 0;

  // The folder whose EntryID() is ENTRY_ID. Throws when there is none.
  virtual std::unique_ptr<Folder> GetFolderFromID(const std::string& entry_id) const = 0;
};

// Opens the store file at PATH directly. Throws OutlookError naming the file
// and the reason when it is missing, not a store, or damaged beyond reading.
// Every way of opening a store comes here. The open file is shared across
// sessions: while any object uses a file, opening the same file again
// (same path, unchanged on disk) reuses it, and the most recently opened
// file stays open after its last object goes, so that the next session on
// it does not read it again. A file changed or replaced on disk is opened
// anew.
std::unique_ptr<Store> OpenStoreFile(const std::filesystem::path& path);

// Closes the store file kept open for the next session (see OpenStoreFile)
// and gives back its cache. Files that objects still use stay open until
// those objects go.
void ReleaseCachedStores();

// ---------------------------------------------------------------------------
// Folder
// ---------------------------------------------------------------------------
class Folder {
 public:
  virtual ~Folder() = default;

  virtual std::string Name() const = 0;

  // The kind of item the folder holds, from its container class: class-less,
  // IPF.Note, IPF.Note.* and IPF.Imap give "IPM.Note"; IPF.Appointment* gives
  // "IPM.Appointment", IPF.Contact* "IPM.Contact", IPF.Task* "IPM.Task",
  // IPF.Journal* "IPM.Journal", IPF.StickyNote* "IPM.StickyNote"; any other
  // IPF.X gives IPM.X.
  virtual std::string DefaultMessageClass() const = 0;

  // The raw container class (PR_CONTAINER_CLASS), "" when absent.
  virtual std::string ContainerClass() const = 0;

  // Identifier of the folder inside its store; never holds "#".
  virtual std::string EntryID() const = 0;

  // "\\" + store display name + "\" + each folder name from below the IPM
  // subtree down; the top folder's path is "\\" + store display name.
  virtual std::string FolderPath() const = 0;

  // The folder's items (not its associated contents).
  virtual std::unique_ptr<Items> GetItems() const = 0;

  // The sub-folders, in the store's order.
  virtual std::vector<std::unique_ptr<Folder>> Folders() const = 0;
};

// ---------------------------------------------------------------------------
// Items: the contents of one folder. Items are read one at a time.
// ---------------------------------------------------------------------------
class Items {
 public:
  virtual ~Items() = default;
  virtual std::int64_t Count() const = 0;
  // Item at POSITION, counted from 1; throws when out of range or unreadable.
  virtual std::unique_ptr<Item> GetItem(std::int64_t position) const = 0;
};

// Contact fields that the person writer needs (all text).
enum class ContactField {
  FirstName,           // 0x3A06
  MiddleName,          // 0x3A44
  LastName,            // 0x3A11
  Suffix,              // 0x3A05
  Title,               // 0x3A45 (name prefix)
  Email1,              // PSETID_Address 0x8083
  Email2,              // PSETID_Address 0x8093
  Email3,              // PSETID_Address 0x80A3
  CompanyName,         // 0x3A16
  JobTitle,            // 0x3A17
  BusinessStreet,      // 0x3A29
  BusinessCity,        // 0x3A27
  BusinessPostalCode,  // 0x3A2A
  BusinessState,       // 0x3A28
  BusinessCountry,     // 0x3A26
  OfficeLocation,      // 0x3A19
  WebPage,             // 0x3A51
  Department,          // 0x3A18
  ManagerName,         // 0x3A4E
  AssistantName,       // 0x3A30
  BusinessPhone,       // 0x3A08
  BusinessFax,         // 0x3A24
  MobilePhone,         // 0x3A1C
  Pager,               // 0x3A21
  HomeStreet,          // 0x3A5D
  HomeCity,            // 0x3A59
  HomePostalCode,      // 0x3A5B
  HomeState,           // 0x3A5C
  HomeCountry,         // 0x3A5A
  Spouse,              // 0x3A48
  Children,            // 0x3A58, multi-valued, joined by ", "
  HomePhone,           // 0x3A09
  HomeFax,             // 0x3A25
};

// ---------------------------------------------------------------------------
// Item: one message of any kind. Text getters return "" when the item has no
// such value; they throw only when the value is there but cannot be read.
// ---------------------------------------------------------------------------
class Item {
 public:
  virtual ~Item() = default;

  virtual std::string MessageClass() const = 0;      // 0x001A
  virtual std::string Subject() const = 0;           // 0x0037, marker dropped
  virtual std::string Body() const = 0;              // 0x1000
  virtual std::string To() const = 0;                // 0x0E04
  virtual std::string CC() const = 0;                // 0x0E03
  virtual std::string BCC() const = 0;               // 0x0E02
  virtual std::string SenderEmailAddress() const = 0;  // 0x0C1F
  virtual std::string SenderName() const = 0;        // 0x0C1A
  virtual std::optional<std::int64_t> Importance() const = 0;  // 0x0017
  virtual std::string Categories() const = 0;        // Keywords, joined ", "
  virtual std::optional<QDateTime> CreationTime() const = 0;  // 0x3007
  // Delivery time, else submit time, else creation time.
  virtual std::optional<QDateTime> MessageDate() const = 0;

  // Appointments.
  virtual std::optional<QDateTime> Start() const = 0;
  virtual std::optional<QDateTime> End() const = 0;
  virtual std::string Location() const = 0;

  // Tasks.
  virtual std::optional<QDateTime> DueDate() const = 0;
  virtual std::optional<QDateTime> StartDate() const = 0;
  virtual std::optional<QDateTime> ReminderTime() const = 0;

  // Contacts.
  virtual std::string Contact(ContactField field) const = 0;
  virtual std::optional<QDateTime> Birthday() const = 0;     // 0x3A42
  virtual std::optional<QDateTime> Anniversary() const = 0;  // 0x3A41

  // Distribution lists: the list's name and one text per member (its e-mail
  // address when it has one, else its display name), in member order.
  virtual std::string DLName() const = 0;
  virtual std::vector<std::string> Members() const = 0;

  // The item's attachments. Throws when the attachment table is damaged;
  // the item's other values stay readable.
  virtual std::unique_ptr<Attachments> GetAttachments() const = 0;

  // The underlying MAPI message, for MapiUtils::HrGetOneProp.
  virtual const MapiObject& MAPIOBJECT() const = 0;

  // A key naming this item among all stores, the same every time the store
  // is read, by either reader: the message store's record key (PR_RECORD_KEY,
  // 0x0FF9) in upper-case hexadecimal, "-", and the item's node identifier
  // in eight upper-case hexadecimal digits, for example
  // "5D3B0C7A9E114F2B8C6D0E1F2A3B4C5D-00200024". A store without a record
  // key is named by its file instead: "file", 16 hexadecimal digits of a
  // hash of its absolute path, "-" and the node. An item attached to another
  // has no node of its own in the store and gives "". Never throws.
  virtual std::string SourceKey() const = 0;
};

class Attachments {
 public:
  virtual ~Attachments() = default;
  virtual std::int64_t Count() const = 0;
  // Attachment at POSITION, counted from 1.
  virtual std::unique_ptr<Attachment> GetAttachment(std::int64_t position) const = 0;
};

class Attachment {
 public:
  virtual ~Attachment() = default;
  // 0x3707, else 0x3704, else 0x3001, else "". Attached items end in ".eml"
  // when their name has no extension of that kind.
  virtual std::string FileName() const = 0;
  // Size in bytes of what SaveAsFile writes for a by-value attachment.
  virtual std::int64_t Size() const = 0;
  // True for an attached Outlook item, which SaveAsFile writes as an
  // RFC 5322 message; false for file data and links.
  virtual bool IsItem() const = 0;
  // Writes the attachment to PATH (replacing a file there): the bytes of a
  // by-value attachment exactly, streamed; an attached item as an RFC 5322
  // message. Throws OutlookError naming the attachment when it fails.
  virtual void SaveAsFile(const std::filesystem::path& path) const = 0;
};

// ---------------------------------------------------------------------------
// Property values and the property utility.
// ---------------------------------------------------------------------------
struct PropValue {
  enum class Kind { Empty, Text, Integer, Boolean, DateTime, Binary };
  Kind kind = Kind::Empty;
  std::string text;       // Text: UTF-8; Binary: the raw bytes
  std::int64_t integer = 0;
  bool boolean = false;
  QDateTime date_time;    // local time

  bool empty() const { return kind == Kind::Empty; }
};

// The raw message behind an item; property lookup by tag.
class MapiObject {
 public:
  virtual ~MapiObject() = default;
  // The value of property TAG (id in the high 16 bits, type in the low 16);
  // Empty when the message has no such property. A PT_STRING8 tag also finds
  // the PT_UNICODE form of the same property, and the reverse.
  virtual PropValue GetProp(std::uint32_t tag) const = 0;
};

class MapiUtils {
 public:
  // The value of property TAG of OBJECT, or an Empty value when absent.
  PropValue HrGetOneProp(const MapiObject& object, std::uint32_t tag) const;
};

// Property tags used by callers.
inline constexpr std::uint32_t PR_SENTMAIL_ENTRYID = 0x0E0A0102;
inline constexpr std::uint32_t PR_SENDER_NAME = 0x0C1A001E;

}  // namespace norvexa::outlook
