// Heap-on-node (HN) and B-tree-on-heap (BTH) writers. A heap is written
// page by page as it fills: only its first page (which holds the header and
// the user root) and the current fill-level bitmap page stay in memory.
#pragma once

#include "data_tree.h"

#include <optional>

namespace norvexa::pstgen {

// Client signatures of a heap.
inline constexpr std::uint8_t kHeapSigTC = 0x7C;
inline constexpr std::uint8_t kHeapSigPC = 0xBC;

class HeapWriter {
 public:
  HeapWriter(NdbWriter& ndb, std::uint8_t client_sig);

  // Stores SIZE bytes (at most kMaxHeapAllocation) in the heap; returns the
  // heap id of the allocation.
  std::uint32_t Allocate(const std::uint8_t* data, std::size_t size);
  std::uint32_t Allocate(const Bytes& data) { return Allocate(data.data(), data.size()); }

  // Sets the heap's user root (hidUserRoot of the header).
  void SetUserRoot(std::uint32_t hid) { user_root_ = hid; }

  // Writes the remaining pages; returns the id of the top block of the
  // heap's data tree, stored as TOP says (see DataStream::Finish).
  std::uint64_t Finish(TreeTop top = TreeTop::Internal);

  // The heap's pages (blocks) so far; all of them after Finish.
  std::size_t pages() const { return index_ + 1; }

 private:
  // Size of the header of page INDEX (HNHDR, HNBITMAPHDR or HNPAGEHDR).
  std::size_t HeaderSize(std::size_t index) const;
  // Begins the next page with an empty header.
  void StartPage();
  // Adds the page map to the current page and hands it to EmitPage.
  void ClosePage();
  // Writes page INDEX, or keeps it while its header needs later figures
  // (page 0 until the end, a fill-level page until its 128 pages are known).
  void EmitPage(std::size_t index, Bytes& page);

  NdbWriter& ndb_;
  std::uint8_t client_sig_;
  std::uint32_t user_root_ = 0;
  DataStream stream_;
  std::size_t index_ = 0;                // current page
  Bytes page_;                           // current page bytes
  std::vector<std::uint16_t> offsets_;   // allocation starts in the current page
  std::vector<std::uint8_t> fill_;       // fill level per closed page
  Bytes first_page_;                     // page 0, written last
  std::optional<std::pair<std::size_t, Bytes>> bitmap_page_;  // pending fill-level page
};

// Builds a BTH whose records come in increasing key order, and returns the
// heap id of its header. Keys and values are little-endian byte strings.
class BthWriter {
 public:
  BthWriter(HeapWriter& heap, std::uint8_t key_size, std::uint8_t value_size);

  // Adds one record; KEY must be greater than the previous one.
  void Add(const std::uint8_t* key, const std::uint8_t* value);

  // Writes the index levels and the header; returns the header's heap id.
  std::uint32_t Finish();

 private:
  // Stores the leaf being filled in the heap and notes its first key.
  void FlushLeaf();

  HeapWriter& heap_;
  std::uint8_t key_size_, value_size_;
  Bytes leaf_;
  std::vector<Bytes> level_keys_;              // first key of each node of the level being built
  std::vector<std::uint32_t> level_hids_;
};

}  // namespace norvexa::pstgen
