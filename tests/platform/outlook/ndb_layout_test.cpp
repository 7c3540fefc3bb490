// The node database's layouts: each field of page trailers, B-tree pages,
// block trailers and block B-tree entries is read from where the ANSI,
// Unicode and 4 KB-page layouts put it. The expected offsets are written out
// here from the format's description, apart from the reader's constants, so
// that a constant naming the wrong field or the wrong layout's value fails
// with the field named, before any fixture file does.
#include "platform/outlook/ndb_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace norvexa::outlook::pst {
namespace {

// Writes the SIZE low bytes of VALUE little-endian at AT.
void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where one layout puts each field, and how wide its identifiers are.
struct Expected {
  Format format;
  std::size_t id, page;
  std::size_t ptype, sig, crc, bid;             // page trailer
  std::size_t count, count_size, cb_ent, level;  // B-tree page
  std::size_t block_trailer, block_sig, block_crc, block_bid;
  std::size_t bbt_entry;                         // bytes of a block B-tree leaf entry
};

TEST(NdbLayout, EveryLayoutReadsEachFieldFromItsOwnPlace) {
  const Expected layouts[] = {
      {Format::Ansi, 4, 512, 500, 502, 508, 504, 496, 1, 498, 499, 12, 2, 8, 4, 12},
      {Format::Unicode, 8, 512, 496, 498, 500, 504, 488, 1, 490, 491, 16, 2, 4, 8, 24},
      {Format::Unicode4k, 8, 4096, 4072, 4074, 4076, 4080, 4056, 2, 4060, 4061, 24, 2, 4, 8, 24},
  };
  for (const Expected& x : layouts) {
    SCOPED_TRACE(static_cast<int>(x.format));
    const NdbLayout layout = NdbLayout::For(x.format);
    EXPECT_EQ(layout.id_size, x.id);
    EXPECT_EQ(layout.page_size, x.page);
    EXPECT_EQ(layout.covered, x.ptype);  // the CRC covers all before the trailer

    std::vector<std::uint8_t> page(x.page, 0);
    Put(page, x.ptype, kPageNbt, 1);
    Put(page, x.ptype + 1, kPageBbt, 1);
    Put(page, x.sig, 0xA1B2, 2);
    Put(page, x.crc, 0xC3D4E5F6, 4);
    Put(page, x.bid, 0x0102030405060708ULL, x.id);
    Put(page, x.count, 7, x.count_size);
    Put(page, x.cb_ent, 33, 1);
    Put(page, x.level, 2, 1);
    const PageTrailer t = ReadPageTrailer(layout, page.data());
    EXPECT_EQ(t.ptype, kPageNbt);
    EXPECT_EQ(t.ptype_repeat, kPageBbt);
    EXPECT_EQ(t.sig, 0xA1B2);
    EXPECT_EQ(t.crc, 0xC3D4E5F6u);
    EXPECT_EQ(t.bid, x.id == 8 ? 0x0102030405060708ULL : 0x05060708ULL);
    const BtreeHeader h = ReadBtreeHeader(layout, page.data());
    EXPECT_EQ(h.count, 7u);
    EXPECT_EQ(h.entry_size, 33u);
    EXPECT_EQ(h.level, 2);
    // The entries fill the page up to the entry count, no further.
    EXPECT_TRUE(PossibleBtreeLayout(layout, BtreeHeader{x.count / x.bbt_entry, x.bbt_entry, 0}, kPageBbt));
    EXPECT_FALSE(PossibleBtreeLayout(layout, BtreeHeader{x.count / x.bbt_entry + 1, x.bbt_entry, 0}, kPageBbt));
    EXPECT_FALSE(PossibleBtreeLayout(layout, BtreeHeader{1, x.bbt_entry - 1, 0}, kPageBbt));

    std::vector<std::uint8_t> trailer(x.block_trailer, 0);
    Put(trailer, 0, 1234, 2);
    Put(trailer, x.block_sig, 0x5A5A, 2);
    Put(trailer, x.block_crc, 0x11223344, 4);
    Put(trailer, x.block_bid, 0x0000000100000024ULL, x.id);
    if (x.format == Format::Unicode4k) Put(trailer, 18, 4000, 2);
    EXPECT_EQ(layout.block_trailer, x.block_trailer);
    const BlockTrailer b = ReadBlockTrailer(layout, trailer.data());
    EXPECT_EQ(b.cb, 1234);
    EXPECT_EQ(b.sig, 0x5A5A);
    EXPECT_EQ(b.crc, 0x11223344u);
    EXPECT_EQ(b.bid, x.id == 8 ? 0x0000000100000024ULL : 0x24ULL);
    EXPECT_EQ(b.inflated, x.format == Format::Unicode4k ? 4000 : 0);

    // A block B-tree leaf entry: the block's identifier and offset, then its size.
    std::vector<std::uint8_t> entry(x.bbt_entry, 0);
    Put(entry, 0, 0x49, x.id);
    Put(entry, x.id, 0x4400, x.id);
    Put(entry, 2 * x.id, 100, 2);
    EXPECT_EQ(layout.LeafEntrySize(kPageBbt), x.bbt_entry);
    const BbtEntry e = ReadBbtEntry(layout, entry.data());
    EXPECT_EQ(e.bid, 0x49u);
    EXPECT_EQ(e.ib, 0x4400u);
    EXPECT_EQ(e.cb, 100);
    EXPECT_EQ(BidKey(e.bid), 0x48u);
  }
}

}  // namespace
}  // namespace norvexa::outlook::pst
