// The name-to-id map node: GUID stream, entry stream, string stream and the
// hash buckets.
#include "named_props.h"

#include "ndb_writer.h"

namespace norvexa::pstgen {
namespace {

constexpr std::uint32_t kBucketCount = 251;

}  // namespace

std::uint16_t NamedProps::Register(Entry e) {
  const auto key = std::make_tuple(e.guid, e.is_string, e.lid, e.name);
  const auto it = ids_.find(key);
  if (it != ids_.end()) return it->second;
  if (entries_.size() >= 0x7FFE) throw PstWriteError("too many named properties");
  const auto id = static_cast<std::uint16_t>(mapi::kFirstNamedId + entries_.size());
  entries_.push_back(std::move(e));
  ids_.emplace(key, id);
  return id;
}

std::uint16_t NamedProps::Id(const mapi::Guid& guid, std::uint32_t lid) { return Register(Entry{guid, false, lid, {}}); }

std::uint16_t NamedProps::Id(const mapi::Guid& guid, std::string_view name) {
  return Register(Entry{guid, true, 0, std::string(name)});
}

PropMap NamedProps::MapProperties() const {
  Bytes guids, stream, strings;
  std::vector<mapi::Guid> extra;
  std::vector<Bytes> buckets(kBucketCount);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    std::uint16_t wguid;
    if (e.guid == mapi::PS_MAPI) {
      wguid = 1;
    } else if (e.guid == mapi::PS_PUBLIC_STRINGS) {
      wguid = 2;
    } else {
      std::size_t k = 0;
      while (k < extra.size() && extra[k] != e.guid) ++k;
      if (k == extra.size()) {
        extra.push_back(e.guid);
        guids.insert(guids.end(), e.guid.begin(), e.guid.end());
      }
      wguid = static_cast<std::uint16_t>(3 + k);
    }
    std::uint32_t id = e.lid, hash_id = e.lid;
    if (e.is_string) {
      const Bytes name = Utf16(e.name);
      id = static_cast<std::uint32_t>(strings.size());
      hash_id = Crc32(name.data(), name.size());
      Append32(strings, static_cast<std::uint32_t>(name.size()));
      strings.insert(strings.end(), name.begin(), name.end());
      while (strings.size() % 4) strings.push_back(0);
    }
    const std::uint16_t guid_and_kind = static_cast<std::uint16_t>((wguid << 1) | (e.is_string ? 1 : 0));
    Append32(stream, id);
    Append16(stream, guid_and_kind);
    Append16(stream, static_cast<std::uint16_t>(i));
    Bytes& bucket = buckets[(hash_id ^ guid_and_kind) % kBucketCount];
    Append32(bucket, hash_id);
    Append16(bucket, guid_and_kind);
    Append16(bucket, static_cast<std::uint16_t>(i));
  }
  PropMap props;
  props[mapi::PidTagNameidBucketCount] = PropValue::Int32(kBucketCount);
  props[mapi::PidTagNameidStreamGuid] = PropValue::Binary(guids);
  props[mapi::PidTagNameidStreamEntry] = PropValue::Binary(stream);
  props[mapi::PidTagNameidStreamString] = PropValue::Binary(strings);
  for (std::uint32_t b = 0; b < kBucketCount; ++b)
    props[static_cast<std::uint16_t>(mapi::PidTagNameidBucketBase + b)] = PropValue::Binary(buckets[b]);
  return props;
}

}  // namespace norvexa::pstgen
