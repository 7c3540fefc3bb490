// Byte-level building blocks of the Unicode PST file format: little-endian
// stores, the PST CRC-32, the block/page signature, the permutation encoding,
// and the constants shared by the node database and the table layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvexa::pstgen {

using Bytes = std::vector<std::uint8_t>;

// Sizes of the Unicode format.
inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageDataSize = 496;       // page minus trailer
inline constexpr std::size_t kBlockTrailerSize = 16;
inline constexpr std::size_t kMaxBlockData = 8176;      // 8192 minus trailer
inline constexpr std::uint64_t kFirstAMap = 0x4400;
inline constexpr std::uint64_t kAMapCoverage = 253952;  // 496 * 8 * 64
inline constexpr std::size_t kMaxHeapAllocation = 3580;

// Page types.
inline constexpr std::uint8_t kPtypeBBT = 0x80;
inline constexpr std::uint8_t kPtypeNBT = 0x81;
inline constexpr std::uint8_t kPtypeFMap = 0x82;
inline constexpr std::uint8_t kPtypePMap = 0x83;
inline constexpr std::uint8_t kPtypeAMap = 0x84;
inline constexpr std::uint8_t kPtypeFPMap = 0x85;
inline constexpr std::uint8_t kPtypeDL = 0x86;

// NID types (low five bits of a node id).
enum NidType : std::uint32_t {
  kNidTypeHid = 0x00,
  kNidTypeInternal = 0x01,
  kNidTypeNormalFolder = 0x02,
  kNidTypeSearchFolder = 0x03,
  kNidTypeNormalMessage = 0x04,
  kNidTypeAttachment = 0x05,
  kNidTypeHierarchyTable = 0x0D,
  kNidTypeContentsTable = 0x0E,
  kNidTypeAssocContentsTable = 0x0F,
  kNidTypeSearchContentsTable = 0x10,
  kNidTypeAttachmentTable = 0x11,
  kNidTypeRecipientTable = 0x12,
  kNidTypeLtp = 0x1F,
};

inline constexpr std::uint32_t MakeNid(std::uint32_t type, std::uint32_t index) {
  return (index << 5) | type;
}

// How external data blocks are encoded on disk (bCryptMethod).
enum class Encoding : std::uint8_t { None = 0x00, Permute = 0x01 };

// Little-endian stores into a buffer at OFFSET; the buffer must be large
// enough (callers size it first).
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

// Appends to a growing buffer.
inline void Append16(Bytes& b, std::uint16_t v) { b.resize(b.size() + 2); Put16(&b[b.size() - 2], v); }
inline void Append32(Bytes& b, std::uint32_t v) { b.resize(b.size() + 4); Put32(&b[b.size() - 4], v); }
inline void Append64(Bytes& b, std::uint64_t v) { b.resize(b.size() + 8); Put64(&b[b.size() - 8], v); }
inline void AppendBytes(Bytes& b, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  b.insert(b.end(), p, p + size);
}

// The PST CRC-32 (reflected polynomial 0xEDB88320, initial value CRC, no
// final inversion) of SIZE bytes at DATA.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// The 16-bit signature of a block or page at file offset IB with id BID.
inline std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid) {
  const std::uint64_t v = ib ^ bid;
  return static_cast<std::uint16_t>((v >> 16) ^ v);
}

// Encodes SIZE bytes in place with the permutation table (NDB_CRYPT_PERMUTE).
void PermuteEncode(std::uint8_t* data, std::size_t size);
// Reverses PermuteEncode.
void PermuteDecode(std::uint8_t* data, std::size_t size);

// UTF-16LE bytes of UTF-8 text TEXT (no terminator).
Bytes Utf16(const std::string& text);

// The 64-bit FILETIME (100 ns units since 1601-01-01 UTC) of Unix time SECONDS.
inline std::uint64_t FileTimeFromUnix(std::int64_t seconds) {
  return static_cast<std::uint64_t>((seconds + 11644473600LL) * 10000000LL);
}

}  // namespace norvexa::pstgen
