// The node database of a PST or OST file: the header, the node and block
// B-trees, blocks with their CRCs and encodings, data trees and subnode
// trees. Everything is found on demand by walking the B-trees; a small
// cache of pages and blocks, bounded in bytes, keeps what is read often.
// Nothing here grows with the number of items in the file.
//
// Every structure read from the file is checked before it is used (CRCs,
// signatures, sizes against the file's size, B-tree levels that must fall
// on the way down), so a damaged file can make a lookup fail with an
// OutlookError naming the file and the damage, but never make the reader
// loop, recurse without bound, read outside the file or allocate more than
// the file could hold. Like the rest of the store access, one thread at a
// time.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/random_access_file.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace norvexa::outlook::pst {

// The three layouts of the node database.
enum class Format {
  Ansi,       // 32-bit identifiers and offsets, 512-byte pages
  Unicode,    // 64-bit identifiers and offsets, 512-byte pages
  Unicode4k,  // 64-bit, 4 KB pages and 512-byte block alignment (newer OST)
};

// How external data blocks are encoded.
enum class Encoding : std::uint8_t { None = 0, Permute = 1, Cyclic = 2 };

// A node of the node B-tree, or a subnode of a node: where its data and
// its subnodes are. NID_PARENT is 0 for subnodes.
struct NodeEntry {
  std::uint32_t nid = 0;
  std::uint64_t bid_data = 0;
  std::uint64_t bid_sub = 0;
  std::uint32_t nid_parent = 0;
};

// The decoded bytes of one block.
using Block = std::shared_ptr<const std::vector<std::uint8_t>>;

// Little-endian reads from a byte buffer; the caller checks the bounds.
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

class NodeDatabase {
 public:
  // Opens the store file at PATH read-only and reads its header. NAME is
  // how errors name the file. Throws OutlookError when the file cannot be
  // read, is not a PST/OST file, or is of a kind this reader does not read.
  static std::shared_ptr<NodeDatabase> Open(const std::filesystem::path& path, std::string name);

  NodeDatabase(const NodeDatabase&) = delete;
  NodeDatabase& operator=(const NodeDatabase&) = delete;

  const std::string& name() const { return name_; }
  Format format() const { return format_; }
  Encoding encoding() const { return encoding_; }
  bool wide() const { return format_ != Format::Ansi; }
  // Bytes of one identifier (BID, or NID slot in entries) in this format.
  std::size_t id_size() const { return wide() ? 8 : 4; }

  // The node NID of the node B-tree, or nullopt when the tree has none.
  // Throws OutlookError when the tree is damaged on the way to it.
  std::optional<NodeEntry> FindNode(std::uint32_t nid) const;

  // The decoded data of block BID (CRC checked, decoded, inflated). KEEP
  // puts it into the cache; streamed attachment data passes it by so it
  // does not push out the pages and tables that are read again. Throws
  // OutlookError when the block is missing or damaged.
  Block ReadBlock(std::uint64_t bid, bool keep = true) const;

  // The leaf blocks of the data tree at BID in order, and their total
  // size. BID 0 is an empty tree. Throws when the tree is damaged.
  struct DataTree {
    std::vector<std::uint64_t> blocks;
    std::uint64_t size = 0;
  };
  DataTree ReadDataTree(std::uint64_t bid) const;
  // The data tree at BID read as a tree even though BID is not marked as a
  // tree block: some older files store the data of large tables so. Throws
  // when the block is not a data tree block.
  DataTree ReadUnmarkedDataTree(std::uint64_t bid) const;

  // The subnode NID of the subnode tree at BID_SUB, or nullopt.
  std::optional<NodeEntry> FindSubnode(std::uint64_t bid_sub, std::uint32_t nid) const;

  // Calls VISIT for every subnode of the tree at BID_SUB, in order.
  void ForEachSubnode(std::uint64_t bid_sub, const std::function<void(const NodeEntry&)>& visit) const;

  // Throws OutlookError "<file>: WHAT".
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  struct BlockEntry {
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint32_t cb = 0;
  };
  // A byte-bounded least-recently-used cache.
  class Cache {
   public:
    explicit Cache(std::size_t budget) : budget_(budget) {}
    Block Find(std::uint64_t key);
    void Put(std::uint64_t key, Block value);

   private:
    using Entry = std::pair<std::uint64_t, Block>;
    std::size_t budget_;
    std::size_t used_ = 0;
    std::list<Entry> order_;  // most recent first
    std::unordered_map<std::uint64_t, std::list<Entry>::iterator> index_;
  };

  NodeDatabase() = default;
  // Reads SIZE bytes at OFFSET; throws when they are not all in the file.
  std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t size) const;
  // The B-tree page at IB that the reference (BID, IB) points to, of page
  // type PTYPE, checked.
  Block ReadPage(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype) const;
  // Walks the B-tree rooted at (ROOT_BID, ROOT_IB) of page type PTYPE to the
  // leaf entry with key KEY; returns a pointer into the leaf page kept in
  // LEAF, or null when there is no such key.
  const std::uint8_t* SearchTree(std::uint64_t root_bid, std::uint64_t root_ib, std::uint8_t ptype,
                                 std::uint64_t key, Block& leaf) const;
  std::optional<BlockEntry> FindBlockEntry(std::uint64_t bid) const;
  // One block of a subnode tree, checked: LEVEL 0 holds subnodes, LEVEL 1
  // points to level-0 blocks.
  struct SubnodeBlock {
    Block block;
    int level = 0;
    std::size_t count = 0;
    std::size_t entry_size = 0;
    const std::uint8_t* entries = nullptr;
  };
  // The subnode block BID, at EXPECTED_LEVEL unless that is -1.
  SubnodeBlock ReadSubnodeBlock(std::uint64_t bid, int expected_level) const;
  // Entry INDEX of SUB; in a level-1 block, BID_DATA names the child block.
  NodeEntry SubnodeAt(const SubnodeBlock& sub, std::size_t index) const;
  // Adds the leaves of the tree at BID to TREE; UNMARKED reads BID as a tree
  // block whatever its mark says.
  void CollectLeaves(std::uint64_t bid, int expected_level, DataTree& tree, bool unmarked = false) const;

  std::string name_;
  RandomAccessFile file_;
  std::uint64_t file_size_ = 0;
  Format format_ = Format::Unicode;
  Encoding encoding_ = Encoding::None;
  std::uint64_t nbt_bid_ = 0, nbt_ib_ = 0;
  std::uint64_t bbt_bid_ = 0, bbt_ib_ = 0;
  std::size_t page_size_ = 512;
  std::size_t block_align_ = 64;
  std::size_t block_trailer_ = 16;
  std::size_t max_block_ = 8192;
  mutable Cache pages_{1 << 20};
  mutable Cache blocks_{8 << 20};
};

// The data of one node: the leaf blocks of its data tree, read on demand.
class DataStream {
 public:
  DataStream() = default;
  DataStream(std::shared_ptr<const NodeDatabase> db, std::uint64_t bid);
  // The stream whose root block BID is a data tree block not marked as one
  // (see NodeDatabase::ReadUnmarkedDataTree).
  static DataStream Unmarked(std::shared_ptr<const NodeDatabase> db, std::uint64_t bid);

  std::size_t block_count() const { return tree_.blocks.size(); }
  std::uint64_t size() const { return tree_.size; }
  // Block INDEX (from 0); throws when it is damaged.
  Block block(std::size_t index, bool keep = true) const;
  // Every byte of the stream; throws when it is larger than LIMIT bytes
  // (what a value of its kind can reasonably be) or damaged.
  std::string ReadAll(std::uint64_t limit) const;
  // Writes every byte to OUT, block by block, without caching them.
  void CopyTo(std::ostream& out) const;
  const NodeDatabase& db() const { return *db_; }

 private:
  std::shared_ptr<const NodeDatabase> db_;
  NodeDatabase::DataTree tree_;
};

}  // namespace norvexa::outlook::pst
