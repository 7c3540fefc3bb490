// A cursor over the bytes of a binary property value (a recurrence pattern,
// a time-zone rule): little-endian numbers and byte runs, each read checked
// against what is left, so a value cut short or with a count past its end
// is an OutlookError and never a read outside the bytes.
#pragma once

#include "platform/outlook/outlook.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace norvexa::outlook {

class BlobReader {
 public:
  // Reads BYTES; WHAT names the value in errors ("recurrence pattern").
  BlobReader(std::string_view bytes, std::string what) : bytes_(bytes), what_(std::move(what)) {}

  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)[0]); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Number(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Number(4)); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

  // The next SIZE bytes. Throws when fewer are left.
  std::string_view Take(std::size_t size) {
    if (size > bytes_.size() - pos_) Fail("needs " + std::to_string(size) + " bytes at offset " + std::to_string(pos_) +
                                          " but " + std::to_string(bytes_.size() - pos_) + " are left");
    const std::string_view out = bytes_.substr(pos_, size);
    pos_ += size;
    return out;
  }
  // Passes over SIZE bytes, with the same check.
  void Skip(std::size_t size) { Take(size); }
  // Moves to OFFSET from the start; throws past the end.
  void Seek(std::size_t offset) {
    if (offset > bytes_.size()) Fail("offset " + std::to_string(offset) + " is past the end");
    pos_ = offset;
  }

  // Throws unless COUNT items of ITEM_SIZE bytes each can still be read;
  // checked before anything is allocated for them.
  void NeedItems(std::uint64_t count, std::size_t item_size, const char* name) {
    if (item_size != 0 && count > (bytes_.size() - pos_) / item_size)
      Fail(std::string(name) + " count " + std::to_string(count) + " runs past the end");
  }

  std::size_t left() const { return bytes_.size() - pos_; }
  std::size_t offset() const { return pos_; }

  // Throws OutlookError naming the value and WHY.
  [[noreturn]] void Fail(const std::string& why) const { throw OutlookError(what_ + ": " + why); }

 private:
  std::uint64_t Number(std::size_t size) {
    const std::string_view b = Take(size);
    std::uint64_t v = 0;
    for (std::size_t i = size; i-- > 0;) v = (v << 8) | static_cast<std::uint8_t>(b[i]);
    return v;
  }

  std::string_view bytes_;
  std::string what_;
  std::size_t pos_ = 0;
};

}  // namespace norvexa::outlook
