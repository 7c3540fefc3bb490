// The indexes of a damaged store file rebuilt by scanning it (see
// index_repair.h).
#include "platform/outlook/index_repair.h"

#include "platform/outlook/block_encoding.h"

#include <algorithm>

namespace norvexa::outlook::pst {
namespace {

// Bytes read at a time by a scan.
constexpr std::size_t kChunk = 4u << 20;
// How far back from a key's place a lookup looks for pages that cover it:
// live pages do not overlap, and a file holds only a few old copies of a
// page, so a longer walk is a sign of pages found in error.
constexpr std::size_t kMaxCovering = 4096;

}  // namespace

IndexRepair::IndexRepair(const NdbLayout& layout, std::uint64_t file_size, ReadRange read_range,
                         ReadPage read_page)
    : layout_(layout), file_size_(file_size), read_range_(std::move(read_range)), read_page_(std::move(read_page)) {}

// ---------------------------------------------------------------------------
// The scan of index pages
// ---------------------------------------------------------------------------

void IndexRepair::AddLeafPage(std::uint8_t ptype, std::uint64_t ib, const std::uint8_t* p) {
  const PageTrailer trailer = ReadPageTrailer(layout_, p);
  const BtreeHeader header = ReadBtreeHeader(layout_, p);
  if (header.level != 0 || header.count == 0 || !PossibleBtreeLayout(layout_, header, ptype)) return;
  Tree& tree = TreeOf(ptype);
  const bool intact = PstCrc(p, layout_.covered) == trailer.crc && KeysInOrder(layout_, p, header);
  if (intact) {
    if (tree.pages.size() + nbt_.entries.size() + bbt_.entries.size() >= kMaxPages) {
      stats_.incomplete = true;
      return;
    }
    tree.pages.push_back(Page{BtreeKey(layout_, p, header, 0), BtreeKey(layout_, p, header, header.count - 1),
                              trailer.bid, ib});
    ++stats_.leaf_pages;
    return;
  }
  // A damaged page: its entries are kept one by one, leaving out each one
  // whose key is out of order with a neighbour's (a damaged key, or the
  // neighbour of one).
  ++stats_.damaged_leaf_pages;
  for (std::size_t i = 0; i < header.count; ++i) {
    const std::uint64_t key = BtreeKey(layout_, p, header, i);
    if (i > 0 && BtreeKey(layout_, p, header, i - 1) >= key) continue;
    if (i + 1 < header.count && key >= BtreeKey(layout_, p, header, i + 1)) continue;
    if (tree.entries.size() >= kMaxEntries) {
      stats_.incomplete = true;
      return;
    }
    Entry e;
    e.key = key;
    e.bid = trailer.bid;
    const std::uint8_t* at = p + i * header.entry_size;
    e.entry.bytes.assign(at, at + header.entry_size);
    e.entry.page_ib = ib;
    e.entry.page_damaged = true;
    tree.entries.push_back(std::move(e));
  }
}

void IndexRepair::ScanPages() {
  stats_.pages_scanned = true;
  const std::size_t page = layout_.page_size;
  std::vector<std::uint8_t> chunk;
  // The header fills the first page; pages start after it.
  for (std::uint64_t start = page; start + page <= file_size_; start += kChunk) {
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, (file_size_ - start) / page * page));
    chunk.resize(size);
    read_range_(start, size, chunk.data());
    for (std::size_t at = 0; at + page <= size; at += page) {
      const std::uint8_t* p = chunk.data() + at;
      const PageTrailer t = ReadPageTrailer(layout_, p);
      if ((t.ptype != kPageNbt && t.ptype != kPageBbt) || t.ptype_repeat != t.ptype) continue;
      // The signature binds the page to its place: an old copy of a page
      // that was moved, or bytes that only look like a trailer, fail it.
      if (t.sig != ComputeSig(start + at, t.bid)) continue;
      AddLeafPage(t.ptype, start + at, p);
    }
  }
  for (Tree* tree : {&nbt_, &bbt_}) {
    std::sort(tree->pages.begin(), tree->pages.end(), [](const Page& a, const Page& b) {
      return a.first != b.first ? a.first < b.first : a.bid > b.bid;
    });
    tree->reach.resize(tree->pages.size());
    std::uint64_t reach = 0;
    for (std::size_t i = 0; i < tree->pages.size(); ++i) tree->reach[i] = reach = std::max(reach, tree->pages[i].last);
    std::sort(tree->entries.begin(), tree->entries.end(), [](const Entry& a, const Entry& b) {
      return a.key != b.key ? a.key < b.key : a.bid > b.bid;
    });
  }
}

// ---------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------

std::optional<IndexRepair::LeafEntry> IndexRepair::FindInPage(std::uint8_t ptype, const Page& page,
                                                              std::uint64_t key) {
  const Bytes bytes = read_page_(page.ib);
  if (!bytes || bytes->size() < layout_.page_size) return std::nullopt;
  const std::uint8_t* p = bytes->data();
  const PageTrailer t = ReadPageTrailer(layout_, p);
  const BtreeHeader header = ReadBtreeHeader(layout_, p);
  // The page was checked when the scan found it; a page that no longer
  // reads the same is passed over.
  if (t.ptype != ptype || t.bid != page.bid || !PossibleBtreeLayout(layout_, header, ptype)) return std::nullopt;
  std::size_t lo = 0, hi = header.count;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (BtreeKey(layout_, p, header, mid) < key) lo = mid + 1;
    else hi = mid;
  }
  if (lo == header.count || BtreeKey(layout_, p, header, lo) != key) return std::nullopt;
  LeafEntry entry;
  const std::uint8_t* at = p + lo * header.entry_size;
  entry.bytes.assign(at, at + header.entry_size);
  entry.page_ib = page.ib;
  return entry;
}

std::optional<IndexRepair::LeafEntry> IndexRepair::Find(std::uint8_t ptype, std::uint64_t key) {
  if (!stats_.pages_scanned) ScanPages();
  Tree& tree = TreeOf(ptype);
  // Every page or kept entry that may hold KEY, newest first.
  struct Candidate {
    std::uint64_t bid;
    const Page* page;
    const Entry* entry;
  };
  std::vector<Candidate> candidates;
  const auto after = std::upper_bound(tree.pages.begin(), tree.pages.end(), key,
                                      [](std::uint64_t k, const Page& p) { return k < p.first; });
  std::size_t walked = 0;
  for (auto i = static_cast<std::size_t>(after - tree.pages.begin()); i-- > 0 && walked < kMaxCovering; ++walked) {
    if (tree.reach[i] < key) break;
    if (tree.pages[i].last >= key) candidates.push_back(Candidate{tree.pages[i].bid, &tree.pages[i], nullptr});
  }
  auto e = std::lower_bound(tree.entries.begin(), tree.entries.end(), key,
                            [](const Entry& entry, std::uint64_t k) { return entry.key < k; });
  for (; e != tree.entries.end() && e->key == key; ++e) candidates.push_back(Candidate{e->bid, nullptr, &*e});
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.bid > b.bid; });
  for (const Candidate& c : candidates) {
    if (c.entry != nullptr) return c.entry->entry;
    if (std::optional<LeafEntry> found = FindInPage(ptype, *c.page, key)) return found;
    // The newest intact page whose keys span KEY does not hold it: the key
    // was removed, and older copies that still hold it are out of date.
    return std::nullopt;
  }
  return std::nullopt;
}

void IndexRepair::ForEach(std::uint8_t ptype, const std::function<void(std::uint64_t, const LeafEntry&)>& visit) {
  if (!stats_.pages_scanned) ScanPages();
  Tree& tree = TreeOf(ptype);
  // Each key is visited from the page or entry that Find gives it, so once.
  for (const Page& page : tree.pages) {
    const Bytes bytes = read_page_(page.ib);
    if (!bytes || bytes->size() < layout_.page_size) continue;
    const BtreeHeader header = ReadBtreeHeader(layout_, bytes->data());
    if (!PossibleBtreeLayout(layout_, header, ptype)) continue;
    for (std::size_t i = 0; i < header.count; ++i) {
      const std::uint64_t key = BtreeKey(layout_, bytes->data(), header, i);
      const std::optional<LeafEntry> found = Find(ptype, key);
      if (found && found->page_ib == page.ib) visit(key, *found);
    }
  }
  for (const Entry& e : tree.entries) {
    const std::optional<LeafEntry> found = Find(ptype, e.key);
    if (found && found->page_damaged && found->page_ib == e.entry.page_ib && found->bytes == e.entry.bytes) {
      visit(e.key, *found);
    }
  }
}

// ---------------------------------------------------------------------------
// The scan of block trailers
// ---------------------------------------------------------------------------

void IndexRepair::ScanBlocks() {
  if (!stats_.pages_scanned) ScanPages();
  stats_.blocks_scanned = true;
  const std::size_t align = layout_.block_align;
  const std::size_t back = layout_.max_block;  // the longest block ending in a chunk
  std::vector<std::uint8_t> window;
  for (std::uint64_t start = 0; start < file_size_; start += kChunk) {
    // The window holds the chunk and the block that may end at its start.
    const std::uint64_t from = start > back ? start - back : 0;
    const std::uint64_t to = std::min<std::uint64_t>(file_size_, start + kChunk);
    window.resize(static_cast<std::size_t>(to - from));
    read_range_(from, window.size(), window.data());
    // End offsets of blocks: multiples of the alignment in (start, to].
    for (std::uint64_t end = (start / align + 1) * align; end <= to; end += align) {
      if (end < layout_.page_size + layout_.block_trailer) continue;
      const BlockTrailer t = ReadBlockTrailer(layout_, window.data() + (end - layout_.block_trailer - from));
      if (t.bid == 0 || t.cb + layout_.block_trailer > layout_.max_block) continue;
      const std::uint64_t span = layout_.BlockSpan(t.cb);
      if (span > end - layout_.page_size) continue;
      const std::uint64_t ib = end - span;
      if (t.sig != ComputeSig(ib, t.bid)) continue;
      const std::uint64_t bid = BidKey(t.bid);
      // Blocks the scanned pages place where they are need no second place.
      if (const std::optional<LeafEntry> known = Find(kPageBbt, bid)) {
        const BbtEntry placed = ReadBbtEntry(layout_, known->bytes.data());
        if (placed.ib == ib && placed.cb == t.cb && !known->page_damaged) continue;
      }
      if (blocks_.size() >= kMaxBlocks) {
        stats_.incomplete = true;
        break;
      }
      blocks_.push_back(BlockPlace{bid, ib, t.cb});
    }
    if (blocks_.size() >= kMaxBlocks) break;
  }
  std::stable_sort(blocks_.begin(), blocks_.end(), [](const BlockPlace& a, const BlockPlace& b) { return a.bid < b.bid; });
  stats_.block_places = blocks_.size();
}

std::vector<IndexRepair::BlockPlace> IndexRepair::BlockPlaces(std::uint64_t raw_bid) {
  if (!stats_.blocks_scanned) ScanBlocks();
  const std::uint64_t bid = BidKey(raw_bid);
  const auto lo = std::lower_bound(blocks_.begin(), blocks_.end(), bid,
                                   [](const BlockPlace& p, std::uint64_t b) { return p.bid < b; });
  std::vector<BlockPlace> places;
  for (auto it = lo; it != blocks_.end() && it->bid == bid; ++it) places.push_back(*it);
  return places;
}

}  // namespace norvexa::outlook::pst
