// Where the fields of the lists, tables and properties layer sit: the heap
// on a node ([MS-PST] HNHDR, HNPAGEMAP, HID), B-trees on the heap (BTHHEADER),
// property contexts and table contexts (TCINFO, TCOLDESC), and the older
// wide table form. Offsets count from the start of the structure named;
// only the heap identifier differs in 4 KB-page files. ltp.cpp reads with
// these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvexa::outlook::pst {

// ---------------------------------------------------------------------------
// The heap on a node (HN)
// ---------------------------------------------------------------------------
// HNHDR, at the start of the node's first block: ibHnpm, bSig, bClientSig,
// hidUserRoot, rgbFillLevel.
inline constexpr std::size_t kHnHeaderSigAt = 2;         // bSig
inline constexpr std::uint8_t kHnSignature = 0xEC;       // bSig of every heap
inline constexpr std::size_t kHnHeaderClientSigAt = 3;   // bClientSig: what the heap holds
inline constexpr std::size_t kHnHeaderUserRootAt = 4;    // hidUserRoot
inline constexpr std::size_t kHnHeaderSize = 12;
// Every block of the heap starts with ibHnpm, the offset of its page map
// (HNPAGEHDR, or the start of HNHDR and HNBITMAPHDR).
inline constexpr std::size_t kHnPageMapOffsetAt = 0;
inline constexpr std::size_t kHnPageHeaderSize = 2;
// HNPAGEMAP: cAlloc, cFree, then rgibAlloc (cAlloc + 1 two-byte offsets).
inline constexpr std::size_t kHnPageMapCountAt = 0;   // cAlloc
inline constexpr std::size_t kHnPageMapOffsetsAt = 4; // rgibAlloc
inline constexpr std::size_t kHnPageMapOffsetSize = 2;
// bClientSig values.
inline constexpr std::uint8_t kClientSigTableContext = 0x7C;      // bTypeTC
inline constexpr std::uint8_t kClientSigBth = 0xB5;               // bTypeBTH
inline constexpr std::uint8_t kClientSigPropertyContext = 0xBC;   // bTypePC
inline constexpr std::uint8_t kClientSigWideTableContext = 0xAC;  // the older wide table form

// HID: hidType (the low 5 bits, 0 for a heap item; a value reference with
// another type names a subnode), hidIndex, hidBlockIndex. 4 KB-page files
// widen hidIndex to 14 bits.
inline constexpr std::uint32_t kHidTypeMask = 0x1F;
inline constexpr int kHidIndexShift = 5;
inline constexpr std::uint32_t kHidIndexMask = 0x7FF;
inline constexpr std::uint32_t kHidIndexMask4k = 0x3FFF;
inline constexpr int kHidBlockIndexShift = 16;
inline constexpr int kHidBlockIndexShift4k = 19;

// ---------------------------------------------------------------------------
// B-trees on the heap (BTH)
// ---------------------------------------------------------------------------
// BTHHEADER: bType, cbKey, cbEnt, bIdxLevels, hidRoot.
inline constexpr std::size_t kBthHeaderKeySizeAt = 1;   // cbKey
inline constexpr std::size_t kBthHeaderDataSizeAt = 2;  // cbEnt
inline constexpr std::size_t kBthHeaderLevelsAt = 3;    // bIdxLevels
inline constexpr std::size_t kBthHeaderRootAt = 4;      // hidRoot
inline constexpr std::size_t kBthHeaderSize = 8;
// An intermediate record: the key, then hidNextLevel.
inline constexpr std::size_t kBthIndexHidSize = 4;
// No real B-tree on a heap has more than a few levels.
inline constexpr int kMaxBthLevels = 8;

// ---------------------------------------------------------------------------
// Property contexts (PC): a BTH of 2-byte keys and 6-byte records
// ---------------------------------------------------------------------------
inline constexpr std::size_t kPcKeySize = 2;          // wPropId
inline constexpr std::size_t kPcDataSize = 6;         // wPropType, dwValueHnid
inline constexpr std::size_t kPcDataValueAt = 2;      // dwValueHnid
// Fixed-size values up to this size sit in dwValueHnid itself.
inline constexpr std::size_t kPcMaxInlineSize = 4;
// A PT_OBJECT value (an attached item's or object's data): the subnode's
// nid (4 bytes), then the object's size (4 bytes).
inline constexpr std::size_t kPcObjectValueSize = 8;
inline constexpr std::size_t kPcObjectNidSize = 4;

// ---------------------------------------------------------------------------
// Table contexts (TC)
// ---------------------------------------------------------------------------
// TCINFO: bType, cCols, rgib (the ends of the 4-, 2- and 1-byte cells and of
// the cell existence bitmap: TCI_4b, TCI_2b, TCI_1b, TCI_bm), hidRowIndex,
// hnidRows, hidIndex; then cCols TCOLDESC.
inline constexpr std::size_t kTcInfoColumnCountAt = 1;   // cCols
inline constexpr std::size_t kTcInfoBitmapAt = 6;        // rgib[TCI_1b]: where the bitmap starts
inline constexpr std::size_t kTcInfoRowSizeAt = 8;       // rgib[TCI_bm]: where the bitmap ends, the row size
inline constexpr std::size_t kTcInfoRowIndexAt = 10;     // hidRowIndex
inline constexpr std::size_t kTcInfoRowsAt = 14;         // hnidRows
inline constexpr std::size_t kTcInfoSize = 22;           // rgTCOLDESC follows
// TCOLDESC: tag (type, then identifier), ibData, cbData, iBit.
inline constexpr std::size_t kTcColumnTypeAt = 0;
inline constexpr std::size_t kTcColumnIdAt = 2;
inline constexpr std::size_t kTcColumnOffsetAt = 4;  // ibData
inline constexpr std::size_t kTcColumnSizeAt = 6;    // cbData
inline constexpr std::size_t kTcColumnBitAt = 7;     // iBit
inline constexpr std::size_t kTcColumnSize = 8;
// The older wide form shares TCINFO's first 22 bytes, then gives its column
// count (2 bytes) and a value reference to its column descriptions, 16 bytes
// each: type, identifier, then 2-byte offset, size and bit, and a reference
// to a separate value table.
inline constexpr std::size_t kWideTcColumnCountAt = 22;
inline constexpr std::size_t kWideTcColumnsAt = 24;
inline constexpr std::size_t kWideTcInfoSize = 28;
inline constexpr std::size_t kWideTcColumnOffsetAt = 4;
inline constexpr std::size_t kWideTcColumnSizeAt = 6;
inline constexpr std::size_t kWideTcColumnBitAt = 8;
inline constexpr std::size_t kWideTcColumnValueTableAt = 12;
inline constexpr std::size_t kWideTcColumnSize = 16;
inline constexpr std::size_t kWideTcMaxColumns = 65536;
// The row index: a BTH of 4-byte row identifiers (dwRowID) to the row's
// place in the row matrix (dwRowIndex: 4 bytes, 2 in older files).
inline constexpr std::size_t kTcRowIndexKeySize = 4;
inline constexpr std::size_t kTcRowIndexDataSize = 4;
inline constexpr std::size_t kTcRowIndexDataSizeShort = 2;
// Fixed-size cells up to this size sit in the row itself.
inline constexpr std::size_t kTcMaxInlineSize = 8;
// The cell existence bitmap: column iBit is the bit 0x80 >> (iBit % 8) of
// byte iBit / 8.
inline constexpr std::uint8_t kCebFirstBit = 0x80;

}  // namespace norvexa::outlook::pst
