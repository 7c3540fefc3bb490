// Heap-on-node pages with their page maps and fill levels, and B-trees on
// the heap.
#include "heap_writer.h"

#include <cstring>

namespace norvexa::pstgen {
namespace {

// The fill level (0 = at least 3584 bytes free ... 15 = under 8 free) of a
// heap page with FREE bytes left.
std::uint8_t FillLevel(std::size_t free) {
  static const std::size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
  for (std::uint8_t i = 0; i < 15; ++i)
    if (free >= limits[i]) return i;
  return 15;
}

// True for the pages that carry the fill levels of the next 128 pages.
bool IsBitmapPage(std::size_t index) { return index % 128 == 8; }

// Sets the 4-bit fill level of page K in the array LEVELS (low nibble first).
void SetNibble(std::uint8_t* levels, std::size_t k, std::uint8_t level) {
  levels[k / 2] = static_cast<std::uint8_t>(k % 2 ? (levels[k / 2] & 0x0F) | (level << 4)
                                                  : (levels[k / 2] & 0xF0) | level);
}

}  // namespace

HeapWriter::HeapWriter(NdbWriter& ndb, std::uint8_t client_sig)
    : ndb_(ndb), client_sig_(client_sig), stream_(ndb) {
  StartPage();
}

std::size_t HeapWriter::HeaderSize(std::size_t index) const {
  if (index == 0) return 12;
  return IsBitmapPage(index) ? 66 : 2;
}

void HeapWriter::StartPage() {
  page_.assign(HeaderSize(index_), 0);
  offsets_.clear();
}

std::uint32_t HeapWriter::Allocate(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxHeapAllocation) throw PstWriteError("heap allocation larger than 3580 bytes");
  auto map_size = [](std::size_t allocations) { return 4 + 2 * (allocations + 1); };
  const PstFormat& format = ndb_.format();
  // A page holds as many allocations as hidIndex can number (2,047, or
  // 16,383 in 4 KB-page files) and as its block has room for.
  if (offsets_.size() >= format.max_heap_items() ||
      page_.size() + size + 1 + map_size(offsets_.size() + 1) > format.max_block_data) {
    ClosePage();
    ++index_;
    if (index_ >= format.max_heap_pages())
      throw PstWriteError("a heap of more than " + std::to_string(format.max_heap_pages()) + " pages");
    StartPage();
  }
  offsets_.push_back(static_cast<std::uint16_t>(page_.size()));
  page_.insert(page_.end(), data, data + size);
  return format.MakeHid(index_, offsets_.size());
}

void HeapWriter::ClosePage() {
  const std::size_t end = page_.size();
  if (page_.size() % 2) page_.push_back(0);
  const std::uint16_t ib_map = static_cast<std::uint16_t>(page_.size());
  Append16(page_, static_cast<std::uint16_t>(offsets_.size()));
  Append16(page_, 0);
  for (std::uint16_t o : offsets_) Append16(page_, o);
  Append16(page_, static_cast<std::uint16_t>(end));
  Put16(page_.data(), ib_map);
  fill_.push_back(FillLevel(ndb_.format().max_block_data - page_.size()));
  EmitPage(index_, page_);
}

void HeapWriter::EmitPage(std::size_t index, Bytes& page) {
  if (index == 0) {
    first_page_ = std::move(page);
    return;
  }
  // A pending bitmap page is complete once the 128 pages it covers are known.
  if (bitmap_page_ && index >= bitmap_page_->first + 127) {
    Bytes& bp = bitmap_page_->second;
    for (std::size_t k = 0; k < 128; ++k) SetNibble(bp.data() + 2, k, fill_[bitmap_page_->first + k]);
    stream_.AddBlock(bitmap_page_->first, ndb_.WriteDataBlock(bp.data(), bp.size()), bp.size());
    bitmap_page_.reset();
  }
  if (IsBitmapPage(index)) {
    bitmap_page_.emplace(index, std::move(page));
    return;
  }
  stream_.AddBlock(index, ndb_.WriteDataBlock(page.data(), page.size()), page.size());
}

std::uint64_t HeapWriter::Finish(TreeTop top) {
  ClosePage();
  if (bitmap_page_) {
    Bytes& bp = bitmap_page_->second;
    for (std::size_t k = 0; bitmap_page_->first + k < fill_.size() && k < 128; ++k)
      SetNibble(bp.data() + 2, k, fill_[bitmap_page_->first + k]);
    stream_.AddBlock(bitmap_page_->first, ndb_.WriteDataBlock(bp.data(), bp.size()), bp.size());
    bitmap_page_.reset();
  }
  Bytes& p = first_page_;
  p[2] = 0xEC;
  p[3] = client_sig_;
  Put32(p.data() + 4, user_root_);
  for (std::size_t k = 0; k < 8 && k < fill_.size(); ++k) SetNibble(p.data() + 8, k, fill_[k]);
  stream_.AddBlock(0, ndb_.WriteDataBlock(p.data(), p.size()), p.size());
  return stream_.Finish(top);
}

BthWriter::BthWriter(HeapWriter& heap, std::uint8_t key_size, std::uint8_t value_size)
    : heap_(heap), key_size_(key_size), value_size_(value_size) {}

void BthWriter::Add(const std::uint8_t* key, const std::uint8_t* value) {
  const std::size_t record = key_size_ + value_size_;
  if (leaf_.size() + record > kMaxHeapAllocation) FlushLeaf();
  leaf_.insert(leaf_.end(), key, key + key_size_);
  leaf_.insert(leaf_.end(), value, value + value_size_);
}

void BthWriter::FlushLeaf() {
  if (leaf_.empty()) return;
  level_keys_.emplace_back(leaf_.begin(), leaf_.begin() + key_size_);
  level_hids_.push_back(heap_.Allocate(leaf_));
  leaf_.clear();
}

std::uint32_t BthWriter::Finish() {
  FlushLeaf();
  std::uint8_t levels = 0;
  std::uint32_t root = 0;
  if (!level_hids_.empty()) {
    // Index levels: (key, hid) records until one node holds them all.
    while (level_hids_.size() > 1) {
      std::vector<Bytes> keys;
      std::vector<std::uint32_t> hids;
      const std::size_t record = key_size_ + 4u;
      Bytes node;
      Bytes first_key;
      for (std::size_t i = 0; i < level_hids_.size(); ++i) {
        if (node.size() + record > kMaxHeapAllocation) {
          keys.push_back(first_key);
          hids.push_back(heap_.Allocate(node));
          node.clear();
        }
        if (node.empty()) first_key = level_keys_[i];
        node.insert(node.end(), level_keys_[i].begin(), level_keys_[i].end());
        Append32(node, level_hids_[i]);
      }
      keys.push_back(first_key);
      hids.push_back(heap_.Allocate(node));
      level_keys_ = std::move(keys);
      level_hids_ = std::move(hids);
      ++levels;
    }
    root = level_hids_.front();
  }
  Bytes header;
  header.push_back(0xB5);
  header.push_back(key_size_);
  header.push_back(value_size_);
  header.push_back(levels);
  Append32(header, root);
  return heap_.Allocate(header);
}

}  // namespace norvexa::pstgen
