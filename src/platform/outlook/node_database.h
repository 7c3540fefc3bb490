// The node database of a PST or OST file: the header, the node and block
// B-trees, blocks with their CRCs and encodings, data trees and subnode
// trees. Everything is found on demand by walking the B-trees; a small
// cache of pages and blocks, bounded in bytes, keeps what is read often.
// Nothing here grows with the number of items in the file.
//
// Every structure read from the file is checked before it is used
// (signatures, sizes against the file's size, B-tree levels that must fall
// on the way down, entries in order), so a damaged file can make a lookup
// fail with an OutlookError naming the file and the damage, but never make
// the reader loop, recurse without bound, read outside the file or allocate
// more than the file could hold.
//
// A CRC that does not match is damage, not a refusal: a page or block whose
// structure holds is still used, and the objects being read (see
// listeners()) are told which part of the file was damaged. When a B-tree
// cannot lead to what it indexes (a page gone or broken on the way), the
// lookup goes to indexes rebuilt by a scan of the file (IndexRepair), made
// once and only then. What was damaged in the indexes is kept for the
// store's account (IndexDamage()). Like the rest of the store access, one
// thread at a time.
#pragma once

#include "platform/outlook/damage_log.h"
#include "platform/outlook/ndb_layout.h"
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
#include <unordered_set>
#include <vector>

namespace norvexa::outlook::pst {

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

class IndexRepair;

class NodeDatabase {
 public:
  // Opens the store file at PATH read-only and reads its header. NAME is
  // how errors name the file. Throws OutlookError when the file cannot be
  // read, is not a PST/OST file, or is of a kind this reader does not read.
  static std::shared_ptr<NodeDatabase> Open(const std::filesystem::path& path, std::string name);
  ~NodeDatabase();

  NodeDatabase(const NodeDatabase&) = delete;
  NodeDatabase& operator=(const NodeDatabase&) = delete;

  const std::string& name() const { return name_; }
  Format format() const { return layout_.format; }
  const NdbLayout& layout() const { return layout_; }
  Encoding encoding() const { return encoding_; }
  bool wide() const { return layout_.wide; }
  // Bytes of one identifier (BID, or NID slot in entries) in this format.
  std::size_t id_size() const { return layout_.id_size; }
  std::uint64_t file_size() const { return file_size_; }
  // Where the header says the roots of the two B-trees are.
  std::uint64_t node_index_root() const { return nbt_ib_; }
  std::uint64_t block_index_root() const { return bbt_ib_; }

  // The node NID of the node B-tree, or nullopt when the tree has none.
  // When the tree cannot be walked to it, or a damaged page on the way did
  // not lead to it, the node is looked up in the rebuilt index instead. An
  // entry read from a leaf page that fails its CRC check is noted as damage.
  // Throws OutlookError when the file cannot be read at all.
  std::optional<NodeEntry> FindNode(std::uint32_t nid) const;

  // Calls VISIT for every node of the node B-tree, each once, in no
  // promised order: by walking the tree, and through the rebuilt index for
  // what the walk could not reach. Costs a read of the whole tree; for the
  // reading of damaged folders only. Throws OutlookError when the file
  // cannot be read.
  void ForEachNode(const std::function<void(const NodeEntry&)>& visit) const;

  // The decoded data of block BID (decoded, inflated). KEEP puts it into
  // the cache; streamed attachment data passes it by so it does not push
  // out the pages and tables that are read again. A block whose CRC does
  // not match, or with one field of its trailer damaged, is given out when
  // the rest of its trailer holds, and noted as damage (such blocks are
  // never cached, so every reading notes it). A block the index does not
  // place, when the index is damaged, is looked for by its trailer. Throws
  // a DamageError when the block is missing or its structure is broken.
  Block ReadBlock(std::uint64_t bid, bool keep = true) const;

  // The file offset of block BID as the indexes give it, or nullopt.
  // Never throws.
  std::optional<std::uint64_t> BlockOffset(std::uint64_t bid) const noexcept;
  // Where block BID is as the indexes give it: its offset and its size in
  // the file (data bytes, before any inflating). Throws OutlookError when
  // the indexes cannot be read.
  struct BlockExtent {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
  };
  std::optional<BlockExtent> LocateBlock(std::uint64_t bid) const;

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

  // The logs of the objects being read, which damage met is noted in.
  const DamageListeners& listeners() const { return listeners_; }
  // What was damaged in the indexes so far: pages used despite their CRC,
  // B-trees that could not be walked and what the scan found in their
  // place, blocks placed by their trailers. Never throws.
  std::vector<Damage> IndexDamage() const { return index_damage_.entries(); }

  // Throws OutlookError "<file>: WHAT".
  [[noreturn]] void Fail(const std::string& what) const;
  // Throws DamageError "<file>: WHAT" for the structure at OFFSET.
  [[noreturn]] void FailAt(std::uint64_t offset, const std::string& what) const;
  // Throws DamageError "<file>: WHAT" for the structure in block BID (at its
  // offset when the index gives one, else at 0).
  [[noreturn]] void FailInBlock(std::uint64_t bid, const std::string& what) const;

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
  // A B-tree page as read: its bytes, and whether it fails its CRC check or
  // one field of its trailer (used anyway; never cached).
  struct Page {
    Block bytes;
    bool damaged = false;
  };
  // What a walk down a B-tree met: a damaged page on the way (PATH), the
  // leaf holding the entry failing its check (LEAF, at LEAF_IB).
  struct SearchInfo {
    bool path_damaged = false;
    bool leaf_damaged = false;
    std::uint64_t leaf_ib = 0;
    bool broken = false;  // the walk met a page already known to be broken
  };

  NodeDatabase() = default;
  // Reads SIZE bytes at OFFSET; throws DamageError when they are not all in
  // the file.
  std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t size) const;
  // The B-tree page at IB that the reference (BID, IB) points to, of page
  // type PTYPE, checked. Throws DamageError when it is not that page.
  Page ReadPage(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype) const;
  // Walks the B-tree rooted at (ROOT_BID, ROOT_IB) of page type PTYPE to the
  // leaf entry with key KEY; returns a pointer into the leaf page kept in
  // LEAF, or null when there is no such key. INFO tells of damaged pages
  // met. Throws DamageError when the walk cannot go on.
  const std::uint8_t* SearchTree(std::uint64_t root_bid, std::uint64_t root_ib, std::uint8_t ptype,
                                 std::uint64_t key, Block& leaf, SearchInfo& info) const;
  // The node NID as the rebuilt index gives it (see FindNode).
  std::optional<NodeEntry> FindRepairedNode(std::uint32_t nid) const;
  // The entry of block BID; TRUSTED tells whether it was read from an
  // intact leaf on an intact way (else the block may be looked for by its
  // trailer when it does not read).
  std::optional<BlockEntry> FindBlockEntry(std::uint64_t bid, bool& trusted) const;
  // Reads, checks and decodes block BID where ENTRY places it; null with
  // FAILURE and FAILURE_AT set when it is not there or broken. Never throws
  // for damage.
  Block LoadBlock(std::uint64_t bid, const BlockEntry& entry, bool keep, std::string& failure,
                  std::uint64_t& failure_at) const;
  // The index rebuilt by a scan, made on first use.
  IndexRepair& Repair() const;
  // Notes in the store's account that the B-tree of page type PTYPE could
  // not be used for a lookup: WHY, at OFFSET. With BROKEN, OFFSET is the
  // page whose structure broke the walk, remembered so that later walks
  // turn to the rebuilt index when they reach it, without reading it again.
  void NoteIndexFailure(std::uint8_t ptype, std::uint64_t offset, const std::string& why, bool broken) const;
  // The node entry at E of a node B-tree leaf.
  NodeEntry NodeAt(const std::uint8_t* e) const;
  // Walks the node B-tree below (BID, IB) in key order, calling VISIT with
  // each entry after LAST_KEY (which it moves on); BUDGET bounds the pages
  // read. Throws DamageError when a page cannot be used.
  void WalkNodes(std::uint64_t bid, std::uint64_t ib, int expected_level, std::uint64_t& last_key,
                 std::uint64_t& budget, const std::function<void(const NodeEntry&)>& visit) const;
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
  NdbLayout layout_;
  Encoding encoding_ = Encoding::None;
  std::uint64_t nbt_bid_ = 0, nbt_ib_ = 0;
  std::uint64_t bbt_bid_ = 0, bbt_ib_ = 0;
  mutable Cache pages_{1 << 20};
  mutable Cache blocks_{8 << 20};
  DamageListeners listeners_;
  mutable DamageLog index_damage_{256};
  mutable std::unique_ptr<IndexRepair> repair_;
  // Pages whose structure broke a walk (at most kMaxBrokenPages of them).
  mutable std::unordered_set<std::uint64_t> broken_pages_;
  static constexpr std::size_t kMaxBrokenPages = 4096;
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
  // The identifier of block INDEX, 0 when there is no such block.
  std::uint64_t block_id(std::size_t index) const { return index < tree_.blocks.size() ? tree_.blocks[index] : 0; }
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
