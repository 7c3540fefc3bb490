// A small file system of its own for a test; see small_volume.h. The mount
// and unmount commands are run through the shell: a test machine that has
// neither the commands nor the right to use them simply skips the case.
#include "support/small_volume.h"

#include <QUuid>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace norvexa::testing {
namespace {

// PATH quoted for the shell; the folders made here hold no quote.
std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

SmallVolume::SmallVolume(std::uintmax_t size_bytes) {
  std::error_code ec;
  path_ = std::filesystem::temp_directory_path(ec) /
          ("norvexa-volume-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString());
  if (ec || !std::filesystem::create_directories(path_, ec)) {
    why_not_ = "cannot make the folder " + path_.string();
    return;
  }
  const std::string command = "mount -t tmpfs -o size=" + std::to_string(size_bytes) + ",mode=0700 norvexa-test " +
                              Quoted(path_) + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    why_not_ = "\"mount -t tmpfs\" failed";
    std::filesystem::remove(path_, ec);
    return;
  }
  mounted_ = true;
}

SmallVolume::~SmallVolume() {
  std::error_code ec;
  if (mounted_) {
    const std::string command = "umount -l " + Quoted(path_) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;  // leave the folder rather than delete through a mount
  }
  std::filesystem::remove(path_, ec);
}

bool SmallVolume::MakeReadOnly() {
  const std::string command = "mount -o remount,ro " + Quoted(path_) + " >/dev/null 2>&1";
  return mounted_ && std::system(command.c_str()) == 0;
}

bool SmallVolume::MakeWritable() {
  const std::string command = "mount -o remount,rw " + Quoted(path_) + " >/dev/null 2>&1";
  return mounted_ && std::system(command.c_str()) == 0;
}

std::filesystem::path SmallVolume::Fill(std::uintmax_t leave_bytes) {
  const std::filesystem::path filler = path_ / "filler";
  std::ofstream out(filler, std::ios::binary | std::ios::app);
  static const std::array<char, 4096> block{};
  std::error_code ec;
  while (out) {
    const std::filesystem::space_info space = std::filesystem::space(path_, ec);
    if (ec || space.available <= leave_bytes) break;
    out.write(block.data(), static_cast<std::streamsize>(
                                std::min<std::uintmax_t>(block.size(), space.available - leave_bytes)));
    out.flush();
  }
  return filler;
}

}  // namespace norvexa::testing
