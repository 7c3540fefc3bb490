// Positioned reads of a read-only file (see random_access_file.h).
#include "platform/outlook/random_access_file.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace norvexa::outlook::pst {

#if defined(_WIN32)

RandomAccessFile::~RandomAccessFile() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool RandomAccessFile::Open(const std::filesystem::path& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) const {
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!ReadFile(handle_, out, want, &got, &at) || got == 0) return false;
    offset += got;
    out += got;
    size -= got;
  }
  return true;
}

#else

RandomAccessFile::~RandomAccessFile() {
  if (fd_ >= 0) close(fd_);
}

bool RandomAccessFile::Open(const std::filesystem::path& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) const {
  while (size > 0) {
    const ssize_t got = pread(fd_, out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    offset += static_cast<std::uint64_t>(got);
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

#endif

}  // namespace norvexa::outlook::pst
