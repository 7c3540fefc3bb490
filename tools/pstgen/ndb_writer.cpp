// Node database writer: space allocation with the allocation maps, blocks,
// B-trees and the header of a PST file, laid out by its format descriptor.
#include "ndb_writer.h"

#include <algorithm>
#include <cstring>

namespace norvexa::pstgen {
namespace {

constexpr std::uint16_t kBlockRefCount = 2;

// V rounded up to a multiple of A.
std::uint64_t AlignUp(std::uint64_t v, std::uint64_t a) { return (v + a - 1) / a * a; }

// A new anonymous temporary file; throws PstWriteError when none can be made.
std::FILE* OpenSpill() {
  std::FILE* f = std::tmpfile();
  if (!f) throw PstWriteError("cannot create a temporary file for the B-tree entries");
  return f;
}

// Reads exactly SIZE bytes from a spill file.
void SpillRead(std::FILE* f, void* data, std::size_t size) {
  if (std::fread(data, 1, size, f) != size) throw PstWriteError("cannot read back a temporary B-tree file");
}

// The nodes of the node B-tree in nid order: those kept in memory (sorted)
// merged with the message nodes spilled to a file (written in nid order).
class SortedNodes {
 public:
  // MEMORY is sorted by nid; SPILL is rewound and holds COUNT records.
  SortedNodes(const std::vector<NodeEntry>& memory, std::FILE* spill, std::uint64_t count)
      : memory_(memory), spill_(spill), spilled_left_(count) {
    Pull();
  }

  // The next node into E; false after the last. Throws PstWriteError when
  // the spill file cannot be read.
  bool Next(NodeEntry& e) {
    const bool from_memory = next_memory_ < memory_.size();
    if (!have_spilled_ && !from_memory) return false;
    if (have_spilled_ && (!from_memory || spilled_.nid < memory_[next_memory_].nid)) {
      e = spilled_;
      Pull();
    } else {
      e = memory_[next_memory_++];
    }
    return true;
  }

 private:
  // Reads the next spilled node, if any is left.
  void Pull() {
    have_spilled_ = spilled_left_ > 0;
    if (!have_spilled_) return;
    std::uint8_t rec[24];
    SpillRead(spill_, rec, sizeof rec);
    spilled_ = NodeEntry{Get32(rec), Get64(rec + 4), Get64(rec + 12), Get32(rec + 20)};
    --spilled_left_;
  }

  const std::vector<NodeEntry>& memory_;
  std::size_t next_memory_ = 0;
  std::FILE* spill_;
  std::uint64_t spilled_left_;
  bool have_spilled_ = false;
  NodeEntry spilled_;
};

}  // namespace

NdbWriter::NdbWriter(const std::filesystem::path& path, const PstFormat& format, Encoding encoding, bool deflate)
    : file_(QString::fromStdString(path.string())),
      format_(format),
      encoding_(encoding),
      deflate_(deflate),
      amap_(format.map_bits_size, 0),
      bbt_spill_(OpenSpill(), &std::fclose),
      nbt_spill_(OpenSpill(), &std::fclose) {
  if (deflate && !format.deflates)
    throw PstWriteError(std::string("blocks of the ") + format.name + " format cannot be deflated");
  if (!file_.open(QIODevice::ReadWrite | QIODevice::Truncate))
    throw PstWriteError("cannot create " + path.string() + ": " + file_.errorString().toStdString());
  block_buffer_.reserve(format.BlockTotal(format.max_block_data));
  // Space before the first AMap holds the header and the density list.
  next_ = format.first_amap;
}

NdbWriter::~NdbWriter() = default;

void NdbWriter::SpillWrite(std::FILE* f, const void* data, std::size_t size) {
  if (std::fwrite(data, 1, size, f) != size) throw PstWriteError("cannot write a temporary B-tree file");
}

void NdbWriter::WriteAt(std::uint64_t ib, const std::uint8_t* data, std::size_t size) {
  if (!file_.seek(static_cast<qint64>(ib)) ||
      file_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
    throw PstWriteError("cannot write " + file_.fileName().toStdString() + ": " +
                        file_.errorString().toStdString());
}

void NdbWriter::MarkAllocated(std::uint64_t ib, std::uint64_t size) {
  const std::uint64_t start = format_.RegionStart(region_), unit = format_.map_unit;
  const std::uint64_t first = (ib - start) / unit;
  const std::uint64_t last = (ib + size - 1 - start) / unit;
  for (std::uint64_t bit = first; bit <= last; ++bit)
    amap_[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
}

void NdbWriter::WriteMapPage(std::uint64_t ib, std::uint8_t ptype, const std::uint8_t* bits) {
  Bytes page(format_.page_size, 0);
  std::memcpy(page.data() + format_.map_bits_at, bits, format_.map_bits_size);
  format_.WritePageTrailer(page.data(), ptype, 0, ib);  // map pages carry their own offset as id
  WriteAt(ib, page.data(), page.size());
}

void NdbWriter::OpenRegion(std::uint64_t region) {
  region_ = region;
  region_open_ = true;
  std::fill(amap_.begin(), amap_.end(), 0);
  const std::uint64_t start = format_.RegionStart(region);
  const std::size_t page = format_.page_size;
  MarkAllocated(start, format_.FirstDataOffset(region));
  const Bytes full(format_.map_bits_size, 0xFF);
  // PMaps and FPMaps are deprecated: present at their places with valid
  // trailers, all bits set so that no reader takes space from them.
  if (format_.HasPMap(region)) WriteMapPage(start + page, kPtypePMap, full.data());
  if (format_.HasFPMap(region)) WriteMapPage(start + 3 * page, kPtypeFPMap, full.data());
  // An FMap page is written at the end, once every region it covers is known;
  // write a placeholder now so that the space is never left as a hole.
  if (format_.HasFMap(region)) WriteMapPage(start + 2 * page, kPtypeFMap, full.data());
  next_ = start + format_.FirstDataOffset(region);
}

void NdbWriter::CloseRegion() {
  WriteMapPage(format_.RegionStart(region_), kPtypeAMap, amap_.data());
  std::uint64_t free_bits = 0, run = 0, longest = 0;
  for (std::size_t bit = 0; bit < format_.map_bits_size * 8; ++bit) {
    if (amap_[bit / 8] & (0x80u >> (bit % 8))) {
      run = 0;
    } else {
      ++free_bits;
      longest = std::max(longest, ++run);
    }
  }
  amap_free_ += free_bits * format_.map_unit;
  free_runs_.push_back(static_cast<std::uint8_t>(std::min<std::uint64_t>(longest, 255)));
  region_open_ = false;
}

std::uint64_t NdbWriter::Allocate(std::uint64_t size, std::uint64_t align) {
  if (!region_open_) OpenRegion(free_runs_.size());
  std::uint64_t ib = AlignUp(next_, align);
  if (ib + size > format_.RegionStart(region_ + 1)) {
    // The file always ends at the end of a region: the next one must fit.
    if (format_.RegionStart(region_ + 2) > format_.max_file_size)
      throw PstWriteError(std::string("the mailbox does not fit a PST file of the ") + format_.name +
                          " format (at most " + std::to_string(format_.max_file_size >> 20) + " MB)");
    CloseRegion();
    OpenRegion(region_ + 1);
    ib = AlignUp(next_, align);
  }
  MarkAllocated(ib, size);
  next_ = ib + size;
  return ib;
}

void NdbWriter::WriteBlock(std::uint64_t bid, const std::uint8_t* data, std::size_t size, std::size_t inflated) {
  const std::uint64_t total = format_.BlockTotal(size);
  const std::uint64_t ib = Allocate(total, format_.block_align);
  block_buffer_.assign(total, 0);
  if (size) std::memcpy(block_buffer_.data(), data, size);
  format_.WriteBlockTrailer(block_buffer_.data() + total - format_.block_trailer_size,
                            static_cast<std::uint16_t>(size), ComputeSig(ib, bid), Crc32(data, size), bid,
                            static_cast<std::uint16_t>(inflated));
  WriteAt(ib, block_buffer_.data(), total);
  std::uint8_t rec[20];
  Put64(rec, bid);
  Put64(rec + 8, ib);
  Put16(rec + 16, static_cast<std::uint16_t>(size));
  Put16(rec + 18, static_cast<std::uint16_t>(inflated));
  SpillWrite(bbt_spill_.get(), rec, sizeof rec);
  ++block_count_;
}

std::uint64_t NdbWriter::WriteDataBlock(const std::uint8_t* data, std::size_t size) {
  if (size > format_.max_block_data)
    throw PstWriteError("data block larger than " + std::to_string(format_.max_block_data) + " bytes");
  const std::uint64_t bid = next_bid_;
  next_bid_ += 4;
  const std::uint8_t* bytes = data;
  if (encoding_ != Encoding::None) {
    // Encoded in a buffer of its own: WriteBlock reuses block_buffer_.
    encode_buffer_.assign(data, data + size);
    EncodeBlock(encoding_, bid, encode_buffer_.data(), size);
    bytes = encode_buffer_.data();
  }
  // Readers inflate a block first and decode it after, so the encoded bytes
  // are what is deflated. A block is kept as it is unless deflating makes it
  // shorter: an inflated size equal to cb says "not deflated".
  if (deflate_ && size > 0) {
    std::optional<Bytes> deflated;
    try {
      deflated = Deflate(bytes, size);
    } catch (const std::runtime_error& e) {
      throw PstWriteError(e.what());
    }
    if (deflated) {
      WriteBlock(bid, deflated->data(), deflated->size(), size);
      return bid;
    }
  }
  WriteBlock(bid, bytes, size, size);
  return bid;
}

std::uint64_t NdbWriter::WriteInternalBlock(const Bytes& data) {
  if (data.size() > format_.max_block_data)
    throw PstWriteError("internal block larger than " + std::to_string(format_.max_block_data) + " bytes");
  const std::uint64_t bid = next_bid_ | 0x2;  // fInternal
  next_bid_ += 4;
  WriteBlock(bid, data.data(), data.size(), data.size());
  return bid;
}

void NdbWriter::AddNode(const NodeEntry& e) {
  if ((e.nid & 0x1F) == kNidTypeNormalMessage) {
    if (spilled_node_count_ && e.nid <= last_spilled_nid_)
      throw PstWriteError("message nodes out of order");
    std::uint8_t rec[24];
    Put32(rec, e.nid);
    Put64(rec + 4, e.bid_data);
    Put64(rec + 12, e.bid_sub);
    Put32(rec + 20, e.nid_parent);
    SpillWrite(nbt_spill_.get(), rec, sizeof rec);
    last_spilled_nid_ = e.nid;
    ++spilled_node_count_;
  } else {
    nodes_.push_back(e);
  }
}

NdbWriter::PageRef NdbWriter::WriteBTreePage(std::uint8_t ptype, std::uint8_t level, std::size_t cb_entry,
                                             const Bytes& entries, std::size_t count, std::uint64_t first_key) {
  Bytes page(format_.page_size, 0);
  std::memcpy(page.data(), entries.data(), count * cb_entry);
  format_.WriteBTreeMeta(page.data(), BTreeMeta{count, format_.btree_meta_at / cb_entry, cb_entry, level});
  const std::uint64_t ib = Allocate(format_.page_size, format_.page_size);
  const std::uint64_t bid = next_page_bid_++;
  format_.WritePageTrailer(page.data(), ptype, ComputeSig(ib, bid), bid);
  WriteAt(ib, page.data(), page.size());
  return PageRef{first_key, bid, ib};
}

NdbWriter::PageRef NdbWriter::BuildUpperLevels(std::uint8_t ptype, std::vector<PageRef> refs, std::uint8_t level) {
  const std::size_t cb = format_.btree_entry_size(), per_page = format_.btree_max_entries();
  const std::size_t id = format_.id_size;
  while (refs.size() > 1) {
    std::vector<PageRef> up;
    Bytes entries;
    for (std::size_t i = 0; i < refs.size(); i += per_page) {
      const std::size_t n = std::min(per_page, refs.size() - i);
      entries.assign(n * cb, 0);
      for (std::size_t k = 0; k < n; ++k) {
        format_.PutId(&entries[k * cb], refs[i + k].key);
        format_.PutId(&entries[k * cb + id], refs[i + k].bid);
        format_.PutId(&entries[k * cb + 2 * id], refs[i + k].ib);
      }
      up.push_back(WriteBTreePage(ptype, level, cb, entries, n, refs[i].key));
    }
    refs = std::move(up);
    ++level;
  }
  return refs.front();
}

NdbWriter::PageRef NdbWriter::WriteBlockBTree() {
  // The spilled entries are already in block-id order.
  std::rewind(bbt_spill_.get());
  const std::size_t cb = format_.btree_entry_size(), per_page = format_.btree_max_entries();
  std::vector<PageRef> leaves;
  Bytes entries;
  std::uint64_t left = block_count_;
  do {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(per_page, left));
    entries.assign(n * cb, 0);
    std::uint64_t first = 0;
    for (std::size_t k = 0; k < n; ++k) {
      std::uint8_t rec[20];
      SpillRead(bbt_spill_.get(), rec, sizeof rec);
      if (k == 0) first = Get64(rec);
      format_.WriteBbtEntry(&entries[k * cb],
                            BbtEntry{Get64(rec), Get64(rec + 8), Get16(rec + 16), Get16(rec + 18), kBlockRefCount});
    }
    leaves.push_back(WriteBTreePage(kPtypeBBT, 0, cb, entries, n, first));
    left -= n;
  } while (left > 0);
  return BuildUpperLevels(kPtypeBBT, std::move(leaves), 1);
}

NdbWriter::PageRef NdbWriter::WriteNodeBTree() {
  std::sort(nodes_.begin(), nodes_.end(), [](const NodeEntry& a, const NodeEntry& b) { return a.nid < b.nid; });
  std::rewind(nbt_spill_.get());
  SortedNodes sorted(nodes_, nbt_spill_.get(), spilled_node_count_);
  // An entry is nid, bidData, bidSub and nidParent (4 bytes).
  const std::size_t cb = format_.nbt_entry_size(), per_page = format_.nbt_max_entries(), id = format_.id_size;
  std::vector<PageRef> leaves;
  Bytes entries(per_page * cb, 0);
  std::size_t n = 0;
  std::uint64_t first = 0;
  NodeEntry e;
  while (sorted.Next(e)) {
    if (n == 0) {
      std::fill(entries.begin(), entries.end(), 0);
      first = e.nid;
    }
    std::uint8_t* p = &entries[n * cb];
    format_.PutId(p, e.nid);
    format_.PutId(p + id, e.bid_data);
    format_.PutId(p + 2 * id, e.bid_sub);
    Put32(p + 3 * id, e.nid_parent);
    if (++n == per_page) {
      leaves.push_back(WriteBTreePage(kPtypeNBT, 0, cb, entries, n, first));
      n = 0;
    }
  }
  if (n > 0 || leaves.empty()) leaves.push_back(WriteBTreePage(kPtypeNBT, 0, cb, entries, n, first));
  return BuildUpperLevels(kPtypeNBT, std::move(leaves), 1);
}

void NdbWriter::WriteDensityList() {
  Bytes page(format_.page_size, 0);
  const std::uint64_t ib = format_.density_list_at, bid = next_page_bid_++;
  format_.WritePageTrailer(page.data(), kPtypeDL, ComputeSig(ib, bid), bid);
  WriteAt(ib, page.data(), page.size());
}

void NdbWriter::WriteFreeMaps() {
  // One byte per region, the longest free run of its AMap, from region 128
  // (the header holds the first 128), 496 regions a page.
  for (std::uint64_t r = 128; r < free_runs_.size(); r += 496) {
    if (!format_.HasFMap(r)) continue;
    Bytes bits(format_.map_bits_size, 0);
    for (std::size_t k = 0; k < bits.size() && r + k < free_runs_.size(); ++k) bits[k] = free_runs_[r + k];
    WriteMapPage(format_.RegionStart(r) + 2 * format_.page_size, kPtypeFMap, bits.data());
  }
}

void NdbWriter::Finish(const std::array<std::uint32_t, 32>& rgnid) {
  if (finished_) return;
  finished_ = true;
  const PageRef bbt = WriteBlockBTree();
  const PageRef nbt = WriteNodeBTree();
  WriteDensityList();
  CloseRegion();
  WriteFreeMaps();
  // The file ends at the end of the last AMap's region.
  const std::uint64_t eof = format_.RegionStart(free_runs_.size());
  if (!file_.resize(static_cast<qint64>(eof)))
    throw PstWriteError("cannot extend " + file_.fileName().toStdString());
  file_size_ = eof;
  WriteHeader(rgnid, nbt, bbt);
  if (!file_.flush()) throw PstWriteError("cannot write " + file_.fileName().toStdString());
  file_.close();
}

void NdbWriter::WriteHeader(const std::array<std::uint32_t, 32>& rgnid, const PageRef& nbt, const PageRef& bbt) {
  HeaderFields f;
  f.version = format_.version;
  f.bid_next_b = next_bid_;
  f.bid_next_p = next_page_bid_;
  f.unique = static_cast<std::uint32_t>(block_count_ + nodes_.size() + spilled_node_count_);
  f.rgnid = rgnid;
  const std::uint64_t regions = free_runs_.size();
  f.file_eof = format_.RegionStart(regions);
  f.amap_last = format_.RegionStart(regions - 1);
  f.amap_free = amap_free_;
  f.pmap_free = 0;
  f.nbt_bid = nbt.bid;
  f.nbt_ib = nbt.ib;
  f.bbt_bid = bbt.bid;
  f.bbt_ib = bbt.ib;
  f.amap_valid = 0x02;  // VALID_AMAP2
  // rgbFM: the first 128 regions; rgbFP: no free pages.
  for (std::size_t i = 0; i < 128; ++i) f.rgb_fm[i] = i < free_runs_.size() ? free_runs_[i] : 0;
  f.rgb_fp.fill(0xFF);
  f.crypt = static_cast<std::uint8_t>(encoding_);
  std::vector<std::uint8_t> h(format_.header_size, 0);
  format_.WriteHeader(f, h.data());
  WriteAt(0, h.data(), h.size());
}

}  // namespace norvexa::pstgen
