// Data trees (XBLOCK/XXBLOCK) and subnode trees (SLBLOCK/SIBLOCK).
#include "data_tree.h"

#include <algorithm>
#include <numeric>

namespace norvexa::pstgen {
namespace {

constexpr std::size_t kIdsPerXBlock = (kMaxBlockData - 8) / 8;    // 1021
constexpr std::size_t kSlEntriesPerBlock = (kMaxBlockData - 8) / 24;  // 340
constexpr std::size_t kSiEntriesPerBlock = (kMaxBlockData - 8) / 16;  // 510

// An XBLOCK (LEVEL 1) or XXBLOCK (LEVEL 2) over IDS holding TOTAL bytes.
Bytes XBlock(std::uint8_t level, const std::uint64_t* ids, std::size_t count, std::uint64_t total) {
  Bytes b;
  b.push_back(0x01);
  b.push_back(level);
  Append16(b, static_cast<std::uint16_t>(count));
  Append32(b, static_cast<std::uint32_t>(total));
  for (std::size_t i = 0; i < count; ++i) Append64(b, ids[i]);
  return b;
}

}  // namespace

DataStream::DataStream(NdbWriter& ndb, std::size_t block_payload) : ndb_(ndb), block_payload_(block_payload) {}

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

std::uint64_t DataStream::Finish() {
  FlushBuffer();
  if (bids_.empty()) return 0;
  if (bids_.size() == 1) return bids_.front();
  if (total_ > 0xFFFFFFFFull) throw PstWriteError("node data larger than 4 GB");
  if (bids_.size() <= kIdsPerXBlock) return ndb_.WriteInternalBlock(XBlock(1, bids_.data(), bids_.size(), total_));
  std::vector<std::uint64_t> xblocks;
  for (std::size_t i = 0; i < bids_.size(); i += kIdsPerXBlock) {
    const std::size_t n = std::min(kIdsPerXBlock, bids_.size() - i);
    const std::uint64_t bytes = std::accumulate(sizes_.begin() + static_cast<std::ptrdiff_t>(i),
                                                sizes_.begin() + static_cast<std::ptrdiff_t>(i + n), std::uint64_t{0});
    xblocks.push_back(ndb_.WriteInternalBlock(XBlock(1, &bids_[i], n, bytes)));
  }
  if (xblocks.size() > kIdsPerXBlock) throw PstWriteError("node data too large for an XXBLOCK");
  return ndb_.WriteInternalBlock(XBlock(2, xblocks.data(), xblocks.size(), total_));
}

std::uint64_t Subnodes::Write(NdbWriter& ndb) {
  if (entries_.empty()) return 0;
  std::sort(entries_.begin(), entries_.end(), [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
  std::vector<std::pair<std::uint32_t, std::uint64_t>> leaves;  // first nid, block id
  for (std::size_t i = 0; i < entries_.size(); i += kSlEntriesPerBlock) {
    const std::size_t n = std::min(kSlEntriesPerBlock, entries_.size() - i);
    Bytes b;
    b.push_back(0x02);
    b.push_back(0x00);
    Append16(b, static_cast<std::uint16_t>(n));
    Append32(b, 0);
    for (std::size_t k = 0; k < n; ++k) {
      Append64(b, entries_[i + k].nid);
      Append64(b, entries_[i + k].bid_data);
      Append64(b, entries_[i + k].bid_sub);
    }
    leaves.emplace_back(entries_[i].nid, ndb.WriteInternalBlock(b));
  }
  if (leaves.size() == 1) return leaves.front().second;
  if (leaves.size() > kSiEntriesPerBlock) throw PstWriteError("too many subnodes in one node");
  Bytes b;
  b.push_back(0x02);
  b.push_back(0x01);
  Append16(b, static_cast<std::uint16_t>(leaves.size()));
  Append32(b, 0);
  for (const auto& [nid, bid] : leaves) {
    Append64(b, nid);
    Append64(b, bid);
  }
  return ndb.WriteInternalBlock(b);
}

}  // namespace norvexa::pstgen
