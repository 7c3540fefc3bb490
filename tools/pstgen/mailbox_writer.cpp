// The messaging layer of the PST writer.
#include "mailbox_writer.h"

#include "codepage.h"
#include "ltp_writer.h"
#include "named_props.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace norvexa::pstgen {
namespace {

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

// Table columns: at least those of the format's table templates.
const std::vector<std::uint32_t> kHierarchyColumns = {
    0x0E300003, 0x0E330014, 0x0E340102, 0x0E380003, 0x3001001F, 0x36020003,
    0x36030003, 0x360A000B, 0x3613001F, 0x66350003, 0x66360003};
const std::vector<std::uint32_t> kContentsColumns = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B,
    0x0058000B, 0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003,
    0x0E080003, 0x0E170003, 0x0E300003, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102,
    0x0E3D0102, 0x10970003, 0x30080040, 0x65C60003};
const std::vector<std::uint32_t> kAssocContentsColumns = {0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F,
                                                          0x30080040};
const std::vector<std::uint32_t> kRecipientColumns = {
    0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003, 0x0FFF0102, 0x3001001F, 0x3002001F, 0x3003001F,
    0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B, 0x5FF6001F, 0x5FFD0003};
const std::vector<std::uint32_t> kAttachmentColumns = {0x0E200003, 0x3704001F, 0x37050003, 0x3707001F,
                                                       0x370B0003};

// Message flags.
constexpr std::int32_t kMsgFlagRead = 0x01;
constexpr std::int32_t kMsgFlagHasAttach = 0x10;
constexpr std::int32_t kMsgFlagFromMe = 0x20;

// A one-off entry id (display name, address type, address) as MAPI lays it
// out, with its strings in the file's string width.
Bytes OneOffEntryId(const Address& a, const TextValues& text) {
  Bytes b(4, 0);
  static const std::uint8_t kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                              0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
  AppendBytes(b, kOneOffUid, 16);
  Append16(b, 0);                                  // version
  Append16(b, text.unicode() ? 0x9001 : 0x1001);  // Unicode (0x8000) or 8-bit strings, no lookup
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
    names_.Id(kPsPublicStrings, "Keywords");
    names_.Id(kPsetidCommon, 0x8503);
    names_.Id(kPsetidCommon, 0x8502);
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
    if (nid != kNidRootFolder || !folder.name.empty()) props[0x3001] = text_.Text(folder.name);
    props[0x3602] = PropValue::Int32(count);
    props[0x3603] = PropValue::Int32(unread);
    props[0x360A] = PropValue::Boolean(!folder.children.empty());
    if (folder.container_class) props[0x3613] = text_.Text(*folder.container_class);
    if (folder.message_class) props[0x001A] = text_.Text(*folder.message_class);
    Subnodes subs;
    const std::uint64_t bid = WritePropertyContext(ndb_, props, subs);
    ndb_.AddNode(NodeEntry{nid, bid, subs.Write(ndb_), parent});
    return props;
  }

  // Writes the recipient table, attachments and properties of ITEM into
  // SUBS and a property context; PROPS receives the message's properties
  // (for its contents-table row). Returns the property context's block id.
  std::uint64_t WriteMessage(const Item& item, std::uint32_t folder_nid, PropMap& props, Subnodes& subs) {
    // Recipients.
    {
      Subnodes table_subs;
      TableWriter table(ndb_, recipient_columns_, table_subs);
      std::uint32_t row = 0;
      for (const Recipient& r : item.recipients) {
        PropMap rp;
        rp[0x0C15] = PropValue::Int32(r.kind);
        rp[0x0E0F] = PropValue::Boolean(false);
        rp[0x0FFE] = PropValue::Int32(6);  // MAPI_MAILUSER
        rp[0x0FFF] = PropValue::Binary(OneOffEntryId(r, text_));
        rp[0x3001] = text_.Text(r.name);
        rp[0x3002] = text_.Text(r.type);
        rp[0x3003] = text_.Text(r.email);
        rp[0x300B] = PropValue::Binary(SearchKey(r));
        rp[0x3900] = PropValue::Int32(0);
        rp[0x39FF] = text_.Text(r.name);
        rp[0x3A40] = PropValue::Boolean(false);
        rp[0x5FF6] = text_.Text(r.name);
        rp[0x5FFD] = PropValue::Int32(1);
        table.AddRow(row++, rp);
      }
      const std::uint64_t bid = table.Finish();
      subs.Add(SubnodeEntry{kNidRecipientTable, bid, table_subs.Write(ndb_)});
    }
    // Attachments.
    std::uint64_t attachment_bytes = 0;
    if (item.legacy_attachment_table && item.attachments.empty())
      throw PstWriteError("item \"" + item.subject + "\": \"legacy_attachment_table\" without attachments");
    if (!item.attachments.empty()) {
      Subnodes table_subs;
      TableWriter table(ndb_, attachment_columns_, table_subs);
      std::int32_t number = 0;
      for (const Attachment& a : item.attachments) {
        const std::uint32_t nid = subs.NewNid(kNidTypeAttachment);
        Subnodes att_subs;
        PropMap ap;
        ap[0x0E21] = PropValue::Int32(number++);
        ap[0x370B] = PropValue::Int32(-1);
        if (a.file_name) {
          ap[0x3707] = text_.Text(*a.file_name);
          ap[0x3704] = text_.Text(a.short_name ? *a.short_name : ShortName(*a.file_name));
          ap[0x3001] = text_.Text(*a.file_name);
        } else if (a.short_name) {
          ap[0x3704] = text_.Text(*a.short_name);
        }
        if (!a.mime_type.empty()) ap[0x370E] = text_.Text(a.mime_type);
        std::uint64_t size = 0;
        if (a.message) {
          PropMap embedded_props;
          Subnodes embedded_subs;
          const std::uint64_t bid = WriteMessage(*a.message, folder_nid, embedded_props, embedded_subs);
          const std::uint32_t embedded = att_subs.NewNid(kNidTypeNormalMessage);
          att_subs.Add(SubnodeEntry{embedded, bid, embedded_subs.Write(ndb_)});
          size = static_cast<std::uint64_t>(Get32(embedded_props.at(0x0E08).data.data()));
          ap[0x3701] = PropValue::Object(embedded, static_cast<std::uint32_t>(size));
          ap[0x3705] = PropValue::Int32(5);
          if (!a.file_name) ap[0x3001] = text_.Text(a.message->subject);
        } else {
          ap[0x3705] = PropValue::Int32(1);
          if (a.use_pattern) {
            size = a.pattern_size;
            const std::uint64_t seed = a.pattern_seed;
            ap[0x3701] = PropValue::Stream(size, [seed, size](DataStream& out) {
              std::vector<std::uint8_t> chunk(kMaxBlockSize);
              for (std::uint64_t done = 0; done < size;) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - done));
                PatternBytes(seed, done, n, chunk.data());
                out.Write(chunk.data(), n);
                done += n;
              }
            });
          } else {
            size = a.data.size();
            ap[0x3701] = PropValue::Binary(a.data);
          }
        }
        attachment_bytes += size;
        ap[0x0E20] = PropValue::Int32(static_cast<std::int32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)));
        const std::uint64_t bid = WritePropertyContext(ndb_, ap, att_subs);
        subs.Add(SubnodeEntry{nid, bid, att_subs.Write(ndb_)});
        table.AddRow(nid, ap);
        ++stats_.attachments;
      }
      const std::uint64_t bid = table.Finish(item.legacy_attachment_table ? TreeTop::DataBlock : TreeTop::Internal);
      if (item.legacy_attachment_table && table.heap_blocks() < 2)
        throw PstWriteError("item \"" + item.subject + "\": \"legacy_attachment_table\" needs an attachment table " +
                            "larger than one block, and its " + std::to_string(item.attachments.size()) +
                            " attachments make a smaller one; give it more");
      subs.Add(SubnodeEntry{kNidAttachmentTable, bid, table_subs.Write(ndb_)});
    }

    // Properties.
    PropMap& p = props;
    p[0x001A] = text_.Text(item.message_class);
    if (!item.subject.empty()) {
      p[0x0037] = text_.Text(item.subject);
      p[0x0070] = text_.Text(item.subject);
    }
    p[0x0017] = PropValue::Int32(item.importance.value_or(1));
    p[0x0036] = PropValue::Int32(0);
    std::int32_t flags = item.unread ? 0 : kMsgFlagRead;
    if (!item.attachments.empty()) flags |= kMsgFlagHasAttach;
    if (item.sent) flags |= kMsgFlagFromMe;
    p[0x0E07] = PropValue::Int32(flags);
    p[0x0E17] = PropValue::Int32(0);
    if (!item.body.empty()) p[0x1000] = text_.Text(item.body);
    if (!item.html.empty()) {
      p[0x1013] = PropValue::Binary(Bytes(item.html.begin(), item.html.end()));
      p[0x3FDE] = PropValue::Int32(65001);
    }
    if (item.created) p[0x3007] = PropValue::Time(FileTimeFromUnix(*item.created));
    if (item.modified || item.created)
      p[0x3008] = PropValue::Time(FileTimeFromUnix(item.modified.value_or(*item.created)));
    if (item.delivered) p[0x0E06] = PropValue::Time(FileTimeFromUnix(*item.delivered));
    if (item.submitted) p[0x0039] = PropValue::Time(FileTimeFromUnix(*item.submitted));
    if (item.sender) {
      const Address& s = *item.sender;
      p[0x0C1A] = text_.Text(s.name);
      p[0x0C1E] = text_.Text(s.type);
      p[0x0C1F] = text_.Text(s.email);
      p[0x0C19] = PropValue::Binary(OneOffEntryId(s, text_));
      p[0x0C1D] = PropValue::Binary(SearchKey(s));
      p[0x0042] = text_.Text(s.name);
      p[0x0064] = text_.Text(s.type);
      p[0x0065] = text_.Text(s.email);
      p[0x0041] = PropValue::Binary(OneOffEntryId(s, text_));
    }
    for (int kind : {1, 2, 3}) {
      const std::string names = JoinNames(item.recipients, kind);
      const std::uint16_t id = kind == 1 ? 0x0E04 : kind == 2 ? 0x0E03 : 0x0E02;
      if (!names.empty()) p[id] = text_.Text(names);
    }
    if (item.sent) p[0x0E0A] = PropValue::Binary(EntryId(sent_nid_ ? sent_nid_ : folder_nid));
    if (!item.categories.empty()) p[names_.Id(kPsPublicStrings, "Keywords")] = text_.MultiText(item.categories);
    if (item.start) {
      p[0x0060] = PropValue::Time(FileTimeFromUnix(*item.start));
      p[names_.Id(kPsetidAppointment, 0x820D)] = PropValue::Time(FileTimeFromUnix(*item.start));
    }
    if (item.end) {
      p[0x0061] = PropValue::Time(FileTimeFromUnix(*item.end));
      p[names_.Id(kPsetidAppointment, 0x820E)] = PropValue::Time(FileTimeFromUnix(*item.end));
    }
    if (!item.location.empty()) p[names_.Id(kPsetidAppointment, 0x8208)] = text_.Text(item.location);
    if (item.due) p[names_.Id(kPsetidTask, 0x8105)] = PropValue::Time(FileTimeFromUnix(*item.due));
    if (item.task_start) p[names_.Id(kPsetidTask, 0x8104)] = PropValue::Time(FileTimeFromUnix(*item.task_start));
    if (item.reminder) {
      p[names_.Id(kPsetidCommon, 0x8502)] = PropValue::Time(FileTimeFromUnix(*item.reminder));
      p[names_.Id(kPsetidCommon, 0x8503)] = PropValue::Boolean(true);
      p[names_.Id(kPsetidCommon, 0x8560)] = PropValue::Time(FileTimeFromUnix(*item.reminder));
    }
    for (const auto& [field, value] : item.contact) {
      const std::uint16_t tag = ContactFieldTag(field);
      if (tag == 0 || field == "Children") continue;
      if (tag >= 0x8000) {
        p[names_.Id(kPsetidAddress, tag)] = text_.Text(value);
        p[names_.Id(kPsetidAddress, tag - 1)] = text_.Text("SMTP");  // EmailNAddressType
      } else {
        p[tag] = text_.Text(value);
      }
    }
    if (!item.children.empty()) p[0x3A58] = text_.MultiText(item.children);
    if (item.birthday) p[0x3A42] = PropValue::Time(FileTimeFromUnix(*item.birthday));
    if (item.anniversary) p[0x3A41] = PropValue::Time(FileTimeFromUnix(*item.anniversary));
    if (!item.display_name.empty()) p[0x3001] = text_.Text(item.display_name);
    if (item.message_class.rfind("IPM.DistList", 0) == 0) {
      if (!item.display_name.empty()) p[names_.Id(kPsetidAddress, 0x8053)] = text_.Text(item.display_name);
      std::vector<Bytes> members;
      for (const Address& m : item.members) members.push_back(OneOffEntryId(m, text_));
      p[names_.Id(kPsetidAddress, 0x8054)] = PropValue::MvBinary(members);
      p[names_.Id(kPsetidAddress, 0x8055)] = PropValue::MvBinary(members);
    }
    text_.AddCodepage(p);
    std::uint64_t size = 256 + attachment_bytes;
    for (const auto& [id, v] : p) size += v.data.size();
    p[0x0E08] = PropValue::Int32(static_cast<std::int32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)));
    return WritePropertyContext(ndb_, p, subs);
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
    p[0x0FF9] = PropValue::Binary(Bytes(uid_.begin(), uid_.end()));
    p[0x3001] = text_.Text(spec_.store_name);
    p[0x35DF] = PropValue::Int32(0x89);  // IPM subtree, wastebasket and finder valid
    p[0x35E0] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexIpmSubtree)));
    p[0x35E3] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexDeletedItems)));
    p[0x35E7] = PropValue::Binary(EntryId(MakeNid(kNidTypeNormalFolder, kIndexSearchRoot)));
    p[0x67FF] = PropValue::Int32(0);  // no password
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
