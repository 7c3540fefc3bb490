// One-pass property index of a stored object (see property_bag.h).
#include "platform/outlook/property_bag.h"

#include "platform/outlook/text_codec.h"

#include <QTimeZone>

#include <cstring>

namespace norvexa::outlook::items {
namespace {

// Reads a little-endian unsigned number of SIZE bytes at DATA.
std::uint64_t LittleEndian(const std::string& data, std::size_t offset, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[offset + i])) << (8 * i);
  }
  return value;
}

bool IsStringType(std::uint16_t type) { return type == mapi::PT_STRING8 || type == mapi::PT_UNICODE; }
bool IsMultiStringType(std::uint16_t type) { return type == mapi::PT_MV_STRING8 || type == mapi::PT_MV_UNICODE; }

// Splits a stored multi-valued variable-size value: a 32-bit count, then
// COUNT 32-bit offsets from the value's start, then the values. Offsets out
// of range end the list rather than read outside the value.
std::vector<std::string> SplitMultiValue(const std::string& data) {
  std::vector<std::string> values;
  if (data.size() < 4) return values;
  const std::uint64_t count = LittleEndian(data, 0, 4);
  if (count > (data.size() - 4) / 4) return values;
  std::vector<std::uint64_t> offsets;
  for (std::uint64_t i = 0; i < count; ++i) offsets.push_back(LittleEndian(data, 4 + 4 * i, 4));
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t begin = offsets[i];
    const std::uint64_t end = i + 1 < count ? offsets[i + 1] : data.size();
    if (begin > end || end > data.size()) break;
    values.push_back(data.substr(begin, end - begin));
  }
  return values;
}

}  // namespace

std::optional<QDateTime> FromFiletime(std::uint64_t filetime) {
  // 4500-08-31 and later is how Outlook stores "none" (e.g. 4501-01-01).
  constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970
  constexpr std::uint64_t kNoDateFrom = 0x0CB3000000000000ULL;
  if (filetime == 0 || filetime >= kNoDateFrom || filetime < kEpochDifference / 2) return std::nullopt;
  const qint64 msecs = static_cast<qint64>(filetime / 10000) - static_cast<qint64>(kEpochDifference / 10000);
  return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()).toLocalTime();
}

PropertyBag::PropertyBag(std::vector<Entry> entries, Reader reader, std::string file, int store_codepage)
    : entries_(std::move(entries)), reader_(std::move(reader)), file_(std::move(file)), codepage_(store_codepage) {
  const Entry* cp = Find(mapi::PR_MESSAGE_CODEPAGE);
  if (cp == nullptr) cp = Find(mapi::PR_INTERNET_CPID);
  if (const auto value = Integer(cp); value && *value > 0 && *value < 100000) codepage_ = static_cast<int>(*value);
}

const PropertyBag::Entry* PropertyBag::Find(std::uint16_t id) const {
  for (const Entry& e : entries_) {
    if (!e.named && e.id == id) return &e;
  }
  return nullptr;
}

const PropertyBag::Entry* PropertyBag::Find(std::uint16_t id, std::uint16_t type) const {
  for (const Entry& e : entries_) {
    if (e.named || e.id != id) continue;
    if (e.type == type || (IsStringType(type) && IsStringType(e.type)) ||
        (IsMultiStringType(type) && IsMultiStringType(e.type))) {
      return &e;
    }
  }
  // Named properties keep their stored identifier: a tag from this store's
  // name-to-ID map finds them too.
  if (id >= mapi::kFirstNamedId) {
    for (const Entry& e : entries_) {
      if (e.id == id && (e.type == type || (IsStringType(type) && IsStringType(e.type)))) return &e;
    }
  }
  return nullptr;
}

const PropertyBag::Entry* PropertyBag::FindNamed(const mapi::Guid& set, std::uint32_t lid) const {
  for (const Entry& e : entries_) {
    if (e.named && !e.by_string && e.lid == lid && e.guid == set) return &e;
  }
  return nullptr;
}

const PropertyBag::Entry* PropertyBag::FindNamed(const mapi::Guid& set, std::string_view name) const {
  for (const Entry& e : entries_) {
    if (e.named && e.by_string && e.guid == set && e.name == name) return &e;
  }
  return nullptr;
}

std::string PropertyBag::Bytes(const Entry* e) const {
  if (e == nullptr || !reader_) return std::string();
  return reader_(*e);
}

std::string PropertyBag::Text(const Entry* e) const {
  if (e == nullptr) return std::string();
  if (e->type == mapi::PT_UNICODE || e->type == mapi::PT_STRING8) {
    const std::string data = Bytes(e);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    return e->type == mapi::PT_UNICODE ? text::FromUnicodeValue(bytes, data.size(), codepage_)
                                 : text::FromCodepage(bytes, data.size(), codepage_);
  }
  if (IsMultiStringType(e->type)) {
    std::string joined;
    for (const std::string& value : Texts(e)) {
      if (!joined.empty()) joined += ", ";
      joined += value;
    }
    return joined;
  }
  return std::string();
}

std::optional<std::int64_t> PropertyBag::Integer(const Entry* e) const {
  if (e == nullptr) return std::nullopt;
  std::size_t width = 0;
  switch (e->type) {
    case mapi::PT_SHORT: width = 2; break;
    case mapi::PT_LONG: width = 4; break;
    case mapi::PT_BOOLEAN: width = 1; break;
    case mapi::PT_I8: width = 8; break;
    default: return std::nullopt;
  }
  const std::string data = Bytes(e);
  if (data.size() < width) return std::nullopt;
  const std::uint64_t raw = LittleEndian(data, 0, width);
  switch (e->type) {
    case mapi::PT_SHORT: return static_cast<std::int16_t>(raw);
    case mapi::PT_LONG: return static_cast<std::int32_t>(raw);
    case mapi::PT_BOOLEAN: return raw != 0 ? 1 : 0;
    default: return static_cast<std::int64_t>(raw);
  }
}

std::optional<double> PropertyBag::Double(const Entry* e) const {
  if (e == nullptr) return std::nullopt;
  if (e->type == mapi::PT_DOUBLE || e->type == mapi::PT_FLOAT) {
    const std::string data = Bytes(e);
    if (e->type == mapi::PT_DOUBLE) {
      if (data.size() < 8) return std::nullopt;
      const std::uint64_t raw = LittleEndian(data, 0, 8);
      double value = 0;
      std::memcpy(&value, &raw, sizeof value);
      return value;
    }
    if (data.size() < 4) return std::nullopt;
    const auto raw = static_cast<std::uint32_t>(LittleEndian(data, 0, 4));
    float value = 0;
    std::memcpy(&value, &raw, sizeof value);
    return static_cast<double>(value);
  }
  if (const auto n = Integer(e)) return static_cast<double>(*n);
  return std::nullopt;
}

std::optional<QDateTime> PropertyBag::Date(const Entry* e) const {
  if (e == nullptr || e->type != mapi::PT_SYSTIME) return std::nullopt;
  const std::string data = Bytes(e);
  if (data.size() < 8) return std::nullopt;
  return FromFiletime(LittleEndian(data, 0, 8));
}

std::vector<std::string> PropertyBag::Texts(const Entry* e) const {
  std::vector<std::string> values;
  if (e == nullptr) return values;
  if (IsStringType(e->type)) {
    values.push_back(Text(e));
    return values;
  }
  if (!IsMultiStringType(e->type)) return values;
  for (const std::string& raw : SplitMultiValue(Bytes(e))) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(raw.data());
    values.push_back(e->type == mapi::PT_MV_UNICODE ? text::FromUnicodeValue(bytes, raw.size(), codepage_)
                                              : text::FromCodepage(bytes, raw.size(), codepage_));
  }
  return values;
}

std::vector<std::string> PropertyBag::Binaries(const Entry* e) const {
  if (e == nullptr) return {};
  if (e->type == mapi::PT_BINARY) return {Bytes(e)};
  if (e->type != mapi::PT_MV_BINARY) return {};
  return SplitMultiValue(Bytes(e));
}

PropValue PropertyBag::Value(const Entry* e) const {
  PropValue value;
  if (e == nullptr) return value;
  if (IsStringType(e->type) || IsMultiStringType(e->type)) {
    value.kind = PropValue::Kind::Text;
    value.text = Text(e);
  } else if (e->type == mapi::PT_BOOLEAN) {
    value.kind = PropValue::Kind::Boolean;
    value.boolean = Integer(e).value_or(0) != 0;
  } else if (e->type == mapi::PT_SHORT || e->type == mapi::PT_LONG || e->type == mapi::PT_I8) {
    if (const auto n = Integer(e)) {
      value.kind = PropValue::Kind::Integer;
      value.integer = *n;
    }
  } else if (e->type == mapi::PT_SYSTIME) {
    if (const auto d = Date(e)) {
      value.kind = PropValue::Kind::DateTime;
      value.date_time = *d;
    }
  } else {
    value.kind = PropValue::Kind::Binary;
    value.text = Bytes(e);
  }
  return value;
}

}  // namespace norvexa::outlook::items
