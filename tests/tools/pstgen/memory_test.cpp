// Writing a 2 GB synthetic mailbox keeps the writer's memory under 100 MB,
// and the file is sound. Long: run with ctest -L long.
#include "pst_check.h"
#include "pstgen_test_support.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <regex>

namespace norvexa::pstgen {
namespace {

TEST(PstgenMemory, TwoGigabyteMailboxInFlatMemory) {
  norvexa::testing::ScratchDir dir;
  const auto pst = dir / "large.pst";
  // 8 folders of 2,000 items with 136 kB of attachments per item on average.
  const auto made = testing::RunProgram(PSTGEN_EXE,
                                 {"--synthetic", "--folders", "8", "--items", "2000", "--attachment-bytes", "136000",
                                  "--seed", "5", "--report-memory", QString::fromStdString(pst.string())},
                                 30 * 60 * 1000);
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const std::uint64_t size = std::filesystem::file_size(pst);
  EXPECT_GE(size, 2ull * 1024 * 1024 * 1024) << made.output;
  std::smatch peak;
  ASSERT_TRUE(std::regex_search(made.output, peak, std::regex("peak memory (\\d+) kB"))) << made.output;
  const std::uint64_t peak_kb = std::stoull(peak[1]);
  RecordProperty("peak_kb", std::to_string(peak_kb));
  EXPECT_LT(peak_kb, 100u * 1024) << made.output;
  std::cout << "file " << size << " bytes, writer peak " << peak_kb << " kB\n";
  const CheckReport report = CheckPstFile(pst);
  EXPECT_TRUE(report.ok()) << report.Summary();
  if (testing::Available("pffinfo")) {
    const auto info = testing::RunProgram("pffinfo", {QString::fromStdString(pst.string())});
    EXPECT_EQ(info.exit_code, 0) << info.output;
  }
}

}  // namespace
}  // namespace norvexa::pstgen
