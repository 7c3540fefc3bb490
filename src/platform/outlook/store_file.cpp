// Opening a store file for the messaging layer (see store_file.h).
#include "platform/outlook/store_file.h"

#include "platform/outlook/store_identity.h"
#include "platform/outlook/text_codec.h"
#include "platform/system/hex.h"
#include "platform/system/paths.h"

#include <cstring>
#include <fstream>
#include <functional>

namespace norvexa::outlook::pst {
namespace {

// How errors name property E: its tag, and its name when it is a named one.
std::string PropertyName(const items::PropertyBag::Entry& e) {
  const std::string tag = "0x" + sys::HexNumber(mapi::Tag(e.id, e.type), 8);
  if (e.named && e.by_string) return tag + " \"" + e.name + "\"";
  if (e.named) return tag + " (named 0x" + sys::HexNumber(e.lid, 4) + ")";
  return tag;
}

}  // namespace

std::shared_ptr<StoreFile> StoreFile::Open(const std::filesystem::path& path) {
  const std::string name = items::CheckStoreFile(path);

  std::shared_ptr<StoreFile> file(new StoreFile());
  file->path_ = name;
  file->db_ = NodeDatabase::Open(path, name);
  // Damage met from here on (the name map, the message store) touches the
  // values of every item.
  auto shared = std::make_shared<DamageLog>();
  DamageScope scope(file->db_->listeners(), shared.get());
  file->ReadNameMap();

  // The message store: the store's name, code page, key and visible top,
  // each read on its own. What cannot be read is damage every item shares
  // (its reader noted it in SHARED), and a stand-in takes its place: the
  // file's name, a key made from the file's path, the top folder Outlook
  // always makes.
  std::optional<std::uint32_t> ipm;
  bool ipm_read = false;
  file->store_key_ = items::StoreKey(std::string(), file->path_);
  try {
    auto store = std::make_shared<const PropertyContext>(file->db_, file->Node(kNidMessageStore, "the message store"));
    const items::PropertyBag bag = file->Bag(store, file->default_codepage_, shared);
    file->default_codepage_ = bag.codepage();
    auto value = [&](const std::function<void()>& read) {
      try {
        read();
      } catch (const OutlookError&) {
        // Noted in SHARED by the bag's reader; the stand-in stays.
      }
    };
    value([&] { file->display_name_ = bag.Text(mapi::PR_DISPLAY_NAME); });
    value([&] { file->store_key_ = items::StoreKey(bag.Bytes(bag.Find(mapi::PR_RECORD_KEY)), file->path_); });
    value([&] {
      ipm = items::NodeOfEntryId(bag.Bytes(bag.Find(mapi::PR_IPM_SUBTREE_ENTRYID)));
      ipm_read = true;
    });
  } catch (const OutlookError& e) {
    shared->Add(OffsetOf(e, 0), "the message store cannot be read (" + WithoutFileName(e.what(), name) +
                                    "): the store's name, key and top folder were taken from elsewhere");
  }
  if (!ipm_read) ipm = kNidConventionalIpmSubtree;
  if (ipm && NidType(*ipm) == kNidTypeNormalFolder && file->db_->FindNode(*ipm)) file->top_folder_ = *ipm;
  if (file->display_name_.empty()) file->display_name_ = sys::Utf8(path.stem());
  file->shared_damage_.AddAll(shared->entries());
  // The top folder must be readable for the store to be of any use.
  try {
    PropertyContext top(file->db_, file->Node(file->top_folder_, "the top folder"));
  } catch (const OutlookError& e) {
    throw OutlookError(name + ": cannot read the top folder: " + e.what());
  }
  return file;
}

std::vector<Damage> StoreFile::StoreDamage() const {
  DamageLog all(256);
  all.AddAll(db_->IndexDamage());
  all.AddAll(shared_damage_.entries());
  all.AddAll(hierarchy_damage_.entries());
  return all.entries();
}

NodeEntry StoreFile::Node(std::uint32_t nid, const std::string& what) const {
  const std::optional<NodeEntry> node = db_->FindNode(nid);
  if (!node) db_->Fail(what + " (node " + std::to_string(nid) + ") is missing from the node index (damaged)");
  return *node;
}

std::optional<StoreFile::Name> StoreFile::NameAt(const std::uint8_t* entry, const std::string& guids,
                                                 const std::string& strings) {
  Name n;
  const std::uint32_t property = Le32(entry);
  const std::uint16_t guid_and_kind = Le16(entry + kNameIdGuidAt);
  n.by_string = (guid_and_kind & kNameIdStringBit) != 0;
  const std::uint16_t guid = guid_and_kind >> kNameIdGuidShift;
  if (guid == kNameIdGuidPsMapi) {
    n.guid = mapi::PS_MAPI;
  } else if (guid == kNameIdGuidPublicStrings) {
    n.guid = mapi::PS_PUBLIC_STRINGS;
  } else if (guid >= kNameIdGuidFirstInStream && (guid - kNameIdGuidFirstInStream + 1) * kGuidSize <= guids.size()) {
    std::memcpy(n.guid.data(), guids.data() + (guid - kNameIdGuidFirstInStream) * kGuidSize, kGuidSize);
  } else {
    return std::nullopt;  // a name without its property set cannot be matched
  }
  if (!n.by_string) {
    n.lid = property;
    return n;
  }
  if (property + std::uint64_t{kNameLengthSize} > strings.size()) return std::nullopt;
  const auto* s = reinterpret_cast<const std::uint8_t*>(strings.data());
  const std::uint32_t length = Le32(s + property);
  const std::size_t begin = property + kNameLengthSize;
  if (begin + std::uint64_t{length} > strings.size()) return std::nullopt;
  // UTF-16LE, up to the first NUL; named-property names are plain identifiers.
  std::size_t end = begin;
  while (end + 1 < begin + std::size_t{length} && Le16(s + end) != 0) end += 2;
  n.name = text::FromUtf16Le(s + begin, end - begin);
  return n;
}

void StoreFile::ReadNameMap() {
  const std::optional<NodeEntry> node = db_->FindNode(kNidNameToIdMap);
  if (!node) return;  // a store without named properties
  try {
    const PropertyContext map(db_, *node);
    std::string guids, entries, strings;
    for (const RawProperty& p : map.properties()) {
      if (p.id == mapi::PidTagNameidStreamGuid) guids = map.Value(p, kValueLimit);
      else if (p.id == mapi::PidTagNameidStreamEntry) entries = map.Value(p, kValueLimit);
      else if (p.id == mapi::PidTagNameidStreamString) strings = map.Value(p, kValueLimit);
    }
    const auto* e = reinterpret_cast<const std::uint8_t*>(entries.data());
    for (std::size_t at = 0; at + kNameIdSize <= entries.size(); at += kNameIdSize) {
      std::optional<Name> n = NameAt(e + at, guids, strings);
      if (!n) continue;
      const std::uint16_t index = Le16(e + at + kNameIdIndexAt);
      names_[static_cast<std::uint16_t>(mapi::kFirstNamedId + index)] = std::move(*n);
    }
  } catch (const OutlookError& e) {
    // A damaged map leaves named properties unnamed: they are then found
    // only by their stored identifier, and everything else stays readable;
    // what is missing is said as damage of every item.
    names_.clear();
    db_->listeners().Note({OffsetOf(e, db_->BlockOffset(node->bid_data).value_or(0)),
                           std::string("the named-property map cannot be read, so named values (categories, "
                                       "appointment and task dates, contact e-mail addresses) are missing: ") +
                               WithoutFileName(e.what(), path_)});
  }
}

void StoreFile::Resolve(items::PropertyBag::Entry& entry) const {
  if (entry.id < mapi::kFirstNamedId) return;
  const auto found = names_.find(entry.id);
  if (found == names_.end()) return;
  entry.named = true;
  entry.guid = found->second.guid;
  entry.by_string = found->second.by_string;
  entry.lid = found->second.lid;
  entry.name = found->second.name;
}

namespace {

// Reads one value with READ, LOG in scope of DB's listeners; a value that
// cannot be read is added to LOG (placed where its damage was found, else at
// the object's first block, FALLBACK_BID) and thrown on, named by ENTRY. On
// the way of every value read: nothing is built unless the value fails.
template <typename Read>
std::string ReadValue(const NodeDatabase& db, const std::shared_ptr<DamageLog>& log, std::uint64_t fallback_bid,
                      const items::PropertyBag::Entry& entry, Read read) {
  DamageScope scope(db.listeners(), log.get());
  try {
    return read();
  } catch (const OutlookError& error) {
    const std::string what = std::string(error.what()) + " (property " + PropertyName(entry) + ")";
    const std::uint64_t offset = OffsetOf(error, db.BlockOffset(fallback_bid).value_or(0));
    if (log) log->Add(offset, "a value could not be read: " + WithoutFileName(what, db.name()));
    throw DamageError(what, offset);
  }
}

}  // namespace

items::PropertyBag StoreFile::Bag(std::shared_ptr<const PropertyContext> context, int codepage,
                                std::shared_ptr<DamageLog> log) const {
  std::vector<items::PropertyBag::Entry> entries;
  entries.reserve(context->properties().size());
  for (std::size_t i = 0; i < context->properties().size(); ++i) {
    const RawProperty& p = context->properties()[i];
    items::PropertyBag::Entry e;
    e.id = p.id;
    e.type = p.type;
    e.slot = static_cast<std::uint32_t>(i);
    Resolve(e);
    entries.push_back(std::move(e));
  }
  auto reader = [context, log](const items::PropertyBag::Entry& e) {
    return ReadValue(context->heap().db(), log, context->heap().node().bid_data, e,
                     [&] { return context->Value(context->properties()[e.slot], kValueLimit); });
  };
  return items::PropertyBag(std::move(entries), std::move(reader), path_, codepage);
}

items::PropertyBag StoreFile::RowBag(std::shared_ptr<const TableContext> table, const std::string& row, int codepage,
                                   std::shared_ptr<DamageLog> log) const {
  auto cells = std::make_shared<const std::vector<RawProperty>>(table->Cells(row));
  std::vector<items::PropertyBag::Entry> entries;
  entries.reserve(cells->size());
  for (std::size_t i = 0; i < cells->size(); ++i) {
    items::PropertyBag::Entry e;
    e.id = (*cells)[i].id;
    e.type = (*cells)[i].type;
    e.slot = static_cast<std::uint32_t>(i);
    Resolve(e);
    entries.push_back(std::move(e));
  }
  auto reader = [table, cells, log](const items::PropertyBag::Entry& e) {
    return ReadValue(table->heap().db(), log, table->heap().node().bid_data, e,
                     [&] { return table->Value((*cells)[e.slot], kValueLimit); });
  };
  return items::PropertyBag(std::move(entries), std::move(reader), path_, codepage);
}

}  // namespace norvexa::outlook::pst
