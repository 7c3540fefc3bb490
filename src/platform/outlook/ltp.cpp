// Heaps, B-trees on heaps, property contexts and table contexts (see ltp.h).
#include "platform/outlook/ltp.h"

namespace norvexa::outlook::pst {
namespace {

// The largest value a single property is allowed to have when read whole
// (bodies and tables included); larger ones are damage.
constexpr std::uint64_t kTableLimit = 1ULL << 31;

// Whether FIRST, the only block of a node's data, is a data tree block that
// is not marked as one (older files store the data of large tables so): it
// starts as a tree block does, and not as a heap.
bool LooksLikeUnmarkedDataTree(const std::vector<std::uint8_t>& first) {
  if (first.size() < kDataTreeHeaderSize || first[0] != kBlockTypeDataTree) return false;
  const int level = first[kTreeBlockLevelAt];
  return level >= 1 && level <= kMaxDataTreeLevel && first[kHnHeaderSigAt] != kHnSignature;
}

// The bytes of a value kept inline in P's reference.
std::string InlineBytes(const RawProperty& p, std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((p.reference >> (8 * i)) & 0xFF);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Heap
// ---------------------------------------------------------------------------

Heap::Heap(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node)
    : db_(std::move(db)), node_(node), data_(db_, node.bid_data) {
  if (data_.block_count() == 0) Fail("node " + std::to_string(node.nid) + " has no data (damaged)");
  Block first = data_.block(0);
  if (data_.block_count() == 1 && LooksLikeUnmarkedDataTree(*first)) {
    // A large table of an older file: its data tree block is not marked as
    // one, so it reads as a data block starting with a tree block's header.
    data_ = DataStream::Unmarked(db_, node.bid_data);
    if (data_.block_count() == 0) Fail("node " + std::to_string(node.nid) + " has no data (damaged)");
    first = data_.block(0);
  }
  if (first->size() < kHnHeaderSize || (*first)[kHnHeaderSigAt] != kHnSignature) {
    Fail("the data of node " + std::to_string(node.nid) + " is not a heap (damaged or of an unknown form)");
  }
  client_signature_ = (*first)[kHnHeaderClientSigAt];
  user_root_ = Le32(first->data() + kHnHeaderUserRootAt);
}

std::string Heap::Get(std::uint32_t hid) const {
  if (hid == 0) return std::string();
  if (IsNid(hid)) Fail("a heap reference names no heap item (damaged)");
  const bool wide_index = db_->format() == Format::Unicode4k;
  const std::uint32_t index = (hid >> kHidIndexShift) & (wide_index ? kHidIndexMask4k : kHidIndexMask);
  const std::uint32_t block_index = hid >> (wide_index ? kHidBlockIndexShift4k : kHidBlockIndexShift);
  const Block block = data_.block(block_index);
  const std::vector<std::uint8_t>& b = *block;
  if (b.size() < kHnPageHeaderSize) Fail("a heap block is empty (damaged)", block_index);
  const std::size_t map = Le16(b.data() + kHnPageMapOffsetAt);
  const std::size_t offsets = map + kHnPageMapOffsetsAt;
  if (offsets > b.size()) Fail("a heap page map lies outside its block (damaged)", block_index);
  const std::size_t count = Le16(&b[map + kHnPageMapCountAt]);
  if (index == 0 || index > count || offsets + kHnPageMapOffsetSize * (count + 1) > b.size()) {
    Fail("a heap reference names no heap item (damaged)", block_index);
  }
  const std::size_t begin = Le16(&b[offsets + kHnPageMapOffsetSize * (index - 1)]);
  const std::size_t end = Le16(&b[offsets + kHnPageMapOffsetSize * index]);
  if (begin > end || end > map) Fail("a heap item lies outside its block (damaged)", block_index);
  return std::string(reinterpret_cast<const char*>(b.data() + begin), end - begin);
}

void Heap::Fail(const std::string& what, std::size_t block) const {
  const std::uint64_t bid = data_.block_id(block);
  db_->FailInBlock(bid != 0 ? bid : node_.bid_data, what);
}

std::optional<NodeEntry> Heap::Subnode(std::uint32_t nid) const { return db_->FindSubnode(node_.bid_sub, nid); }

std::string Heap::Read(std::uint32_t hnid, std::uint64_t limit) const {
  if (!IsNid(hnid)) {
    std::string value = Get(hnid);
    if (value.size() > limit) Fail("a value is larger than it can be (damaged)");
    return value;
  }
  const std::optional<NodeEntry> sub = Subnode(hnid);
  if (!sub) Fail("a value's subnode " + std::to_string(hnid) + " is missing (damaged)");
  return DataStream(db_, sub->bid_data).ReadAll(limit);
}

void ForEachBthRecord(const Heap& heap, std::uint32_t hid, std::size_t key_size, std::size_t data_size,
                      const std::function<void(const std::uint8_t*, const std::uint8_t*)>& visit) {
  const std::string header = heap.Get(hid);
  if (header.size() < kBthHeaderSize || static_cast<std::uint8_t>(header[0]) != kClientSigBth) {
    heap.Fail("a property or table index is not a B-tree (damaged)");
  }
  const auto* h = reinterpret_cast<const std::uint8_t*>(header.data());
  if (h[kBthHeaderKeySizeAt] != key_size || h[kBthHeaderDataSizeAt] != data_size) {
    heap.Fail("a B-tree on a heap has an unexpected layout (damaged)");
  }
  const int levels = h[kBthHeaderLevelsAt];
  if (levels > kMaxBthLevels) heap.Fail("a B-tree on a heap is deeper than any real one (damaged)");
  const std::uint32_t root = Le32(h + kBthHeaderRootAt);
  if (root == 0) return;
  // A damaged tree could name one node from many places; no real tree
  // visits more nodes than its heap holds bytes.
  std::uint64_t budget = heap.size() / (key_size + kBthIndexHidSize) + 1;
  std::function<void(std::uint32_t, int)> walk = [&](std::uint32_t node, int level) {
    if (budget-- == 0) heap.Fail("a B-tree on a heap names its nodes more than once (damaged)");
    const std::string records = heap.Get(node);
    const auto* r = reinterpret_cast<const std::uint8_t*>(records.data());
    const std::size_t record = key_size + (level > 0 ? kBthIndexHidSize : data_size);
    if (records.size() % record != 0) heap.Fail("a B-tree node on a heap is cut short (damaged)");
    for (std::size_t at = 0; at + record <= records.size(); at += record) {
      if (level > 0) walk(Le32(r + at + key_size), level - 1);
      else visit(r + at, r + at + key_size);
    }
  };
  walk(root, levels);
}

// ---------------------------------------------------------------------------
// Property context
// ---------------------------------------------------------------------------

PropertyContext::PropertyContext(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node)
    : heap_(std::move(db), node) {
  if (heap_.client_signature() != kClientSigPropertyContext) {
    heap_.Fail("node " + std::to_string(node.nid) + " holds no properties (damaged or of an unknown form)");
  }
  ForEachBthRecord(heap_, heap_.user_root(), kPcKeySize, kPcDataSize, [&](const std::uint8_t* key, const std::uint8_t* data) {
    RawProperty p;
    p.id = Le16(key);
    p.type = Le16(data);
    p.reference = Le32(data + kPcDataValueAt);
    const std::size_t fixed = mapi::FixedSize(p.type);
    p.inline_value = fixed > 0 && fixed <= kPcMaxInlineSize;
    properties_.push_back(p);
  });
}

std::string PropertyContext::Value(const RawProperty& p, std::uint64_t limit) const {
  const std::size_t fixed = mapi::FixedSize(p.type);
  if (p.inline_value) return InlineBytes(p, fixed);
  const auto hnid = static_cast<std::uint32_t>(p.reference);
  if (fixed > 0) {
    std::string bytes = heap_.Get(hnid);
    if (bytes.size() < fixed) heap_.Fail("a fixed-size value is cut short (damaged)");
    return bytes.substr(0, fixed);
  }
  if (hnid == 0) return std::string();
  return heap_.Read(hnid, limit);
}

// ---------------------------------------------------------------------------
// Table context
// ---------------------------------------------------------------------------

TableContext::TableContext(std::shared_ptr<const NodeDatabase> db, const NodeEntry& node)
    : heap_(std::move(db), node) {
  const std::string info = heap_.Get(heap_.user_root());
  ReadColumns(info);
  ReadRowLayout(info);
}

void TableContext::ReadColumns(const std::string& info) {
  const auto* t = reinterpret_cast<const std::uint8_t*>(info.data());
  if (heap_.client_signature() == kClientSigTableContext) {
    if (info.size() < kTcInfoSize || t[0] != kClientSigTableContext) heap_.Fail("a table header is damaged");
    const std::size_t count = t[kTcInfoColumnCountAt];
    if (info.size() < kTcInfoSize + kTcColumnSize * count) heap_.Fail("a table header is cut short (damaged)");
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* c = t + kTcInfoSize + kTcColumnSize * i;
      columns_.push_back(Column{Le16(c + kTcColumnIdAt), Le16(c + kTcColumnTypeAt), Le16(c + kTcColumnOffsetAt),
                                c[kTcColumnSizeAt], c[kTcColumnBitAt]});
    }
  } else if (heap_.client_signature() == kClientSigWideTableContext) {
    // The older wide form: the column descriptions sit in a heap item of
    // their own, 16 bytes each, and may exceed 255 columns.
    if (info.size() < kWideTcInfoSize || t[0] != kClientSigWideTableContext) heap_.Fail("a table header is damaged");
    const std::size_t count = Le16(t + kWideTcColumnCountAt);
    const std::string defs = heap_.Read(Le32(t + kWideTcColumnsAt), kWideTcColumnSize * kWideTcMaxColumns);
    if (defs.size() < kWideTcColumnSize * count) heap_.Fail("a table's column list is cut short (damaged)");
    const auto* c0 = reinterpret_cast<const std::uint8_t*>(defs.data());
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* c = c0 + kWideTcColumnSize * i;
      // Columns whose values sit in a separate value table are not read.
      if (Le32(c + kWideTcColumnValueTableAt) != 0) continue;
      columns_.push_back(Column{Le16(c + kTcColumnIdAt), Le16(c + kTcColumnTypeAt), Le16(c + kWideTcColumnOffsetAt),
                                Le16(c + kWideTcColumnSizeAt), Le16(c + kWideTcColumnBitAt)});
    }
  } else {
    heap_.Fail("node " + std::to_string(heap_.node().nid) + " holds no table (damaged or of an unknown form)");
  }
}

void TableContext::ReadRowLayout(const std::string& info) {
  const auto* t = reinterpret_cast<const std::uint8_t*>(info.data());
  row_size_ = Le16(t + kTcInfoRowSizeAt);
  bitmap_offset_ = Le16(t + kTcInfoBitmapAt);
  row_index_ = Le32(t + kTcInfoRowIndexAt);
  rows_reference_ = Le32(t + kTcInfoRowsAt);
  if (bitmap_offset_ > row_size_) heap_.Fail("a table's row layout is impossible (damaged)");
  for (const Column& c : columns_) {
    if (row_size_ > 0 && (c.offset + c.size > row_size_ || bitmap_offset_ + c.bit / 8 >= row_size_)) {
      heap_.Fail("a table column lies outside its row (damaged)");
    }
  }
  if (rows_reference_ == 0 || row_size_ == 0) return;
  if (!Heap::IsNid(rows_reference_)) {
    small_rows_ = heap_.Get(rows_reference_);
    matrix_rows_ = small_rows_.size() / row_size_;
    return;
  }
  const std::optional<NodeEntry> sub = heap_.Subnode(rows_reference_);
  if (!sub) heap_.Fail("the rows of a table are missing (damaged)");
  row_blocks_ = DataStream(heap_.db_ptr(), sub->bid_data);
  const std::size_t blocks = row_blocks_.block_count();
  if (blocks == 0) return;
  // Rows never straddle blocks: every block but the last holds as many
  // whole rows as fit in a full block.
  const std::uint64_t first = row_blocks_.block(0)->size();
  rows_per_block_ = first / row_size_;
  if (rows_per_block_ == 0) heap_.Fail("a table's rows are larger than its blocks (damaged)");
  const std::uint64_t last = blocks == 1 ? first : row_blocks_.block(blocks - 1)->size();
  matrix_rows_ = (blocks - 1) * rows_per_block_ + last / row_size_;
}

std::uint64_t TableContext::row_count() const {
  if (!row_count_) {
    // A table is only ever used through a shared pointer; the cursor needs
    // one, and this one does not own the table.
    Cursor cursor(std::shared_ptr<const TableContext>(std::shared_ptr<const TableContext>(), this));
    while (cursor.Next()) {
    }
    row_count_ = cursor.position();
  }
  return *row_count_;
}

TableContext::Cursor::Cursor(std::shared_ptr<const TableContext> table) : table_(std::move(table)) {
  const Heap& heap = table_->heap_;
  if (table_->row_index_ == 0) return;
  const std::string header = heap.Get(table_->row_index_);
  const auto* h = reinterpret_cast<const std::uint8_t*>(header.data());
  if (header.size() < kBthHeaderSize || h[0] != kClientSigBth || h[kBthHeaderKeySizeAt] != kTcRowIndexKeySize ||
      (h[kBthHeaderDataSizeAt] != kTcRowIndexDataSizeShort && h[kBthHeaderDataSizeAt] != kTcRowIndexDataSize) ||
      h[kBthHeaderLevelsAt] > kMaxBthLevels) {
    heap.Fail("a table's row index is damaged");
  }
  data_size_ = h[kBthHeaderDataSizeAt];
  const std::uint32_t root = Le32(h + kBthHeaderRootAt);
  if (root == 0) return;
  budget_ = heap.size() / (kTcRowIndexKeySize + kBthIndexHidSize) + 1;
  stack_.resize(static_cast<std::size_t>(h[kBthHeaderLevelsAt]) + 1);
  stack_[0].records = heap.Get(root);
}

std::optional<std::uint64_t> TableContext::Cursor::Next() {
  const Heap& heap = table_->heap_;
  // stack_[0] is the root level; the last level holds leaf records.
  while (!stack_.empty()) {
    const std::size_t depth = stack_.size() - 1;
    // The deepest level that has been entered.
    std::size_t level = 0;
    while (level < depth && !stack_[level + 1].records.empty()) ++level;
    Level& current = stack_[level];
    const bool leaf = level == depth;
    const std::size_t record = kTcRowIndexKeySize + (leaf ? data_size_ : kBthIndexHidSize);
    if (current.records.size() % record != 0) heap.Fail("a table's row index is cut short (damaged)");
    if (current.at + record > current.records.size()) {
      // This node is done: back up one level.
      if (level == 0) {
        stack_.clear();
        return std::nullopt;
      }
      current.records.clear();
      current.at = 0;
      continue;
    }
    const auto* r = reinterpret_cast<const std::uint8_t*>(current.records.data()) + current.at;
    current.at += record;
    if (leaf) {
      // Each row is listed once: an index that lists more rows than the
      // matrix holds names some of them again.
      if (position_ >= table_->matrix_rows_) heap.Fail("a table's row index lists more rows than it has (damaged)");
      ++position_;
      const std::uint64_t row =
          data_size_ == kTcRowIndexDataSize ? Le32(r + kTcRowIndexKeySize) : Le16(r + kTcRowIndexKeySize);
      if (row >= table_->matrix_rows_) heap.Fail("a table's row index names a row that is not there (damaged)");
      return row;
    }
    if (budget_-- == 0) heap.Fail("a table's row index names its nodes more than once (damaged)");
    stack_[level + 1].records = heap.Get(Le32(r + kTcRowIndexKeySize));
    stack_[level + 1].at = 0;
    if (stack_[level + 1].records.empty()) heap.Fail("a table's row index has an empty node (damaged)");
  }
  return std::nullopt;
}

std::string TableContext::Row(std::uint64_t row) const {
  if (row >= matrix_rows_) heap_.Fail("a table row is out of range (damaged)");
  if (rows_per_block_ == 0) return small_rows_.substr(static_cast<std::size_t>(row) * row_size_, row_size_);
  const Block block = row_blocks_.block(static_cast<std::size_t>(row / rows_per_block_));
  const std::size_t at = static_cast<std::size_t>(row % rows_per_block_) * row_size_;
  if (at + row_size_ > block->size()) {
    heap_.db().FailInBlock(row_blocks_.block_id(static_cast<std::size_t>(row / rows_per_block_)),
                           "a table row is cut short (damaged)");
  }
  return std::string(reinterpret_cast<const char*>(block->data() + at), row_size_);
}

std::optional<RawProperty> TableContext::Cell(const std::string& row_data, const Column& c) const {
  const auto* r = reinterpret_cast<const std::uint8_t*>(row_data.data());
  const std::size_t bitmap_byte = bitmap_offset_ + c.bit / 8;
  if (bitmap_byte >= row_data.size() || c.offset + c.size > row_data.size()) return std::nullopt;
  if ((r[bitmap_byte] & (kCebFirstBit >> (c.bit % 8))) == 0) return std::nullopt;
  RawProperty p;
  p.id = c.id;
  p.type = c.type;
  const std::size_t fixed = mapi::FixedSize(c.type);
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < c.size && i < kTcMaxInlineSize; ++i) value |= static_cast<std::uint64_t>(r[c.offset + i]) << (8 * i);
  p.reference = value;
  p.inline_value = fixed > 0 && fixed <= kTcMaxInlineSize && c.size >= fixed;
  return p;
}

std::vector<RawProperty> TableContext::Cells(const std::string& row_data) const {
  std::vector<RawProperty> cells;
  for (const Column& c : columns_) {
    if (const std::optional<RawProperty> p = Cell(row_data, c)) cells.push_back(*p);
  }
  return cells;
}

std::string TableContext::Value(const RawProperty& p, std::uint64_t limit) const {
  const std::size_t fixed = mapi::FixedSize(p.type);
  if (p.inline_value) return InlineBytes(p, fixed);
  const auto hnid = static_cast<std::uint32_t>(p.reference);
  if (hnid == 0) return std::string();
  std::string value = heap_.Read(hnid, std::min(limit, kTableLimit));
  if (fixed > 0 && value.size() > fixed) value.resize(fixed);
  return value;
}

std::optional<std::uint32_t> TableContext::Cell32(const std::string& row_data, std::uint16_t id) const {
  // Read once per item of a folder: look at that one column only.
  for (const Column& c : columns_) {
    if (c.id != id) continue;
    const std::optional<RawProperty> p = Cell(row_data, c);
    if (p && p->inline_value) return static_cast<std::uint32_t>(p->reference);
  }
  return std::nullopt;
}

}  // namespace norvexa::outlook::pst
