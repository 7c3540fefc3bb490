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
// to be released as soon as its step is done.
//
// The shared open store file. The store list, the folder tree and the
// conversion run each open the store in a session of their own; what was
// read stays in the open file's cache of pages and blocks, so the open file
// is shared across sessions. While any object of a file is alive, opening
// the same file again (the same path, unchanged on disk) gives that open
// file; and the most recently opened file stays open after its last object
// goes, until another file is opened or ReleaseCachedStores() is called. A
// caller may rely on this: a file changed or replaced on disk is opened
// anew (objects of the old one go on reading the old one); at most one file
// is kept open beyond its objects, holding under 10 MB whatever its size;
// and it is closed at the end of the process.
//
// Threads: the store access has no thread of its own; everything runs on the
// caller's thread, and its objects are for one thread at a time. The objects
// of one file share its cache, which is not locked, so two threads must not
// read the same file at once (the table of shared files itself is locked).
#pragma once

#include "platform/outlook/mapi_tags.h"

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace norvexa::outlook {

// Every failure of the store access.
class OutlookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A part of a store file that failed a check when something was read
// through it (a page or block whose CRC does not match, an index that had to
// be rebuilt), or a value that could not be read: where in the file, as a
// byte offset from its start, and what was found there. A value read
// through a damaged part is still given out when its own structure holds;
// its Damage() says so.
struct Damage {
  std::uint64_t offset = 0;
  std::string what;
  bool operator==(const Damage&) const = default;
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

  // Damage: what of the store file failed a check so far (its indexes
  // rebuilt by a scan of the file, index pages used despite a CRC that does
  // not match, the message store or its named-property map read in part),
  // in the order found. Grows as more of the file is read; empty for an
  // undamaged file. Never throws.
  virtual std::vector<outlook::Damage> Damage() const { return {}; }
};

// The store in the store file at PATH, on the shared open file (see the top
// of this file). Throws OutlookError naming the file and the reason when it
// is missing, not a store, or damaged beyond reading. Every way of opening a
// store comes here.
std::unique_ptr<Store> OpenStoreFile(const std::filesystem::path& path);

// Closes the store file kept open for the next session (see the top of this
// file) and gives back its cache. Files that objects still use stay open until
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

  // Damage: the damaged parts this folder was read through and what of it
  // could not be read (rows of its contents or hierarchy table lost, items
  // found without the table), as far as it has been read: GetItems(), the
  // items' Count() and Folders() add to it. Never throws.
  virtual std::vector<outlook::Damage> Damage() const { return {}; }
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
  FirstName,           // PR_GIVEN_NAME
  MiddleName,          // PR_MIDDLE_NAME
  LastName,            // PR_SURNAME
  Suffix,              // PR_GENERATION
  Title,               // PR_DISPLAY_NAME_PREFIX
  Email1,              // PidLidEmail1EmailAddress
  Email2,              // PidLidEmail2EmailAddress
  Email3,              // PidLidEmail3EmailAddress
  CompanyName,         // PR_COMPANY_NAME
  JobTitle,            // PR_TITLE
  BusinessStreet,      // PR_BUSINESS_ADDRESS_STREET
  BusinessCity,        // PR_BUSINESS_ADDRESS_CITY
  BusinessPostalCode,  // PR_BUSINESS_ADDRESS_POSTAL_CODE
  BusinessState,       // PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE
  BusinessCountry,     // PR_BUSINESS_ADDRESS_COUNTRY
  OfficeLocation,      // PR_OFFICE_LOCATION
  WebPage,             // PR_BUSINESS_HOME_PAGE
  Department,          // PR_DEPARTMENT_NAME
  ManagerName,         // PR_MANAGER_NAME
  AssistantName,       // PR_ASSISTANT
  BusinessPhone,       // PR_BUSINESS_TELEPHONE_NUMBER
  BusinessFax,         // PR_BUSINESS_FAX_NUMBER
  MobilePhone,         // PR_MOBILE_TELEPHONE_NUMBER
  Pager,               // PR_PAGER_TELEPHONE_NUMBER
  HomeStreet,          // PR_HOME_ADDRESS_STREET
  HomeCity,            // PR_HOME_ADDRESS_CITY
  HomePostalCode,      // PR_HOME_ADDRESS_POSTAL_CODE
  HomeState,           // PR_HOME_ADDRESS_STATE_OR_PROVINCE
  HomeCountry,         // PR_HOME_ADDRESS_COUNTRY
  Spouse,              // PR_SPOUSE_NAME
  Children,            // PR_CHILDRENS_NAMES, multi-valued, joined by ", "
  HomePhone,           // PR_HOME_TELEPHONE_NUMBER
  HomeFax,             // PR_HOME_FAX_NUMBER
};

// One recipient of an item, from its recipient table. For appointments To
// is a required attendee, Cc an optional one and Bcc a resource (a room or
// equipment), as Outlook stores them.
struct RecipientEntry {
  enum class Kind { To, Cc, Bcc };
  Kind kind = Kind::To;
  std::string name;     // PR_DISPLAY_NAME
  std::string address;  // PR_SMTP_ADDRESS, else PR_EMAIL_ADDRESS
};

// The follow-up flag of an item.
struct FollowUpFlag {
  // PR_FLAG_STATUS: 0 not flagged, 1 complete, 2 flagged.
  std::int64_t status = 0;
  std::string request;                 // PidLidFlagRequest ("Follow up", "Call", ...)
  std::optional<QDateTime> due;        // PidLidTaskDueDate, else PR_REPLY_TIME
  std::optional<QDateTime> completed;  // PR_FLAG_COMPLETE_TIME
};

// ---------------------------------------------------------------------------
// Item: one message of any kind. Text getters return "" when the item has no
// such value; they throw only when the value is there but cannot be read.
// ---------------------------------------------------------------------------
class Item {
 public:
  virtual ~Item() = default;

  virtual std::string MessageClass() const = 0;      // PR_MESSAGE_CLASS
  virtual std::string Subject() const = 0;           // PR_SUBJECT, marker dropped
  virtual std::string Body() const = 0;              // PR_BODY
  virtual std::string To() const = 0;                // PR_DISPLAY_TO
  virtual std::string CC() const = 0;                // PR_DISPLAY_CC
  virtual std::string BCC() const = 0;               // PR_DISPLAY_BCC
  virtual std::string SenderEmailAddress() const = 0;  // PR_SENDER_EMAIL_ADDRESS
  virtual std::string SenderName() const = 0;        // PR_SENDER_NAME
  virtual std::optional<std::int64_t> Importance() const = 0;  // PR_IMPORTANCE
  virtual std::string Categories() const = 0;        // PidNameKeywords, joined ", "
  virtual std::optional<QDateTime> CreationTime() const = 0;  // PR_CREATION_TIME
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
  virtual std::optional<QDateTime> Birthday() const = 0;     // PR_BIRTHDAY
  virtual std::optional<QDateTime> Anniversary() const = 0;  // PR_WEDDING_ANNIVERSARY

  // Distribution lists: the list's name and one text per member (its e-mail
  // address when it has one, else its display name), in member order.
  virtual std::string DLName() const = 0;
  virtual std::vector<std::string> Members() const = 0;

  // Formatted bodies. The HTML body (PR_HTML) as UTF-8, decoded in the code
  // page the item names for it (PR_INTERNET_CPID, else the item's code
  // page); "" when the item has none. The compressed RTF body
  // (PR_RTF_COMPRESSED) as stored, not decompressed; "" when absent.
  virtual std::string HtmlBody() const = 0;
  virtual std::string CompressedRtf() const = 0;

  // Internet mail: the message id (PR_INTERNET_MESSAGE_ID), the id it
  // replies to (PR_IN_REPLY_TO_ID), the ids of its thread
  // (PR_INTERNET_REFERENCES) and the header block it was received with
  // (PR_TRANSPORT_MESSAGE_HEADERS), each "" when absent.
  virtual std::string InternetMessageId() const = 0;
  virtual std::string InReplyTo() const = 0;
  virtual std::string InternetReferences() const = 0;
  virtual std::string TransportHeaders() const = 0;

  // PR_MESSAGE_FLAGS (MSGFLAG_READ, MSGFLAG_UNSENT, ...) and PR_SENSITIVITY
  // (0 normal, 1 personal, 2 private, 3 confidential).
  virtual std::optional<std::int64_t> MessageFlags() const = 0;
  virtual std::optional<std::int64_t> Sensitivity() const = 0;
  // PR_MESSAGE_DELIVERY_TIME and PR_CLIENT_SUBMIT_TIME, each on its own.
  virtual std::optional<QDateTime> ReceivedTime() const = 0;
  virtual std::optional<QDateTime> SubmitTime() const = 0;
  // Each category (PidNameKeywords) on its own, in stored order.
  virtual std::vector<std::string> CategoryList() const = 0;
  virtual FollowUpFlag FollowUp() const = 0;
  // The rows of the recipient table, in table order. Throws when the table
  // is damaged.
  virtual std::vector<RecipientEntry> RecipientList() const = 0;
  // The sender's SMTP address (PR_SENDER_SMTP_ADDRESS), else
  // PR_SENDER_EMAIL_ADDRESS.
  virtual std::string SenderSmtpAddress() const = 0;
  // Whom the item was sent for (the organiser of a meeting):
  // PR_SENT_REPRESENTING_NAME, and PR_SENT_REPRESENTING_SMTP_ADDRESS else
  // PR_SENT_REPRESENTING_EMAIL_ADDRESS.
  virtual std::string SentRepresentingName() const = 0;
  virtual std::string SentRepresentingAddress() const = 0;

  // Appointments: the recurrence blob (PidLidAppointmentRecur) as stored;
  // whether the item recurs (PidLidRecurring); its time zone as stored
  // (PidLidAppointmentTimeZoneDefinitionRecur, else ...StartDisplay; and
  // the older PidLidTimeZoneStruct with its description); an all-day event
  // (PidLidAppointmentSubType); the busy status (PidLidBusyStatus: 0 free,
  // 1 tentative, 2 busy, 3 out of office, 4 working elsewhere); the meeting
  // state (PidLidAppointmentStateFlags: 1 meeting, 2 received, 4 cancelled);
  // the reminder (PidLidReminderSet, PidLidReminderDelta in minutes before
  // the start).
  virtual std::string RecurrenceBlob() const = 0;
  virtual std::optional<bool> IsRecurring() const = 0;
  virtual std::string TimeZoneDefinition() const = 0;
  virtual std::string TimeZoneStruct() const = 0;
  virtual std::string TimeZoneDescription() const = 0;
  virtual std::optional<bool> AllDayEvent() const = 0;
  virtual std::optional<std::int64_t> BusyStatus() const = 0;
  virtual std::optional<std::int64_t> AppointmentStateFlags() const = 0;
  virtual std::optional<bool> ReminderSet() const = 0;
  virtual std::optional<std::int64_t> ReminderMinutesBefore() const = 0;

  // Tasks: PidLidTaskStatus (0 not started, 1 in progress, 2 complete,
  // 3 waiting, 4 deferred), PidLidPercentComplete (0.0 to 1.0),
  // PidLidTaskDateCompleted, PidLidTaskComplete, PidLidTaskOwner.
  virtual std::optional<std::int64_t> TaskStatus() const = 0;
  virtual std::optional<double> PercentComplete() const = 0;
  virtual std::optional<QDateTime> TaskDateCompleted() const = 0;
  virtual std::optional<bool> TaskComplete() const = 0;
  virtual std::string TaskOwner() const = 0;

  // The item's attachments. Throws when the attachment table is damaged;
  // the item's other values stay readable.
  virtual std::unique_ptr<Attachments> GetAttachments() const = 0;

  // The underlying MAPI message, for MapiUtils::HrGetOneProp.
  virtual const MapiObject& MAPIOBJECT() const = 0;

  // A key naming this item among all stores, the same every time the store
  // is read, by either reader: the message store's record key (PR_RECORD_KEY)
  // in upper-case hexadecimal, "-", and the item's node identifier
  // in eight upper-case hexadecimal digits, for example
  // "5D3B0C7A9E114F2B8C6D0E1F2A3B4C5D-00200024". A store without a record
  // key is named by its file instead: "file", 16 hexadecimal digits of a
  // hash of its absolute path, "-" and the node. An item attached to another
  // has no node of its own in the store and gives "". Never throws.
  virtual std::string SourceKey() const = 0;

  // Damage: the damaged parts of the file this item was read through (its
  // node entry, its properties, the values and attachments read so far),
  // the values and attachments that could not be read, and damage of the
  // store that every item's values depend on (the message store, the
  // named-property map). Empty for an item read whole from undamaged data.
  // Read it after the values: it grows as they are read. Never throws.
  virtual std::vector<outlook::Damage> Damage() const { return {}; }
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
  // PR_ATTACH_LONG_FILENAME, else PR_ATTACH_FILENAME, else PR_DISPLAY_NAME,
  // else "". Attached items end in ".eml" when their name has no extension
  // of that kind.
  virtual std::string FileName() const = 0;
  // Size in bytes of what SaveAsFile writes for a by-value attachment.
  virtual std::int64_t Size() const = 0;
  // True for an attached Outlook item, which SaveAsFile writes as an
  // RFC 5322 message; false for file data and links.
  virtual bool IsItem() const = 0;
  // The MIME type stored with the attachment (PR_ATTACH_MIME_TAG), the id
  // an HTML body refers to it by as "cid:ID" (PR_ATTACH_CONTENT_ID), and
  // its content location (PR_ATTACH_CONTENT_LOCATION); "" when absent.
  virtual std::string MimeType() const = 0;
  virtual std::string ContentId() const = 0;
  virtual std::string ContentLocation() const = 0;
  // True when the attachment is hidden from the attachment list
  // (PR_ATTACHMENT_HIDDEN): a picture shown inside the body.
  virtual bool IsHidden() const = 0;
  // Writes the attachment to PATH (replacing a file there): the bytes of a
  // by-value attachment exactly, streamed; an attached item as an RFC 5322
  // message. Throws OutlookError naming the attachment when it fails.
  virtual void SaveAsFile(const std::filesystem::path& path) const = 0;
  // Writes to OUT, streamed, the bytes SaveAsFile writes to a file. Throws
  // OutlookError naming the attachment when the store cannot give them or
  // OUT fails; what OUT took by then is only a part.
  virtual void SaveTo(std::ostream& out) const = 0;
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

// Property tags used by callers (identifier and type: see mapi_tags.h).
inline constexpr std::uint32_t PR_SENTMAIL_ENTRYID = mapi::Tag(mapi::PR_SENTMAIL_ENTRYID, mapi::PT_BINARY);
inline constexpr std::uint32_t PR_SENDER_NAME = mapi::Tag(mapi::PR_SENDER_NAME, mapi::PT_STRING8);

}  // namespace norvexa::outlook
