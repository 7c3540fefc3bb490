// Opening a store file for the messaging layer (see store_file.h).
#include "platform/outlook/store_file.h"

#include "platform/outlook/mapi_item.h"
#include "platform/system/hex.h"
#include "platform/system/paths.h"

#include <cstring>
#include <fstream>

namespace norvexa::outlook::pst {
namespace {

// How errors name property E: its tag, and its name when it is a named one.
std::string PropertyName(const pff::PropertyBag::Entry& e) {
  const std::string tag = "0x" + sys::HexNumber(mapi::Tag(e.id, e.type), 8);
  if (e.named && e.by_string) return tag + " \"" + e.name + "\"";
  if (e.named) return tag + " (named 0x" + sys::HexNumber(e.lid, 4) + ")";
  return tag;
}

}  // namespace

std::shared_ptr<StoreFile> StoreFile::Open(const std::filesystem::path& path) {
  const std::string name = pff::CheckStoreFile(path);

  std::shared_ptr<StoreFile> file(new StoreFile());
  file->path_ = name;
  file->db_ = NodeDatabase::Open(path, name);
  file->ReadNameMap();

  // The message store: the store's name, code page and visible top.
  try {
    auto store = std::make_shared<const PropertyContext>(file->db_, file->Node(kNidMessageStore, "the message store"));
    const pff::PropertyBag bag = file->Bag(store, file->default_codepage_);
    file->default_codepage_ = bag.codepage();
    file->display_name_ = bag.Text(mapi::PR_DISPLAY_NAME);
    file->store_key_ = pff::StoreKey(bag.Bytes(bag.Find(mapi::PR_RECORD_KEY)), file->path_);
    const auto ipm = pff::NodeOfEntryId(bag.Bytes(bag.Find(mapi::PR_IPM_SUBTREE_ENTRYID)));
    if (ipm && NidType(*ipm) == kNidTypeNormalFolder && file->db_->FindNode(*ipm)) file->top_folder_ = *ipm;
  } catch (const OutlookError& e) {
    throw OutlookError(name + ": cannot read the message store: " + e.what());
  }
  if (file->display_name_.empty()) file->display_name_ = sys::Utf8(path.stem());
  // The top folder must be readable for the store to be of any use.
  try {
    PropertyContext top(file->db_, file->Node(file->top_folder_, "the top folder"));
  } catch (const OutlookError& e) {
    throw OutlookError(name + ": cannot read the top folder: " + e.what());
  }
  return file;
}

NodeEntry StoreFile::Node(std::uint32_t nid, const std::string& what) const {
  const std::optional<NodeEntry> node = db_->FindNode(nid);
  if (!node) db_->Fail(what + " (node " + std::to_string(nid) + ") is missing from the node index (damaged)");
  return *node;
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
    for (std::size_t at = 0; at + 8 <= entries.size(); at += 8) {
      Name n;
      const std::uint32_t property = Le32(e + at);
      const std::uint16_t guid_and_kind = Le16(e + at + 4);
      const std::uint16_t index = Le16(e + at + 6);
      n.by_string = (guid_and_kind & 1) != 0;
      const std::uint16_t guid = guid_and_kind >> 1;
      if (guid == 1) n.guid = mapi::PS_MAPI;
      else if (guid == 2) n.guid = mapi::PS_PUBLIC_STRINGS;
      else if (guid >= 3 && (guid - 3 + 1) * 16u <= guids.size()) std::memcpy(n.guid.data(), guids.data() + (guid - 3) * 16, 16);
      else continue;  // a name without its property set cannot be matched
      if (n.by_string) {
        if (property + 4ULL > strings.size()) continue;
        const std::uint32_t length = Le32(reinterpret_cast<const std::uint8_t*>(strings.data()) + property);
        if (property + 4ULL + length > strings.size()) continue;
        // UTF-16LE; named-property names are plain identifiers.
        for (std::size_t k = property + 4; k + 1 < property + 4ULL + length; k += 2) {
          const std::uint16_t c = Le16(reinterpret_cast<const std::uint8_t*>(strings.data()) + k);
          if (c == 0) break;
          if (c < 0x80) {
            n.name.push_back(static_cast<char>(c));
          } else if (c < 0x800) {
            n.name.push_back(static_cast<char>(0xC0 | (c >> 6)));
            n.name.push_back(static_cast<char>(0x80 | (c & 0x3F)));
          } else {
            n.name.push_back(static_cast<char>(0xE0 | (c >> 12)));
            n.name.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            n.name.push_back(static_cast<char>(0x80 | (c & 0x3F)));
          }
        }
      } else {
        n.lid = property;
      }
      names_[static_cast<std::uint16_t>(mapi::kFirstNamedId + index)] = std::move(n);
    }
  } catch (const OutlookError&) {
    // A damaged map leaves named properties unnamed: they are then found
    // only by their stored identifier, and everything else stays readable.
    names_.clear();
  }
}

void StoreFile::Resolve(pff::PropertyBag::Entry& entry) const {
  if (entry.id < mapi::kFirstNamedId) return;
  const auto found = names_.find(entry.id);
  if (found == names_.end()) return;
  entry.named = true;
  entry.guid = found->second.guid;
  entry.by_string = found->second.by_string;
  entry.lid = found->second.lid;
  entry.name = found->second.name;
}

pff::PropertyBag StoreFile::Bag(std::shared_ptr<const PropertyContext> context, int codepage) const {
  std::vector<pff::PropertyBag::Entry> entries;
  entries.reserve(context->properties().size());
  for (std::size_t i = 0; i < context->properties().size(); ++i) {
    const RawProperty& p = context->properties()[i];
    pff::PropertyBag::Entry e;
    e.id = p.id;
    e.type = p.type;
    e.slot = static_cast<std::uint32_t>(i);
    Resolve(e);
    entries.push_back(std::move(e));
  }
  auto reader = [context](const pff::PropertyBag::Entry& e) {
    try {
      return context->Value(context->properties()[e.slot], kValueLimit);
    } catch (const OutlookError& error) {
      throw OutlookError(std::string(error.what()) + " (property " + PropertyName(e) + ")");
    }
  };
  return pff::PropertyBag(std::move(entries), std::move(reader), path_, codepage);
}

pff::PropertyBag StoreFile::RowBag(std::shared_ptr<const TableContext> table, const std::string& row,
                                   int codepage) const {
  auto cells = std::make_shared<const std::vector<RawProperty>>(table->Cells(row));
  std::vector<pff::PropertyBag::Entry> entries;
  entries.reserve(cells->size());
  for (std::size_t i = 0; i < cells->size(); ++i) {
    pff::PropertyBag::Entry e;
    e.id = (*cells)[i].id;
    e.type = (*cells)[i].type;
    e.slot = static_cast<std::uint32_t>(i);
    Resolve(e);
    entries.push_back(std::move(e));
  }
  auto reader = [table, cells](const pff::PropertyBag::Entry& e) {
    try {
      return table->Value((*cells)[e.slot], kValueLimit);
    } catch (const OutlookError& error) {
      throw OutlookError(std::string(error.what()) + " (property " + PropertyName(e) + ")");
    }
  };
  return pff::PropertyBag(std::move(entries), std::move(reader), path_, codepage);
}

}  // namespace norvexa::outlook::pst
