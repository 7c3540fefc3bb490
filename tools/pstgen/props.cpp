// Property value constructors.
#include "props.h"

namespace norvexa::pstgen {

std::size_t FixedSize(std::uint16_t type) {
  switch (type) {
    case kPtInt16: return 2;
    case kPtBoolean: return 1;
    case kPtInt32: return 4;
    case kPtDouble:
    case kPtInt64:
    case kPtTime: return 8;
    default: return 0;
  }
}

PropValue PropValue::Int32(std::int32_t v) {
  PropValue p;
  p.type = kPtInt32;
  Append32(p.data, static_cast<std::uint32_t>(v));
  return p;
}
PropValue PropValue::Int16(std::int16_t v) {
  PropValue p;
  p.type = kPtInt16;
  Append16(p.data, static_cast<std::uint16_t>(v));
  return p;
}
PropValue PropValue::Boolean(bool v) {
  PropValue p;
  p.type = kPtBoolean;
  p.data.push_back(v ? 1 : 0);
  return p;
}
PropValue PropValue::Int64(std::int64_t v) {
  PropValue p;
  p.type = kPtInt64;
  Append64(p.data, static_cast<std::uint64_t>(v));
  return p;
}
PropValue PropValue::Time(std::uint64_t filetime) {
  PropValue p;
  p.type = kPtTime;
  Append64(p.data, filetime);
  return p;
}
PropValue PropValue::Unicode(const std::string& utf8) {
  PropValue p;
  p.type = kPtUnicode;
  p.data = Utf16(utf8);
  return p;
}
PropValue PropValue::Binary(Bytes bytes) {
  PropValue p;
  p.type = kPtBinary;
  p.data = std::move(bytes);
  return p;
}

namespace {
// The multi-valued layout: count, offsets from the start, then the values.
Bytes MultiValued(const std::vector<Bytes>& values) {
  Bytes out;
  Append32(out, static_cast<std::uint32_t>(values.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(4 + 4 * values.size());
  for (const Bytes& v : values) {
    Append32(out, offset);
    offset += static_cast<std::uint32_t>(v.size());
  }
  for (const Bytes& v : values) out.insert(out.end(), v.begin(), v.end());
  return out;
}
}  // namespace

PropValue PropValue::MvUnicode(const std::vector<std::string>& values) {
  std::vector<Bytes> encoded;
  for (const std::string& s : values) encoded.push_back(Utf16(s));
  PropValue p;
  p.type = kPtMvUnicode;
  p.data = MultiValued(encoded);
  return p;
}
PropValue PropValue::MvBinary(const std::vector<Bytes>& values) {
  PropValue p;
  p.type = kPtMvBinary;
  p.data = MultiValued(values);
  return p;
}
PropValue PropValue::Object(std::uint32_t nid, std::uint32_t size) {
  PropValue p;
  p.type = kPtObject;
  Append32(p.data, nid);
  Append32(p.data, size);
  return p;
}
PropValue PropValue::Stream(std::uint64_t size, std::function<void(DataStream&)> producer) {
  PropValue p;
  p.type = kPtBinary;
  p.stream_size = size;
  p.stream = std::move(producer);
  return p;
}

}  // namespace norvexa::pstgen
