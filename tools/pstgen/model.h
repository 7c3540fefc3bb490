// The mailbox to write: store, folders and items with their values, in
// plain structures that the description reader, the synthetic generator and
// the sample mailbox fill in. Items of a folder come from a producer so that
// folders of any size stream through the writer.
#pragma once

#include "pst_format.h"
#include "recurrence_blob.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::pstgen {

struct Address {
  std::string name;
  std::string email;
  std::string type = "SMTP";  // "SMTP" or "EX"
};

struct Recipient : Address {
  int kind = 1;  // 1 To, 2 Cc, 3 Bcc
};

struct Item;

// Bytes of PatternBytes(seed, ...) stand for large attachments that a
// description or the generator does not spell out.
struct Attachment {
  std::optional<std::string> file_name;   // PR_ATTACH_LONG_FILENAME; absent: no name at all
  std::optional<std::string> short_name;  // PR_ATTACH_FILENAME; absent: derived from file_name
  std::string mime_type;
  std::string content_id;  // PR_ATTACH_CONTENT_ID: what an HTML body names it by ("cid:...")
  bool hidden = false;     // PR_ATTACHMENT_HIDDEN
  Bytes data;                     // the content, when given literally
  std::uint64_t pattern_size = 0; // else this many pattern bytes
  std::uint64_t pattern_seed = 0;
  bool use_pattern = false;
  std::shared_ptr<Item> message;  // an attached item (method 5)
};

struct Item {
  std::string message_class = "IPM.Note";
  std::string subject;
  std::string body;
  std::string html;
  int html_codepage = 65001;  // PR_INTERNET_CPID; the HTML is stored in it
  std::string rtf;            // RTF text, stored as PR_RTF_COMPRESSED
  std::string transport_headers, message_id, in_reply_to, references;
  std::optional<int> sensitivity;
  // The follow-up flag: PR_FLAG_STATUS, PidLidFlagRequest, the due date
  // (PidLidTaskDueDate) and completion time (PR_FLAG_COMPLETE_TIME).
  struct Flag {
    int status = 2;
    std::string request = "Follow up";
    std::optional<std::int64_t> due, completed;
  };
  std::optional<Flag> flag;
  std::optional<Address> sender;
  std::vector<Recipient> recipients;
  std::optional<std::int64_t> delivered, submitted, created, modified;  // Unix seconds, UTC
  std::optional<int> importance;
  std::vector<std::string> categories;
  bool sent = false;
  bool unread = false;
  // Appointments.
  std::optional<std::int64_t> start, end;
  std::string location;
  // Calendar values of appointments (read by ReadCalendar in
  // description.cpp, written by WriteCalendar in mailbox_writer.cpp).
  std::optional<RecurringSeries> recurrence;
  std::optional<ZoneRules> time_zone;
  std::optional<bool> all_day;          // PidLidAppointmentSubType
  std::optional<int> busy;              // PidLidBusyStatus: 0 free, 1 tentative, 2 busy, 3 away, 4 elsewhere
  std::optional<int> reminder_minutes;  // PidLidReminderDelta, with PidLidReminderSet
  // Tasks.
  std::optional<std::int64_t> due, task_start, reminder;
  std::optional<int> task_status;            // PidLidTaskStatus
  std::optional<double> percent_complete;    // PidLidPercentComplete, 0.0 to 1.0
  std::optional<std::int64_t> date_completed;  // PidLidTaskDateCompleted
  std::string owner;                         // PidLidTaskOwner
  // Contacts: field name (see ContactFieldTag) -> text; children apart.
  std::map<std::string, std::string> contact;
  std::vector<std::string> children;
  std::optional<std::int64_t> birthday, anniversary;
  std::string display_name;  // PR_DISPLAY_NAME of contacts and distribution lists
  // Distribution lists.
  std::vector<Address> members;
  std::vector<Attachment> attachments;
  // Store the attachment table as some Outlook 2000 files appear to: the
  // top block of its heap's data tree under a data block's id (see TreeTop).
  // The table must span more than one block.
  bool legacy_attachment_table = false;
};

// Calls SINK once per item, in order.
using ItemProducer = std::function<void(const std::function<void(const Item&)>& sink)>;

struct FolderSpec {
  std::string name;
  std::optional<std::string> container_class;  // absent: no PR_CONTAINER_CLASS
  std::string role;  // "", "sent" (target of PR_SENTMAIL_ENTRYID) or "deleted"
  ItemProducer items;
  std::vector<FolderSpec> children;
  std::optional<std::string> message_class = {};  // PR_MESSAGE_CLASS on the folder itself, as some stores have
};

struct MailboxSpec {
  std::string store_name = "Personal Folders";
  FileFormat format = FileFormat::Unicode;
  Encoding encoding = Encoding::None;
  bool compress = false;  // deflate data blocks (4 KB-page Unicode files only)
  int codepage = 1252;  // of the 8-bit texts of ANSI files
  std::vector<FolderSpec> folders;
};

// The pattern bytes of attachments given by size: deterministic in SEED,
// byte at OFFSET, SIZE of them into OUT.
void PatternBytes(std::uint64_t seed, std::uint64_t offset, std::size_t size, std::uint8_t* out);

// An attachment NAME of SIZE pattern bytes from SEED.
Attachment PatternAttachment(const std::string& name, std::uint64_t size, std::uint64_t seed);

// The property id of a contact field by its name ("FirstName", "Email1"...);
// 0 for an unknown name. Named fields (Email1..3) return their numbers in
// PSETID_Address (mapi::PidLidEmail1EmailAddress...).
std::uint16_t ContactFieldTag(const std::string& name);

// Every contact field name, in the order of the store access's table.
const std::vector<std::string>& ContactFieldNames();

}  // namespace norvexa::pstgen
