// Whether a file or folder can still be written to; see write_check.h. The
// test write asks the system directly so that the reason of a refusal (no
// space, quota, read-only, gone) is known as a code, not guessed from text.
#include "platform/system/write_check.h"

#include <array>
#include <cerrno>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace norvexa::sys {
namespace {

// Bytes of the test write: more than one page of a database, so that a disk
// with a few blocks left does not pass for one with room.
constexpr std::size_t kProbeBytes = 64 * 1024;

#ifndef _WIN32
// The state a failed system call with error ERR stands for.
WriteState StateOfError(int err) {
  switch (err) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return WriteState::Full;
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:
#ifdef ESTALE
    case ESTALE:
#endif
      return WriteState::Gone;
    default:
      return WriteState::NotWritable;
  }
}

// Writes kProbeBytes into a new file in FOLDER, flushes it to the disk and
// removes it.
WriteState ProbeFolder(const std::filesystem::path& folder) {
  std::string name = (folder / ".norvexa-write-check-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) return StateOfError(errno);
  WriteState state = WriteState::Writable;
  static const std::array<char, kProbeBytes> zeros{};
  std::size_t done = 0;
  while (done < zeros.size()) {
    const ssize_t n = write(fd, zeros.data() + done, zeros.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      state = n < 0 ? StateOfError(errno) : WriteState::Full;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  // Some file systems (network ones, delayed allocation) tell of a full
  // disk only when the data goes to it.
  if (state == WriteState::Writable && fsync(fd) != 0) state = StateOfError(errno);
  if (close(fd) != 0 && state == WriteState::Writable) state = StateOfError(errno);
  unlink(name.c_str());
  return state;
}

// NotWritable when the file at PATH cannot be opened for writing (nothing
// is written); Gone when it went in the meantime.
WriteState ProbeFile(const std::filesystem::path& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return StateOfError(errno);
  close(fd);
  return WriteState::Writable;
}
#else
WriteState ProbeFolder(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / ".norvexa-write-check";
  WriteState state = WriteState::Writable;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return WriteState::NotWritable;
    static const std::array<char, kProbeBytes> zeros{};
    out.write(zeros.data(), zeros.size());
    out.flush();
    if (!out) state = WriteState::Full;
  }
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return state;
}

WriteState ProbeFile(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  return out ? WriteState::Writable : WriteState::NotWritable;
}
#endif

}  // namespace

WriteState CheckWritable(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return WriteState::Gone;
  std::filesystem::path folder = path;
  if (!std::filesystem::is_directory(status)) {
    const WriteState file = ProbeFile(path);
    if (file != WriteState::Writable) return file;
    folder = path.parent_path();
    if (folder.empty()) folder = ".";
  }
  const WriteState state = ProbeFolder(folder);
  if (state != WriteState::Writable) return state;
  const std::filesystem::space_info space = std::filesystem::space(folder, ec);
  if (!ec && space.available < kFullBelowBytes) return WriteState::Full;
  return WriteState::Writable;
}

}  // namespace norvexa::sys
