// A small file system of its own for a test: a tmpfs mounted on a fresh
// folder, so that a test can fill it up or make it read-only. Mounting needs
// the right to mount (root, or a container that allows it); where it cannot
// be had the test skips with a message saying so.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace norvexa::testing {

class SmallVolume {
 public:
  // Mounts a tmpfs of SIZE_BYTES on a new folder under the system temporary
  // folder. Check mounted(); why_not() says what failed.
  explicit SmallVolume(std::uintmax_t size_bytes);
  // Unmounts (lazily, as a database may still be open on it) and removes the
  // folder.
  ~SmallVolume();
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why_not() const { return why_not_; }
  const std::filesystem::path& path() const { return path_; }

  // Makes the mounted volume read-only. False when that failed (files still
  // open for writing on it keep it writable).
  bool MakeReadOnly();

  // Makes the volume writable again. False when that failed.
  bool MakeWritable();

  // Fills the volume with one filler file until no more than LEAVE_BYTES
  // are free (or a write fails). Returns the filler's path.
  std::filesystem::path Fill(std::uintmax_t leave_bytes = 0);

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
  std::string why_not_;
};

}  // namespace norvexa::testing

// Declares `var` as a mounted SmallVolume of SIZE bytes, or skips the test
// with a clear message when no file system can be mounted here.
#define NORVEXA_REQUIRE_SMALL_VOLUME(var, size)                                                          \
  ::norvexa::testing::SmallVolume var(size);                                                              \
  if (!var.mounted())                                                                                      \
  GTEST_SKIP() << "a small file system could not be mounted here (" << var.why_not()                       \
               << "); this case needs the right to mount a tmpfs (root, or a container that allows it)"
