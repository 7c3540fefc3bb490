// Where the fields of index pages and block trailers sit in each layout of
// the node database, and how a page or a block is told from what surrounds
// it: its trailer (type, signature, CRC, identifier) and, for index pages,
// the entry count, entry size and level. The node database checks what it
// reads with these; the index repair finds pages and blocks by them when it
// scans a file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvexa::outlook::pst {

// The three layouts of the node database.
enum class Format {
  Ansi,       // 32-bit identifiers and offsets, 512-byte pages
  Unicode,    // 64-bit identifiers and offsets, 512-byte pages
  Unicode4k,  // 64-bit, 4 KB pages and 512-byte block alignment (newer OST)
};

// Page types of the two B-trees.
inline constexpr std::uint8_t kPageBbt = 0x80;
inline constexpr std::uint8_t kPageNbt = 0x81;
// No real B-tree is deeper than a handful of levels; a deeper one is damage.
inline constexpr int kMaxTreeLevel = 10;

// Little-endian reads from a byte buffer; the caller checks the bounds.
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// The sizes and field offsets of one layout.
struct NdbLayout {
  Format format = Format::Unicode;
  bool wide = true;                // 64-bit identifiers and offsets
  std::size_t id_size = 8;         // bytes of a BID or IB
  std::size_t page_size = 512;     // pages sit on multiples of it
  std::size_t block_align = 64;    // blocks fill multiples of it
  std::size_t block_trailer = 16;  // bytes of a block trailer
  std::size_t max_block = 8192;    // largest block, trailer included
  // The page trailer: ptype, ptypeRepeat, wSig at ptype_at; CRC and BID.
  std::size_t ptype_at = 496, crc_at = 500, bid_at = 504;
  std::size_t covered = 496;  // bytes of the page its CRC covers
  // B-tree pages: entry count, entry size and level, and the room for entries.
  std::size_t count_at = 488, entry_size_at = 490, level_at = 491, room = 488;

  static NdbLayout For(Format format);

  // Bytes of a leaf entry of the tree of page type PTYPE, at least.
  std::size_t LeafEntrySize(std::uint8_t ptype) const {
    return ptype == kPageNbt ? (wide ? 32 : 16) : (wide ? 24 : 12);
  }
  // Bytes a block of CB data bytes fills in the file, trailer included.
  std::uint64_t BlockSpan(std::uint64_t cb) const {
    return (cb + block_trailer + block_align - 1) / block_align * block_align;
  }
};

// The 16-bit signature of a page or block at file offset IB with identifier
// BID, which its trailer repeats.
inline std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid) {
  const std::uint64_t v = ib ^ bid;
  return static_cast<std::uint16_t>((v >> 16) ^ v);
}

struct PageTrailer {
  std::uint8_t ptype = 0, ptype_repeat = 0;
  std::uint16_t sig = 0;
  std::uint32_t crc = 0;
  std::uint64_t bid = 0;
};
// The trailer of the page_size bytes at PAGE.
PageTrailer ReadPageTrailer(const NdbLayout& layout, const std::uint8_t* page);

// How many fields of TRAILER differ from those of the page of type PTYPE,
// identifier BID, at offset IB (type, its repeat, signature, identifier).
int PageTrailerMismatches(const PageTrailer& trailer, std::uint8_t ptype, std::uint64_t bid, std::uint64_t ib);

// The entry count, entry size and level of the B-tree page at PAGE.
struct BtreeHeader {
  std::size_t count = 0;
  std::size_t entry_size = 0;
  int level = 0;
};
BtreeHeader ReadBtreeHeader(const NdbLayout& layout, const std::uint8_t* page);

// Whether HEADER is a layout a B-tree page of type PTYPE can have: entries
// at least as large as their kind, all within the page's room, a level no
// real tree reaches excluded.
bool PossibleBtreeLayout(const NdbLayout& layout, const BtreeHeader& header, std::uint8_t ptype);

// The key of entry INDEX of the B-tree page at PAGE (the caller checks it is
// within the page).
inline std::uint64_t BtreeKey(const NdbLayout& layout, const std::uint8_t* page, const BtreeHeader& header,
                              std::size_t index) {
  const std::uint8_t* e = page + index * header.entry_size;
  return layout.wide ? Le64(e) : static_cast<std::uint64_t>(Le32(e));
}

// Whether the keys of the B-tree page at PAGE rise strictly from entry to
// entry, as every index page's do.
bool KeysInOrder(const NdbLayout& layout, const std::uint8_t* page, const BtreeHeader& header);

struct BlockTrailer {
  std::uint16_t cb = 0;
  std::uint16_t sig = 0;
  std::uint32_t crc = 0;
  std::uint64_t bid = 0;
  std::uint16_t inflated = 0;  // 4 KB-page files: the size a deflated block inflates to
};
// The block trailer at T (block_trailer bytes).
BlockTrailer ReadBlockTrailer(const NdbLayout& layout, const std::uint8_t* t);

}  // namespace norvexa::outlook::pst
