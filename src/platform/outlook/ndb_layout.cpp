// The field offsets of the node database's layouts and the reading of page
// and block trailers (see ndb_layout.h).
#include "platform/outlook/ndb_layout.h"

namespace norvexa::outlook::pst {

NdbLayout NdbLayout::For(Format format) {
  NdbLayout l;
  l.format = format;
  switch (format) {
    case Format::Ansi:
      l.wide = false;
      l.id_size = 4;
      l.block_trailer = 12;
      l.ptype_at = 500;
      l.bid_at = 504;
      l.crc_at = 508;
      l.covered = 500;
      l.count_at = 496;
      l.entry_size_at = 498;
      l.level_at = 499;
      l.room = 496;
      break;
    case Format::Unicode:
      break;
    case Format::Unicode4k:
      l.page_size = 4096;
      l.block_align = 512;
      l.block_trailer = 24;
      l.max_block = 65536;
      l.ptype_at = 4072;
      l.crc_at = 4076;
      l.bid_at = 4080;
      l.covered = 4072;
      // Two-byte counts in 4 KB pages.
      l.count_at = 4056;
      l.entry_size_at = 4060;
      l.level_at = 4061;
      l.room = 4056;
      break;
  }
  return l;
}

PageTrailer ReadPageTrailer(const NdbLayout& layout, const std::uint8_t* page) {
  PageTrailer t;
  const std::uint8_t* p = page + layout.ptype_at;
  t.ptype = p[0];
  t.ptype_repeat = p[1];
  t.sig = Le16(p + 2);
  t.crc = Le32(page + layout.crc_at);
  t.bid = layout.wide ? Le64(page + layout.bid_at) : Le32(page + layout.bid_at);
  return t;
}

int PageTrailerMismatches(const PageTrailer& trailer, std::uint8_t ptype, std::uint64_t bid, std::uint64_t ib) {
  return (trailer.ptype != ptype) + (trailer.ptype_repeat != ptype) + (trailer.sig != ComputeSig(ib, bid)) +
         (trailer.bid != bid);
}

BtreeHeader ReadBtreeHeader(const NdbLayout& layout, const std::uint8_t* page) {
  BtreeHeader h;
  h.count = layout.format == Format::Unicode4k ? Le16(page + layout.count_at) : page[layout.count_at];
  h.entry_size = page[layout.entry_size_at];
  h.level = page[layout.level_at];
  return h;
}

bool PossibleBtreeLayout(const NdbLayout& layout, const BtreeHeader& header, std::uint8_t ptype) {
  if (header.level > kMaxTreeLevel) return false;
  const std::size_t needed = header.level == 0 ? layout.LeafEntrySize(ptype) : 3 * layout.id_size;
  return header.entry_size >= needed && header.count * header.entry_size <= layout.room;
}

bool KeysInOrder(const NdbLayout& layout, const std::uint8_t* page, const BtreeHeader& header) {
  for (std::size_t i = 1; i < header.count; ++i) {
    if (BtreeKey(layout, page, header, i - 1) >= BtreeKey(layout, page, header, i)) return false;
  }
  return true;
}

BlockTrailer ReadBlockTrailer(const NdbLayout& layout, const std::uint8_t* t) {
  BlockTrailer b;
  b.cb = Le16(t);
  b.sig = Le16(t + 2);
  if (layout.wide) {
    b.crc = Le32(t + 4);
    b.bid = Le64(t + 8);
    if (layout.format == Format::Unicode4k) b.inflated = Le16(t + 18);
  } else {
    b.bid = Le32(t + 4);
    b.crc = Le32(t + 8);
  }
  return b;
}

}  // namespace norvexa::outlook::pst
