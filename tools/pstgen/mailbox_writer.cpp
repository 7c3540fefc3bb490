// The messaging layer of the PST writer.
#include "mailbox_writer.h"

#include "codepage.h"
#include "ltp_writer.h"
#include "named_props.h"
#include "rtf_compress.h"

#include <QDateTime>

#include <algorithm>
#include <cctype>
#include <map>

namespace norvexa::pstgen {
namespace {

// MAPI's names for the properties written (mapi_tags.h).
using namespace outlook::mapi;

// Well-known node ids.
constexpr std::uint32_t kNidMessageStore = 0x21;
constexpr std::uint32_t kNidNameToIdMap = 0x61;
constexpr std::uint32_t kNidRootFolder = 0x122;
constexpr std::uint32_t kNidSearchManagementQueue = 0x1E1;
constexpr std::uint32_t kNidSearchActivityList = 0x201;
constexpr std::uint32_t kNidSearchDomainObject = 0x261;
constexpr std::uint32_t kNidHierarchyTemplate = 0x60D;
constexpr std::uint32_t kNidContentsTemplate = 0x60E;
constexpr std::uint32_t kNidAssocContentsTemplate = 0x60F;
constexpr std::uint32_t kNidSearchContentsTemplate = 0x610;
constexpr std::uint32_t kNidAttachmentTable = 0x671;
constexpr std::uint32_t kNidRecipientTable = 0x692;

// Folder indexes: the first four after the reserved 0x400 are the IPM
// subtree, the search root, the deleted items and the spam search folder
// that a minimal PST holds.
constexpr std::uint32_t kIndexIpmSubtree = 0x401;
constexpr std::uint32_t kIndexSearchRoot = 0x402;
constexpr std::uint32_t kIndexDeletedItems = 0x403;
constexpr std::uint32_t kIndexSpamSearch = 0x404;

// Table columns: at least those of the format's table templates. Text
// columns are given as PT_UNICODE; TextValues::Columns gives them the
// file's string type.
const std::vector<std::uint32_t> kHierarchyColumns = {
    Tag(PidTagReplItemid, PT_LONG),       Tag(PidTagReplChangenum, PT_I8),  Tag(PidTagReplVersionhistory, PT_BINARY),
    Tag(PidTagReplFlags, PT_LONG),        Tag(PR_DISPLAY_NAME, PT_UNICODE), Tag(PR_CONTENT_COUNT, PT_LONG),
    Tag(PR_CONTENT_UNREAD, PT_LONG),      Tag(PR_SUBFOLDERS, PT_BOOLEAN),   Tag(PR_CONTAINER_CLASS, PT_UNICODE),
    Tag(PidTagPstHiddenCount, PT_LONG),   Tag(PidTagPstHiddenUnread, PT_LONG)};
const std::vector<std::uint32_t> kContentsColumns = {
    Tag(PR_IMPORTANCE, PT_LONG),
    Tag(PR_MESSAGE_CLASS, PT_UNICODE),
    Tag(PR_SENSITIVITY, PT_LONG),
    Tag(PR_SUBJECT, PT_UNICODE),
    Tag(PR_CLIENT_SUBMIT_TIME, PT_SYSTIME),
    Tag(PR_SENT_REPRESENTING_NAME, PT_UNICODE),
    Tag(PR_MESSAGE_TO_ME, PT_BOOLEAN),
    Tag(PR_MESSAGE_CC_ME, PT_BOOLEAN),
    Tag(PR_CONVERSATION_TOPIC, PT_UNICODE),
    Tag(PR_CONVERSATION_INDEX, PT_BINARY),
    Tag(PR_DISPLAY_CC, PT_UNICODE),
    Tag(PR_DISPLAY_TO, PT_UNICODE),
    Tag(PR_MESSAGE_DELIVERY_TIME, PT_SYSTIME),
    Tag(PR_MESSAGE_FLAGS, PT_LONG),
    Tag(PR_MESSAGE_SIZE, PT_LONG),
    Tag(PR_MESSAGE_STATUS, PT_LONG),
    Tag(PidTagReplItemid, PT_LONG),
    Tag(PidTagReplChangenum, PT_I8),
    Tag(PidTagReplVersionhistory, PT_BINARY),
    Tag(PidTagReplFlags, PT_LONG),
    Tag(PidTagReplCopiedfromVersionhistory, PT_BINARY),
    Tag(PidTagReplCopiedfromItemid, PT_BINARY),
    Tag(PidTagItemTemporaryFlags, PT_LONG),
    Tag(PR_LAST_MODIFICATION_TIME, PT_SYSTIME),
    Tag(PidTagSecureSubmitFlags, PT_LONG)};
const std::vector<std::uint32_t> kAssocContentsColumns = {
    Tag(PR_MESSAGE_CLASS, PT_UNICODE), Tag(PR_MESSAGE_FLAGS, PT_LONG),   Tag(PR_MESSAGE_STATUS, PT_LONG),
    Tag(PR_DISPLAY_NAME, PT_UNICODE),  Tag(PR_LAST_MODIFICATION_TIME, PT_SYSTIME)};
const std::vector<std::uint32_t> kRecipientColumns = {
    Tag(PR_RECIPIENT_TYPE, PT_LONG),          Tag(PR_RESPONSIBILITY, PT_BOOLEAN),
    Tag(PR_RECORD_KEY, PT_BINARY),            Tag(PR_OBJECT_TYPE, PT_LONG),
    Tag(PR_ENTRYID, PT_BINARY),               Tag(PR_DISPLAY_NAME, PT_UNICODE),
    Tag(PR_ADDRTYPE, PT_UNICODE),             Tag(PR_EMAIL_ADDRESS, PT_UNICODE),
    Tag(PR_SEARCH_KEY, PT_BINARY),            Tag(PR_DISPLAY_TYPE, PT_LONG),
    Tag(PR_7BIT_DISPLAY_NAME, PT_UNICODE),    Tag(PR_SEND_RICH_INFO, PT_BOOLEAN),
    Tag(PidTagRecipientDisplayName, PT_UNICODE), Tag(PidTagRecipientFlags, PT_LONG)};
const std::vector<std::uint32_t> kAttachmentColumns = {
    Tag(PR_ATTACH_SIZE, PT_LONG), Tag(PR_ATTACH_FILENAME, PT_UNICODE), Tag(PR_ATTACH_METHOD, PT_LONG),
    Tag(PR_ATTACH_LONG_FILENAME, PT_UNICODE), Tag(PR_RENDERING_POSITION, PT_LONG)};

// A one-off entry id (display name, address type, address) as MAPI lays it
// out, with its strings in the file's string width.
Bytes OneOffEntryId(const Address& a, const TextValues& text) {
  Bytes b(4, 0);
  b.insert(b.end(), MAPI_ONE_OFF_UID.begin(), MAPI_ONE_OFF_UID.end());
  Append16(b, 0);  // version
  // Unicode or 8-bit strings; 0x1001 as Outlook writes them (no lookup).
  Append16(b, static_cast<std::uint16_t>((text.unicode() ? MAPI_ONE_OFF_UNICODE : 0) | 0x1001));
  for (const std::string* s : {&a.name, &a.type, &a.email}) {
    const Bytes t = text.Terminated(*s);
    b.insert(b.end(), t.begin(), t.end());
  }
  return b;
}

// PR_SEARCH_KEY of an address: "TYPE:ADDRESS" in capitals, NUL-terminated.
Bytes SearchKey(const Address& a) {
  std::string key = a.type + ":" + a.email;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Bytes b(key.begin(), key.end());
  b.push_back(0);
  return b;
}

// An 8.3 form of NAME for PR_ATTACH_FILENAME.
std::string ShortName(const std::string& name) {
  std::string base = name, ext;
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    base = name.substr(0, dot);
    ext = name.substr(dot + 1, 3);
  }
  std::string shorter;
  for (char c : base) {
    if (shorter.size() == 8) break;
    if (c != ' ' && c != '.') shorter += c;
  }
  if (base.size() > 8) shorter = shorter.substr(0, 6) + "~1";
  return ext.empty() ? shorter : shorter + "." + ext;
}

// The display names of the recipients of KIND (1 To, 2 Cc, 3 Bcc) joined
// by "; ", as PR_DISPLAY_TO/CC/BCC hold them.
std::string JoinNames(const std::vector<Recipient>& recipients, int kind) {
  std::string out;
  for (const Recipient& r : recipients)
    if (r.kind == kind) {
      if (!out.empty()) out += "; ";
      out += r.name.empty() ? r.email : r.name;
    }
  return out;
}

class Writer {
 public:
  // Creates the file at PATH for SPEC; throws PstWriteError when it cannot.
  Writer(const MailboxSpec& spec, const std::filesystem::path& path)
      : spec_(spec),
        text_(FormatOf(spec.format), spec.codepage),
        ndb_(path, FormatOf(spec.format), spec.encoding, spec.compress),
        hierarchy_columns_(text_.Columns(kHierarchyColumns)),
        contents_columns_(text_.Columns(kContentsColumns)),
        assoc_contents_columns_(text_.Columns(kAssocContentsColumns)),
        recipient_columns_(text_.Columns(kRecipientColumns)),
        attachment_columns_(text_.Columns(kAttachmentColumns)) {
    // The store's unique id: stable for a given store name, no clock.
    std::uint64_t h1 = 0xCBF29CE484222325ull, h2 = 0x84222325CBF29CE4ull;
    for (unsigned char c : spec.store_name) {
      h1 = (h1 ^ c) * 0x100000001B3ull;
      h2 = (h2 ^ c) * 0x100000001B3ull + 0x9E37;
    }
    Put64(uid_.data(), h1);
    Put64(uid_.data() + 8, h2);
    rgnid_.fill(0x400);
    rgnid_[kNidTypeSearchFolder] = 0x4000;
    rgnid_[kNidTypeNormalMessage] = 0x10000;
    rgnid_[0x08] = 0x8000;
    // Readers refuse a name-to-id map without entries; Outlook's own maps
    // always hold the common ones, so register those up front.
    names_.Id(PS_PUBLIC_STRINGS, PidNameKeywords);
    names_.Id(PSETID_Common, PidLidReminderSet);
    names_.Id(PSETID_Common, PidLidReminderTime);
  }

  // Writes the whole mailbox and finishes the file; returns its figures.
  WriteStats Run() {
    // The folder tree as stored: root -> IPM subtree (deleted items first),
    // search root and spam search folder.
    FolderSpec deleted{"Deleted Items", std::string("IPF.Note"), "deleted", nullptr, {}};
    std::vector<FolderSpec> user;
    for (const FolderSpec& f : spec_.folders) {
      if (f.role == "deleted") {
        deleted = f;
        if (deleted.name.empty()) deleted.name = "Deleted Items";
      } else {
        user.push_back(f);
      }
    }
    FolderSpec ipm{"Top of Personal Folders", std::nullopt, "", nullptr, {}};
    ipm.children.push_back(deleted);
    for (FolderSpec& f : user) ipm.children.push_back(std::move(f));
    FolderSpec search{"Search Root", std::nullopt, "", nullptr, {}};
    FolderSpec spam{"SPAM Search Folder 2", std::nullopt, "", nullptr, {}};
    FolderSpec root{"", std::nullopt, "", nullptr, {}};
    root.children.push_back(std::move(ipm));
    root.children.push_back(std::move(search));
    root.children.push_back(std::move(spam));

    // Folder ids first: sent mail refers to the sent-items folder by id.
    folder_index_[&root] = kNidRootFolder >> 5;
    folder_index_[&root.children[0]] = kIndexIpmSubtree;
    folder_index_[&root.children[1]] = kIndexSearchRoot;
    folder_index_[&root.children[2]] = kIndexSpamSearch;
    folder_index_[&root.children[0].children[0]] = kIndexDeletedItems;
    rgnid_[kNidTypeNormalFolder] = kIndexSpamSearch;
    AssignIds(root);

    WriteFolder(root, kNidRootFolder);
    WriteTemplates();
    WriteStore();
    ndb_.AddNode(NodeEntry{kNidSearchManagementQueue, 0, 0, 0});
    ndb_.AddNode(NodeEntry{kNidSearchActivityList, 0, 0, 0});
    ndb_.AddNode(NodeEntry{kNidSearchDomainObject, 0, 0, 0});
    {
      Subnodes subs;
      const std::uint64_t bid = WritePropertyContext(ndb_, names_.MapProperties(), subs);
      ndb_.AddNode(NodeEntry{kNidNameToIdMap, bid, subs.Write(ndb_), 0});
    }
    ndb_.Finish(rgnid_);
    stats_.file_bytes = ndb_.Size();
    return stats_;
  }

 private:
  // Gives every folder below FOLDER its node index (depth first, in order)
  // and notes the folder of role "sent".
  void AssignIds(const FolderSpec& folder) {
    for (const FolderSpec& child : folder.children) {
      if (!folder_index_.count(&child)) folder_index_[&child] = ++rgnid_[kNidTypeNormalFolder];
      if (child.role == "sent" && !sent_nid_) sent_nid_ = MakeNid(kNidTypeNormalFolder, folder_index_[&child]);
      AssignIds(child);
    }
  }

  // The entry id of node NID in this store: flags, store uid, node id.
  Bytes EntryId(std::uint32_t nid) const {
    Bytes b(4, 0);
    b.insert(b.end(), uid_.begin(), uid_.end());
    Append32(b, nid);
    return b;
  }

  // Writes FOLDER (its items, sub-folders, tables and properties) as node
  // NID under PARENT; returns its row for the parent's hierarchy table.
  PropMap WriteFolder(const FolderSpec& folder, std::uint32_t parent) {
    const std::uint32_t index = folder_index_.at(&folder);
    const std::uint32_t nid = index == (kNidRootFolder >> 5) ? kNidRootFolder : MakeNid(kNidTypeNormalFolder, index);
    ++stats_.folders;

    std::int32_t count = 0, unread = 0;
    {
      Subnodes subs;
      TableWriter contents(ndb_, contents_columns_, subs);
      if (folder.items) {
        folder.items([&](const Item& item) {
          const std::uint32_t msg = MakeNid(kNidTypeNormalMessage, ++rgnid_[kNidTypeNormalMessage]);
          PropMap props;
          Subnodes msg_subs;
          const std::uint64_t bid = WriteMessage(item, nid, props, msg_subs);
          ndb_.AddNode(NodeEntry{msg, bid, msg_subs.Write(ndb_), nid});
          contents.AddRow(msg, props);
          ++count;
          if (item.unread) ++unread;
          ++stats_.items;
        });
      }
      const std::uint64_t bid = contents.Finish();
      ndb_.AddNode(NodeEntry{MakeNid(kNidTypeContentsTable, index), bid, subs.Write(ndb_), 0});
    }
    {
      Subnodes subs;
      TableWriter hierarchy(ndb_, hierarchy_columns_, subs);
      for (const FolderSpec& child : folder.children) {
        const PropMap row = WriteFolder(child, nid);
        hierarchy.AddRow(MakeNid(kNidTypeNormalFolder, folder_index_.at(&child)), row);
      }
      const std::uint64_t bid = hierarchy.Finish();
      ndb_.AddNode(NodeEntry{MakeNid(kNidTypeHierarchyTable, index), bid, subs.Write(ndb_), 0});
    }
    {
      Subnodes subs;
      TableWriter assoc(ndb_, assoc_contents_columns_, subs);
      const std::uint64_t bid = assoc.Finish();
      ndb_.AddNode(NodeEntry{MakeNid(kNidTypeAssocContentsTable, index), bid, subs.Write(ndb_), 0});
    }
    PropMap props;
    if (nid != kNidRootFolder || !folder.name.empty()) props[PR_DISPLAY_NAME] = text_.Text(folder.name);
    props[PR_CONTENT_COUNT] = PropValue::Int32(count);
    props[PR_CONTENT_UNREAD] = PropValue::Int32(unread);
    props[PR_SUBFOLDERS] = PropValue::Boolean(!folder.children.empty());
    if (folder.container_class) props[PR_CONTAINER_CLASS] = text_.Text(*folder.container_class);
    if (folder.message_class) props[PR_MESSAGE_CLASS] = text_.Text(*folder.message_class);
    Subnodes subs;
    const std::uint64_t bid = WritePropertyContext(ndb_, props, subs);
    ndb_.AddNode(NodeEntry{nid, bid, subs.Write(ndb_), parent});
    return props;
  }

  // Writes the recipient table, attachments and properties of ITEM into
  // SUBS and a property context; PROPS receives the message's properties
  // (for its contents-table row). Returns the property context's block id.
  // Throws PstWriteError for an item the format cannot hold. The values are
  // put in a fixed order: named properties get their ids in the order they
  // are first met, so the same mailbox always gives the same file.
  std::uint64_t WriteMessage(const Item& item, std::uint32_t folder_nid, PropMap& props, Subnodes& subs) {
    WriteRecipientTable(item, subs);
    const std::uint64_t attachment_bytes = WriteAttachments(item, folder_nid, subs);
    PutMailValues(item, folder_nid, props);
    PutScheduleValues(item, props);
    PutContactValues(item, props);
    text_.AddCodepage(props);
    // PR_MESSAGE_SIZE: an estimate of the message with its attachments.
    std::uint64_t size = 256 + attachment_bytes;
    for (const auto& [id, v] : props) size += v.data.size();
    props[PR_MESSAGE_SIZE] = PropValue::Int32(static_cast<std::int32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)));
    return WritePropertyContext(ndb_, props, subs);
  }

  // Writes the recipient table of ITEM (a row per recipient, possibly none)
  // into SUBS.
  void WriteRecipientTable(const Item& item, Subnodes& subs) {
    Subnodes table_subs;
    TableWriter table(ndb_, recipient_columns_, table_subs);
    std::uint32_t row = 0;
    for (const Recipient& r : item.recipients) {
      PropMap rp;
      rp[PR_RECIPIENT_TYPE] = PropValue::Int32(r.kind);
      rp[PR_RESPONSIBILITY] = PropValue::Boolean(false);
      rp[PR_OBJECT_TYPE] = PropValue::Int32(MAPI_MAILUSER);
      rp[PR_ENTRYID] = PropValue::Binary(OneOffEntryId(r, text_));
      rp[PR_DISPLAY_NAME] = text_.Text(r.name);
      rp[PR_ADDRTYPE] = text_.Text(r.type);
      rp[PR_EMAIL_ADDRESS] = text_.Text(r.email);
      rp[PR_SEARCH_KEY] = PropValue::Binary(SearchKey(r));
      rp[PR_DISPLAY_TYPE] = PropValue::Int32(0);
      rp[PR_7BIT_DISPLAY_NAME] = text_.Text(r.name);
      rp[PR_SEND_RICH_INFO] = PropValue::Boolean(false);
      rp[PidTagRecipientDisplayName] = text_.Text(r.name);
      rp[PidTagRecipientFlags] = PropValue::Int32(1);
      table.AddRow(row++, rp);
    }
    const std::uint64_t bid = table.Finish();
    subs.Add(SubnodeEntry{kNidRecipientTable, bid, table_subs.Write(ndb_)});
  }

  // Writes the attachments of ITEM and their table into SUBS (nothing for
  // an item without attachments); returns the bytes of their contents.
  // Throws PstWriteError when ITEM asks for the older table shape and its
  // attachments cannot give it.
  std::uint64_t WriteAttachments(const Item& item, std::uint32_t folder_nid, Subnodes& subs) {
    if (item.legacy_attachment_table && item.attachments.empty())
      throw PstWriteError("item \"" + item.subject + "\": \"legacy_attachment_table\" without attachments");
    if (item.attachments.empty()) return 0;
    Subnodes table_subs;
    TableWriter table(ndb_, attachment_columns_, table_subs);
    std::uint64_t bytes = 0;
    std::int32_t number = 0;
    for (const Attachment& a : item.attachments) bytes += WriteAttachment(a, number++, folder_nid, subs, table);
    const std::uint64_t bid = table.Finish(item.legacy_attachment_table ? TreeTop::DataBlock : TreeTop::Internal);
    if (item.legacy_attachment_table && table.heap_blocks() < 2)
      throw PstWriteError("item \"" + item.subject + "\": \"legacy_attachment_table\" needs an attachment table " +
                          "larger than one block, and its " + std::to_string(item.attachments.size()) +
                          " attachments make a smaller one; give it more");
    subs.Add(SubnodeEntry{kNidAttachmentTable, bid, table_subs.Write(ndb_)});
    return bytes;
  }

  // Writes attachment A, number NUMBER of a message of folder FOLDER_NID,
  // as a subnode of SUBS and its row into TABLE; returns its content's
  // size.
  std::uint64_t WriteAttachment(const Attachment& a, std::int32_t number, std::uint32_t folder_nid, Subnodes& subs,
                                TableWriter& table) {
    const std::uint32_t nid = subs.NewNid(kNidTypeAttachment);
    Subnodes att_subs;
    PropMap ap;
    ap[PR_ATTACH_NUM] = PropValue::Int32(number);
    ap[PR_RENDERING_POSITION] = PropValue::Int32(-1);
    if (a.file_name) {
      ap[PR_ATTACH_LONG_FILENAME] = text_.Text(*a.file_name);
      ap[PR_ATTACH_FILENAME] = text_.Text(a.short_name ? *a.short_name : ShortName(*a.file_name));
      ap[PR_DISPLAY_NAME] = text_.Text(*a.file_name);
    } else if (a.short_name) {
      ap[PR_ATTACH_FILENAME] = text_.Text(*a.short_name);
    }
    if (!a.mime_type.empty()) ap[PR_ATTACH_MIME_TAG] = text_.Text(a.mime_type);
    if (!a.content_id.empty()) ap[PR_ATTACH_CONTENT_ID] = text_.Text(a.content_id);
    if (a.hidden) ap[PR_ATTACHMENT_HIDDEN] = PropValue::Boolean(true);
    const std::uint64_t size = a.message ? PutEmbeddedMessage(a, folder_nid, att_subs, ap) : PutAttachedData(a, ap);
    ap[PR_ATTACH_SIZE] = PropValue::Int32(static_cast<std::int32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)));
    const std::uint64_t bid = WritePropertyContext(ndb_, ap, att_subs);
    subs.Add(SubnodeEntry{nid, bid, att_subs.Write(ndb_)});
    table.AddRow(nid, ap);
    ++stats_.attachments;
    return size;
  }

  // Writes the message attached as A (A.message) into ATT_SUBS and points
  // the attachment's values AP at it; returns the embedded message's size.
  std::uint64_t PutEmbeddedMessage(const Attachment& a, std::uint32_t folder_nid, Subnodes& att_subs, PropMap& ap) {
    PropMap embedded_props;
    Subnodes embedded_subs;
    const std::uint64_t bid = WriteMessage(*a.message, folder_nid, embedded_props, embedded_subs);
    const std::uint32_t embedded = att_subs.NewNid(kNidTypeNormalMessage);
    att_subs.Add(SubnodeEntry{embedded, bid, embedded_subs.Write(ndb_)});
    const auto size = static_cast<std::uint64_t>(Get32(embedded_props.at(PR_MESSAGE_SIZE).data.data()));
    ap[PR_ATTACH_DATA] = PropValue::Object(embedded, static_cast<std::uint32_t>(size));
    ap[PR_ATTACH_METHOD] = PropValue::Int32(ATTACH_EMBEDDED_MSG);
    if (!a.file_name) ap[PR_DISPLAY_NAME] = text_.Text(a.message->subject);
    return size;
  }

  // Puts the bytes of attachment A (given, or pattern bytes streamed block
  // by block so that a large one never sits in memory) into AP; returns
  // their size.
  static std::uint64_t PutAttachedData(const Attachment& a, PropMap& ap) {
    ap[PR_ATTACH_METHOD] = PropValue::Int32(ATTACH_BY_VALUE);
    if (!a.use_pattern) {
      ap[PR_ATTACH_DATA] = PropValue::Binary(a.data);
      return a.data.size();
    }
    const std::uint64_t size = a.pattern_size, seed = a.pattern_seed;
    ap[PR_ATTACH_DATA] = PropValue::Stream(size, [seed, size](DataStream& out) {
      std::vector<std::uint8_t> chunk(kMaxBlockSize);
      for (std::uint64_t done = 0; done < size;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - done));
        PatternBytes(seed, done, n, chunk.data());
        out.Write(chunk.data(), n);
        done += n;
      }
    });
    return size;
  }

  // Puts the mail values of ITEM, a message of folder FOLDER_NID, into P:
  // class, subject, flags, bodies, Internet details, times, sender,
  // recipients' names, the sent-mail link and categories.
  void PutMailValues(const Item& item, std::uint32_t folder_nid, PropMap& p) {
    p[PR_MESSAGE_CLASS] = text_.Text(item.message_class);
    if (!item.subject.empty()) {
      p[PR_SUBJECT] = text_.Text(item.subject);
      p[PR_CONVERSATION_TOPIC] = text_.Text(item.subject);
    }
    p[PR_IMPORTANCE] = PropValue::Int32(item.importance.value_or(1));
    p[PR_SENSITIVITY] = PropValue::Int32(item.sensitivity.value_or(0));
    std::int32_t flags = item.unread ? 0 : MSGFLAG_READ;
    if (!item.attachments.empty()) flags |= MSGFLAG_HASATTACH;
    if (item.sent) flags |= MSGFLAG_FROMME;
    p[PR_MESSAGE_FLAGS] = PropValue::Int32(flags);
    p[PR_MESSAGE_STATUS] = PropValue::Int32(0);
    if (!item.body.empty()) p[PR_BODY] = text_.Text(item.body);
    if (!item.html.empty()) {
      p[PR_HTML] = PropValue::Binary(HtmlBytes(item));
      p[PR_INTERNET_CPID] = PropValue::Int32(item.html_codepage);
    }
    WriteMailDetails(item, p);
    if (item.created) p[PR_CREATION_TIME] = PropValue::Time(FileTimeFromUnix(*item.created));
    if (item.modified || item.created)
      p[PR_LAST_MODIFICATION_TIME] = PropValue::Time(FileTimeFromUnix(item.modified.value_or(*item.created)));
    if (item.delivered) p[PR_MESSAGE_DELIVERY_TIME] = PropValue::Time(FileTimeFromUnix(*item.delivered));
    if (item.submitted) p[PR_CLIENT_SUBMIT_TIME] = PropValue::Time(FileTimeFromUnix(*item.submitted));
    if (item.sender) PutSender(*item.sender, p);
    for (int kind : {MAPI_TO, MAPI_CC, MAPI_BCC}) {
      const std::string names = JoinNames(item.recipients, kind);
      const std::uint16_t id = kind == MAPI_TO ? PR_DISPLAY_TO : kind == MAPI_CC ? PR_DISPLAY_CC : PR_DISPLAY_BCC;
      if (!names.empty()) p[id] = text_.Text(names);
    }
    if (item.sent) p[PR_SENTMAIL_ENTRYID] = PropValue::Binary(EntryId(sent_nid_ ? sent_nid_ : folder_nid));
    if (!item.categories.empty()) p[names_.Id(PS_PUBLIC_STRINGS, PidNameKeywords)] = text_.MultiText(item.categories);
  }

  // Puts sender S into P, as the sender and as the one the message was sent
  // for (the same person: no delegates here).
  void PutSender(const Address& s, PropMap& p) {
    p[PR_SENDER_NAME] = text_.Text(s.name);
    p[PR_SENDER_ADDRTYPE] = text_.Text(s.type);
    p[PR_SENDER_EMAIL_ADDRESS] = text_.Text(s.email);
    p[PR_SENDER_ENTRYID] = PropValue::Binary(OneOffEntryId(s, text_));
    p[PR_SENDER_SEARCH_KEY] = PropValue::Binary(SearchKey(s));
    p[PR_SENT_REPRESENTING_NAME] = text_.Text(s.name);
    p[PR_SENT_REPRESENTING_ADDRTYPE] = text_.Text(s.type);
    p[PR_SENT_REPRESENTING_EMAIL_ADDRESS] = text_.Text(s.email);
    p[PR_SENT_REPRESENTING_ENTRYID] = PropValue::Binary(OneOffEntryId(s, text_));
  }

  // Puts the times of appointments and tasks of ITEM into P: start, end and
  // location, the calendar values, due and start dates, reminder.
  void PutScheduleValues(const Item& item, PropMap& p) {
    if (item.start) {
      p[PR_START_DATE] = PropValue::Time(FileTimeFromUnix(*item.start));
      p[names_.Id(PSETID_Appointment, PidLidAppointmentStartWhole)] = PropValue::Time(FileTimeFromUnix(*item.start));
    }
    if (item.end) {
      p[PR_END_DATE] = PropValue::Time(FileTimeFromUnix(*item.end));
      p[names_.Id(PSETID_Appointment, PidLidAppointmentEndWhole)] = PropValue::Time(FileTimeFromUnix(*item.end));
    }
    if (!item.location.empty()) p[names_.Id(PSETID_Appointment, PidLidLocation)] = text_.Text(item.location);
    WriteCalendar(item, p);
    if (item.due) p[names_.Id(PSETID_Task, PidLidTaskDueDate)] = PropValue::Time(FileTimeFromUnix(*item.due));
    if (item.task_start) {
      p[names_.Id(PSETID_Task, PidLidTaskStartDate)] = PropValue::Time(FileTimeFromUnix(*item.task_start));
    }
    if (item.reminder) {
      p[names_.Id(PSETID_Common, PidLidReminderTime)] = PropValue::Time(FileTimeFromUnix(*item.reminder));
      p[names_.Id(PSETID_Common, PidLidReminderSet)] = PropValue::Boolean(true);
      p[names_.Id(PSETID_Common, PidLidReminderSignalTime)] = PropValue::Time(FileTimeFromUnix(*item.reminder));
    }
  }

  // Puts the values of contacts and distribution lists of ITEM into P:
  // contact fields, children, birthday and anniversary, display name, and
  // a list's name and members.
  void PutContactValues(const Item& item, PropMap& p) {
    for (const auto& [field, value] : item.contact) {
      const std::uint16_t tag = ContactFieldTag(field);
      if (tag == 0 || field == "Children") continue;
      if (tag >= kFirstNamedId) {
        p[names_.Id(PSETID_Address, tag)] = text_.Text(value);
        // PidLidEmailNAddressType, the number before PidLidEmailNEmailAddress.
        p[names_.Id(PSETID_Address, tag - 1)] = text_.Text("SMTP");
      } else {
        p[tag] = text_.Text(value);
      }
    }
    if (!item.children.empty()) p[PR_CHILDRENS_NAMES] = text_.MultiText(item.children);
    if (item.birthday) p[PR_BIRTHDAY] = PropValue::Time(FileTimeFromUnix(*item.birthday));
    if (item.anniversary) p[PR_WEDDING_ANNIVERSARY] = PropValue::Time(FileTimeFromUnix(*item.anniversary));
    if (!item.display_name.empty()) p[PR_DISPLAY_NAME] = text_.Text(item.display_name);
    if (item.message_class.rfind("IPM.DistList", 0) != 0) return;
    if (!item.display_name.empty()) {
      p[names_.Id(PSETID_Address, PidLidDistributionListName)] = text_.Text(item.display_name);
    }
    std::vector<Bytes> members;
    for (const Address& m : item.members) members.push_back(OneOffEntryId(m, text_));
    p[names_.Id(PSETID_Address, PidLidDistributionListOneOffMembers)] = PropValue::MvBinary(members);
    p[names_.Id(PSETID_Address, PidLidDistributionListMembers)] = PropValue::MvBinary(members);
  }

  // The HTML body of ITEM in its code page.
  static Bytes HtmlBytes(const Item& item) {
    if (item.html_codepage == 65001) return Bytes(item.html.begin(), item.html.end());
    return Codepage(item.html_codepage).Encode(item.html);
  }

  // The RTF body, Internet headers, follow-up flag and task state of ITEM
  // into P.
  void WriteMailDetails(const Item& item, PropMap& p) {
    if (!item.rtf.empty()) p[PR_RTF_COMPRESSED] = PropValue::Binary(CompressRtf(item.rtf));
    if (!item.transport_headers.empty()) p[PR_TRANSPORT_MESSAGE_HEADERS] = text_.Text(item.transport_headers);
    if (!item.message_id.empty()) p[PR_INTERNET_MESSAGE_ID] = text_.Text(item.message_id);
    if (!item.in_reply_to.empty()) p[PR_IN_REPLY_TO_ID] = text_.Text(item.in_reply_to);
    if (!item.references.empty()) p[PR_INTERNET_REFERENCES] = text_.Text(item.references);
    if (item.flag) {
      p[PR_FLAG_STATUS] = PropValue::Int32(item.flag->status);
      p[names_.Id(PSETID_Common, PidLidFlagRequest)] = text_.Text(item.flag->request);
      if (item.flag->due) p[names_.Id(PSETID_Task, PidLidTaskDueDate)] = PropValue::Time(FileTimeFromUnix(*item.flag->due));
      if (item.flag->completed) p[PR_FLAG_COMPLETE_TIME] = PropValue::Time(FileTimeFromUnix(*item.flag->completed));
    }
    if (item.task_status) {
      p[names_.Id(PSETID_Task, PidLidTaskStatus)] = PropValue::Int32(*item.task_status);
      p[names_.Id(PSETID_Task, PidLidTaskComplete)] = PropValue::Boolean(*item.task_status == 2);
    }
    if (item.percent_complete) p[names_.Id(PSETID_Task, PidLidPercentComplete)] = PropValue::Double(*item.percent_complete);
    if (item.date_completed) {
      p[names_.Id(PSETID_Task, PidLidTaskDateCompleted)] = PropValue::Time(FileTimeFromUnix(*item.date_completed));
    }
    if (!item.owner.empty()) p[names_.Id(PSETID_Task, PidLidTaskOwner)] = text_.Text(item.owner);
  }

  // Puts the calendar values of ITEM into P: all-day, busy status,
  // reminder, meeting state (an appointment with recipients is a meeting,
  // its attendees the recipient rows), time zone and recurrence.
  void WriteCalendar(const Item& item, PropMap& p) {
    if (item.all_day) p[names_.Id(PSETID_Appointment, PidLidAppointmentSubType)] = PropValue::Boolean(*item.all_day);
    if (item.busy) p[names_.Id(PSETID_Appointment, PidLidBusyStatus)] = PropValue::Int32(*item.busy);
    if (item.reminder_minutes) {
      p[names_.Id(PSETID_Common, PidLidReminderDelta)] = PropValue::Int32(*item.reminder_minutes);
      p[names_.Id(PSETID_Common, PidLidReminderSet)] = PropValue::Boolean(true);
    }
    if (item.message_class.rfind("IPM.Appointment", 0) == 0 && !item.recipients.empty())
      p[names_.Id(PSETID_Appointment, PidLidAppointmentStateFlags)] = PropValue::Int32(asfMeeting);
    const int year = item.recurrence ? item.recurrence->start.date.year()
                     : item.start     ? QDateTime::fromSecsSinceEpoch(*item.start, Qt::UTC).date().year()
                                      : 2000;
    if (item.time_zone) {
      const ZoneRules& zone = *item.time_zone;
      p[names_.Id(PSETID_Appointment, PidLidTimeZoneStruct)] = PropValue::Binary(TimeZoneStructBlob(zone, year));
      p[names_.Id(PSETID_Appointment, PidLidTimeZoneDescription)] = text_.Text(zone.description);
      const Bytes definition = TimeZoneDefinitionBlob(zone, year);
      p[names_.Id(PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionRecur)] = PropValue::Binary(definition);
      p[names_.Id(PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionStartDisplay)] = PropValue::Binary(definition);
      p[names_.Id(PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionEndDisplay)] = PropValue::Binary(definition);
    }
    if (!item.recurrence) return;
    const RecurringSeries& r = *item.recurrence;
    p[names_.Id(PSETID_Appointment, PidLidAppointmentRecur)] = PropValue::Binary(RecurrenceBlob(r, spec_.codepage));
    p[names_.Id(PSETID_Appointment, PidLidRecurring)] = PropValue::Boolean(true);
    p[names_.Id(PSETID_Appointment, PidLidRecurrenceType)] = PropValue::Int32(RecurrenceTypeValue(r));
    p[names_.Id(PSETID_Appointment, PidLidRecurrencePattern)] = text_.Text(RecurrencePatternText(r));
    // The series' first and last days, from midnight in its zone, in UTC:
    // the offset is the one of the start as written.
    const std::vector<QDate> dates = SeriesDates(r, r.end == "never" ? 1 : 100000);
    const std::int64_t offset_minutes =
        item.start ? static_cast<std::int64_t>(MinutesSince1601(r.start)) -
                         (*item.start + 11644473600LL) / 60
                   : 0;
    const auto utc_midnight = [&](QDate d) {
      const std::int64_t minutes = static_cast<std::int64_t>(MinutesSince1601(LocalTime{d, 0})) - offset_minutes;
      return PropValue::Time(static_cast<std::uint64_t>(minutes) * 60 * 10000000ULL);
    };
    p[names_.Id(PSETID_Appointment, PidLidClipStart)] = utc_midnight(dates.front());
    // No end: 31 August 4500, 23:59, as Outlook writes it.
    p[names_.Id(PSETID_Appointment, PidLidClipEnd)] =
        r.end == "never" ? PropValue::Time(0x5AE980E0ULL * 60 * 10000000ULL) : utc_midnight(dates.back());
  }

  // Writes node NID as a table of COLUMNS without rows.
  void WriteEmptyTable(std::uint32_t nid, const std::vector<std::uint32_t>& columns) {
    Subnodes subs;
    TableWriter table(ndb_, columns, subs);
    const std::uint64_t bid = table.Finish();
    ndb_.AddNode(NodeEntry{nid, bid, subs.Write(ndb_), 0});
  }

  // Writes the table templates every PST holds.
  void WriteTemplates() {
    WriteEmptyTable(kNidHierarchyTemplate, hierarchy_columns_);
    WriteEmptyTable(kNidContentsTemplate, contents_columns_);
    WriteEmptyTable(kNidAssocContentsTemplate, assoc_contents_columns_);
    WriteEmptyTable(kNidSearchContentsTemplate, contents_columns_);
    WriteEmptyTable(kNidAttachmentTable, attachment_columns_);
    WriteEmptyTable(kNidRecipientTable, recipient_columns_);
  }

  // Writes the message store node.
  void WriteStore() {
    PropMap p;
    p[PR_RECORD_KEY] = PropValue::Binary(Bytes(uid_.begin(), uid_.end()));
    p[PR_DISPLAY_NAME] = text_.Text(spec_.store_name);
    p[PR_VALID_FOLDER_MASK] = PropValue::Int32(0x89);  // IPM subtree, wastebasket and finder valid
    p[PR_IPM_SUBTREE_ENTRYID] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexIpmSubtree)));
    p[PR_IPM_WASTEBASKET_ENTRYID] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexDeletedItems)));
    p[PR_FINDER_ENTRYID] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexSearchRoot)));
    p[PidTagPstPassword] = PropValue::Int32(0);  // no password
    text_.AddCodepage(p);  // the store's code page, for objects without their own
    Subnodes subs;
    const std::uint64_t bid = WritePropertyContext(ndb_, p, subs);
    ndb_.AddNode(NodeEntry{kNidMessageStore, bid, subs.Write(ndb_), 0});
  }

  const MailboxSpec& spec_;
  TextValues text_;
  NdbWriter ndb_;
  // The table columns with this file's string types.
  const std::vector<std::uint32_t> hierarchy_columns_, contents_columns_, assoc_contents_columns_,
      recipient_columns_, attachment_columns_;
  NamedProps names_;
  std::array<std::uint8_t, 16> uid_{};
  std::array<std::uint32_t, 32> rgnid_{};
  std::map<const FolderSpec*, std::uint32_t> folder_index_;
  std::uint32_t sent_nid_ = 0;
  WriteStats stats_;
};

}  // namespace

WriteStats WriteMailbox(const MailboxSpec& spec, const std::filesystem::path& path) {
  try {
    Writer writer(spec, path);
    return writer.Run();
  } catch (...) {
    // A half-written file has no valid header yet; remove it rather than
    // leave something that looks like a mailbox. The error goes on as is.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

}  // namespace norvexa::pstgen
