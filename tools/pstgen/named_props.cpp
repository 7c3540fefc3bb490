// The name-to-id map node: GUID stream, entry stream, string stream and the
// hash buckets.
#include "named_props.h"

#include "ndb_writer.h"

namespace norvexa::pstgen {
namespace {

constexpr std::uint32_t kBucketCount = 251;

// The GUID {DATA1-0000-0000-C000-000000000046} in its on-disk byte order.
Guid MapiGuid(std::uint32_t data1) {
  // {XXXXXXXX-0000-0000-C000-000000000046}
  Guid g{};
  Put32(g.data(), data1);
  g[8] = 0xC0;
  g[15] = 0x46;
  return g;
}

const Guid kPsMapi = MapiGuid(0x00020328);

}  // namespace

const Guid kPsetidAppointment = MapiGuid(0x00062002);
const Guid kPsetidTask = MapiGuid(0x00062003);
const Guid kPsetidAddress = MapiGuid(0x00062004);
const Guid kPsetidCommon = MapiGuid(0x00062008);
const Guid kPsPublicStrings = MapiGuid(0x00020329);

std::uint16_t NamedProps::Register(Entry e) {
  const auto key = std::make_tuple(e.guid, e.is_string, e.lid, e.name);
  const auto it = ids_.find(key);
  if (it != ids_.end()) return it->second;
  if (entries_.size() >= 0x7FFE) throw PstWriteError("too many named properties");
  const auto id = static_cast<std::uint16_t>(0x8000 + entries_.size());
  entries_.push_back(std::move(e));
  ids_.emplace(key, id);
  return id;
}

std::uint16_t NamedProps::Id(const Guid& guid, std::uint32_t lid) { return Register(Entry{guid, false, lid, {}}); }

std::uint16_t NamedProps::Id(const Guid& guid, const std::string& name) {
  return Register(Entry{guid, true, 0, name});
}

PropMap NamedProps::MapProperties() const {
  Bytes guids, stream, strings;
  std::vector<Guid> extra;
  std::vector<Bytes> buckets(kBucketCount);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    std::uint16_t wguid;
    if (e.guid == kPsMapi) {
      wguid = 1;
    } else if (e.guid == kPsPublicStrings) {
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
  props[0x0001] = PropValue::Int32(kBucketCount);
  props[0x0002] = PropValue::Binary(guids);
  props[0x0003] = PropValue::Binary(stream);
  props[0x0004] = PropValue::Binary(strings);
  for (std::uint32_t b = 0; b < kBucketCount; ++b)
    props[static_cast<std::uint16_t>(0x1000 + b)] = PropValue::Binary(buckets[b]);
  return props;
}

}  // namespace norvexa::pstgen
