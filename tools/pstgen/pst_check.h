// A structural checker for Unicode, ANSI and 4 KB-page Unicode PST files:
// the header and its CRCs, every B-tree page and block (trailer, signature,
// CRC, deflated data that inflates to its stated size), data and subnode
// trees, the allocation maps against the space really in use, the nodes every
// PST must hold, and every folder's hierarchy and contents tables (heap, row
// index and row matrix) against the folder's sub-folders and messages. Used
// by the tests on the files pstgen writes, and on real files written by
// Outlook to show that the checker holds for them too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace norvexa::pstgen {

struct CheckReport {
  std::string format;                 // "Unicode", "ANSI" or "Unicode 4K" once the header is read
  std::uint8_t encoding = 0;          // bCryptMethod
  std::vector<std::string> errors;    // faults a strict reader would refuse
  std::uint64_t leaked_bytes = 0;     // allocated in the maps but used by nothing
  std::uint64_t pages = 0;
  std::uint64_t blocks = 0;
  std::uint64_t deflated_blocks = 0;  // blocks stored deflated (4 KB-page files)
  std::uint64_t nodes = 0;
  bool ok() const { return errors.empty(); }
  std::string Summary() const;
};

// Checks the file at PATH. Never throws for a damaged file: every fault
// found is listed in the report (at most a few hundred).
CheckReport CheckPstFile(const std::filesystem::path& path);

}  // namespace norvexa::pstgen
