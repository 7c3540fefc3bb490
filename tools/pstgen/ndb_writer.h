// The node database layer of a PST file (Unicode, ANSI or 4 KB-page
// Unicode, as its format descriptor says), written front to back: data blocks with their trailers,
// the allocation maps (AMap, PMap, FMap, FPMap) at their fixed intervals, the
// node and block B-trees, and the header with its CRCs. Memory stays flat however large the file grows:
// block and message-node entries are spilled to temporary files as they come
// and the B-trees are built from those at the end.
#pragma once

#include "pst_format.h"

#include <QFile>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace norvexa::pstgen {

// Every failure while writing a PST file.
class PstWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One entry of the node B-tree.
struct NodeEntry {
  std::uint32_t nid = 0;
  std::uint64_t bid_data = 0;
  std::uint64_t bid_sub = 0;
  std::uint32_t nid_parent = 0;
};

class NdbWriter {
 public:
  // Creates (or replaces) the file at PATH in FORMAT with ENCODING; with
  // DEFLATE, external data blocks are stored deflated wherever that makes
  // them shorter (formats whose blocks can be deflated only). Throws
  // PstWriteError when the file or the temporary spill files cannot be
  // created, or DEFLATE is asked of a format without deflated blocks.
  NdbWriter(const std::filesystem::path& path, const PstFormat& format, Encoding encoding, bool deflate = false);
  ~NdbWriter();
  NdbWriter(const NdbWriter&) = delete;
  NdbWriter& operator=(const NdbWriter&) = delete;

  Encoding encoding() const { return encoding_; }
  const PstFormat& format() const { return format_; }

  // Writes an external data block of SIZE bytes (at most the format's
  // max_block_data), encoded with the file's encoding, then deflated when
  // the writer deflates and that saves space; returns its block id.
  std::uint64_t WriteDataBlock(const std::uint8_t* data, std::size_t size);

  // Writes an internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK), which is
  // never encoded; returns its block id.
  std::uint64_t WriteInternalBlock(const Bytes& data);

  // Records a top-level node. Nodes whose nid type is a normal message must
  // come in increasing nid order (they are spilled to disk); all others are
  // kept in memory and may come in any order. Throws PstWriteError when a
  // message node comes out of order.
  void AddNode(const NodeEntry& entry);

  // Writes the B-trees, the maps and the header, and closes the file. RGNID
  // holds the last nid index used per nid type. Throws PstWriteError on an
  // I/O failure.
  void Finish(const std::array<std::uint32_t, 32>& rgnid);

  // Bytes of the file so far; after Finish, the size of the file.
  std::uint64_t Size() const { return finished_ ? file_size_ : next_; }

 private:
  struct BlockRef {
    std::uint64_t bid;
    std::uint64_t ib;
    std::uint16_t cb;
  };
  struct PageRef {
    std::uint64_t key;
    std::uint64_t bid;
    std::uint64_t ib;
  };

  // Reserves SIZE bytes at a multiple of ALIGN, moving to the next AMap
  // region (and writing the finished region's AMap) when they do not fit.
  // Throws PstWriteError past the largest file the format can address.
  std::uint64_t Allocate(std::uint64_t size, std::uint64_t align);
  // Starts region REGION: marks its AMap and writes its PMap/FMap/FPMap
  // pages (where the format has them).
  void OpenRegion(std::uint64_t region);
  // Writes the current region's AMap and records its free space.
  void CloseRegion();
  // Sets the AMap bits of SIZE bytes at IB in the current region.
  void MarkAllocated(std::uint64_t ib, std::uint64_t size);
  // Writes SIZE bytes at file offset IB; throws PstWriteError on failure.
  void WriteAt(std::uint64_t ib, const std::uint8_t* data, std::size_t size);
  // Writes a map page (AMap, PMap, FMap, FPMap) holding the format's
  // map_bits_size bytes BITS at IB.
  void WriteMapPage(std::uint64_t ib, std::uint8_t ptype, const std::uint8_t* bits);
  // Writes a block of SIZE bytes of DATA (already encoded and deflated)
  // with id BID and its trailer, which says the data inflates to INFLATED
  // bytes, and records it for the block B-tree.
  void WriteBlock(std::uint64_t bid, const std::uint8_t* data, std::size_t size, std::size_t inflated);
  // Allocates and writes one B-tree page of COUNT entries of CB_ENTRY bytes;
  // returns its reference, keyed by FIRST_KEY.
  PageRef WriteBTreePage(std::uint8_t ptype, std::uint8_t level, std::size_t cb_entry, const Bytes& entries,
                         std::size_t count, std::uint64_t first_key);
  // Writes the intermediate levels above LEVEL_REFS; returns the root.
  PageRef BuildUpperLevels(std::uint8_t ptype, std::vector<PageRef> level_refs, std::uint8_t level);
  // Writes the block B-tree from the spilled block entries; returns its root.
  PageRef WriteBlockBTree();
  // Writes the node B-tree from the nodes kept in memory and the spilled
  // message nodes, merged in nid order; returns its root.
  PageRef WriteNodeBTree();
  // Writes the density list at its fixed place: present and empty.
  void WriteDensityList();
  // Writes the FMap pages, once every region's free space is known.
  void WriteFreeMaps();
  // Writes the header with its CRCs at offset 0.
  void WriteHeader(const std::array<std::uint32_t, 32>& rgnid, const PageRef& nbt, const PageRef& bbt);
  // Appends SIZE bytes to spill file F; throws PstWriteError on failure.
  static void SpillWrite(std::FILE* f, const void* data, std::size_t size);

  QFile file_;
  const PstFormat& format_;
  Encoding encoding_;
  bool deflate_ = false;
  std::uint64_t next_ = 0;             // first free byte
  std::uint64_t next_bid_ = 4;         // next block id (steps of 4)
  std::uint64_t next_page_bid_ = 1;    // next page id
  std::uint64_t region_ = 0;           // current AMap region
  bool region_open_ = false;
  std::vector<std::uint8_t> amap_;                  // bits of the current region
  std::vector<std::uint8_t> free_runs_;             // longest free run per closed region
  std::uint64_t amap_free_ = 0;                     // free bytes of closed regions

  // Spill files: BBT entries (in bid order) and message nodes (in nid order).
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> bbt_spill_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> nbt_spill_;
  std::uint64_t block_count_ = 0;
  std::uint64_t spilled_node_count_ = 0;
  std::uint32_t last_spilled_nid_ = 0;
  std::vector<NodeEntry> nodes_;  // every node that is not a normal message
  Bytes block_buffer_;
  Bytes encode_buffer_;
  bool finished_ = false;
  std::uint64_t file_size_ = 0;
};

}  // namespace norvexa::pstgen
