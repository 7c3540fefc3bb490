// Property values as the PST stores them: a MAPI property type and the
// value's little-endian bytes, or a producer that streams a large binary.
#pragma once

#include "pst_format.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace norvexa::pstgen {

class DataStream;

enum PropType : std::uint16_t {
  kPtInt16 = 0x0002,
  kPtInt32 = 0x0003,
  kPtDouble = 0x0005,
  kPtBoolean = 0x000B,
  kPtObject = 0x000D,
  kPtInt64 = 0x0014,
  kPtUnicode = 0x001F,
  kPtTime = 0x0040,
  kPtBinary = 0x0102,
  kPtMvInt32 = 0x1003,
  kPtMvUnicode = 0x101F,
  kPtMvBinary = 0x1102,
};

// Size of a fixed-size type in a table row, 0 for variable-size types.
std::size_t FixedSize(std::uint16_t type);

struct PropValue {
  std::uint16_t type = 0;
  Bytes data;  // fixed types: their bytes; others: the stored bytes
  // Large binaries made on demand: writes STREAM_SIZE bytes into the stream.
  std::function<void(DataStream&)> stream;
  std::uint64_t stream_size = 0;

  static PropValue Int32(std::int32_t v);
  static PropValue Int16(std::int16_t v);
  static PropValue Boolean(bool v);
  static PropValue Int64(std::int64_t v);
  static PropValue Time(std::uint64_t filetime);
  static PropValue Unicode(const std::string& utf8);
  static PropValue Binary(Bytes bytes);
  static PropValue MvUnicode(const std::vector<std::string>& values);
  static PropValue MvBinary(const std::vector<Bytes>& values);
  // A PtypObject value: the subnode NID holding the object and its size.
  static PropValue Object(std::uint32_t nid, std::uint32_t size);
  static PropValue Stream(std::uint64_t size, std::function<void(DataStream&)> producer);

  std::uint64_t size() const { return stream ? stream_size : data.size(); }
};

// Properties of one object by property id (ascending, as PCs require).
using PropMap = std::map<std::uint16_t, PropValue>;

inline constexpr std::uint32_t Tag(std::uint16_t id, std::uint16_t type) {
  return (static_cast<std::uint32_t>(id) << 16) | type;
}

}  // namespace norvexa::pstgen
