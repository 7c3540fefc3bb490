// Path helpers of module Global, with the platform's own separator.
#include "conversion/global/global.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace norvexa {
namespace {

const std::string kSep = sys::PathSeparator().toStdString();

TEST(Global, FileNameFromPathSplitsAtTheLastSeparator) {
  EXPECT_EQ(Global::GetFileNameFromPath("a" + kSep + "b" + kSep + "Archive.pst"), "Archive.pst");
  EXPECT_EQ(Global::GetFileNameFromPath("Archive.pst"), "Archive.pst");
  EXPECT_EQ(Global::GetFileNameFromPath("a" + kSep), "");
  EXPECT_EQ(Global::GetFileNameFromPath(""), "");
}

TEST(Global, TempFolderEndsInTheSeparatorWhateverItsLength) {
  testing::ScriptedServices services;
  const std::string deep(600, 'x');
  services.temp_folder = QString::fromStdString(kSep + "tmp" + kSep + deep);
  const std::string folder = Global::GetTempFolder();
  EXPECT_EQ(folder, kSep + "tmp" + kSep + deep + kSep);
}

TEST(Global, EnsureFolderExistsMakesEveryLevelAndReportsFailure) {
  testing::ScratchDir scratch;
  const std::string nested = (scratch.path() / "a" / "b" / "c").string();
  EXPECT_TRUE(Global::EnsureFolderExists(nested));
  EXPECT_TRUE(std::filesystem::is_directory(nested));
  EXPECT_TRUE(Global::EnsureFolderExists(nested + kSep));  // already there, trailing separator
  testing::WriteFile(scratch / "file", "x");
  EXPECT_FALSE(Global::EnsureFolderExists((scratch.path() / "file" / "sub").string()));
  EXPECT_FALSE(Global::EnsureFolderExists(""));
}

}  // namespace
}  // namespace norvexa
