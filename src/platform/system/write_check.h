// Whether a database file (or a folder) can still be written to: the check
// the conversion run makes after an item could not be copied, to tell a
// full, read-only or vanished disk from a fault of the item itself.
#pragma once

#include <cstdint>
#include <filesystem>

namespace norvexa::sys {

enum class WriteState {
  Writable,     // a test write went through and there is room left
  Full,         // no room left: the disk or the user's quota is full
  NotWritable,  // the disk or the file has become read-only, or writing is refused
  Gone,         // the file or its folder is no longer there (deleted, disk removed)
};

// Space below which a disk counts as full: a document with its attachments
// no longer fits.
inline constexpr std::uintmax_t kFullBelowBytes = 1024 * 1024;

// The state of PATH, a file (a database) or a folder, for writing. For a
// file: Gone when it is missing, NotWritable when it cannot be opened for
// writing. Then, in the folder that holds it (PATH itself for a folder), a
// small file is written, flushed to the disk and removed: a refusal for
// lack of space or quota gives Full, any other refusal NotWritable or, when
// the folder or its disk has gone, Gone. Writable also needs at least
// kFullBelowBytes free on the disk, else it is Full. Never throws.
WriteState CheckWritable(const std::filesystem::path& path);

}  // namespace norvexa::sys
