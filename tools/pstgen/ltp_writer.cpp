// Property contexts and table contexts.
#include "ltp_writer.h"

#include <algorithm>

namespace norvexa::pstgen {
namespace {

constexpr std::uint32_t kTagRowId = mapi::Tag(mapi::PidTagLtpRowId, mapi::PT_LONG);
constexpr std::uint32_t kTagRowVer = mapi::Tag(mapi::PidTagLtpRowVer, mapi::PT_LONG);

// Stores a variable-size or 8-byte value: in the heap when it fits, else in
// a new subnode. Returns the HNID.
std::uint32_t StoreValue(NdbWriter& ndb, HeapWriter& heap, Subnodes& subnodes, const PropValue& v) {
  if (!v.stream && v.data.size() <= kMaxHeapAllocation) return heap.Allocate(v.data);
  DataStream stream(ndb);
  if (v.stream)
    v.stream(stream);
  else
    stream.Write(v.data.data(), v.data.size());
  if (stream.size() != v.size()) throw PstWriteError("streamed value of the wrong size");
  const std::uint32_t nid = subnodes.NewNid(kNidTypeLtp);
  subnodes.Add(SubnodeEntry{nid, stream.Finish(), 0});
  return nid;
}

}  // namespace

std::uint64_t WritePropertyContext(NdbWriter& ndb, const PropMap& props, Subnodes& subnodes) {
  HeapWriter heap(ndb, kHeapSigPC);
  std::vector<std::uint8_t> records;
  records.reserve(props.size() * 8);
  for (const auto& [id, v] : props) {
    std::uint8_t rec[8] = {};
    Put16(rec, id);
    Put16(rec + 2, v.type);
    const std::size_t fixed = mapi::FixedSize(v.type);
    if (fixed && fixed <= 4) {
      for (std::size_t i = 0; i < v.data.size() && i < 4; ++i) rec[4 + i] = v.data[i];
    } else {
      Put32(rec + 4, StoreValue(ndb, heap, subnodes, v));
    }
    records.insert(records.end(), rec, rec + 8);
  }
  BthWriter bth(heap, 2, 6);
  for (std::size_t i = 0; i < records.size(); i += 8) bth.Add(&records[i], &records[i + 2]);
  heap.SetUserRoot(bth.Finish());
  return heap.Finish();
}

TableWriter::TableWriter(NdbWriter& ndb, const std::vector<std::uint32_t>& tags, Subnodes& subnodes)
    : ndb_(ndb), subnodes_(subnodes), heap_(ndb, kHeapSigTC) {
  std::vector<std::uint32_t> sorted = tags;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  // Cell existence bits: row id 0, row version 1, then the rest in tag order.
  std::uint8_t bit = 2;
  for (std::uint32_t t : sorted) {
    if (t == kTagRowId || t == kTagRowVer) continue;
    const std::size_t fixed = mapi::FixedSize(mapi::PropType(t));
    columns_.push_back(Column{t, 0, static_cast<std::uint8_t>(fixed ? fixed : 4), bit++});
  }
  columns_.push_back(Column{kTagRowId, 0, 4, 0});
  columns_.push_back(Column{kTagRowVer, 4, 4, 1});
  // Row layout: row id and version, 8-byte then 4-byte cells, then 2-byte,
  // then 1-byte cells, then the cell existence bitmap.
  std::uint16_t ib = 8;
  for (std::uint8_t size : {8, 4, 2, 1}) {
    for (Column& c : columns_)
      if (c.cb == size && c.tag != kTagRowId && c.tag != kTagRowVer) {
        c.ib = ib;
        ib = static_cast<std::uint16_t>(ib + size);
      }
    if (size == 4) ib_4b_ = ib;
    if (size == 2) ib_2b_ = ib;
    if (size == 1) ib_1b_ = ib;
  }
  row_size_ = static_cast<std::uint16_t>(ib_1b_ + (columns_.size() + 7) / 8);
  std::sort(columns_.begin(), columns_.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
}

std::uint32_t TableWriter::StoreVariable(const PropValue& value) {
  return StoreValue(ndb_, heap_, subnodes_, value);
}

void TableWriter::AddRow(std::uint32_t row_id, const PropMap& values) {
  Bytes row(row_size_, 0);
  std::uint8_t* ceb = row.data() + ib_1b_;
  auto set_bit = [&](std::uint8_t bit) { ceb[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8)); };
  for (const Column& c : columns_) {
    if (c.tag == kTagRowId) {
      Put32(row.data(), row_id);
      set_bit(c.bit);
      continue;
    }
    if (c.tag == kTagRowVer) {
      Put32(row.data() + 4, 0);
      set_bit(c.bit);
      continue;
    }
    const auto it = values.find(mapi::PropId(c.tag));
    if (it == values.end() || it->second.type != mapi::PropType(c.tag)) continue;
    const PropValue& v = it->second;
    if (mapi::FixedSize(v.type)) {
      std::copy(v.data.begin(), v.data.end(), row.begin() + c.ib);
    } else {
      Put32(row.data() + c.ib, StoreVariable(v));
    }
    set_bit(c.bit);
  }
  const std::uint32_t index = rows_++;
  if (!runs_.empty()) {
    Run& last = runs_.back();
    if (row_id == last.row_id + 32 * last.count && index == last.index + last.count) {
      ++last.count;
    } else {
      runs_.push_back(Run{row_id, index, 1});
    }
  } else {
    runs_.push_back(Run{row_id, index, 1});
  }
  if (!matrix_ && small_rows_.size() + row.size() <= kMaxHeapAllocation) {
    small_rows_.insert(small_rows_.end(), row.begin(), row.end());
    return;
  }
  if (!matrix_) {
    // Readers find a row by its index from the rows per block of the format.
    const std::size_t block = ndb_.format().max_block_data;
    matrix_ = std::make_unique<DataStream>(ndb_, block / row_size_ * row_size_);
    matrix_->Write(small_rows_.data(), small_rows_.size());
    small_rows_.clear();
  }
  matrix_->Write(row.data(), row.size());
}

std::uint64_t TableWriter::Finish(TreeTop top) {
  // Row index: row id -> row index, in row id order.
  std::sort(runs_.begin(), runs_.end(), [](const Run& a, const Run& b) { return a.row_id < b.row_id; });
  bool disjoint = true;
  for (std::size_t i = 1; i < runs_.size(); ++i)
    if (runs_[i - 1].row_id + 32ull * (runs_[i - 1].count - 1) >= runs_[i].row_id) disjoint = false;
  if (!disjoint) {
    // Interleaved runs: spell every row out and sort the rows themselves.
    std::vector<Run> single;
    for (const Run& r : runs_)
      for (std::uint32_t k = 0; k < r.count; ++k) single.push_back(Run{r.row_id + 32 * k, r.index + k, 1});
    std::sort(single.begin(), single.end(), [](const Run& a, const Run& b) { return a.row_id < b.row_id; });
    runs_ = std::move(single);
  }
  // Row numbers are 4 bytes in Unicode files, 2 in ANSI ones.
  const std::size_t index_size = ndb_.format().row_index_size;
  if (index_size < 4 && rows_ > (1u << (8 * index_size)))
    throw PstWriteError("a table of " + std::to_string(rows_) + " rows does not fit the " + ndb_.format().name +
                        " format's " + std::to_string(8 * index_size) + "-bit row numbers");
  BthWriter index(heap_, 4, static_cast<std::uint8_t>(index_size));
  for (const Run& r : runs_)
    for (std::uint32_t k = 0; k < r.count; ++k) {
      std::uint8_t key[4], value[4];
      Put32(key, r.row_id + 32 * k);
      Put32(value, r.index + k);  // little-endian: the low bytes come first
      index.Add(key, value);
    }
  const std::uint32_t hid_index = index.Finish();
  std::uint32_t hnid_rows = 0;
  if (matrix_) {
    hnid_rows = subnodes_.NewNid(kNidTypeLtp);
    subnodes_.Add(SubnodeEntry{hnid_rows, matrix_->Finish(), 0});
  } else if (!small_rows_.empty()) {
    hnid_rows = heap_.Allocate(small_rows_);
  }
  Bytes info;
  info.push_back(0x7C);
  info.push_back(static_cast<std::uint8_t>(columns_.size()));
  Append16(info, ib_4b_);
  Append16(info, ib_2b_);
  Append16(info, ib_1b_);
  Append16(info, row_size_);
  Append32(info, hid_index);
  Append32(info, hnid_rows);
  Append32(info, 0);
  for (const Column& c : columns_) {
    Append32(info, c.tag);
    Append16(info, c.ib);
    info.push_back(c.cb);
    info.push_back(c.bit);
  }
  heap_.SetUserRoot(heap_.Allocate(info));
  return heap_.Finish(top);
}

}  // namespace norvexa::pstgen
