// Independent readers read what pstgen writes: libpff's pffinfo and
// pffexport, and libpst's readpst, on the sample mailbox (written by the
// command, as ./run does), a synthetic mailbox and an encoded file.
#include "model.h"
#include "pstgen_test_support.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace norvexa::pstgen {
namespace {

using norvexa::testing::ReadFile;
using norvexa::testing::ScratchDir;
using testing::Available;
using testing::RunProgram;

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Items per folder as readpst reports them ("NAME" - N items done, M items
// skipped), sub-folders included in their parent's figure.
std::map<std::string, int> ReadpstCounts(const std::filesystem::path& pst, const std::filesystem::path& out) {
  std::filesystem::create_directories(out);
  const auto result = RunProgram("readpst", {"-o", Q(out), "-t", "eajc", Q(pst)});
  EXPECT_EQ(result.exit_code, 0) << result.output;
  std::map<std::string, int> counts;
  static const std::regex line("\"(.*)\" - (\\d+) items done, (\\d+) items skipped");
  for (auto it = std::sregex_iterator(result.output.begin(), result.output.end(), line); it != std::sregex_iterator();
       ++it)
    counts[(*it)[1]] += std::stoi((*it)[2]) + std::stoi((*it)[3]);
  return counts;
}

// Items per folder path (below "Top of Personal Folders") as pffexport
// writes them: one directory per item.
std::map<std::string, int> PffexportCounts(const std::filesystem::path& pst, const std::filesystem::path& target) {
  const auto result = RunProgram("pffexport", {"-q", "-t", Q(target), Q(pst)});
  EXPECT_EQ(result.exit_code, 0) << result.output;
  std::map<std::string, int> counts;
  const std::filesystem::path top = target.string() + ".export/Top of Personal Folders";
  static const std::regex item_dir("[A-Za-z]+[0-9]{5}");
  for (auto it = std::filesystem::recursive_directory_iterator(top); it != std::filesystem::recursive_directory_iterator();
       ++it) {
    if (!it->is_directory()) continue;
    const std::string name = it->path().filename().string();
    if (std::regex_match(name, item_dir)) {
      counts[std::filesystem::relative(it->path().parent_path(), top).string()] += 1;
      it.disable_recursion_pending();  // an item's own parts are not items
    }
  }
  return counts;
}

TEST(PstgenReaders, SampleMailboxFromTheCommandIsReadByEveryReader) {
  if (!Available("pffinfo") || !Available("pffexport") || !Available("readpst"))
    GTEST_SKIP() << "pff-tools or pst-utils are not installed";
  ScratchDir dir;
  const auto pst = dir / "Sample Mailbox.pst";
  const auto made = RunProgram(PSTGEN_EXE, {"--sample", Q(pst)});
  ASSERT_EQ(made.exit_code, 0) << made.output;

  const auto info = RunProgram("pffinfo", {Q(pst)});
  EXPECT_EQ(info.exit_code, 0) << info.output;
  EXPECT_NE(info.output.find("Encryption type:\tnone"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Subtree, Wastbox, Finder"), std::string::npos) << info.output;

  const std::map<std::string, int> expected_pff = {{"Inbox", 4},    {"Inbox/Projects", 1}, {"Sent Items", 1},
                                                   {"Calendar", 1}, {"Tasks", 1},          {"Contacts", 3},
                                                   {"Journal", 1},  {"Notes", 1}};
  EXPECT_EQ(PffexportCounts(pst, dir / "pff"), expected_pff);

  // readpst counts sub-folders as items of their parent; the top folder
  // holds Deleted Items and the seven sample folders.
  const std::map<std::string, int> expected_readpst = {
      {"Sample Mailbox", 8}, {"Inbox", 5},    {"Projects", 1}, {"Sent Items", 1}, {"Calendar", 1},
      {"Tasks", 1},          {"Contacts", 3}, {"Journal", 1},  {"Notes", 1}};
  EXPECT_EQ(ReadpstCounts(pst, dir / "readpst"), expected_readpst);
}

TEST(PstgenReaders, SyntheticMailboxCountsAgreeAcrossReaders) {
  if (!Available("pffexport") || !Available("readpst")) GTEST_SKIP() << "pff-tools or pst-utils are not installed";
  ScratchDir dir;
  const auto pst = dir / "synthetic.pst";
  const auto made = RunProgram(PSTGEN_EXE, {"--synthetic", "--folders", "5", "--items", "60", "--attachment-bytes", "3000",
                                     "--seed", "9", Q(pst)});
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const std::map<std::string, int> expected_pff = {
      {"Mail 1", 60}, {"Mail 2", 60}, {"Mail 3", 60}, {"Folder 4", 60}, {"Mail 5", 60}};
  EXPECT_EQ(PffexportCounts(pst, dir / "pff"), expected_pff);
  const std::map<std::string, int> expected_readpst = {{"Synthetic Mailbox", 6}, {"Mail 1", 60}, {"Mail 2", 60},
                                                       {"Mail 3", 60},          {"Folder 4", 60}, {"Mail 5", 60}};
  EXPECT_EQ(ReadpstCounts(pst, dir / "readpst"), expected_readpst);
}

TEST(PstgenReaders, CompressibleEncodingGivesBackEveryAttachmentByte) {
  if (!Available("pffinfo") || !Available("pffexport")) GTEST_SKIP() << "pff-tools are not installed";
  ScratchDir dir;
  const auto pst = dir / "every-kind.pst";
  const auto made =
      RunProgram(PSTGEN_EXE, {"--encoding", "compressible", Q(testing::DescriptionPath("every-kind")), Q(pst)});
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const auto info = RunProgram("pffinfo", {Q(pst)});
  EXPECT_NE(info.output.find("Encryption type:\tcompressible"), std::string::npos) << info.output;
  PffexportCounts(pst, dir / "pff");
  const std::filesystem::path attachments = dir.path() / "pff.export/Top of Personal Folders/Inbox/Message00001/Attachments";
  EXPECT_EQ(ReadFile(attachments / "1_notes.txt"), "Plain text notes.\r\n");
  EXPECT_EQ(std::filesystem::file_size(attachments / "2_empty.dat"), 0u);
  // libpst reads the encoded file too: every item of every folder.
  if (Available("readpst")) {
    const auto counts = ReadpstCounts(pst, dir / "readpst");
    EXPECT_EQ(counts.at("Inbox"), 2);
    EXPECT_EQ(counts.at("Contacts"), 2);
    EXPECT_EQ(counts.at("Calendar"), 1);
    EXPECT_EQ(counts.at("Every Kind"), 10);  // Deleted Items and nine folders
  }
  const std::string big = ReadFile(attachments / "4_big archive.zip");
  ASSERT_EQ(big.size(), 11010048u);
  std::string expected(big.size(), '\0');
  PatternBytes(12, 0, expected.size(), reinterpret_cast<std::uint8_t*>(expected.data()));
  EXPECT_TRUE(big == expected) << "the 10 MB attachment differs";
}

}  // namespace
}  // namespace norvexa::pstgen
