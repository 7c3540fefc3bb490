// Node data and subnodes: a node's byte stream cut into data blocks (with
// an XBLOCK or XXBLOCK above them when there is more than one), and the
// subnode B-tree (SLBLOCK/SIBLOCK) of a node.
#pragma once

#include "ndb_writer.h"

#include <vector>

namespace norvexa::pstgen {

// How the top block of a data tree of more than one block is stored.
enum class TreeTop {
  Internal,   // as the format says: an internal block (id with the internal bit), never encoded
  DataBlock,  // as some older files store large tables: under a data block's id, encoded (and
              // deflated) like one, so only its content says it is a tree block
};

// Writes one node's data as it comes. Blocks are written as soon as they are
// full; only their ids are kept.
class DataStream {
 public:
  // BLOCK_PAYLOAD is the number of bytes put in each block but the last
  // (a row matrix uses a whole number of rows per block); 0 means as many
  // as a block of the file's format holds.
  explicit DataStream(NdbWriter& ndb, std::size_t block_payload = 0);

  // Appends SIZE bytes to the stream.
  void Write(const std::uint8_t* data, std::size_t size);

  // Appends a block that the caller wrote itself (heap pages), of SIZE
  // bytes. Must not be mixed with Write.
  void AddBlock(std::size_t index, std::uint64_t bid, std::size_t size);

  // Writes what is buffered and the XBLOCK/XXBLOCK when needed, the top one
  // stored as TOP says (data of one block has no tree block: TOP does not
  // apply); returns the id of the block at the top of the data tree, 0 for
  // an empty stream. Throws PstWriteError when the data is larger than a
  // data tree can hold.
  std::uint64_t Finish(TreeTop top = TreeTop::Internal);

  std::uint64_t size() const { return total_; }

 private:
  // Writes the buffered bytes as one block.
  void FlushBuffer();

  NdbWriter& ndb_;
  std::size_t block_payload_;
  Bytes buffer_;
  std::vector<std::uint64_t> bids_;
  std::vector<std::uint32_t> sizes_;
  std::uint64_t total_ = 0;
};

// One entry of a node's subnode tree.
struct SubnodeEntry {
  std::uint32_t nid = 0;
  std::uint64_t bid_data = 0;
  std::uint64_t bid_sub = 0;
};

// The subnodes of one node under construction, and the allocator of their
// node ids (unique within the node).
class Subnodes {
 public:
  // A fresh subnode id of TYPE.
  std::uint32_t NewNid(std::uint32_t type) { return MakeNid(type, next_index_++); }
  void Add(const SubnodeEntry& entry) { entries_.push_back(entry); }
  bool empty() const { return entries_.empty(); }

  // Writes the SLBLOCK(s), and an SIBLOCK above them when needed; returns
  // the top block id, 0 when there are no subnodes.
  std::uint64_t Write(NdbWriter& ndb);

 private:
  std::vector<SubnodeEntry> entries_;
  std::uint32_t next_index_ = 0x400;
};

}  // namespace norvexa::pstgen
