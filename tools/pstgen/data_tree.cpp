// Data trees (XBLOCK/XXBLOCK) and subnode trees (SLBLOCK/SIBLOCK).
#include "data_tree.h"

#include <algorithm>
#include <numeric>

namespace norvexa::pstgen {
namespace {

// An XBLOCK (LEVEL 1) or XXBLOCK (LEVEL 2) of FORMAT over IDS holding TOTAL bytes.
Bytes XBlock(const PstFormat& format, std::uint8_t level, const std::uint64_t* ids, std::size_t count,
             std::uint64_t total) {
  Bytes b;
  b.push_back(0x01);
  b.push_back(level);
  Append16(b, static_cast<std::uint16_t>(count));
  Append32(b, static_cast<std::uint32_t>(total));
  for (std::size_t i = 0; i < count; ++i) format.AppendId(b, ids[i]);
  return b;
}

// The header of an SLBLOCK (LEVEL 0) or SIBLOCK (LEVEL 1) of COUNT entries;
// Unicode pads it to 8 bytes.
Bytes SubnodeHeader(const PstFormat& format, std::uint8_t level, std::size_t count) {
  Bytes b;
  b.push_back(0x02);
  b.push_back(level);
  Append16(b, static_cast<std::uint16_t>(count));
  b.resize(format.subnode_header_size, 0);
  return b;
}

}  // namespace

DataStream::DataStream(NdbWriter& ndb, std::size_t block_payload)
    : ndb_(ndb), block_payload_(block_payload ? block_payload : ndb.format().max_block_data) {}

void DataStream::FlushBuffer() {
  if (buffer_.empty()) return;
  bids_.push_back(ndb_.WriteDataBlock(buffer_.data(), buffer_.size()));
  sizes_.push_back(static_cast<std::uint32_t>(buffer_.size()));
  buffer_.clear();
}

void DataStream::Write(const std::uint8_t* data, std::size_t size) {
  total_ += size;
  while (size > 0) {
    const std::size_t take = std::min(size, block_payload_ - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + take);
    data += take;
    size -= take;
    if (buffer_.size() == block_payload_) FlushBuffer();
  }
}

void DataStream::AddBlock(std::size_t index, std::uint64_t bid, std::size_t size) {
  if (bids_.size() <= index) {
    bids_.resize(index + 1, 0);
    sizes_.resize(index + 1, 0);
  }
  bids_[index] = bid;
  sizes_[index] = static_cast<std::uint32_t>(size);
  total_ += size;
}

std::uint64_t DataStream::Finish(TreeTop top) {
  FlushBuffer();
  if (bids_.empty()) return 0;
  if (bids_.size() == 1) return bids_.front();
  if (total_ > 0xFFFFFFFFull) throw PstWriteError("node data larger than 4 GB");
  const PstFormat& format = ndb_.format();
  // The top block; the XBLOCKs below an XXBLOCK stay internal blocks.
  auto write_top = [&](const Bytes& block) {
    return top == TreeTop::DataBlock ? ndb_.WriteDataBlock(block.data(), block.size()) : ndb_.WriteInternalBlock(block);
  };
  const std::size_t per_block = format.xblock_max_entries();
  if (bids_.size() <= per_block) return write_top(XBlock(format, 1, bids_.data(), bids_.size(), total_));
  std::vector<std::uint64_t> xblocks;
  for (std::size_t i = 0; i < bids_.size(); i += per_block) {
    const std::size_t n = std::min(per_block, bids_.size() - i);
    const std::uint64_t bytes = std::accumulate(sizes_.begin() + static_cast<std::ptrdiff_t>(i),
                                                sizes_.begin() + static_cast<std::ptrdiff_t>(i + n), std::uint64_t{0});
    xblocks.push_back(ndb_.WriteInternalBlock(XBlock(format, 1, &bids_[i], n, bytes)));
  }
  if (xblocks.size() > per_block) throw PstWriteError("node data too large for an XXBLOCK");
  return write_top(XBlock(format, 2, xblocks.data(), xblocks.size(), total_));
}

std::uint64_t Subnodes::Write(NdbWriter& ndb) {
  if (entries_.empty()) return 0;
  std::sort(entries_.begin(), entries_.end(), [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
  const PstFormat& format = ndb.format();
  const std::size_t per_leaf = format.sl_max_entries();
  std::vector<std::pair<std::uint32_t, std::uint64_t>> leaves;  // first nid, block id
  for (std::size_t i = 0; i < entries_.size(); i += per_leaf) {
    const std::size_t n = std::min(per_leaf, entries_.size() - i);
    Bytes b = SubnodeHeader(format, 0, n);
    for (std::size_t k = 0; k < n; ++k) {
      format.AppendId(b, entries_[i + k].nid);
      format.AppendId(b, entries_[i + k].bid_data);
      format.AppendId(b, entries_[i + k].bid_sub);
    }
    leaves.emplace_back(entries_[i].nid, ndb.WriteInternalBlock(b));
  }
  if (leaves.size() == 1) return leaves.front().second;
  if (leaves.size() > format.si_max_entries()) throw PstWriteError("too many subnodes in one node");
  Bytes b = SubnodeHeader(format, 1, leaves.size());
  for (const auto& [nid, bid] : leaves) {
    format.AppendId(b, nid);
    format.AppendId(b, bid);
  }
  return ndb.WriteInternalBlock(b);
}

}  // namespace norvexa::pstgen
