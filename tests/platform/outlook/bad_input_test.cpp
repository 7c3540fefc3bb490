// Files that are not readable stores: missing, a folder, empty, text, and
// real stores cut short or with their B-tree pages damaged. Each gives an
// OutlookError naming the file, never a crash (also under sanitizers); a
// damaged B-tree page may instead be walked around, and then the store's
// damage names it.
#include "platform/outlook/outlook.h"
#include "read_everything.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace norvexa::outlook {
namespace {

// Expects opening PATH, or reading it all, to fail with an OutlookError
// whose message names the file.
void ExpectCleanFailure(const std::filesystem::path& path, const std::filesystem::path& scratch) {
  try {
    const auto store = OpenStoreFile(path);
    testing::ReadEverything(*store, scratch);
    ADD_FAILURE() << path << " read without an error";
  } catch (const OutlookError& e) {
    EXPECT_NE(std::string(e.what()).find(path.filename().string()), std::string::npos) << e.what();
  }
}

// Expects opening PATH and reading it all to fail as ExpectCleanFailure
// expects, or else to read with the store's account of damage naming the
// damaged page at DAMAGED (its offset in hexadecimal).
void ExpectCleanFailureOrRepair(const std::filesystem::path& path, const std::filesystem::path& scratch,
                                std::uint64_t damaged) {
  std::unique_ptr<Store> store;
  try {
    store = OpenStoreFile(path);
    testing::ReadEverything(*store, scratch);
  } catch (const OutlookError& e) {
    EXPECT_NE(std::string(e.what()).find(path.filename().string()), std::string::npos) << e.what();
    return;
  }
  char offset[32];
  std::snprintf(offset, sizeof offset, "0x%llX", static_cast<unsigned long long>(damaged));
  bool named = false;
  for (const Damage& d : store->Damage()) named = named || d.what.find(offset) != std::string::npos;
  EXPECT_TRUE(named) << path << " read without an error, and its damage does not name the page at " << offset;
}

std::uint64_t Le64(const std::string& data, std::size_t offset) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[offset + i])) << (8 * i);
  return value;
}

TEST(OutlookBadInput, FilesThatAreNoStoreGiveClearErrors) {
  testing::ScratchDir scratch;
  const struct {
    std::filesystem::path path;
    const char* reason;
  } cases[] = {
      {scratch / "missing.pst", "no such store file"},
      {scratch.path(), "is a folder"},
      {testing::WriteFile(scratch / "empty.pst", ""), "empty"},
      {testing::WriteFile(scratch / "notes.pst", "These are my notes, not a mailbox.\n"), "not an Outlook data file"},
      {testing::WriteFile(scratch / "short.pst", "!BD"), "too short"},
  };
  for (const auto& c : cases) {
    try {
      OpenStoreFile(c.path);
      ADD_FAILURE() << c.path << " opened";
    } catch (const OutlookError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.path.filename().string()), std::string::npos) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
  }
}

TEST(OutlookBadInput, TruncatedStoresFailWhereTheDamageIsMet) {
  NORVEXA_REQUIRE_SHARED_PST(path, "sample1.pst");
  testing::ScratchDir scratch;
  const std::string bytes = testing::ReadFile(path);
  const std::size_t nbt = Le64(bytes, 0xE0);
  const std::size_t bbt = Le64(bytes, 0xF0);
  ASSERT_LT(nbt, bytes.size());
  ASSERT_LT(bbt, bytes.size());
  for (const std::size_t keep : {std::size_t{100}, std::size_t{0x200}, std::size_t{0x4400}, bbt + 100, nbt + 100,
                                 bytes.size() / 2}) {
    SCOPED_TRACE(keep);
    const auto cut = testing::WriteFile(scratch / ("cut-" + std::to_string(keep) + ".pst"), bytes.substr(0, keep));
    ExpectCleanFailure(cut, scratch.path());
  }
}

TEST(OutlookBadInput, DamagedBTreePagesGiveErrorsNotCrashes) {
  NORVEXA_REQUIRE_SHARED_PST(path, "sample1.pst");
  testing::ScratchDir scratch;
  const std::string bytes = testing::ReadFile(path);
  const std::size_t roots[] = {static_cast<std::size_t>(Le64(bytes, 0xE0)), static_cast<std::size_t>(Le64(bytes, 0xF0))};
  int variant = 0;
  for (const std::size_t root : roots) {
    ASSERT_LT(root + 512, bytes.size());
    // Flip the entries, then the page trailer's counts, then everything.
    const std::pair<std::size_t, std::size_t> ranges[] = {{0, 64}, {488, 24}, {0, 512}};
    for (const auto& [from, length] : ranges) {
      std::string damaged = bytes;
      for (std::size_t i = root + from; i < root + from + length; ++i) damaged[i] = static_cast<char>(~damaged[i]);
      const auto file = testing::WriteFile(scratch / ("flipped-" + std::to_string(variant++) + ".pst"), damaged);
      ExpectCleanFailureOrRepair(file, scratch.path(), root);
    }
  }
}

}  // namespace
}  // namespace norvexa::outlook
