// The node database of a PST or OST file (see node_database.h).
#include "platform/outlook/node_database.h"

#include "platform/outlook/block_encoding.h"
#include "platform/system/hex.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace norvexa::outlook::pst {
namespace {

constexpr std::uint8_t kPageBbt = 0x80;
constexpr std::uint8_t kPageNbt = 0x81;
// No real B-tree is deeper than a handful of levels; a deeper one is damage.
constexpr int kMaxTreeLevel = 10;
// The internal bit of a block identifier: the block holds a data or
// subnode tree, never encoded.
constexpr std::uint64_t kInternalBit = 0x2;

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t to) { return (value + to - 1) / to * to; }

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

void NodeDatabase::Fail(const std::string& what) const { throw OutlookError(name_ + ": " + what); }

std::shared_ptr<NodeDatabase> NodeDatabase::Open(const std::filesystem::path& path, std::string name) {
  std::shared_ptr<NodeDatabase> db(new NodeDatabase());
  db->name_ = std::move(name);
  if (!db->file_.Open(path)) db->Fail("cannot open the store file");
  std::error_code ec;
  db->file_size_ = std::filesystem::file_size(path, ec);
  if (ec) db->Fail("cannot read the file size: " + ec.message());
  if (db->file_size_ < 512) db->Fail("the file is too short to be an Outlook data file (.pst/.ost)");

  const std::vector<std::uint8_t> h = db->ReadAt(0, 580 <= db->file_size_ ? 580 : 512);
  if (std::memcmp(h.data(), "!BDN", 4) != 0) db->Fail("not an Outlook data file (.pst/.ost)");
  const std::uint16_t client = Le16(&h[8]);
  if (client != 0x4D53 && client != 0x4F53) {  // "SM" (PST), "SO" (OST)
    db->Fail("this kind of file is not supported (it is not a personal or offline folders file)");
  }
  const std::uint16_t version = Le16(&h[10]);
  std::uint8_t crypt = 0;
  if (version == 14 || version == 15) {
    db->format_ = Format::Ansi;
    db->nbt_bid_ = Le32(&h[184]);
    db->nbt_ib_ = Le32(&h[188]);
    db->bbt_bid_ = Le32(&h[192]);
    db->bbt_ib_ = Le32(&h[196]);
    crypt = h[461];
    db->block_trailer_ = 12;
  } else if (version == 21 || version == 23 || version == 36) {
    if (h.size() < 580) db->Fail("the file header is cut short");
    db->format_ = version == 36 ? Format::Unicode4k : Format::Unicode;
    db->nbt_bid_ = Le64(&h[216]);
    db->nbt_ib_ = Le64(&h[224]);
    db->bbt_bid_ = Le64(&h[232]);
    db->bbt_ib_ = Le64(&h[240]);
    crypt = h[513];
    if (db->format_ == Format::Unicode4k) {
      db->page_size_ = 4096;
      db->block_align_ = 512;
      db->block_trailer_ = 24;
      db->max_block_ = 65536;
    }
  } else {
    db->Fail("this kind of file is not supported (format version " + std::to_string(version) + ")");
  }
  if (crypt > 2) {
    db->Fail("this kind of file is not supported (its data is protected with encoding " + Hex(crypt) + ")");
  }
  db->encoding_ = static_cast<Encoding>(crypt);
  return db;
}

std::vector<std::uint8_t> NodeDatabase::ReadAt(std::uint64_t offset, std::size_t size) const {
  if (offset > file_size_ || size > file_size_ - offset) {
    Fail("a structure at offset " + Hex(offset) + " reaches past the end of the file (the file is cut short or damaged)");
  }
  std::vector<std::uint8_t> data(size);
  if (!file_.ReadAt(offset, size, data.data())) {
    Fail("cannot read " + std::to_string(size) + " bytes at offset " + Hex(offset));
  }
  return data;
}

// ---------------------------------------------------------------------------
// B-trees
// ---------------------------------------------------------------------------

Block NodeDatabase::ReadPage(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype) const {
  // A cached page passed its checks against the reference that first led
  // to it; a damaged entry (of the other tree, say) can lead to the same
  // offset, so the page's type and identifier are checked again for every
  // reference. The CRC was checked when the page was read.
  Block page = pages_.Find(ib);
  const bool cached = page != nullptr;
  if (!cached) page = std::make_shared<const std::vector<std::uint8_t>>(ReadAt(ib, page_size_));
  const std::uint8_t* p = page->data();
  // The trailer: ptype, ptypeRepeat, wSig, then CRC and BID (their order
  // and widths differ between the formats).
  std::size_t trailer = 0, crc_at = 0, bid_at = 0, covered = 0;
  switch (format_) {
    case Format::Ansi: trailer = 500; bid_at = 504; crc_at = 508; covered = 500; break;
    case Format::Unicode: trailer = 496; crc_at = 500; bid_at = 504; covered = 496; break;
    case Format::Unicode4k: trailer = 4072; crc_at = 4076; bid_at = 4080; covered = 4072; break;
  }
  auto fail = [&](const char* what) { Fail("the index page at offset " + Hex(ib) + what); };
  if (p[trailer] != ptype || p[trailer + 1] != ptype) fail(" is not an index page (damaged)");
  const std::uint64_t page_bid = wide() ? Le64(p + bid_at) : Le32(p + bid_at);
  if (page_bid != bid) fail(" is not the page its parent points to (damaged)");
  if (cached) return page;
  if (PstCrc(p, covered) != Le32(p + crc_at)) fail(" fails its CRC check (damaged)");
  pages_.Put(ib, page);
  return page;
}

const std::uint8_t* NodeDatabase::SearchTree(std::uint64_t root_bid, std::uint64_t root_ib, std::uint8_t ptype,
                                             std::uint64_t key, Block& leaf) const {
  // Where the entry count, entry size and level sit, and the room for entries.
  std::size_t c_ent_at = 0, cb_ent_at = 0, level_at = 0, room = 0;
  switch (format_) {
    case Format::Ansi: room = 496; c_ent_at = 496; cb_ent_at = 498; level_at = 499; break;
    case Format::Unicode: room = 488; c_ent_at = 488; cb_ent_at = 490; level_at = 491; break;
    case Format::Unicode4k: room = 4056; c_ent_at = 4056; cb_ent_at = 4060; level_at = 4061; break;
  }
  const std::size_t key_size = id_size();
  const std::size_t branch_size = 3 * key_size;
  const std::size_t leaf_min = ptype == kPageNbt ? (wide() ? 32 : 16) : (wide() ? 24 : 12);
  std::uint64_t bid = root_bid;
  std::uint64_t ib = root_ib;
  int expected_level = -1;
  for (int step = 0; step <= kMaxTreeLevel; ++step) {
    Block page = ReadPage(bid, ib, ptype);
    const std::uint8_t* p = page->data();
    const std::size_t count = format_ == Format::Unicode4k ? Le16(p + c_ent_at) : p[c_ent_at];
    const std::size_t entry_size = p[cb_ent_at];
    const int level = p[level_at];
    const std::string where = "the index page at offset " + Hex(ib);
    if (level > kMaxTreeLevel || (expected_level >= 0 && level != expected_level)) {
      Fail(where + " is at the wrong level of its tree (damaged)");
    }
    const std::size_t needed = level == 0 ? leaf_min : branch_size;
    if (entry_size < needed || count * entry_size > room) Fail(where + " has an impossible entry layout (damaged)");
    auto key_at = [&](std::size_t i) {
      const std::uint8_t* e = p + i * entry_size;
      return wide() ? Le64(e) : static_cast<std::uint64_t>(Le32(e));
    };
    // The last entry whose key is at most KEY (entries are sorted).
    std::size_t lo = 0, hi = count;
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (key_at(mid) <= key) lo = mid + 1;
      else hi = mid;
    }
    if (lo == 0) return nullptr;
    const std::uint8_t* entry = p + (lo - 1) * entry_size;
    if (level == 0) {
      if (key_at(lo - 1) != key) return nullptr;
      leaf = std::move(page);
      return entry;
    }
    bid = wide() ? Le64(entry + 8) : Le32(entry + 4);
    ib = wide() ? Le64(entry + 16) : Le32(entry + 8);
    expected_level = level - 1;
  }
  Fail("an index tree is deeper than any real file's (damaged)");
}

std::optional<NodeEntry> NodeDatabase::FindNode(std::uint32_t nid) const {
  Block leaf;
  const std::uint8_t* e = SearchTree(nbt_bid_, nbt_ib_, kPageNbt, nid, leaf);
  if (e == nullptr) return std::nullopt;
  NodeEntry node;
  node.nid = nid;
  if (wide()) {
    node.bid_data = Le64(e + 8);
    node.bid_sub = Le64(e + 16);
    node.nid_parent = Le32(e + 24);
  } else {
    node.bid_data = Le32(e + 4);
    node.bid_sub = Le32(e + 8);
    node.nid_parent = Le32(e + 12);
  }
  return node;
}

std::optional<NodeDatabase::BlockEntry> NodeDatabase::FindBlockEntry(std::uint64_t bid) const {
  Block leaf;
  // The lowest bit of a block identifier is reserved; the tree's keys
  // leave it clear.
  const std::uint8_t* e = SearchTree(bbt_bid_, bbt_ib_, kPageBbt, bid & ~std::uint64_t{1}, leaf);
  if (e == nullptr) return std::nullopt;
  BlockEntry entry;
  entry.bid = bid & ~std::uint64_t{1};
  entry.ib = wide() ? Le64(e + 8) : Le32(e + 4);
  entry.cb = Le16(e + (wide() ? 16 : 8));
  return entry;
}

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

Block NodeDatabase::ReadBlock(std::uint64_t raw_bid, bool keep) const {
  const std::uint64_t bid = raw_bid & ~std::uint64_t{1};
  if (Block cached = blocks_.Find(bid)) return cached;
  const std::optional<BlockEntry> entry = FindBlockEntry(bid);
  if (!entry) Fail("block " + Hex(bid) + " is missing from the block index (damaged)");
  const std::string where = "block " + Hex(bid);
  if (entry->cb + block_trailer_ > max_block_) Fail(where + " is larger than a block can be (damaged)");
  const std::uint64_t on_disk = AlignUp(entry->cb + block_trailer_, block_align_);
  std::vector<std::uint8_t> raw = ReadAt(entry->ib, static_cast<std::size_t>(on_disk));
  const std::uint8_t* t = raw.data() + on_disk - block_trailer_;
  const std::uint16_t cb = Le16(t);
  std::uint32_t crc = 0;
  std::uint64_t trailer_bid = 0;
  if (format_ == Format::Ansi) {
    trailer_bid = Le32(t + 4);
    crc = Le32(t + 8);
  } else {
    crc = Le32(t + 4);
    trailer_bid = Le64(t + 8);
  }
  if (cb != entry->cb || (trailer_bid & ~std::uint64_t{1}) != bid) {
    Fail(where + " at offset " + Hex(entry->ib) + " is not the block the index names (damaged)");
  }
  if (PstCrc(raw.data(), cb) != crc) Fail(where + " fails its CRC check (damaged)");
  raw.resize(cb);
  if (format_ == Format::Unicode4k) {
    // Newer OST files deflate blocks; the trailer then gives the size they
    // inflate to.
    const std::uint16_t inflated = Le16(t + 18);
    if (inflated != 0 && inflated != cb) {
      std::vector<std::uint8_t> out;
      if (!Inflate(raw.data(), raw.size(), inflated, out)) Fail(where + " cannot be decompressed (damaged)");
      raw = std::move(out);
    }
  }
  if ((bid & kInternalBit) == 0) {
    if (encoding_ == Encoding::Permute) DecodePermute(raw.data(), raw.size());
    else if (encoding_ == Encoding::Cyclic) DecodeCyclic(raw.data(), raw.size(), static_cast<std::uint32_t>(bid));
  }
  Block result = std::make_shared<const std::vector<std::uint8_t>>(std::move(raw));
  if (keep) blocks_.Put(bid, result);
  return result;
}

void NodeDatabase::CollectLeaves(std::uint64_t bid, int expected_level, DataTree& tree, bool unmarked) const {
  if ((bid & kInternalBit) == 0 && !unmarked) {
    if (expected_level > 0) Fail("a data tree of block " + Hex(bid) + " is cut short (damaged)");
    tree.blocks.push_back(bid);
    return;
  }
  Block block = ReadBlock(bid);
  const std::vector<std::uint8_t>& b = *block;
  if (b.size() < 8 || b[0] != 0x01) Fail("block " + Hex(bid) + " is not a data tree block (damaged)");
  const int level = b[1];
  const std::size_t count = Le16(&b[2]);
  if (level < 1 || level > 2 || (expected_level >= 0 && level != expected_level) ||
      8 + count * id_size() > b.size()) {
    Fail("data tree block " + Hex(bid) + " has an impossible layout (damaged)");
  }
  if (expected_level < 0) tree.size = Le32(&b[4]);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &b[8 + i * id_size()];
    const std::uint64_t child = wide() ? Le64(e) : Le32(e);
    if (level == 1) {
      if (child & kInternalBit) Fail("data tree block " + Hex(bid) + " points to another tree block (damaged)");
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
  if ((bid & kInternalBit) == 0) tree.size = ReadBlock(bid)->size();
  // The total size of a tree comes from its top block, and readers reserve
  // that much before reading the blocks. No leaf holds more than one
  // block's worth, and where blocks are not compressed every byte of the
  // data sits in the file; a larger total is damage, refused here before
  // anything is allocated for it.
  const std::uint64_t per_block = format_ == Format::Unicode4k ? 0xFFFF : max_block_ - block_trailer_;
  if (tree.size > tree.blocks.size() * per_block || (format_ != Format::Unicode4k && tree.size > file_size_)) {
    Fail("data tree block " + Hex(bid) + " gives a size of " + std::to_string(tree.size) +
         " bytes, more than its blocks can hold (damaged)");
  }
  return tree;
}

NodeDatabase::SubnodeBlock NodeDatabase::ReadSubnodeBlock(std::uint64_t bid, int expected_level) const {
  SubnodeBlock sub;
  sub.block = ReadBlock(bid);
  const std::vector<std::uint8_t>& b = *sub.block;
  const std::size_t header = wide() ? 8 : 4;
  if (b.size() < header || b[0] != 0x02) Fail("block " + Hex(bid) + " is not a subnode block (damaged)");
  sub.level = b[1];
  sub.count = Le16(&b[2]);
  sub.entry_size = sub.level == 0 ? 3 * id_size() : 2 * id_size();
  if (sub.level > 1 || (expected_level >= 0 && sub.level != expected_level) ||
      header + sub.count * sub.entry_size > b.size()) {
    Fail("subnode block " + Hex(bid) + " has an impossible layout (damaged)");
  }
  sub.entries = &b[header];
  return sub;
}

NodeEntry NodeDatabase::SubnodeAt(const SubnodeBlock& sub, std::size_t index) const {
  const std::uint8_t* e = sub.entries + index * sub.entry_size;
  NodeEntry node;
  node.nid = Le32(e);
  node.bid_data = wide() ? Le64(e + 8) : Le32(e + 4);
  node.bid_sub = wide() ? Le64(e + 16) : Le32(e + 8);
  return node;
}

std::optional<NodeEntry> NodeDatabase::FindSubnode(std::uint64_t bid_sub, std::uint32_t nid) const {
  std::uint64_t bid = bid_sub;
  int expected_level = -1;
  // At most two levels: an index block over leaf blocks.
  for (int step = 0; step < 2 && bid != 0; ++step) {
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
  if (index >= tree_.blocks.size()) db_->Fail("a value reaches past the end of its data (damaged)");
  return db_->ReadBlock(tree_.blocks[index], keep);
}

std::string DataStream::ReadAll(std::uint64_t limit) const {
  if (tree_.size > limit) db_->Fail("a value is larger than it can be (" + std::to_string(tree_.size) + " bytes; damaged)");
  std::string out;
  out.reserve(static_cast<std::size_t>(tree_.size));
  for (std::size_t i = 0; i < tree_.blocks.size(); ++i) {
    const Block b = block(i, false);
    if (out.size() + b->size() > tree_.size) db_->Fail("a value's blocks hold more than its size says (damaged)");
    out.append(reinterpret_cast<const char*>(b->data()), b->size());
  }
  if (out.size() != tree_.size) db_->Fail("a value's blocks hold less than its size says (damaged)");
  return out;
}

void DataStream::CopyTo(std::ostream& out) const {
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < tree_.blocks.size(); ++i) {
    const Block b = block(i, false);
    if (done + b->size() > tree_.size) db_->Fail("a value's blocks hold more than its size says (damaged)");
    out.write(reinterpret_cast<const char*>(b->data()), static_cast<std::streamsize>(b->size()));
    if (!out) throw OutlookError("cannot write the data read from " + db_->name());
    done += b->size();
  }
  if (done != tree_.size) db_->Fail("a value's blocks hold less than its size says (damaged)");
}

}  // namespace norvexa::outlook::pst
