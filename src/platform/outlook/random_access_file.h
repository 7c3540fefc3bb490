// A file opened read-only for reads at any offset, without a stream's
// buffering and seeking: each read is one positioned read of the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace norvexa::outlook::pst {

class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  ~RandomAccessFile();
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  // Opens PATH read-only; false when it cannot be opened.
  bool Open(const std::filesystem::path& path);
  // Reads exactly SIZE bytes at OFFSET into OUT; false when they cannot all
  // be read.
  bool ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) const;

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace norvexa::outlook::pst
