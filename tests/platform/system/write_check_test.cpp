// The write check: a writable folder and file, a missing one, a full disk
// and a read-only one, each told apart by what the system says.
#include "platform/system/write_check.h"
#include "support/fixtures.h"
#include "support/small_volume.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace norvexa::sys {
namespace {

namespace fs = std::filesystem;

TEST(WriteCheck, WritableAndVanishedPlacesLeaveNothingBehind) {
  testing::ScratchDir scratch;
  const fs::path file = testing::WriteFile(scratch / "mail.nsf", "database");
  EXPECT_EQ(CheckWritable(file), WriteState::Writable);
  EXPECT_EQ(CheckWritable(scratch.path()), WriteState::Writable);
  // The test write leaves no file behind and does not touch the database.
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(testing::ReadFile(file), "database");

  fs::remove(file);
  EXPECT_EQ(CheckWritable(file), WriteState::Gone);
  EXPECT_EQ(CheckWritable(scratch / "no-such-folder" / "mail.nsf"), WriteState::Gone);
}

TEST(WriteCheck, FullAndReadOnlyDisksAreToldApart) {
  NORVEXA_REQUIRE_SMALL_VOLUME(volume, 4 * 1024 * 1024);
  const fs::path file = testing::WriteFile(volume.path() / "mail.nsf", "database");
  EXPECT_EQ(CheckWritable(file), WriteState::Writable);

  // A few blocks left are as good as none: a document no longer fits.
  const fs::path filler = volume.Fill(16 * 1024);
  EXPECT_EQ(CheckWritable(file), WriteState::Full);
  EXPECT_EQ(CheckWritable(volume.path()), WriteState::Full);
  fs::remove(filler);
  volume.Fill(kFullBelowBytes / 2);  // room for the test write, but under the limit
  EXPECT_EQ(CheckWritable(file), WriteState::Full);
  fs::remove(filler);
  EXPECT_EQ(CheckWritable(file), WriteState::Writable);

  ASSERT_TRUE(volume.MakeReadOnly());
  EXPECT_EQ(CheckWritable(file), WriteState::NotWritable);
  EXPECT_EQ(CheckWritable(volume.path()), WriteState::NotWritable);
}

}  // namespace
}  // namespace norvexa::sys
