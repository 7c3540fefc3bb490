// The PST structure checker, for Unicode, ANSI and 4 KB-page Unicode files
// alike: every layout detail comes from the format descriptor the header's
// version selects.
#include "pst_check.h"

#include "pst_format.h"
#include "platform/system/hex.h"

#include <QFile>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace norvexa::pstgen {
namespace {

constexpr std::size_t kMaxErrors = 200;

// V as "0x" and lower-case hex digits, for messages.
std::string Hex(std::uint64_t v) { return "0x" + sys::HexNumber(v, 1, sys::HexCase::Lower); }

struct BlockInfo {
  std::uint64_t ib;
  std::uint16_t cb;        // bytes on disk, as the BBT says
  std::uint16_t inflated;  // bytes once inflated, as the BBT says (cb in formats without deflation)
  std::uint32_t size = 0;  // bytes of data once inflated, as checked (cb unless deflated)
};

class Checker {
 public:
  explicit Checker(const std::filesystem::path& path) : file_(QString::fromStdString(path.string())) {}

  // Checks the whole file: header, both B-trees, blocks, data trees and
  // subnodes, allocation maps, folder tables and mandatory nodes; returns
  // what was found.
  CheckReport Run() {
    if (!file_.open(QIODevice::ReadOnly)) {
      Error("cannot open the file: " + file_.errorString().toStdString());
      return report_;
    }
    size_ = static_cast<std::uint64_t>(file_.size());
    if (!CheckHeader()) return report_;
    id_ = format_->id_size;
    unit_ = format_->map_unit;
    used_.assign(static_cast<std::size_t>((size_ + unit_ - 1) / unit_), false);
    const std::size_t header_errors = report_.errors.size();
    WalkBTree(nbt_root_, kPtypeNBT, 0, std::nullopt, 0);
    WalkBTree(bbt_root_, kPtypeBBT, 0, std::nullopt, 0);
    for (auto& [bid, info] : blocks_) CheckBlock(bid, info);
    CheckNodes();
    const bool trees_sound = report_.errors.size() == header_errors;
    CheckMaps();
    // Tables are read only when the B-trees, blocks and data trees are
    // sound (faults of the header fields or the maps do not hinder reading
    // them), through the blocks' encoding.
    if (trees_sound) CheckFolderTables();
    CheckMandatoryNodes();
    return report_;
  }

 private:
  struct Ref {
    std::uint64_t bid, ib;
  };

  // Notes fault TEXT (the first kMaxErrors only).
  void Error(const std::string& text) {
    if (report_.errors.size() < kMaxErrors) report_.errors.push_back(text);
  }

  // Reads SIZE bytes at IB into OUT; false (after an error) when the file
  // does not hold them.
  bool Read(std::uint64_t ib, std::uint8_t* out, std::size_t size) {
    if (ib + size > size_ || !file_.seek(static_cast<qint64>(ib)) ||
        file_.read(reinterpret_cast<char*>(out), static_cast<qint64>(size)) != static_cast<qint64>(size)) {
      Error("cannot read " + std::to_string(size) + " bytes at " + Hex(ib));
      return false;
    }
    return true;
  }

  // Marks the allocation units (the format's map_unit) of SIZE bytes at IB
  // as used; overlapping another structure is an error.
  void MarkUsed(std::uint64_t ib, std::uint64_t size, const std::string& what) {
    for (std::uint64_t u = ib / unit_; u < (ib + size + unit_ - 1) / unit_ && u < used_.size(); ++u) {
      if (used_[u]) {
        Error(what + " at " + Hex(ib) + " overlaps other data");
        return;
      }
      used_[u] = true;
    }
  }

  // Reads and checks the header (magic, version, CRCs, ROOT) and takes the
  // format, encoding and B-tree roots from it; false when the file is not
  // a PST file whose structures can be walked.
  bool CheckHeader() {
    std::uint8_t h[564] = {};
    if (!Read(0, h, 512)) return false;
    // "SM" for personal folders, "SO" for offline folders (OST) files.
    if (std::string(reinterpret_cast<char*>(h), 4) != "!BDN" || h[8] != 'S' || (h[9] != 'M' && h[9] != 'O')) {
      Error("not a PST file (bad magic)");
      return false;
    }
    format_ = FormatOfVersion(Get16(h + 10));
    if (!format_) {
      Error("not a Unicode, ANSI or 4 KB-page Unicode PST file (version " + std::to_string(Get16(h + 10)) + ")");
      return false;
    }
    report_.format = format_->name;
    if (format_->header_size > 512 && !Read(0, h, format_->header_size)) return false;
    const HeaderFields f = format_->ReadHeader(h);
    if (f.crc_partial != format_->HeaderCrcPartial(h)) Error("header dwCRCPartial is wrong");
    if (format_->has_crc_full() && f.crc_full != format_->HeaderCrcFull(h)) Error("header dwCRCFull is wrong");
    if (f.sentinel != 0x80) Error("header bSentinel is not 0x80");
    if (f.crypt > 2) Error("unknown bCryptMethod " + std::to_string(f.crypt));
    encoding_ = static_cast<Encoding>(f.crypt > 2 ? 0 : f.crypt);
    report_.encoding = f.crypt;
    eof_ = f.file_eof;
    amap_last_ = f.amap_last;
    amap_free_ = f.amap_free;
    nbt_root_ = Ref{f.nbt_bid, f.nbt_ib};
    bbt_root_ = Ref{f.bbt_bid, f.bbt_ib};
    if (f.amap_valid != 0x01 && f.amap_valid != 0x02) Error("fAMapValid says the allocation maps are not valid");
    if (eof_ != size_) Error("ibFileEof " + Hex(eof_) + " is not the file size " + Hex(size_));
    const std::uint64_t first = format_->first_amap, coverage = format_->amap_coverage();
    if (size_ < first + coverage || (size_ - first) % coverage != 0)
      Error("the file does not end at the end of an allocation-map region");
    regions_ = size_ > first ? (size_ - first + coverage - 1) / coverage : 0;
    if (regions_ && amap_last_ != format_->RegionStart(regions_ - 1)) Error("ibAMapLast is not the last AMap");
    return true;
  }

  // Checks the B-tree page REF of type PTYPE at DEPTH and everything
  // below it, its keys from its parent's key LOW (when given) to below the
  // parent's next key HIGH_EXCLUSIVE (when not 0), and records the nodes or
  // blocks its leaves list.
  void WalkBTree(const Ref& ref, std::uint8_t ptype, int depth, std::optional<std::uint64_t> low,
                 std::uint64_t high_exclusive) {
    const std::string what = std::string(ptype == kPtypeNBT ? "NBT" : "BBT") + " page " + Hex(ref.bid);
    if (depth > 8) {
      Error(what + ": B-tree too deep");
      return;
    }
    const PstFormat& f = *format_;
    if (ref.ib % f.page_size) Error(what + " is not on a page boundary");
    std::vector<std::uint8_t> page(f.page_size);
    const std::uint8_t* p = page.data();
    if (!Read(ref.ib, page.data(), page.size())) return;
    ++report_.pages;
    MarkUsed(ref.ib, f.page_size, what);
    const PageTrailer t = f.ReadPageTrailer(p);
    if (t.ptype != ptype || t.ptype_repeat != ptype) Error(what + ": wrong page type");
    if (t.sig != ComputeSig(ref.ib, ref.bid)) Error(what + ": wrong signature");
    if (t.crc != f.PageCrc(p)) Error(what + ": wrong CRC");
    if (t.bid != ref.bid) Error(what + ": trailer id differs from its reference");
    const BTreeMeta meta = f.ReadBTreeMeta(p);
    const std::size_t count = meta.count, cb = meta.entry_size;
    const bool leaf = meta.level == 0;
    const std::size_t want_cb = leaf && ptype == kPtypeNBT ? f.nbt_entry_size() : f.btree_entry_size();
    if (cb != want_cb || meta.max != f.btree_meta_at / want_cb || count > meta.max) {
      Error(what + ": wrong entry layout");
      return;
    }
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* e = p + i * cb;
      const std::uint64_t key = ptype == kPtypeNBT && leaf ? Get32(e) : f.GetId(e);
      if (i > 0 && key <= previous) Error(what + ": keys out of order");
      if (low && key < *low) Error(what + ": key below its parent's key");
      if (high_exclusive && key >= high_exclusive) Error(what + ": key above the next parent key");
      previous = key;
      if (!leaf) {
        const std::uint64_t next = i + 1 < count ? f.GetId(p + (i + 1) * cb) : high_exclusive;
        WalkBTree(Ref{f.GetId(e + id_), f.GetId(e + 2 * id_)}, ptype, depth + 1, key, next);
      } else if (ptype == kPtypeNBT) {
        nodes_[Get32(e)] = Ref{f.GetId(e + id_), f.GetId(e + 2 * id_)};
        parents_[Get32(e)] = Get32(e + 3 * id_);
        ++report_.nodes;
      } else {
        const BbtEntry entry = f.ReadBbtEntry(e);
        const std::uint64_t bid = entry.bid & ~std::uint64_t{1};
        if (blocks_.count(bid)) Error("block " + Hex(bid) + " listed twice in the BBT");
        blocks_[bid] = BlockInfo{entry.ib, entry.cb, entry.inflated, 0};
        if (entry.refs == 0) Error("block " + Hex(bid) + " has a zero reference count");
      }
    }
  }

  // Checks block BID of the BBT; notes its inflated size and keeps the
  // (inflated) data of internal blocks.
  void CheckBlock(std::uint64_t bid, BlockInfo& info) {
    const std::string what = "block " + Hex(bid);
    const PstFormat& f = *format_;
    if (info.ib % f.block_align) Error(what + " is not on a " + std::to_string(f.block_align) + "-byte boundary");
    if (info.cb > f.max_block_data) {
      Error(what + " is larger than a block");
      return;
    }
    const std::size_t total = f.BlockTotal(info.cb);
    std::vector<std::uint8_t> b(total);
    if (!Read(info.ib, b.data(), total)) return;
    ++report_.blocks;
    MarkUsed(info.ib, total, what);
    const BlockTrailer t = f.ReadBlockTrailer(b.data() + total - f.block_trailer_size);
    if (t.cb != info.cb) Error(what + ": trailer size differs from the BBT");
    if (t.inflated != info.inflated) Error(what + ": trailer inflated size differs from the BBT");
    if (t.sig != ComputeSig(info.ib, bid)) Error(what + ": wrong signature");
    if (t.crc != Crc32(b.data(), info.cb)) Error(what + ": wrong CRC");
    if ((t.bid & ~std::uint64_t{1}) != bid) Error(what + ": trailer id differs from the BBT");
    b.resize(info.cb);
    if (Deflated(t)) {
      // The data is a zlib stream of exactly the inflated size.
      Bytes inflated;
      if (t.inflated > f.max_block_data || !Inflate(b.data(), b.size(), t.inflated, inflated)) {
        Error(what + " does not inflate to the " + std::to_string(t.inflated) + " bytes its trailer says");
        return;
      }
      ++report_.deflated_blocks;
      b = std::move(inflated);
    } else if (f.deflates && t.inflated != t.cb) {
      // Readers that size a block's data by this field (libpff) read it as empty.
      Error(what + ": its trailer says it inflates to 0 bytes");
    }
    info.size = static_cast<std::uint32_t>(b.size());
    if (bid & 0x2) internal_[bid] = std::move(b);
  }

  // True when the block of trailer T is stored deflated: formats that
  // deflate blocks say so by an inflated size other than cb (and 0).
  bool Deflated(const BlockTrailer& t) const {
    return format_->deflates && t.inflated != 0 && t.inflated != t.cb;
  }

  // Size of the data tree under BID (checking XBLOCK/XXBLOCK totals).
  std::uint64_t DataSize(std::uint64_t bid, int depth) {
    const auto it = blocks_.find(bid & ~std::uint64_t{1});
    if (it == blocks_.end()) {
      Error("data block " + Hex(bid) + " is not in the BBT");
      return 0;
    }
    if (!(bid & 0x2)) return it->second.size;
    const auto& b = internal_[bid & ~std::uint64_t{1}];
    if (b.size() < 8 || b[0] != 0x01 || depth > 1) {
      Error("internal block " + Hex(bid) + " is not an XBLOCK or XXBLOCK where data is expected");
      return 0;
    }
    const std::uint16_t count = Get16(&b[2]);
    if (8 + id_ * count > b.size()) {
      Error("XBLOCK " + Hex(bid) + " lists more entries than it holds");
      return 0;
    }
    std::uint64_t total = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint64_t child = format_->GetId(&b[8 + id_ * i]);
      if (b[1] == 1 && (child & 0x2)) Error("XBLOCK " + Hex(bid) + " lists an internal block");
      total += DataSize(child, depth + 1);
    }
    if (total != Get32(&b[4])) Error("XBLOCK " + Hex(bid) + ": lcbTotal differs from its blocks");
    return total;
  }

  // Checks the subnode block BID at DEPTH (SLBLOCK or SIBLOCK) and every
  // data tree and subnode block it lists.
  void CheckSubnodes(std::uint64_t bid, int depth) {
    const auto it = internal_.find(bid & ~std::uint64_t{1});
    if (!(bid & 0x2) || it == internal_.end()) {
      Error("subnode block " + Hex(bid) + " is missing or not internal");
      return;
    }
    const auto& b = it->second;
    if (b.size() < 8 || b[0] != 0x02 || depth > 4) {
      Error("subnode block " + Hex(bid) + " is not an SLBLOCK or SIBLOCK");
      return;
    }
    const std::uint16_t count = Get16(&b[2]);
    const PstFormat& f = *format_;
    const std::size_t entry = b[1] == 0 ? f.sl_entry_size() : f.si_entry_size();
    if (f.subnode_header_size + entry * count > b.size()) {
      Error("subnode block " + Hex(bid) + " lists more entries than it holds");
      return;
    }
    std::uint64_t previous = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint8_t* e = &b[f.subnode_header_size + entry * i];
      // Only the low 32 bits of a subnode id are the id.
      if (i > 0 && Get32(e) <= previous)
        Error("subnode block " + Hex(bid) + ": ids out of order (" + Hex(previous) + ", " + Hex(Get32(e)) + ")");
      previous = Get32(e);
      if (b[1] == 0) {
        if (f.GetId(e + id_)) DataSize(f.GetId(e + id_), 0);
        if (f.GetId(e + 2 * id_)) CheckSubnodes(f.GetId(e + 2 * id_), depth + 1);
      } else {
        CheckSubnodes(f.GetId(e + id_), depth + 1);
      }
    }
  }

  // Checks the data tree and subnodes of every node.
  void CheckNodes() {
    for (const auto& [nid, ref] : nodes_) {
      if (ref.bid) DataSize(ref.bid, 0);
      if (ref.ib) CheckSubnodes(ref.ib, 0);
    }
  }

  // Checks that the nodes every PST holds are there.
  void CheckMandatoryNodes() {
    for (std::uint32_t nid : {0x21u, 0x61u, 0x122u, 0x12Du, 0x12Eu, 0x12Fu, 0x1E1u, 0x201u, 0x60Du, 0x60Eu,
                              0x60Fu, 0x610u, 0x671u, 0x692u})
      if (!nodes_.count(nid)) Error("mandatory node " + Hex(nid) + " is missing");
  }

  // Checks one map page at IB of type PTYPE; returns its bytes of bits.
  std::vector<std::uint8_t> MapPage(std::uint64_t ib, std::uint8_t ptype, const char* name) {
    std::vector<std::uint8_t> page(format_->page_size);
    const std::uint8_t* p = page.data();
    if (!Read(ib, page.data(), page.size())) return {};
    MarkUsed(ib, page.size(), name);
    const PageTrailer t = format_->ReadPageTrailer(p);
    if (t.ptype != ptype || t.ptype_repeat != ptype) Error(std::string(name) + " at " + Hex(ib) + ": wrong page type");
    if (t.crc != format_->PageCrc(p)) Error(std::string(name) + " at " + Hex(ib) + ": wrong CRC");
    if (t.bid != ib) Error(std::string(name) + " at " + Hex(ib) + ": id is not its offset");
    const std::uint8_t* bits = p + format_->map_bits_at;
    return std::vector<std::uint8_t>(bits, bits + format_->map_bits_size);
  }

  // Checks every map page; that no AMap leaves space in use marked free
  // (space marked but not used counts as leaked); and that the header's
  // free-space count is the maps'.
  void CheckMaps() {
    const PstFormat& f = *format_;
    // Map pages first, so that their space counts as used.
    std::vector<std::vector<std::uint8_t>> amaps;
    for (std::uint64_t r = 0; r < regions_; ++r) {
      const std::uint64_t start = f.RegionStart(r);
      amaps.push_back(MapPage(start, kPtypeAMap, "AMap"));
      if (f.HasPMap(r)) MapPage(start + f.page_size, kPtypePMap, "PMap");
      if (f.HasFMap(r)) MapPage(start + 2 * f.page_size, kPtypeFMap, "FMap");
      if (f.HasFPMap(r)) MapPage(start + 3 * f.page_size, kPtypeFPMap, "FPMap");
    }
    std::uint64_t free_bytes = 0;
    for (std::uint64_t r = 0; r < regions_; ++r) {
      if (amaps[r].empty()) continue;
      const std::uint64_t first_unit = f.RegionStart(r) / unit_;
      std::uint64_t unmarked = 0;
      for (std::size_t bit = 0; bit < f.map_bits_size * 8; ++bit) {
        const bool marked = amaps[r][bit / 8] & (0x80u >> (bit % 8));
        const std::uint64_t unit = first_unit + bit;
        const bool used = unit < used_.size() && used_[unit];
        if (!marked) free_bytes += unit_;
        if (used && !marked) ++unmarked;
        if (marked && !used) report_.leaked_bytes += unit_;
      }
      if (unmarked)
        Error("AMap of region " + std::to_string(r) + " leaves " + std::to_string(unmarked * unit_) +
              " bytes in use marked free");
    }
    if (free_bytes != amap_free_)
      Error("cbAMapFree " + std::to_string(amap_free_) + " differs from the maps' " + std::to_string(free_bytes));
  }


  // ---- Table contexts of folders -----------------------------------------
  using Bytes = std::vector<std::uint8_t>;

  // The decoded external blocks of the data tree under BID, in order.
  bool NodeBlocks(std::uint64_t bid, std::vector<Bytes>& out, int depth = 0) {
    const auto it = blocks_.find(bid & ~std::uint64_t{1});
    if (it == blocks_.end() || depth > 2) return false;
    if (bid & 0x2) {
      const Bytes& b = internal_[bid & ~std::uint64_t{1}];
      if (b.size() < 8 || b[0] != 0x01) return false;
      for (std::uint16_t i = 0; i < Get16(&b[2]) && 8 + id_ * (i + 1u) <= b.size(); ++i)
        if (!NodeBlocks(format_->GetId(&b[8 + id_ * i]), out, depth + 1)) return false;
      return true;
    }
    Bytes data(it->second.cb);
    if (!Read(it->second.ib, data.data(), data.size())) return false;
    if (it->second.size != it->second.cb) {
      // Deflated (CheckBlock found it inflates): inflate, then decode.
      Bytes inflated;
      if (!Inflate(data.data(), data.size(), it->second.size, inflated)) return false;
      data = std::move(inflated);
    }
    DecodeBlock(encoding_, it->first, data.data(), data.size());
    out.push_back(std::move(data));
    return true;
  }

  // The subnodes directly under BID: nid -> (data, subnodes).
  void Subnodes(std::uint64_t bid, std::map<std::uint32_t, Ref>& out) {
    const auto it = internal_.find(bid & ~std::uint64_t{1});
    if (it == internal_.end() || it->second.size() < 8) return;
    const Bytes& b = it->second;
    const PstFormat& f = *format_;
    const std::size_t entry = b[1] == 0 ? f.sl_entry_size() : f.si_entry_size();
    for (std::uint16_t i = 0; i < Get16(&b[2]) && f.subnode_header_size + entry * (i + 1u) <= b.size(); ++i) {
      const std::uint8_t* e = &b[f.subnode_header_size + entry * i];
      if (b[1] == 0)
        out[Get32(e)] = Ref{f.GetId(e + id_), f.GetId(e + 2 * id_)};
      else
        Subnodes(f.GetId(e + id_), out);
    }
  }

  // The bytes of heap allocation HID, or false when it is not one.
  bool HeapItem(const std::vector<Bytes>& heap, std::uint32_t hid, Bytes& out) {
    const std::size_t page = format_->HidBlock(hid), index = format_->HidIndex(hid);
    if ((hid & 0x1F) != 0 || page >= heap.size() || index == 0) return false;
    const Bytes& p = heap[page];
    if (p.size() < 2) return false;
    const std::size_t map = Get16(p.data());
    if (map + 4 > p.size() || index > Get16(&p[map])) return false;
    if (map + 4 + 2 * (index + 1) > p.size()) return false;
    const std::size_t from = Get16(&p[map + 4 + 2 * (index - 1)]), to = Get16(&p[map + 4 + 2 * index]);
    if (from > to || to > map) return false;
    out.assign(p.begin() + static_cast<std::ptrdiff_t>(from), p.begin() + static_cast<std::ptrdiff_t>(to));
    return true;
  }

  // Collects the records of the BTH whose header is at HID.
  bool BthRecords(const std::vector<Bytes>& heap, std::uint32_t hid, std::vector<Bytes>& records,
                  std::size_t& key_size, std::size_t& value_size) {
    Bytes header;
    if (!HeapItem(heap, hid, header) || header.size() != 8 || header[0] != 0xB5) return false;
    key_size = header[1];
    value_size = header[2];
    std::function<bool(std::uint32_t, int)> walk = [&](std::uint32_t node, int level) {
      Bytes b;
      if (!HeapItem(heap, node, b)) return false;
      const std::size_t record = level > 0 ? key_size + 4 : key_size + value_size;
      if (record == 0 || b.size() % record) return false;
      for (std::size_t o = 0; o < b.size(); o += record) {
        if (level > 0) {
          if (!walk(Get32(&b[o + key_size]), level - 1)) return false;
        } else {
          records.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(o),
                               b.begin() + static_cast<std::ptrdiff_t>(o + record));
        }
      }
      return true;
    };
    return Get32(&header[4]) == 0 || walk(Get32(&header[4]), header[3]);
  }

  // A table context as read for checking: its heap, TCINFO, the records
  // of its row index and its row matrix (one buffer in the heap, or one a
  // block of whole rows in a subnode).
  struct TableParts {
    std::vector<Bytes> heap;
    Bytes info;
    std::size_t row_size = 0;
    std::vector<Bytes> index;
    std::size_t index_value_size = 0;  // bytes of a row number in the row index
    std::vector<Bytes> matrix;
  };

  // Checks the table context NID: its rows are exactly the row ids WANT.
  void CheckTable(std::uint32_t nid, const std::set<std::uint32_t>& want) {
    const std::string what = "table " + Hex(nid);
    const auto node = nodes_.find(nid);
    if (node == nodes_.end()) {
      Error(what + " is missing");
      return;
    }
    TableParts table;
    if (ReadTableInfo(node->second, what, table) && ReadRowIndex(what, table) &&
        ReadRowMatrix(node->second, what, table))
      CheckRows(what, table, want);
  }

  // Reads the heap of the table node NODE and its TCINFO into TABLE; false
  // (after an error naming WHAT) when either is not a table's.
  bool ReadTableInfo(const Ref& node, const std::string& what, TableParts& table) {
    std::vector<Bytes>& heap = table.heap;
    if (!NodeBlocks(node.bid, heap) || heap.empty() || heap[0].size() < 12 || heap[0][2] != 0xEC ||
        heap[0][3] != 0x7C) {
      Error(what + ": not a table context heap");
      return false;
    }
    Bytes& info = table.info;
    if (!HeapItem(heap, Get32(&heap[0][4]), info) || info.size() < 22 || info[0] != 0x7C ||
        info.size() != 22 + 8u * info[1]) {
      Error(what + ": bad TCINFO");
      return false;
    }
    table.row_size = Get16(&info[8]);
    return true;
  }

  // Reads the row index of TABLE (row id -> row number, the number as wide
  // as the format says); false (after an error naming WHAT) when it is not
  // one.
  bool ReadRowIndex(const std::string& what, TableParts& table) {
    std::size_t key_size = 0;
    if (!BthRecords(table.heap, Get32(&table.info[10]), table.index, key_size, table.index_value_size) ||
        (!table.index.empty() && (key_size != 4 || table.index_value_size != format_->row_index_size))) {
      Error(what + ": bad row index");
      return false;
    }
    return true;
  }

  // Reads the row matrix of TABLE, node NODE: in the heap, or in a subnode
  // of whole-row blocks; none for a table without rows. False (after an
  // error naming WHAT) when it is named but cannot be found.
  bool ReadRowMatrix(const Ref& node, const std::string& what, TableParts& table) {
    std::vector<Bytes>& matrix = table.matrix;
    const std::uint32_t rows_ref = Get32(&table.info[14]);
    if (rows_ref == 0) return true;
    if ((rows_ref & 0x1F) == 0) {
      matrix.emplace_back();
      if (!HeapItem(table.heap, rows_ref, matrix.back())) matrix.clear();
    } else {
      std::map<std::uint32_t, Ref> subs;
      if (node.ib) Subnodes(node.ib, subs);
      const auto sub = subs.find(rows_ref);
      if (sub == subs.end() || !NodeBlocks(sub->second.bid, matrix)) matrix.clear();
    }
    if (matrix.empty()) {
      Error(what + ": row matrix missing");
      return false;
    }
    return true;
  }

  // Checks that TABLE holds as many rows as its row index and WANT, that
  // every index entry points at the row of its id, and that those ids are
  // WANT; errors name WHAT.
  void CheckRows(const std::string& what, const TableParts& table, const std::set<std::uint32_t>& want) {
    const std::vector<Bytes>& matrix = table.matrix;
    const std::size_t row_size = table.row_size;
    const std::size_t per_block = row_size ? format_->max_block_data / row_size : 0;
    std::size_t rows = 0;
    for (const Bytes& b : matrix) rows += row_size ? b.size() / row_size : 0;
    if (table.index.size() != rows || rows != want.size()) {
      Error(what + ": " + std::to_string(rows) + " rows, " + std::to_string(table.index.size()) +
            " in the row index, " + std::to_string(want.size()) + " expected");
      return;
    }
    std::set<std::uint32_t> seen;
    for (const Bytes& record : table.index) {
      const std::uint32_t row_id = Get32(record.data());
      const std::uint32_t row = table.index_value_size == 2 ? Get16(&record[4]) : Get32(&record[4]);
      const std::size_t block = matrix.size() == 1 ? 0 : row / per_block;
      const std::size_t offset = (matrix.size() == 1 ? row : row % per_block) * row_size;
      if (block >= matrix.size() || offset + row_size > matrix[block].size() ||
          Get32(&matrix[block][offset]) != row_id) {
        Error(what + ": row index entry " + Hex(row_id) + " does not point at its row");
        return;
      }
      seen.insert(row_id);
    }
    if (seen != want) Error(what + ": its rows are not the node's children");
  }

  // Every normal folder's hierarchy and contents tables list exactly its
  // sub-folders (search folders included) and messages.
  void CheckFolderTables() {
    std::map<std::uint32_t, std::set<std::uint32_t>> folders, messages;
    for (const auto& [nid, parent] : parents_) {
      if ((nid & 0x1F) == kNidTypeNormalFolder || (nid & 0x1F) == kNidTypeSearchFolder) {
        folders[nid];
        messages[nid];
        if (parent != nid) folders[parent].insert(nid);
      } else if ((nid & 0x1F) == kNidTypeNormalMessage) {
        messages[parent].insert(nid);
      }
    }
    for (const auto& [nid, children] : folders) {
      if ((nid & 0x1F) != kNidTypeNormalFolder) continue;
      CheckTable((nid & ~0x1Fu) | kNidTypeHierarchyTable, children);
      CheckTable((nid & ~0x1Fu) | kNidTypeContentsTable, messages[nid]);
    }
  }

  QFile file_;
  CheckReport report_;
  std::uint64_t size_ = 0, eof_ = 0, amap_last_ = 0, amap_free_ = 0, regions_ = 0;
  Ref nbt_root_{}, bbt_root_{};
  std::vector<bool> used_;
  std::map<std::uint64_t, BlockInfo> blocks_;
  std::map<std::uint64_t, std::vector<std::uint8_t>> internal_;
  std::map<std::uint32_t, Ref> nodes_;
  std::map<std::uint32_t, std::uint32_t> parents_;
  const PstFormat* format_ = nullptr;  // set by CheckHeader
  std::size_t id_ = 8;                 // the format's id size
  std::uint64_t unit_ = 64;            // bytes of one allocation unit (an AMap bit)
  Encoding encoding_ = Encoding::None;
};

}  // namespace

std::string CheckReport::Summary() const {
  std::ostringstream s;
  if (!format.empty()) s << format << " file, ";
  s << pages << " pages, " << blocks << " blocks";
  if (deflated_blocks) s << " (" << deflated_blocks << " deflated)";
  s << ", " << nodes << " nodes, " << leaked_bytes << " bytes leaked, " << errors.size() << " errors";
  for (const std::string& e : errors) s << "\n  " << e;
  return s.str();
}

CheckReport CheckPstFile(const std::filesystem::path& path) { return Checker(path).Run(); }

}  // namespace norvexa::pstgen
