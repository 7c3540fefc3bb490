// Property value constructors and the string values of a file.
#include "props.h"

#include "codepage.h"

#include <cstring>

namespace norvexa::pstgen {

PropValue PropValue::Int32(std::int32_t v) {
  PropValue p;
  p.type = mapi::PT_LONG;
  Append32(p.data, static_cast<std::uint32_t>(v));
  return p;
}
PropValue PropValue::Double(double v) {
  PropValue p;
  p.type = mapi::PT_DOUBLE;
  std::uint64_t raw = 0;
  std::memcpy(&raw, &v, sizeof raw);
  Append32(p.data, static_cast<std::uint32_t>(raw));
  Append32(p.data, static_cast<std::uint32_t>(raw >> 32));
  return p;
}
PropValue PropValue::Boolean(bool v) {
  PropValue p;
  p.type = mapi::PT_BOOLEAN;
  p.data.push_back(v ? 1 : 0);
  return p;
}
PropValue PropValue::Time(std::uint64_t filetime) {
  PropValue p;
  p.type = mapi::PT_SYSTIME;
  Append64(p.data, filetime);
  return p;
}
PropValue PropValue::Unicode(const std::string& utf8) {
  PropValue p;
  p.type = mapi::PT_UNICODE;
  p.data = Utf16(utf8);
  return p;
}
PropValue PropValue::String8(Bytes bytes) {
  PropValue p;
  p.type = mapi::PT_STRING8;
  p.data = std::move(bytes);
  return p;
}
PropValue PropValue::Binary(Bytes bytes) {
  PropValue p;
  p.type = mapi::PT_BINARY;
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
  p.type = mapi::PT_MV_UNICODE;
  p.data = MultiValued(encoded);
  return p;
}
PropValue PropValue::MvString8(const std::vector<Bytes>& values) {
  PropValue p;
  p.type = mapi::PT_MV_STRING8;
  p.data = MultiValued(values);
  return p;
}
PropValue PropValue::MvBinary(const std::vector<Bytes>& values) {
  PropValue p;
  p.type = mapi::PT_MV_BINARY;
  p.data = MultiValued(values);
  return p;
}
PropValue PropValue::Object(std::uint32_t nid, std::uint32_t size) {
  PropValue p;
  p.type = mapi::PT_OBJECT;
  Append32(p.data, nid);
  Append32(p.data, size);
  return p;
}
PropValue PropValue::Stream(std::uint64_t size, std::function<void(DataStream&)> producer) {
  PropValue p;
  p.type = mapi::PT_BINARY;
  p.stream_size = size;
  p.stream = std::move(producer);
  return p;
}

TextValues::TextValues(const PstFormat& format, int codepage) : string_type_(format.string_type) {
  if (string_type_ == mapi::PT_STRING8) codepage_ = std::make_unique<Codepage>(codepage);
}

TextValues::~TextValues() = default;

PropValue TextValues::Text(const std::string& text) const {
  return codepage_ ? PropValue::String8(codepage_->Encode(text)) : PropValue::Unicode(text);
}

PropValue TextValues::MultiText(const std::vector<std::string>& texts) const {
  if (!codepage_) return PropValue::MvUnicode(texts);
  std::vector<Bytes> encoded;
  for (const std::string& t : texts) encoded.push_back(codepage_->Encode(t));
  return PropValue::MvString8(encoded);
}

Bytes TextValues::Terminated(const std::string& text) const {
  Bytes b = codepage_ ? codepage_->Encode(text) : Utf16(text);
  b.resize(b.size() + (codepage_ ? 1 : 2), 0);
  return b;
}

std::vector<std::uint32_t> TextValues::Columns(const std::vector<std::uint32_t>& tags) const {
  std::vector<std::uint32_t> out;
  for (std::uint32_t tag : tags) {
    const std::uint16_t type = mapi::PropType(tag);
    if (type == mapi::PT_UNICODE || type == mapi::PT_STRING8) tag = mapi::Tag(mapi::PropId(tag), string_type_);
    if (type == mapi::PT_MV_UNICODE || type == mapi::PT_MV_STRING8) {
      tag = mapi::Tag(mapi::PropId(tag), mapi::MV_FLAG | string_type_);
    }
    out.push_back(tag);
  }
  return out;
}

void TextValues::AddCodepage(PropMap& props) const {
  if (codepage_) props[mapi::PR_MESSAGE_CODEPAGE] = PropValue::Int32(codepage_->number());
}

}  // namespace norvexa::pstgen
