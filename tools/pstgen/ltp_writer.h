// Property contexts (PC) and table contexts (TC) on top of the heap.
#pragma once

#include "heap_writer.h"
#include "props.h"

namespace norvexa::pstgen {

// Writes PROPS as a property context; values too large for the heap go to
// subnodes added to SUBNODES. Returns the id of the node's data block.
std::uint64_t WritePropertyContext(NdbWriter& ndb, const PropMap& props, Subnodes& subnodes);

// Writes a table context row by row. The row matrix is kept in the heap
// while small and moves to a subnode, block by block, once it grows.
class TableWriter {
 public:
  // TAGS: the table's columns (property tags) besides the row id and row
  // version, which every table has.
  TableWriter(NdbWriter& ndb, const std::vector<std::uint32_t>& tags, Subnodes& subnodes);

  // Adds a row with id ROW_ID holding the VALUES whose column is in the
  // table (others are ignored). Values of the wrong type are ignored too.
  void AddRow(std::uint32_t row_id, const PropMap& values);

  std::uint32_t rows() const { return rows_; }

  // Writes the row index, the row matrix and the table header; returns the
  // id of the node's data block. TOP says how the top block of the heap's
  // data tree is stored (see DataStream::Finish).
  std::uint64_t Finish(TreeTop top = TreeTop::Internal);

  // The blocks of the table's heap (its row matrix apart); all of them
  // after Finish.
  std::size_t heap_blocks() const { return heap_.pages(); }

 private:
  struct Column {
    std::uint32_t tag;
    std::uint16_t ib;
    std::uint8_t cb;
    std::uint8_t bit;
  };
  struct Run {
    std::uint32_t row_id;
    std::uint32_t index;
    std::uint32_t count;
  };
  // Stores a variable-size cell value; returns its HNID.
  std::uint32_t StoreVariable(const PropValue& value);

  NdbWriter& ndb_;
  Subnodes& subnodes_;
  HeapWriter heap_;
  std::vector<Column> columns_;  // in tag order
  std::uint16_t ib_4b_ = 0, ib_2b_ = 0, ib_1b_ = 0, row_size_ = 0;
  std::uint32_t rows_ = 0;
  Bytes small_rows_;  // row matrix while it fits the heap
  std::unique_ptr<DataStream> matrix_;
  std::vector<Run> runs_;  // row id -> row index, run-length coded
};

}  // namespace norvexa::pstgen
