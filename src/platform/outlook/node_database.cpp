// The node database of a PST or OST file (see node_database.h).
#include "platform/outlook/node_database.h"

#include "platform/outlook/block_encoding.h"
#include "platform/outlook/index_repair.h"
#include "platform/system/hex.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace norvexa::outlook::pst {
namespace {

const char* TreeName(std::uint8_t ptype) { return ptype == kPageNbt ? "node index" : "block index"; }

std::string Hex(std::uint64_t value) { return "0x" + sys::HexNumber(value); }

// Inflates SIZE compressed bytes at DATA into exactly INFLATED bytes, or
// returns false.
bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t inflated, std::vector<std::uint8_t>& out) {
  for (int window : {15, -15}) {
    out.assign(inflated, 0);
    z_stream stream{};
    if (inflateInit2(&stream, window) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&stream, Z_FINISH);
    const bool ok = rc == Z_STREAM_END && stream.total_out == inflated;
    inflateEnd(&stream);
    if (ok) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Cache
// ---------------------------------------------------------------------------

Block NodeDatabase::Cache::Find(std::uint64_t key) {
  const auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  order_.splice(order_.begin(), order_, found->second);
  return found->second->second;
}

void NodeDatabase::Cache::Put(std::uint64_t key, Block value) {
  if (index_.count(key) != 0 || value->size() > budget_) return;
  order_.emplace_front(key, std::move(value));
  index_[key] = order_.begin();
  used_ += order_.front().second->size();
  while (used_ > budget_ && !order_.empty()) {
    used_ -= order_.back().second->size();
    index_.erase(order_.back().first);
    order_.pop_back();
  }
}

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

NodeDatabase::~NodeDatabase() = default;

void NodeDatabase::Fail(const std::string& what) const { throw OutlookError(name_ + ": " + what); }

void NodeDatabase::FailAt(std::uint64_t offset, const std::string& what) const {
  throw DamageError(name_ + ": " + what, offset);
}

void NodeDatabase::FailInBlock(std::uint64_t bid, const std::string& what) const {
  FailAt(BlockOffset(bid).value_or(0), what);
}

std::shared_ptr<NodeDatabase> NodeDatabase::Open(const std::filesystem::path& path, std::string name) {
  std::shared_ptr<NodeDatabase> db(new NodeDatabase());
  db->name_ = std::move(name);
  if (!db->file_.Open(path)) db->Fail("cannot open the store file");
  std::error_code ec;
  db->file_size_ = std::filesystem::file_size(path, ec);
  if (ec) db->Fail("cannot read the file size: " + ec.message());
  if (db->file_size_ < kMinFileSize) db->Fail("the file is too short to be an Outlook data file (.pst/.ost)");

  const std::vector<std::uint8_t> h =
      db->ReadAt(0, kHeaderReadSizeUnicode <= db->file_size_ ? kHeaderReadSizeUnicode : kMinFileSize);
  if (std::memcmp(h.data(), kHeaderMagic, sizeof kHeaderMagic) != 0) db->Fail("not an Outlook data file (.pst/.ost)");
  const std::uint16_t client = Le16(&h[kHeaderMagicClientAt]);
  if (client != kMagicClientPst && client != kMagicClientOst) {
    db->Fail("this kind of file is not supported (it is not a personal or offline folders file)");
  }
  const std::uint16_t version = Le16(&h[kHeaderVersionAt]);
  Format format = Format::Ansi;
  if (version == kVersionAnsi || version == kVersionAnsiLast) {
    format = Format::Ansi;
  } else if (version == kVersionUnicodeEarly || version == kVersionUnicode || version == kVersionUnicode4k) {
    if (h.size() < kHeaderReadSizeUnicode) db->Fail("the file header is cut short");
    format = version == kVersionUnicode4k ? Format::Unicode4k : Format::Unicode;
  } else {
    db->Fail("this kind of file is not supported (format version " + std::to_string(version) + ")");
  }
  db->layout_ = NdbLayout::For(format);
  const std::uint8_t* root = &h[kHeaderRootAt[format]];
  db->nbt_bid_ = db->layout_.IdAt(root + kRootBrefNbtAt[format], kBrefBidSlot);
  db->nbt_ib_ = db->layout_.IdAt(root + kRootBrefNbtAt[format], kBrefIbSlot);
  db->bbt_bid_ = db->layout_.IdAt(root + kRootBrefBbtAt[format], kBrefBidSlot);
  db->bbt_ib_ = db->layout_.IdAt(root + kRootBrefBbtAt[format], kBrefIbSlot);
  const std::uint8_t crypt = h[kHeaderCryptMethodAt[format]];
  if (crypt > static_cast<std::uint8_t>(Encoding::Cyclic)) {
    db->Fail("this kind of file is not supported (its data is protected with encoding " + Hex(crypt) + ")");
  }
  db->encoding_ = static_cast<Encoding>(crypt);
  return db;
}

std::vector<std::uint8_t> NodeDatabase::ReadAt(std::uint64_t offset, std::size_t size) const {
  if (offset > file_size_ || size > file_size_ - offset) {
    FailAt(offset, "a structure at offset " + Hex(offset) +
                       " reaches past the end of the file (the file is cut short or damaged)");
  }
  std::vector<std::uint8_t> data(size);
  if (!file_.ReadAt(offset, size, data.data())) {
    FailAt(offset, "cannot read " + std::to_string(size) + " bytes at offset " + Hex(offset) + " (damaged disk?)");
  }
  return data;
}

// ---------------------------------------------------------------------------
// B-trees
// ---------------------------------------------------------------------------

NodeDatabase::Page NodeDatabase::ReadPage(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype) const {
  // A cached page passed its checks against the reference that first led
  // to it; a damaged entry (of the other tree, say) can lead to the same
  // offset, so the page's trailer is checked again for every reference.
  // Only intact pages are cached.
  Page page{pages_.Find(ib), false};
  const bool cached = page.bytes != nullptr;
  if (!cached) page.bytes = std::make_shared<const std::vector<std::uint8_t>>(ReadAt(ib, layout_.page_size));
  const std::uint8_t* p = page.bytes->data();
  const PageTrailer trailer = ReadPageTrailer(layout_, p);
  const int mismatches = PageTrailerMismatches(trailer, ptype, bid, ib);
  const bool crc_ok = cached || PstCrc(p, layout_.covered) == trailer.crc;
  const std::string where = "the " + std::string(TreeName(ptype)) + " page at offset " + Hex(ib);
  // An intact page may have one field of its trailer damaged (its CRC does
  // not cover the trailer); a page whose CRC does not match must have all
  // of it as its reference expects.
  if (crc_ok ? mismatches > 1 : mismatches > 0) {
    if (trailer.ptype != ptype && trailer.ptype_repeat != ptype) {
      FailAt(ib, "the index page at offset " + Hex(ib) + " is not an index page (damaged)");
    }
    if (crc_ok || trailer.bid != bid) {
      FailAt(ib, "the index page at offset " + Hex(ib) + " is not the page its parent points to (damaged)");
    }
    FailAt(ib, "the index page at offset " + Hex(ib) + " fails its CRC check and its trailer is damaged");
  }
  if (!crc_ok) {
    page.damaged = true;
    index_damage_.Add(ib, where + " fails its CRC check (damaged); its entries were used where they are in order");
  } else if (mismatches == 1) {
    page.damaged = true;
    index_damage_.Add(ib, where + " has a damaged trailer; its contents pass their CRC check and were used");
  } else if (!cached) {
    pages_.Put(ib, page.bytes);
  }
  return page;
}

const std::uint8_t* NodeDatabase::SearchTree(std::uint64_t root_bid, std::uint64_t root_ib, std::uint8_t ptype,
                                             std::uint64_t key, Block& leaf, SearchInfo& info) const {
  std::uint64_t bid = root_bid;
  std::uint64_t ib = root_ib;
  int expected_level = -1;
  for (int step = 0; step <= kMaxTreeLevel; ++step) {
    if (!broken_pages_.empty() && broken_pages_.count(ib) != 0) {
      info.broken = true;
      return nullptr;
    }
    Page page = ReadPage(bid, ib, ptype);
    const std::uint8_t* p = page.bytes->data();
    const BtreeHeader h = ReadBtreeHeader(layout_, p);
    auto where = [&] { return "the index page at offset " + Hex(ib); };
    if (h.level > kMaxTreeLevel || (expected_level >= 0 && h.level != expected_level)) {
      FailAt(ib, where() + " is at the wrong level of its tree (damaged)");
    }
    if (!PossibleBtreeLayout(layout_, h, ptype)) FailAt(ib, where() + " has an impossible entry layout (damaged)");
    // The search below needs sorted keys; an intact page has them, a
    // damaged one must show it.
    if (page.damaged && !KeysInOrder(layout_, p, h)) FailAt(ib, where() + " has its entries out of order (damaged)");
    if (page.damaged) info.path_damaged = true;
    // The last entry whose key is at most KEY (entries are sorted).
    std::size_t lo = 0, hi = h.count;
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (BtreeKey(layout_, p, h, mid) <= key) lo = mid + 1;
      else hi = mid;
    }
    if (lo == 0) return nullptr;
    const std::uint8_t* entry = p + (lo - 1) * h.entry_size;
    if (h.level == 0) {
      if (BtreeKey(layout_, p, h, lo - 1) != key) return nullptr;
      if (page.damaged) {
        info.leaf_damaged = true;
        info.leaf_ib = ib;
      }
      leaf = std::move(page.bytes);
      return entry;
    }
    bid = layout_.IdAt(entry, kBtEntryBrefSlot + kBrefBidSlot);
    ib = layout_.IdAt(entry, kBtEntryBrefSlot + kBrefIbSlot);
    expected_level = h.level - 1;
  }
  FailAt(ib, "an index tree is deeper than any real file's (damaged)");
}

IndexRepair& NodeDatabase::Repair() const {
  if (!repair_) {
    repair_ = std::make_unique<IndexRepair>(
        layout_, file_size_,
        [this](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
          if (offset > file_size_ || size > file_size_ - offset || !file_.ReadAt(offset, size, out)) {
            FailAt(offset, "cannot read " + std::to_string(size) + " bytes at offset " + Hex(offset) +
                               " while scanning the file for its index pages (damaged disk?)");
          }
        },
        [this](std::uint64_t ib) -> IndexRepair::Bytes {
          // The repair asks only for pages its scan found intact: they are
          // cached as any intact page is.
          if (Block cached = pages_.Find(ib)) return cached;
          Block page = std::make_shared<const std::vector<std::uint8_t>>(ReadAt(ib, layout_.page_size));
          pages_.Put(ib, page);
          return page;
        });
  }
  return *repair_;
}

void NodeDatabase::NoteIndexFailure(std::uint8_t ptype, std::uint64_t offset, const std::string& why,
                                    bool broken) const {
  if (broken && broken_pages_.size() < kMaxBrokenPages) broken_pages_.insert(offset);
  // The first time the scan is made, its account follows the failure.
  const bool scanned = repair_ && repair_->stats().pages_scanned;
  index_damage_.Add(offset, "the " + std::string(TreeName(ptype)) + " could not be used (" + WithoutFileName(why, name_) +
                                "); what it indexes was looked up in the index pages found by a scan of the file");
  if (scanned) return;
  IndexRepair& repair = Repair();
  try {
    repair.Find(ptype, 0);  // makes the scan
  } catch (const OutlookError& e) {
    index_damage_.Add(offset, "the scan of the file for its index pages stopped: " + WithoutFileName(e.what(), name_));
    return;
  }
  const IndexRepair::Stats& stats = repair.stats();
  index_damage_.Add(ptype == kPageNbt ? nbt_ib_ : bbt_ib_,
                    "a scan of the file found " + std::to_string(stats.leaf_pages) + " intact index leaf pages and " +
                        std::to_string(stats.damaged_leaf_pages) + " that fail their CRC check" +
                        (stats.incomplete ? " (the file holds more than the scan keeps; some were left out)" : ""));
}

NodeEntry NodeDatabase::NodeAt(const std::uint8_t* e) const {
  NodeEntry node;
  node.nid = Le32(e + kNbtEntryNidSlot * id_size());
  node.bid_data = layout_.IdAt(e, kNbtEntryBidDataSlot);
  node.bid_sub = layout_.IdAt(e, kNbtEntryBidSubSlot);
  node.nid_parent = Le32(e + kNbtEntryNidParentSlot * id_size());
  return node;
}

std::optional<NodeEntry> NodeDatabase::FindNode(std::uint32_t nid) const {
  std::string why;
  std::uint64_t at = nbt_ib_;
  bool broken = true;
  try {
    Block leaf;
    SearchInfo info;
    const std::uint8_t* e = SearchTree(nbt_bid_, nbt_ib_, kPageNbt, nid, leaf, info);
    if (e != nullptr) {
      if (info.leaf_damaged) {
        listeners_.Note({info.leaf_ib, "the node index page at offset " + Hex(info.leaf_ib) +
                                           ", which holds the entry of node " + std::to_string(nid) +
                                           ", fails its CRC check"});
      }
      return NodeAt(e);
    }
    // Not found through intact pages: it is not there.
    if (!info.path_damaged && !info.broken) return std::nullopt;
    if (info.broken) return FindRepairedNode(nid);  // noted when the page first broke a walk
    why = "a damaged page on the way to node " + std::to_string(nid) + " does not lead to it";
    broken = false;
  } catch (const DamageError& e) {
    why = e.what();
    at = e.offset();
  }
  NoteIndexFailure(kPageNbt, at, why, broken);
  return FindRepairedNode(nid);
}

std::optional<NodeEntry> NodeDatabase::FindRepairedNode(std::uint32_t nid) const {
  const std::optional<IndexRepair::LeafEntry> found = Repair().Find(kPageNbt, nid);
  if (!found) return std::nullopt;
  if (found->page_damaged) {
    listeners_.Note({found->page_ib, "the node index page at offset " + Hex(found->page_ib) +
                                         ", which holds the entry of node " + std::to_string(nid) +
                                         ", fails its CRC check"});
  }
  return NodeAt(found->bytes.data());
}

void NodeDatabase::WalkNodes(std::uint64_t bid, std::uint64_t ib, int expected_level, std::uint64_t& last_key,
                             std::uint64_t& budget, const std::function<void(const NodeEntry&)>& visit) const {
  if (budget == 0) FailAt(ib, "the node index names its pages more than once (damaged)");
  --budget;
  const Page page = ReadPage(bid, ib, kPageNbt);
  const std::uint8_t* p = page.bytes->data();
  const BtreeHeader h = ReadBtreeHeader(layout_, p);
  const std::string where = "the index page at offset " + Hex(ib);
  if (h.level > kMaxTreeLevel || (expected_level >= 0 && h.level != expected_level)) {
    FailAt(ib, where + " is at the wrong level of its tree (damaged)");
  }
  if (!PossibleBtreeLayout(layout_, h, kPageNbt)) FailAt(ib, where + " has an impossible entry layout (damaged)");
  for (std::size_t i = 0; i < h.count; ++i) {
    const std::uint8_t* e = p + i * h.entry_size;
    if (h.level > 0) {
      WalkNodes(layout_.IdAt(e, kBtEntryBrefSlot + kBrefBidSlot), layout_.IdAt(e, kBtEntryBrefSlot + kBrefIbSlot),
                h.level - 1, last_key, budget, visit);
      continue;
    }
    // Keys rise across the whole tree; one that does not is damage (and a
    // subtree named twice shows as such).
    const std::uint64_t key = BtreeKey(layout_, p, h, i);
    if (key <= last_key) FailAt(ib, where + " has its entries out of order (damaged)");
    const NodeEntry node = NodeAt(e);
    last_key = key;
    if (page.damaged) {
      listeners_.Note({ib, "the node index page at offset " + Hex(ib) + ", which holds the entry of node " +
                               std::to_string(node.nid) + ", fails its CRC check"});
    }
    visit(node);
  }
}

void NodeDatabase::ForEachNode(const std::function<void(const NodeEntry&)>& visit) const {
  std::uint64_t last_key = 0;
  // No real tree has more pages than the file has room for.
  std::uint64_t budget = file_size_ / layout_.page_size + 1;
  try {
    WalkNodes(nbt_bid_, nbt_ib_, -1, last_key, budget, visit);
    return;
  } catch (const DamageError& e) {
    NoteIndexFailure(kPageNbt, e.offset(), e.what(), true);
  }
  // The walk went in key order up to LAST_KEY: the rest comes from the
  // rebuilt index.
  Repair().ForEach(kPageNbt, [&](std::uint64_t key, const IndexRepair::LeafEntry& entry) {
    if (key <= last_key) return;
    if (entry.page_damaged) {
      listeners_.Note({entry.page_ib, "the node index page at offset " + Hex(entry.page_ib) +
                                          ", which holds the entry of node " + std::to_string(key) +
                                          ", fails its CRC check"});
    }
    visit(NodeAt(entry.bytes.data()));
  });
}

std::optional<NodeDatabase::BlockEntry> NodeDatabase::FindBlockEntry(std::uint64_t bid, bool& trusted) const {
  // The lowest bit of a block identifier is reserved; the tree's keys
  // leave it clear.
  const std::uint64_t key = BidKey(bid);
  auto entry_at = [&](const std::uint8_t* e) {
    const BbtEntry found = ReadBbtEntry(layout_, e);
    return BlockEntry{key, found.ib, found.cb};
  };
  trusted = true;
  std::string why;
  std::uint64_t at = bbt_ib_;
  bool broken = true;
  bool noted = false;
  try {
    Block leaf;
    SearchInfo info;
    const std::uint8_t* e = SearchTree(bbt_bid_, bbt_ib_, kPageBbt, key, leaf, info);
    trusted = !info.path_damaged && !info.leaf_damaged;
    if (e != nullptr) return entry_at(e);
    if (!info.path_damaged && !info.broken) return std::nullopt;
    noted = info.broken;  // noted when the page first broke a walk
    why = "a damaged page on the way to block " + Hex(key) + " does not lead to it";
    broken = false;
  } catch (const DamageError& e) {
    why = e.what();
    at = e.offset();
  }
  trusted = false;
  if (!noted) NoteIndexFailure(kPageBbt, at, why, broken);
  const std::optional<IndexRepair::LeafEntry> found = Repair().Find(kPageBbt, key);
  if (!found) return std::nullopt;
  return entry_at(found->bytes.data());
}

std::optional<NodeDatabase::BlockExtent> NodeDatabase::LocateBlock(std::uint64_t bid) const {
  bool trusted = true;
  const std::optional<BlockEntry> entry = FindBlockEntry(bid, trusted);
  if (!entry) return std::nullopt;
  return BlockExtent{entry->ib, entry->cb};
}

std::optional<std::uint64_t> NodeDatabase::BlockOffset(std::uint64_t bid) const noexcept {
  try {
    bool trusted = true;
    const std::optional<BlockEntry> entry = FindBlockEntry(bid, trusted);
    if (entry) return entry->ib;
  } catch (const std::exception&) {
    // Asked only to name a place in a message: an index that cannot say
    // leaves the place unknown.
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

Block NodeDatabase::LoadBlock(std::uint64_t bid, const BlockEntry& entry, bool keep, std::string& failure,
                              std::uint64_t& failure_at) const {
  const std::string where = "block " + Hex(bid) + " at offset " + Hex(entry.ib);
  failure_at = entry.ib;
  if (entry.cb + layout_.block_trailer > layout_.max_block) {
    failure = "block " + Hex(bid) + " is larger than a block can be (damaged)";
    return nullptr;
  }
  const std::uint64_t on_disk = layout_.BlockSpan(entry.cb);
  std::vector<std::uint8_t> raw;
  try {
    raw = ReadAt(entry.ib, static_cast<std::size_t>(on_disk));
  } catch (const DamageError& e) {
    failure = e.what();
    failure = failure.substr(std::min(failure.size(), name_.size() + 2));
    return nullptr;
  }
  const BlockTrailer t = ReadBlockTrailer(layout_, raw.data() + on_disk - layout_.block_trailer);
  const bool crc_ok = PstCrc(raw.data(), entry.cb) == t.crc;
  const bool sig_ok = t.sig == ComputeSig(entry.ib, bid) || t.sig == ComputeSig(entry.ib, t.bid);
  const int mismatches = (t.cb != entry.cb) + (BidKey(t.bid) != bid) + !sig_ok;
  // The CRC vouches for the data and the trailer for the place: with one of
  // them intact, one damaged field of the other still leaves the block
  // known.
  if (crc_ok ? mismatches > 1 : mismatches > 0) {
    failure = where + " is not the block the index names (damaged)";
    return nullptr;
  }
  raw.resize(entry.cb);
  if (layout_.format == Format::Unicode4k) {
    // Newer OST files deflate blocks; the trailer then gives the size they
    // inflate to.
    if (t.inflated != 0 && t.inflated != entry.cb) {
      std::vector<std::uint8_t> out;
      if (!Inflate(raw.data(), raw.size(), t.inflated, out)) {
        failure = where + " cannot be decompressed (damaged)";
        return nullptr;
      }
      raw = std::move(out);
    }
  }
  if ((bid & kBidInternalBit) == 0) {
    if (encoding_ == Encoding::Permute) DecodePermute(raw.data(), raw.size());
    else if (encoding_ == Encoding::Cyclic) DecodeCyclic(raw.data(), raw.size(), static_cast<std::uint32_t>(bid));
  }
  Block result = std::make_shared<const std::vector<std::uint8_t>>(std::move(raw));
  if (!crc_ok || mismatches > 0) {
    // Damaged blocks stay out of the cache: each reading notes the damage
    // for the object being read.
    listeners_.Note({entry.ib, crc_ok ? where + " has a damaged trailer (its data passes its CRC check)"
                                      : where + " fails its CRC check (damaged)"});
  } else if (keep) {
    blocks_.Put(bid, result);
  }
  return result;
}

Block NodeDatabase::ReadBlock(std::uint64_t raw_bid, bool keep) const {
  const std::uint64_t bid = BidKey(raw_bid);
  if (Block cached = blocks_.Find(bid)) return cached;
  bool trusted = true;
  const std::optional<BlockEntry> entry = FindBlockEntry(bid, trusted);
  std::string failure = "block " + Hex(bid) + " is missing from the block index (damaged)";
  std::uint64_t failure_at = 0;
  if (entry) {
    if (Block block = LoadBlock(bid, *entry, keep, failure, failure_at)) return block;
  }
  // An entry read from a damaged index may place the block wrongly, or the
  // damaged index may have lost it: its trailer says where it is.
  if (!trusted) {
    for (const IndexRepair::BlockPlace& place : Repair().BlockPlaces(bid)) {
      if (entry && place.ib == entry->ib && place.cb == entry->cb) continue;
      std::string ignored;
      std::uint64_t ignored_at = 0;
      if (Block block = LoadBlock(bid, BlockEntry{bid, place.ib, place.cb}, keep, ignored, ignored_at)) {
        index_damage_.Add(place.ib, "block " + Hex(bid) + " was found at offset " + Hex(place.ib) +
                                        " by a scan of the file; the block index does not place it there");
        return block;
      }
    }
  }
  FailAt(failure_at, failure);
}

void NodeDatabase::CollectLeaves(std::uint64_t bid, int expected_level, DataTree& tree, bool unmarked) const {
  if ((bid & kBidInternalBit) == 0 && !unmarked) {
    if (expected_level > 0) FailInBlock(bid, "a data tree of block " + Hex(bid) + " is cut short (damaged)");
    tree.blocks.push_back(bid);
    return;
  }
  Block block = ReadBlock(bid);
  const std::vector<std::uint8_t>& b = *block;
  if (b.size() < kDataTreeHeaderSize || b[0] != kBlockTypeDataTree) {
    FailInBlock(bid, "block " + Hex(bid) + " is not a data tree block (damaged)");
  }
  const int level = b[kTreeBlockLevelAt];
  const std::size_t count = Le16(&b[kTreeBlockCountAt]);
  if (level < 1 || level > kMaxDataTreeLevel || (expected_level >= 0 && level != expected_level) ||
      kDataTreeHeaderSize + count * id_size() > b.size()) {
    FailInBlock(bid, "data tree block " + Hex(bid) + " has an impossible layout (damaged)");
  }
  if (expected_level < 0) tree.size = Le32(&b[kDataTreeTotalAt]);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t child = layout_.Id(&b[kDataTreeHeaderSize + i * id_size()]);
    if (level == 1) {
      if (child & kBidInternalBit) FailInBlock(bid, "data tree block " + Hex(bid) + " points to another tree block (damaged)");
      tree.blocks.push_back(child);
    } else {
      CollectLeaves(child, 1, tree);
    }
  }
}

NodeDatabase::DataTree NodeDatabase::ReadUnmarkedDataTree(std::uint64_t bid) const {
  DataTree tree;
  CollectLeaves(bid, -1, tree, true);
  return tree;
}

NodeDatabase::DataTree NodeDatabase::ReadDataTree(std::uint64_t bid) const {
  DataTree tree;
  if (bid == 0) return tree;
  CollectLeaves(bid, -1, tree);
  if ((bid & kBidInternalBit) == 0) tree.size = ReadBlock(bid)->size();
  // The total size of a tree comes from its top block, and readers reserve
  // that much before reading the blocks. No leaf holds more than one
  // block's worth, and where blocks are not compressed every byte of the
  // data sits in the file; a larger total is damage, refused here before
  // anything is allocated for it.
  const std::uint64_t per_block =
      format() == Format::Unicode4k ? kMaxInflatedBlock4k : layout_.max_block - layout_.block_trailer;
  if (tree.size > tree.blocks.size() * per_block || (format() != Format::Unicode4k && tree.size > file_size_)) {
    FailInBlock(bid, "data tree block " + Hex(bid) + " gives a size of " + std::to_string(tree.size) +
         " bytes, more than its blocks can hold (damaged)");
  }
  return tree;
}

NodeDatabase::SubnodeBlock NodeDatabase::ReadSubnodeBlock(std::uint64_t bid, int expected_level) const {
  SubnodeBlock sub;
  sub.block = ReadBlock(bid);
  const std::vector<std::uint8_t>& b = *sub.block;
  const std::size_t header = kSubnodeBlockHeaderSize[format()];
  if (b.size() < header || b[0] != kBlockTypeSubnode) {
    FailInBlock(bid, "block " + Hex(bid) + " is not a subnode block (damaged)");
  }
  sub.level = b[kTreeBlockLevelAt];
  sub.count = Le16(&b[kTreeBlockCountAt]);
  sub.entry_size = (sub.level == 0 ? kSlEntrySlots : kSiEntrySlots) * id_size();
  if (sub.level > kMaxSubnodeLevel || (expected_level >= 0 && sub.level != expected_level) ||
      header + sub.count * sub.entry_size > b.size()) {
    FailInBlock(bid, "subnode block " + Hex(bid) + " has an impossible layout (damaged)");
  }
  sub.entries = &b[header];
  return sub;
}

NodeEntry NodeDatabase::SubnodeAt(const SubnodeBlock& sub, std::size_t index) const {
  const std::uint8_t* e = sub.entries + index * sub.entry_size;
  NodeEntry node;
  node.nid = Le32(e);
  node.bid_data = layout_.IdAt(e, kSubnodeEntryBidDataSlot);
  if (sub.level == 0) node.bid_sub = layout_.IdAt(e, kSubnodeEntryBidSubSlot);
  return node;
}

std::optional<NodeEntry> NodeDatabase::FindSubnode(std::uint64_t bid_sub, std::uint32_t nid) const {
  std::uint64_t bid = bid_sub;
  int expected_level = -1;
  // At most two levels: an index block over leaf blocks.
  for (int step = 0; step <= kMaxSubnodeLevel && bid != 0; ++step) {
    const SubnodeBlock sub = ReadSubnodeBlock(bid, expected_level);
    auto nid_at = [&](std::size_t i) { return Le32(sub.entries + i * sub.entry_size); };
    std::size_t lo = 0, hi = sub.count;
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (nid_at(mid) <= nid) lo = mid + 1;
      else hi = mid;
    }
    if (lo == 0) return std::nullopt;
    if (sub.level == 0) {
      if (nid_at(lo - 1) != nid) return std::nullopt;
      return SubnodeAt(sub, lo - 1);
    }
    // An index entry: the leaf block is where a leaf entry's data would be.
    bid = SubnodeAt(sub, lo - 1).bid_data;
    expected_level = 0;
  }
  return std::nullopt;
}

void NodeDatabase::ForEachSubnode(std::uint64_t bid_sub, const std::function<void(const NodeEntry&)>& visit) const {
  if (bid_sub == 0) return;
  const SubnodeBlock top = ReadSubnodeBlock(bid_sub, -1);
  for (std::size_t i = 0; i < top.count; ++i) {
    if (top.level == 0) {
      visit(SubnodeAt(top, i));
      continue;
    }
    const SubnodeBlock leaf = ReadSubnodeBlock(SubnodeAt(top, i).bid_data, 0);
    for (std::size_t k = 0; k < leaf.count; ++k) visit(SubnodeAt(leaf, k));
  }
}

// ---------------------------------------------------------------------------
// Data streams
// ---------------------------------------------------------------------------

DataStream::DataStream(std::shared_ptr<const NodeDatabase> db, std::uint64_t bid)
    : db_(std::move(db)), tree_(db_->ReadDataTree(bid)) {}

DataStream DataStream::Unmarked(std::shared_ptr<const NodeDatabase> db, std::uint64_t bid) {
  DataStream stream;
  stream.tree_ = db->ReadUnmarkedDataTree(bid);
  stream.db_ = std::move(db);
  return stream;
}

Block DataStream::block(std::size_t index, bool keep) const {
  if (index >= tree_.blocks.size()) db_->FailInBlock(block_id(0), "a value reaches past the end of its data (damaged)");
  return db_->ReadBlock(tree_.blocks[index], keep);
}

std::string DataStream::ReadAll(std::uint64_t limit) const {
  if (tree_.size > limit) db_->FailInBlock(block_id(0), "a value is larger than it can be (" + std::to_string(tree_.size) + " bytes; damaged)");
  std::string out;
  out.reserve(static_cast<std::size_t>(tree_.size));
  for (std::size_t i = 0; i < tree_.blocks.size(); ++i) {
    const Block b = block(i, false);
    if (out.size() + b->size() > tree_.size) db_->FailInBlock(tree_.blocks[i], "a value's blocks hold more than its size says (damaged)");
    out.append(reinterpret_cast<const char*>(b->data()), b->size());
  }
  if (out.size() != tree_.size) db_->FailInBlock(block_id(0), "a value's blocks hold less than its size says (damaged)");
  return out;
}

void DataStream::CopyTo(std::ostream& out) const {
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < tree_.blocks.size(); ++i) {
    const Block b = block(i, false);
    if (done + b->size() > tree_.size) db_->FailInBlock(tree_.blocks[i], "a value's blocks hold more than its size says (damaged)");
    out.write(reinterpret_cast<const char*>(b->data()), static_cast<std::streamsize>(b->size()));
    if (!out) throw OutlookError("cannot write the data read from " + db_->name());
    done += b->size();
  }
  if (done != tree_.size) db_->FailInBlock(block_id(0), "a value's blocks hold less than its size says (damaged)");
}

}  // namespace norvexa::outlook::pst
