// Where the fields of the node database sit in each of its layouts (32-bit
// ANSI, 64-bit Unicode, Unicode with 4 KB pages): the file header, page
// trailers and B-tree pages, B-tree entries, block trailers and the blocks
// of data and subnode trees, each named after its [MS-PST] field; and how a
// page or a block is told from what surrounds it: its trailer (type,
// signature, CRC, identifier) and, for index pages, the entry count, entry
// size and level. The node database reads with these; the index repair
// finds pages and blocks by them when it scans a file.
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

// A size or offset that differs between the layouts: its value in each.
struct PerFormat {
  std::size_t ansi, unicode, unicode4k;
  constexpr std::size_t operator[](Format format) const {
    return format == Format::Ansi ? ansi : format == Format::Unicode ? unicode : unicode4k;
  }
};

// ---------------------------------------------------------------------------
// The file header ([MS-PST] HEADER and its ROOT)
// ---------------------------------------------------------------------------
inline constexpr char kHeaderMagic[4] = {'!', 'B', 'D', 'N'};  // dwMagic, at offset 0
inline constexpr std::size_t kHeaderMagicClientAt = 8;        // wMagicClient
inline constexpr std::uint16_t kMagicClientPst = 0x4D53;      // wMagicClient of a PST file ("SM")
inline constexpr std::uint16_t kMagicClientOst = 0x4F53;      // wMagicClient of an OST file ("SO")
inline constexpr std::size_t kHeaderVersionAt = 10;           // wVer
inline constexpr std::uint16_t kVersionAnsi = 14;             // wVer of ANSI files ...
inline constexpr std::uint16_t kVersionAnsiLast = 15;         // ... up to this one
inline constexpr std::uint16_t kVersionUnicodeEarly = 21;     // wVer of some early Unicode files
inline constexpr std::uint16_t kVersionUnicode = 23;          // wVer of Unicode files
inline constexpr std::uint16_t kVersionUnicode4k = 36;        // wVer of Unicode files with 4 KB pages
// No store file is shorter than its header's first page.
inline constexpr std::size_t kMinFileSize = 512;
// Bytes of the header read for a Unicode file; a Unicode file shorter than
// this has its header cut short.
inline constexpr std::size_t kHeaderReadSizeUnicode = 580;
inline constexpr PerFormat kHeaderRootAt{164, 180, 180};          // root (ROOT)
inline constexpr PerFormat kRootBrefNbtAt{20, 36, 36};            // ROOT.BREFNBT, from the root
inline constexpr PerFormat kRootBrefBbtAt{28, 52, 52};            // ROOT.BREFBBT, from the root
inline constexpr PerFormat kHeaderCryptMethodAt{461, 513, 513};   // bCryptMethod
// A BREF (a reference to a page or block): bid, then ib, one identifier
// slot each (see IdAt).
inline constexpr std::size_t kBrefBidSlot = 0;
inline constexpr std::size_t kBrefIbSlot = 1;

// ---------------------------------------------------------------------------
// Identifiers ([MS-PST] NID and BID)
// ---------------------------------------------------------------------------
inline constexpr PerFormat kIdSize{4, 8, 8};  // bytes of a BID or IB, and of a NID slot in entries
// NID: nidType in the low 5 bits, nidIndex above them.
inline constexpr std::uint32_t kNidTypeMask = 0x1F;
inline std::uint32_t NidType(std::uint32_t nid) { return nid & kNidTypeMask; }
inline std::uint32_t NidWithType(std::uint32_t nid, std::uint32_t type) { return (nid & ~kNidTypeMask) | type; }
// BID: the lowest bit is reserved (B-tree keys leave it clear); the next
// marks an internal block, which holds a data or subnode tree and is never
// encoded.
inline constexpr std::uint64_t kBidReservedBit = 0x1;
inline constexpr std::uint64_t kBidInternalBit = 0x2;
// BID with its reserved bit cleared, as the block B-tree keys it.
inline std::uint64_t BidKey(std::uint64_t bid) { return bid & ~kBidReservedBit; }

// ---------------------------------------------------------------------------
// Pages ([MS-PST] PAGETRAILER and BTPAGE)
// ---------------------------------------------------------------------------
inline constexpr PerFormat kPageSize{512, 512, 4096};
// PAGETRAILER: ptype, ptypeRepeat, wSig, then dwCRC and bid (in the ANSI
// layout bid before dwCRC). It ends the page (4 KB pages: 8 bytes follow it),
// and the CRC covers everything before it.
inline constexpr PerFormat kPageTrailerAt{500, 496, 4072};
inline constexpr std::size_t kPageTrailerPtypeRepeatAt = 1;  // ptypeRepeat, from the trailer
inline constexpr std::size_t kPageTrailerSigAt = 2;          // wSig, from the trailer
inline constexpr PerFormat kPageTrailerCrcAt{8, 4, 4};       // dwCRC, from the trailer
inline constexpr PerFormat kPageTrailerBidAt{4, 8, 8};       // bid, from the trailer
// Page types (ptype) of the two B-trees.
inline constexpr std::uint8_t kPageBbt = 0x80;  // ptypeBBT
inline constexpr std::uint8_t kPageNbt = 0x81;  // ptypeNBT
// BTPAGE: rgentries, then cEnt, cEntMax, cbEnt, cLevel (and padding) before
// the trailer. cEnt and cEntMax are one byte each, two in 4 KB pages.
inline constexpr PerFormat kBtPageEntriesSize{496, 488, 4056};  // rgentries; cEnt follows
inline constexpr PerFormat kBtPageCbEntAt{2, 2, 4};             // cbEnt, from cEnt
inline constexpr std::size_t kBtPageLevelAfterCbEnt = 1;        // cLevel follows cbEnt
// No real B-tree is deeper than a handful of levels; a deeper one is damage.
inline constexpr int kMaxTreeLevel = 10;

// B-tree entries. Their fields sit in slots one identifier wide, so that a
// field's offset is its slot times kIdSize (see NdbLayout::IdAt).
// BTENTRY (intermediate pages of both trees): btkey, then the BREF of the
// child page; 3 slots.
inline constexpr std::size_t kBtEntryBrefSlot = 1;
inline constexpr std::size_t kBtEntrySlots = 3;
// BBTENTRY (block B-tree leaves): the block's BREF, then cb (2 bytes) and
// cRef.
inline constexpr std::size_t kBbtEntryBrefSlot = 0;
inline constexpr std::size_t kBbtEntryCbSlot = 2;
inline constexpr PerFormat kBbtEntrySize{12, 24, 24};
// NBTENTRY (node B-tree leaves): nid, bidData, bidSub, nidParent (4 bytes).
inline constexpr std::size_t kNbtEntryNidSlot = 0;
inline constexpr std::size_t kNbtEntryBidDataSlot = 1;
inline constexpr std::size_t kNbtEntryBidSubSlot = 2;
inline constexpr std::size_t kNbtEntryNidParentSlot = 3;
inline constexpr PerFormat kNbtEntrySize{16, 32, 32};

// ---------------------------------------------------------------------------
// Blocks ([MS-PST] BLOCKTRAILER, XBLOCK/XXBLOCK, SLBLOCK/SIBLOCK)
// ---------------------------------------------------------------------------
inline constexpr PerFormat kBlockAlign{64, 64, 512};        // blocks fill multiples of it
inline constexpr PerFormat kMaxBlockSize{8192, 8192, 65536};  // largest block, trailer included
// BLOCKTRAILER: cb, wSig, then dwCRC and bid (in the ANSI layout bid before
// dwCRC); in 4 KB-page files also the size a deflated block inflates to.
inline constexpr PerFormat kBlockTrailerSize{12, 16, 24};
inline constexpr std::size_t kBlockTrailerSigAt = 2;         // wSig
inline constexpr PerFormat kBlockTrailerCrcAt{8, 4, 4};      // dwCRC
inline constexpr PerFormat kBlockTrailerBidAt{4, 8, 8};      // bid
inline constexpr std::size_t kBlockTrailerInflatedAt4k = 18;  // the inflated size (4 KB-page files)
// The inflated size is 16 bits: no block of a 4 KB-page file holds more.
inline constexpr std::uint64_t kMaxInflatedBlock4k = 0xFFFF;
// The header of the blocks of data trees (XBLOCK, XXBLOCK) and subnode
// trees (SLBLOCK, SIBLOCK): btype, cLevel, cEnt (2 bytes), then for data
// trees lcbTotal (4 bytes).
inline constexpr std::size_t kTreeBlockLevelAt = 1;  // cLevel
inline constexpr std::size_t kTreeBlockCountAt = 2;  // cEnt
inline constexpr std::uint8_t kBlockTypeDataTree = 0x01;  // btype of XBLOCK and XXBLOCK
inline constexpr std::uint8_t kBlockTypeSubnode = 0x02;   // btype of SLBLOCK and SIBLOCK
inline constexpr std::size_t kDataTreeTotalAt = 4;        // lcbTotal
inline constexpr std::size_t kDataTreeHeaderSize = 8;     // rgbid follows
inline constexpr int kMaxDataTreeLevel = 2;               // an XXBLOCK over XBLOCKs
// Subnode blocks: the header is padded to a whole slot in Unicode files.
inline constexpr PerFormat kSubnodeBlockHeaderSize{4, 8, 8};
inline constexpr int kMaxSubnodeLevel = 1;  // an SIBLOCK over SLBLOCKs
// SLENTRY (leaf): nid, bidData, bidSub; SIENTRY (index): nid, bid of an
// SLBLOCK.
inline constexpr std::size_t kSlEntrySlots = 3;
inline constexpr std::size_t kSiEntrySlots = 2;
inline constexpr std::size_t kSubnodeEntryBidDataSlot = 1;  // SLENTRY.bidData, SIENTRY.bid
inline constexpr std::size_t kSubnodeEntryBidSubSlot = 2;   // SLENTRY.bidSub

// Little-endian reads from a byte buffer; the caller checks the bounds.
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// The sizes and field offsets of one layout, taken from the constants above.
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

  // The layout of FORMAT.
  static NdbLayout For(Format format);

  // Bytes of a leaf entry of the tree of page type PTYPE, at least.
  std::size_t LeafEntrySize(std::uint8_t ptype) const {
    return ptype == kPageNbt ? kNbtEntrySize[format] : kBbtEntrySize[format];
  }
  // Bytes a block of CB data bytes fills in the file, trailer included.
  std::uint64_t BlockSpan(std::uint64_t cb) const {
    return (cb + block_trailer + block_align - 1) / block_align * block_align;
  }
  // The identifier (BID, IB or NID, widened) at P.
  std::uint64_t Id(const std::uint8_t* p) const { return wide ? Le64(p) : static_cast<std::uint64_t>(Le32(p)); }
  // The identifier in slot SLOT of the entry at ENTRY (see kBtEntrySlots).
  std::uint64_t IdAt(const std::uint8_t* entry, std::size_t slot) const { return Id(entry + slot * id_size); }
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
  return layout.Id(page + index * header.entry_size);
}

// Whether the keys of the B-tree page at PAGE rise strictly from entry to
// entry, as every index page's do.
bool KeysInOrder(const NdbLayout& layout, const std::uint8_t* page, const BtreeHeader& header);

// A block B-tree leaf entry (BBTENTRY): the block and where it is.
struct BbtEntry {
  std::uint64_t bid = 0;  // as stored, reserved bit included
  std::uint64_t ib = 0;
  std::uint16_t cb = 0;
};
// The block B-tree leaf entry at E (LeafEntrySize(kPageBbt) bytes).
BbtEntry ReadBbtEntry(const NdbLayout& layout, const std::uint8_t* e);

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
