// Damage done on purpose to a PST file after it is written, for tests and
// benchmarks of how a reader copes: single bits flipped, whole pages zeroed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace norvexa::pstgen {

struct FileDamage {
  enum class Kind { FlipBit, ZeroPage };
  Kind kind = Kind::FlipBit;
  std::uint64_t offset = 0;  // of the byte, or of the page's first byte
  int bit = 0;               // FlipBit: 0 (lowest) to 7
};

// Parses "OFFSET:BIT" (OFFSET decimal or 0x-hexadecimal, BIT 0 to 7) into
// a FlipBit; false when TEXT is not of that form.
bool ParseFlipBit(const std::string& text, FileDamage& out);
// Parses "OFFSET" into a ZeroPage; false when TEXT is not a number.
bool ParseZeroPage(const std::string& text, FileDamage& out);

// Applies DAMAGE, in order, to the PST file at PATH in place. A page is as
// long as the file's pages (512 bytes, 4096 in 4 KB-page files, from the
// header's version). Throws std::runtime_error when the file cannot be read
// or written, or an offset lies outside it.
void ApplyDamage(const std::filesystem::path& path, const std::vector<FileDamage>& damage);

}  // namespace norvexa::pstgen
