// The field offsets of the node database's layouts and the reading of page
// and block trailers (see ndb_layout.h).
#include "platform/outlook/ndb_layout.h"

namespace norvexa::outlook::pst {

NdbLayout NdbLayout::For(Format format) {
  NdbLayout l;
  l.format = format;
  l.wide = format != Format::Ansi;
  l.id_size = kIdSize[format];
  l.page_size = kPageSize[format];
  l.block_align = kBlockAlign[format];
  l.block_trailer = kBlockTrailerSize[format];
  l.max_block = kMaxBlockSize[format];
  l.ptype_at = kPageTrailerAt[format];
  l.crc_at = l.ptype_at + kPageTrailerCrcAt[format];
  l.bid_at = l.ptype_at + kPageTrailerBidAt[format];
  l.covered = l.ptype_at;
  l.count_at = kBtPageEntriesSize[format];
  l.entry_size_at = l.count_at + kBtPageCbEntAt[format];
  l.level_at = l.entry_size_at + kBtPageLevelAfterCbEnt;
  l.room = kBtPageEntriesSize[format];
  return l;
}

PageTrailer ReadPageTrailer(const NdbLayout& layout, const std::uint8_t* page) {
  PageTrailer t;
  const std::uint8_t* p = page + layout.ptype_at;
  t.ptype = p[0];
  t.ptype_repeat = p[kPageTrailerPtypeRepeatAt];
  t.sig = Le16(p + kPageTrailerSigAt);
  t.crc = Le32(page + layout.crc_at);
  t.bid = layout.Id(page + layout.bid_at);
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
  const std::size_t needed = header.level == 0 ? layout.LeafEntrySize(ptype) : kBtEntrySlots * layout.id_size;
  return header.entry_size >= needed && header.count * header.entry_size <= layout.room;
}

bool KeysInOrder(const NdbLayout& layout, const std::uint8_t* page, const BtreeHeader& header) {
  for (std::size_t i = 1; i < header.count; ++i) {
    if (BtreeKey(layout, page, header, i - 1) >= BtreeKey(layout, page, header, i)) return false;
  }
  return true;
}

BbtEntry ReadBbtEntry(const NdbLayout& layout, const std::uint8_t* e) {
  BbtEntry entry;
  entry.bid = layout.IdAt(e, kBbtEntryBrefSlot + kBrefBidSlot);
  entry.ib = layout.IdAt(e, kBbtEntryBrefSlot + kBrefIbSlot);
  entry.cb = Le16(e + kBbtEntryCbSlot * layout.id_size);
  return entry;
}

BlockTrailer ReadBlockTrailer(const NdbLayout& layout, const std::uint8_t* t) {
  BlockTrailer b;
  b.cb = Le16(t);
  b.sig = Le16(t + kBlockTrailerSigAt);
  b.crc = Le32(t + kBlockTrailerCrcAt[layout.format]);
  b.bid = layout.Id(t + kBlockTrailerBidAt[layout.format]);
  if (layout.format == Format::Unicode4k) b.inflated = Le16(t + kBlockTrailerInflatedAt4k);
  return b;
}

}  // namespace norvexa::outlook::pst
