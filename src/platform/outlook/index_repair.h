// The node and block indexes of a damaged store file rebuilt by scanning
// it, as a repair tool would, for the lookups the file's own B-trees cannot
// answer (a page on the way that is gone or broken). Read-only and in memory.
//
// What a scan can find: every index page by its trailer (page type and its
// repeat, the signature that binds it to its offset and identifier), and
// every block by its trailer (size, signature, CRC, identifier). The leaf
// pages carry the entries; a file holds old copies of pages beside the live
// ones, and every change writes a page anew with a higher identifier, so of
// the pages that cover a key the one with the highest identifier is the
// live one. Blocks that no leaf page found places are looked for by their
// trailers, in a second scan made only when a block cannot be found
// otherwise.
//
// Each scan reads the file once, in order, and is made at most once; what it
// keeps is bounded (at most kMaxPages leaf pages, kMaxEntries entries of
// damaged pages and kMaxBlocks block places), whatever the file holds.
#pragma once

#include "platform/outlook/ndb_layout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::outlook::pst {

class IndexRepair {
 public:
  static constexpr std::size_t kMaxPages = 1u << 21;
  static constexpr std::size_t kMaxEntries = 1u << 20;
  static constexpr std::size_t kMaxBlocks = 1u << 21;

  using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;
  // Reads SIZE bytes at OFFSET (within the file) into OUT; throws
  // OutlookError when it cannot.
  using ReadRange = std::function<void(std::uint64_t offset, std::size_t size, std::uint8_t* out)>;
  // The page_size bytes of the page at IB, possibly from a cache; throws
  // OutlookError when they cannot be read.
  using ReadPage = std::function<Bytes(std::uint64_t ib)>;

  IndexRepair(const NdbLayout& layout, std::uint64_t file_size, ReadRange read_range, ReadPage read_page);

  // A leaf entry found through the scanned pages: its bytes (as many as the
  // page's entry size), the page it is in, and whether that page fails its
  // CRC check (its entries are used, but what is read through them is
  // damaged).
  struct LeafEntry {
    std::vector<std::uint8_t> bytes;
    std::uint64_t page_ib = 0;
    bool page_damaged = false;
  };

  // The leaf entry with key KEY of the tree of page type PTYPE (kPageNbt,
  // kPageBbt), or nullopt when the pages found do not hold it. Scans the
  // file's pages on first use. Throws OutlookError when the file cannot be
  // read.
  std::optional<LeafEntry> Find(std::uint8_t ptype, std::uint64_t key);

  // Calls VISIT for every key of the tree of page type PTYPE for which Find
  // gives an entry, with that entry, in key order. Throws as Find.
  void ForEach(std::uint8_t ptype, const std::function<void(std::uint64_t key, const LeafEntry&)>& visit);

  // A place where a block with a given identifier was found by its trailer.
  struct BlockPlace {
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
  };
  // The places of the blocks with identifier BID (its lowest bit ignored)
  // that the scanned pages do not give, found by their trailers; scans the
  // file for block trailers on first use. Throws as Find.
  std::vector<BlockPlace> BlockPlaces(std::uint64_t bid);

  // What the scans found, for the store's account of the repair.
  struct Stats {
    bool pages_scanned = false;
    bool blocks_scanned = false;
    std::size_t leaf_pages = 0;          // intact leaf pages of both trees
    std::size_t damaged_leaf_pages = 0;  // leaf pages failing their CRC check
    std::size_t block_places = 0;        // blocks placed by their trailers only
    bool incomplete = false;             // a bound was reached
  };
  const Stats& stats() const { return stats_; }

 private:
  // An intact leaf page: its keys run from FIRST to LAST.
  struct Page {
    std::uint64_t first = 0, last = 0;
    std::uint64_t bid = 0, ib = 0;
  };
  // An entry of a leaf page that fails its CRC check, kept in memory.
  struct Entry {
    std::uint64_t key = 0;
    std::uint64_t bid = 0;  // of its page
    LeafEntry entry;
  };
  struct Tree {
    std::vector<Page> pages;                // by first key
    std::vector<std::uint64_t> reach;       // reach[i]: the highest last key of pages[0..i]
    std::vector<Entry> entries;             // by key, then page identifier downwards
  };

  void ScanPages();
  void ScanBlocks();
  // Adds the leaf page at IB (page_size bytes at P) to what the scan keeps.
  void AddLeafPage(std::uint8_t ptype, std::uint64_t ib, const std::uint8_t* p);
  Tree& TreeOf(std::uint8_t ptype) { return ptype == kPageNbt ? nbt_ : bbt_; }
  // Entry KEY of the intact page PAGE, read anew, or nullopt.
  std::optional<LeafEntry> FindInPage(std::uint8_t ptype, const Page& page, std::uint64_t key);

  NdbLayout layout_;
  std::uint64_t file_size_;
  ReadRange read_range_;
  ReadPage read_page_;
  Tree nbt_, bbt_;
  std::vector<BlockPlace> blocks_;  // by identifier
  Stats stats_;
};

}  // namespace norvexa::outlook::pst
