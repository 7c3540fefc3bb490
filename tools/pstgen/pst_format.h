// Byte-level building blocks of the PST file formats: little-endian stores,
// the PST CRC-32, the block/page signature, the block encodings (permutation
// and cyclic), block deflation, and the format descriptor that holds every
// size and offset in which the 64-bit Unicode, the 32-bit ANSI and the 4 KB-
// page Unicode formats differ. Writers and the checker take their layout
// from a PstFormat; nothing else decides it.
#pragma once

#include "platform/outlook/mapi_tags.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::pstgen {

// MAPI's property identifiers, types and property sets, shared with the
// store access that reads what is written here.
namespace mapi = outlook::mapi;

using Bytes = std::vector<std::uint8_t>;

// Sizes shared by the two formats of 512-byte pages (Unicode and ANSI); the
// 4 KB-page format has its own in its descriptor.
inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kMapBitsSize = 496;        // bits of an AMap/PMap/FMap/FPMap page
inline constexpr std::size_t kMaxBlockSize = 8192;      // a block with its trailer
inline constexpr std::uint64_t kFirstAMap = 0x4400;
inline constexpr std::uint64_t kAMapCoverage = 253952;  // 496 * 8 * 64
// The largest heap allocation, in every format.
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

// How external data blocks are encoded on disk (bCryptMethod): none, the
// permutation ("compressible") or the cyclic ("high") encoding.
enum class Encoding : std::uint8_t { None = 0x00, Permute = 0x01, Cyclic = 0x02 };

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
// Encodes or decodes (the cyclic encoding is its own inverse) SIZE bytes in
// place with NDB_CRYPT_CYCLIC, keyed by KEY: the low 32 bits of the block id.
void CyclicCode(std::uint8_t* data, std::size_t size, std::uint32_t key);

// Encodes the SIZE bytes of the external block BID in place with ENCODING.
void EncodeBlock(Encoding encoding, std::uint64_t bid, std::uint8_t* data, std::size_t size);
// Reverses EncodeBlock.
void DecodeBlock(Encoding encoding, std::uint64_t bid, std::uint8_t* data, std::size_t size);

// Deflates SIZE bytes at DATA into a zlib stream (RFC 1950: the form both
// libpff and our reader inflate); returns the stream, or nothing when it
// would not be shorter than the data itself (the block is then stored as
// it is). Throws std::runtime_error when zlib fails.
std::optional<Bytes> Deflate(const std::uint8_t* data, std::size_t size);
// Inflates the zlib stream of SIZE bytes at DATA into exactly INFLATED
// bytes; false when it is not such a stream.
bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t inflated, Bytes& out);

// The file formats: 64-bit Unicode (wVer 23), 32-bit ANSI (wVer 14), and the
// 64-bit Unicode format of 4 KB pages (wVer 36) that Outlook 2013 and later
// write for OST files.
enum class FileFormat : std::uint8_t { Unicode, Ansi, Unicode4k };

// The fields of the file header that the writer sets and the checker reads;
// their offsets depend on the format (PstFormat::WriteHeader/ReadHeader).
struct HeaderFields {
  std::uint16_t version = 0;          // wVer
  std::uint16_t client_version = 19;  // wVerClient
  std::uint64_t bid_next_b = 0;       // next block id
  std::uint64_t bid_next_p = 0;       // next page id
  std::uint32_t unique = 0;           // dwUnique
  std::array<std::uint32_t, 32> rgnid{};
  // ROOT.
  std::uint64_t file_eof = 0;
  std::uint64_t amap_last = 0;
  std::uint64_t amap_free = 0;
  std::uint64_t pmap_free = 0;
  std::uint64_t nbt_bid = 0, nbt_ib = 0;
  std::uint64_t bbt_bid = 0, bbt_ib = 0;
  std::uint8_t amap_valid = 0;
  std::array<std::uint8_t, 128> rgb_fm{};
  std::array<std::uint8_t, 128> rgb_fp{};
  std::uint8_t sentinel = 0x80;
  std::uint8_t crypt = 0;
  // CRCs as stored (read) or computed (write); ANSI headers have no full CRC.
  std::uint32_t crc_partial = 0;
  std::uint32_t crc_full = 0;
};

// A page trailer (PAGETRAILER) as read from a page.
struct PageTrailer {
  std::uint8_t ptype = 0, ptype_repeat = 0;
  std::uint16_t sig = 0;
  std::uint32_t crc = 0;
  std::uint64_t bid = 0;
};

// A block trailer (BLOCKTRAILER) as read from a block. INFLATED is the size
// of the block's data once inflated (4 KB-page format only; the others have
// no such field and read it as CB): a value other than CB (and 0) means the
// CB bytes on disk are a zlib stream.
struct BlockTrailer {
  std::uint16_t cb = 0;
  std::uint16_t sig = 0;
  std::uint32_t crc = 0;
  std::uint64_t bid = 0;
  std::uint16_t inflated = 0;
};

// A leaf entry of the block B-tree (BBTENTRY): the block's id and offset,
// its bytes on disk (cb), the bytes its data inflates to (4 KB-page format
// only; the others read it as cb) and its reference count.
struct BbtEntry {
  std::uint64_t bid = 0, ib = 0;
  std::uint16_t cb = 0, inflated = 0, refs = 0;
};

// The counts and sizes of a B-tree page (BTPAGE): cEnt, cEntMax, cbEnt,
// cLevel.
struct BTreeMeta {
  std::size_t count = 0, max = 0, entry_size = 0;
  std::uint8_t level = 0;
};

// Every size and offset in which the formats differ. Block ids, byte
// offsets and (in B-tree and subnode entries) node ids take id_size bytes;
// B-tree, subnode and data-tree entries are made of such ids.
struct PstFormat {
  FileFormat kind;
  const char* name;                 // "Unicode", "ANSI" or "Unicode 4K"
  std::uint16_t version;            // wVer written
  std::size_t header_size;          // 564 or 512
  std::size_t id_size;              // 8 or 4
  std::size_t page_size;            // B-tree, map and density-list pages: 512 or 4096
  std::size_t page_trailer_at;      // page bytes before the trailer, all under its CRC
  std::size_t btree_meta_at;        // cEnt, cEntMax, cbEnt, cLevel of a B-tree page
  std::size_t btree_count_size;     // bytes of cEnt and of cEntMax: 1, or 2 in 4 KB pages
  std::size_t map_bits_at;          // first bit byte of a map page (after ANSI's padding)
  std::size_t map_bits_size;        // bytes of bits in a map page: 496 or 4072
  std::uint64_t map_unit;           // bytes one AMap bit stands for: 64 or 512
  std::uint64_t first_amap;         // 0x4400, or 0x22000 in 4 KB-page files
  std::uint64_t density_list_at;    // 0x4200, or 0x21000 in 4 KB-page files
  bool side_maps;                   // PMap, FMap and FPMap pages (none in 4 KB-page files)
  std::size_t block_align;          // blocks start and end on multiples of 64, or 512
  std::size_t block_trailer_size;   // 16, 12 or 24
  std::size_t max_block_data;       // 8176, 8180 or 65512
  std::size_t subnode_header_size;  // SLBLOCK/SIBLOCK header: 8 (with padding) or 4
  std::uint64_t max_file_size;      // past it the format's offsets cannot reach
  std::uint16_t string_type;        // mapi::PT_UNICODE or mapi::PT_STRING8
  std::size_t row_index_size;       // row number in a table's row index (TCROWID): 4 or 2
  unsigned hid_index_bits;          // bits of hidIndex in a heap id: 11, or 14 in 4 KB-page files
  bool deflates;                    // blocks may be stored deflated, their BBT entries and
                                    // trailers then say the inflated size (4 KB-page format only)

  // Entry sizes and counts of B-tree pages, subnode blocks and data trees.
  std::size_t btree_entry_size() const { return 3 * id_size; }  // BTENTRY and BBTENTRY
  std::size_t nbt_entry_size() const { return 4 * id_size; }    // NBTENTRY
  std::size_t btree_max_entries() const { return btree_meta_at / btree_entry_size(); }
  std::size_t nbt_max_entries() const { return btree_meta_at / nbt_entry_size(); }
  std::size_t sl_entry_size() const { return 3 * id_size; }
  std::size_t si_entry_size() const { return 2 * id_size; }
  std::size_t sl_max_entries() const { return (max_block_data - subnode_header_size) / sl_entry_size(); }
  std::size_t si_max_entries() const { return (max_block_data - subnode_header_size) / si_entry_size(); }
  std::size_t xblock_max_entries() const { return (max_block_data - 8) / id_size; }

  // Allocation-map regions: region R starts with its AMap page at
  // RegionStart(R) and covers amap_coverage() bytes from there.
  std::uint64_t amap_coverage() const { return map_bits_size * 8 * map_unit; }
  std::uint64_t RegionStart(std::uint64_t region) const { return first_amap + region * amap_coverage(); }
  // Which map pages region R holds besides its AMap (PMap, FMap, FPMap).
  bool HasPMap(std::uint64_t r) const { return side_maps && r % 8 == 0; }
  bool HasFMap(std::uint64_t r) const { return side_maps && r >= 128 && (r - 128) % 496 == 0; }
  bool HasFPMap(std::uint64_t r) const { return side_maps && r >= 8192 && (r - 8192) % 31744 == 0; }
  // Offset, from its start, of the first byte of region R after its map pages.
  std::uint64_t FirstDataOffset(std::uint64_t r) const {
    if (HasFPMap(r)) return 4 * page_size;
    if (HasFMap(r)) return 3 * page_size;
    if (HasPMap(r)) return 2 * page_size;
    return page_size;
  }

  // Heap ids (HID): hidType 0 in the low 5 bits, then hidIndex (from 1) in
  // hid_index_bits bits, then the heap block in the rest.
  std::uint32_t MakeHid(std::size_t block, std::size_t index) const {
    return static_cast<std::uint32_t>((block << (5 + hid_index_bits)) | (index << 5));
  }
  std::size_t HidBlock(std::uint32_t hid) const { return hid >> (5 + hid_index_bits); }
  std::size_t HidIndex(std::uint32_t hid) const { return (hid >> 5) & ((1u << hid_index_bits) - 1); }
  // The most allocations one heap page can hold, and the most pages a heap can have.
  std::size_t max_heap_items() const { return (std::size_t{1} << hid_index_bits) - 1; }
  std::size_t max_heap_pages() const { return std::size_t{1} << (27 - hid_index_bits); }

  // Stores or loads an id (block id, byte offset, node id) of id_size bytes.
  void PutId(std::uint8_t* p, std::uint64_t v) const;
  std::uint64_t GetId(const std::uint8_t* p) const;
  void AppendId(std::vector<std::uint8_t>& b, std::uint64_t v) const;

  // Fills the trailer of the page_size-byte PAGE: type, signature, CRC of
  // the bytes before the trailer, and BID.
  void WritePageTrailer(std::uint8_t* page, std::uint8_t ptype, std::uint16_t sig, std::uint64_t bid) const;
  PageTrailer ReadPageTrailer(const std::uint8_t* page) const;
  // The CRC a page's trailer should hold.
  std::uint32_t PageCrc(const std::uint8_t* page) const;

  // Stores or loads the BBT leaf entry at E (btree_entry_size() bytes).
  void WriteBbtEntry(std::uint8_t* e, const BbtEntry& entry) const;
  BbtEntry ReadBbtEntry(const std::uint8_t* e) const;

  // Stores or loads cEnt, cEntMax, cbEnt and cLevel of the B-tree PAGE.
  void WriteBTreeMeta(std::uint8_t* page, const BTreeMeta& meta) const;
  BTreeMeta ReadBTreeMeta(const std::uint8_t* page) const;

  // Fills the trailer at TRAILER (block_trailer_size bytes) of a block of
  // CB bytes on disk that hold INFLATED bytes of data (CB unless deflated;
  // the formats of 512-byte pages have no room for it and ignore it).
  void WriteBlockTrailer(std::uint8_t* trailer, std::uint16_t cb, std::uint16_t sig, std::uint32_t crc,
                         std::uint64_t bid, std::uint16_t inflated) const;
  BlockTrailer ReadBlockTrailer(const std::uint8_t* trailer) const;
  // Bytes a block of CB bytes on disk takes there (trailer and alignment).
  std::size_t BlockTotal(std::size_t cb) const {
    return (cb + block_trailer_size + block_align - 1) / block_align * block_align;
  }

  // Writes FIELDS into the header H (header_size bytes, zeroed by the
  // caller) with its CRCs.
  void WriteHeader(const HeaderFields& fields, std::uint8_t* h) const;
  // Reads the header H (header_size bytes).
  HeaderFields ReadHeader(const std::uint8_t* h) const;
  // The CRCs the header H should hold (crc_full is 0 for ANSI).
  std::uint32_t HeaderCrcPartial(const std::uint8_t* h) const;
  std::uint32_t HeaderCrcFull(const std::uint8_t* h) const;
  bool has_crc_full() const { return kind != FileFormat::Ansi; }
};

// The descriptor of FORMAT.
const PstFormat& FormatOf(FileFormat format);

// The format of a file whose header says wVer VERSION: 14 and 15 are ANSI,
// 21 and 23 Unicode, 36 Unicode with 4 KB pages; any other none.
const PstFormat* FormatOfVersion(std::uint16_t version);

// UTF-16LE bytes of UTF-8 text TEXT (no terminator).
Bytes Utf16(const std::string& text);

// The 64-bit FILETIME (100 ns units since 1601-01-01 UTC) of Unix time SECONDS.
inline std::uint64_t FileTimeFromUnix(std::int64_t seconds) {
  return static_cast<std::uint64_t>((seconds + 11644473600LL) * 10000000LL);
}

}  // namespace norvexa::pstgen
