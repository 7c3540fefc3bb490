// The lists, tables and properties layer of a PST file: the heap on a
// node, B-trees on that heap, property contexts (one object's properties)
// and table contexts (rows of columns, such as a folder's contents).
//
// Values too large for the heap live in subnodes of the same node; a
// heap therefore resolves both kinds of value reference. Everything is
// read on demand through the node database's bounded cache.
#pragma once

#include "platform/outlook/ltp_layout.h"
#include "platform/outlook/mapi_tags.h"
#include "platform/outlook/node_database.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::outlook::pst {

// The heap on one node (or subnode): allocations addressed by heap
// identifiers, and the node's subnodes.
class Heap {
 public:
  // Reads the heap header of NODE. Throws OutlookError when the node's data
  // is not a heap.
  Heap(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node);

  // The kind of structure the heap holds (0xBC properties, 0x7C table...).
  std::uint8_t client_signature() const { return client_signature_; }
  // The heap identifier of the structure's header.
  std::uint32_t user_root() const { return user_root_; }
  const NodeDatabase& db() const { return *db_; }
  const std::shared_ptr<const NodeDatabase>& db_ptr() const { return db_; }
  const NodeEntry& node() const { return node_; }
  // Bytes of the node's data, all blocks together.
  std::uint64_t size() const { return data_.size(); }

  // The bytes of allocation HID ("" for HID 0). Throws when HID names no
  // allocation.
  std::string Get(std::uint32_t hid) const;

  // The bytes a value reference names: a heap allocation, or the data of
  // a subnode (at most LIMIT bytes). Throws when it names nothing.
  std::string Read(std::uint32_t hnid, std::uint64_t limit) const;

  // The subnode NID of this node, or nullopt.
  std::optional<NodeEntry> Subnode(std::uint32_t nid) const;

  // True when HNID names a subnode rather than a heap allocation.
  static bool IsNid(std::uint32_t hnid) { return (hnid & kHidTypeMask) != 0; }

  // Throws a DamageError "<file>: WHAT" placed at the heap's block BLOCK
  // (from 0), or at its first block when there is no such block.
  [[noreturn]] void Fail(const std::string& what, std::size_t block = 0) const;

 private:
  std::shared_ptr<const NodeDatabase> db_;
  NodeEntry node_;
  DataStream data_;
  std::uint8_t client_signature_ = 0;
  std::uint32_t user_root_ = 0;
};

// Calls VISIT(key, data) for every leaf record of the B-tree on HEAP whose
// header is at HID, in key order; KEY_SIZE and DATA_SIZE must match what the
// header says. Throws when the tree is damaged.
void ForEachBthRecord(const Heap& heap, std::uint32_t hid, std::size_t key_size, std::size_t data_size,
                      const std::function<void(const std::uint8_t* key, const std::uint8_t* data)>& visit);

// One property of a property context or one cell of a table row, before
// its value is read.
struct RawProperty {
  std::uint16_t id = 0;
  std::uint16_t type = 0;
  // The stored reference: the value itself for fixed sizes up to 8 bytes
  // kept inline, else a value reference (heap identifier or subnode).
  std::uint64_t reference = 0;
  bool inline_value = false;
};

// The properties of one object (message, folder, attachment, store).
class PropertyContext {
 public:
  // Reads the property context on NODE. Throws when it is not one.
  PropertyContext(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node);

  const std::vector<RawProperty>& properties() const { return properties_; }
  // The value bytes of P (at most LIMIT bytes). Throws when damaged.
  std::string Value(const RawProperty& p, std::uint64_t limit) const;
  const Heap& heap() const { return heap_; }

 private:
  Heap heap_;
  std::vector<RawProperty> properties_;
};

// A table: rows of typed columns, read one row at a time.
class TableContext {
 public:
  struct Column {
    std::uint16_t id = 0;
    std::uint16_t type = 0;
    std::uint16_t offset = 0;  // of the cell in a row
    std::uint16_t size = 0;    // of the cell
    std::uint16_t bit = 0;     // in the cell existence bitmap
  };

  // Reads the table header on NODE. Throws when it is not a table.
  TableContext(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node);

  // The number of rows: entries of the row index. Counted by one walk of
  // the index on first use.
  std::uint64_t row_count() const;
  const std::vector<Column>& columns() const { return columns_; }

  // The bytes of row ROW (from 0) of the row matrix. Throws when out of
  // range or damaged.
  std::string Row(std::uint64_t row) const;

  // Walks the row index: the rows in the order of their row identifiers,
  // which is the table's order, one at a time, holding one B-tree node per
  // level and nothing more.
  class Cursor {
   public:
    explicit Cursor(std::shared_ptr<const TableContext> table);
    // The matrix place of the next row in table order, or nullopt at the
    // end. Throws when the index is damaged.
    std::optional<std::uint64_t> Next();
    // How many rows Next() has given.
    std::uint64_t position() const { return position_; }

   private:
    struct Level {
      std::string records;
      std::size_t at = 0;
    };
    std::shared_ptr<const TableContext> table_;
    std::vector<Level> stack_;
    std::size_t data_size_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t budget_ = 0;
  };
  // The cells present in ROW_DATA, as properties of the row.
  std::vector<RawProperty> Cells(const std::string& row_data) const;
  // The value bytes of a cell P of a row (at most LIMIT bytes).
  std::string Value(const RawProperty& p, std::uint64_t limit) const;
  // The 32-bit cell of column ID in ROW_DATA, or nullopt when absent.
  std::optional<std::uint32_t> Cell32(const std::string& row_data, std::uint16_t id) const;

  // The number of rows the row matrix holds, whatever the row index says:
  // a damaged index can be passed by, reading the matrix row by row.
  std::uint64_t matrix_rows() const { return matrix_rows_; }
  const Heap& heap() const { return heap_; }

 private:
  // The cell of column C in ROW_DATA, or nullopt when the row has none.
  std::optional<RawProperty> Cell(const std::string& row_data, const Column& c) const;
  // Reads the column descriptions of the table whose TCINFO is INFO, in
  // the heap's form (0x7C or the older wide 0xAC). Throws when damaged or
  // of neither form.
  void ReadColumns(const std::string& info);
  // Reads the row layout from INFO, checks the columns against it and
  // finds the row matrix (in the heap or in a subnode). Throws when damaged.
  void ReadRowLayout(const std::string& info);

  Heap heap_;
  std::vector<Column> columns_;
  std::size_t row_size_ = 0;
  std::size_t bitmap_offset_ = 0;
  std::uint32_t rows_reference_ = 0;
  std::string small_rows_;  // the rows when they sit in the heap
  DataStream row_blocks_;   // the rows when they sit in a subnode
  std::uint64_t rows_per_block_ = 0;
  std::uint64_t matrix_rows_ = 0;
  std::uint32_t row_index_ = 0;  // heap identifier of the row index B-tree
  mutable std::optional<std::uint64_t> row_count_;
};

}  // namespace norvexa::outlook::pst
