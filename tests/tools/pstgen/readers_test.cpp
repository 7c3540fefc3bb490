// Independent readers read what pstgen writes: libpff's pffinfo and
// pffexport, and libpst's readpst, on the sample mailbox (written by the
// command, as ./run does), every description, a synthetic mailbox and
// encoded files, in Unicode, ANSI and 4 KB-page Unicode files (deflated or
// not) and every encoding.
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
using testing::FileKind;
using testing::RunProgram;

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Items per folder as readpst reports them ("NAME" - N items done, M items
// skipped), sub-folders included in their parent's figure. Run without
// parallel jobs: a forked job's report can come after readpst has exited,
// when no one reads it any more.
std::map<std::string, int> ReadpstCounts(const std::filesystem::path& pst, const std::filesystem::path& out) {
  std::filesystem::create_directories(out);
  const auto result = RunProgram("readpst", {"-j", "0", "-o", Q(out), "-t", "eajc", Q(pst)});
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

// Checks what pffinfo says of PST: its format and encoding, and the
// folders of the message store.
void ExpectPffinfo(const std::filesystem::path& pst, const FileKind& kind) {
  const auto info = RunProgram("pffinfo", {Q(pst)});
  EXPECT_EQ(info.exit_code, 0) << info.output;
  const char* encodings[] = {"none", "compressible", "high"};
  EXPECT_NE(info.output.find(std::string("Encryption type:\t") + encodings[static_cast<int>(kind.encoding)]),
            std::string::npos)
      << info.output;
  const char* file_types[] = {"File type:\t\t64-bit\n", "File type:\t\t32-bit\n",
                              "File type:\t\t64-bit with 4k page\n"};
  EXPECT_NE(info.output.find(file_types[static_cast<int>(kind.format)]), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Subtree, Wastbox, Finder"), std::string::npos) << info.output;
}

// Adds the counts of FOLDER (below PARENT) and its sub-folders as pffexport
// (items per folder path, folders with items only; it leaves configuration
// items out) and readpst (items and sub-folders per folder name, folders
// with either only) report them.
void AddExpectedCounts(const FolderSpec& folder, const std::string& parent, std::map<std::string, int>& pff,
                       std::map<std::string, int>& readpst) {
  const std::string path = parent.empty() ? folder.name : parent + "/" + folder.name;
  int items = 0, exported = 0;
  if (folder.items)
    folder.items([&](const Item& item) {
      ++items;
      if (item.message_class.rfind("IPM.Configuration", 0) != 0) ++exported;
    });
  if (exported > 0) pff[path] += exported;
  const int entries = items + static_cast<int>(folder.children.size());
  if (entries > 0) readpst[folder.name] += entries;
  for (const FolderSpec& child : folder.children) AddExpectedCounts(child, path, pff, readpst);
}

TEST(PstgenReaders, SampleMailboxFromTheCommandIsReadByEveryReader) {
  if (!Available("pffinfo") || !Available("pffexport") || !Available("readpst"))
    GTEST_SKIP() << "pff-tools or pst-utils are not installed";
  ScratchDir dir;
  for (const FileKind& kind : {FileKind{FileFormat::Unicode, Encoding::None}, FileKind{FileFormat::Ansi, Encoding::None},
                               FileKind{FileFormat::Ansi, Encoding::Cyclic},
                               FileKind{FileFormat::Unicode4k, Encoding::None, true}}) {
    SCOPED_TRACE(kind.Name());
    const auto pst = dir / ("Sample Mailbox " + kind.Name() + ".pst");
    const auto made = RunProgram(PSTGEN_EXE, kind.Args() << "--sample" << Q(pst));
    ASSERT_EQ(made.exit_code, 0) << made.output;
    ExpectPffinfo(pst, kind);

    const std::map<std::string, int> expected_pff = {{"Inbox", 4},    {"Inbox/Projects", 1}, {"Sent Items", 1},
                                                     {"Calendar", 1}, {"Tasks", 1},          {"Contacts", 3},
                                                     {"Journal", 1},  {"Notes", 1}};
    EXPECT_EQ(PffexportCounts(pst, dir / ("pff-" + kind.Name())), expected_pff);

    // readpst counts sub-folders as items of their parent; the top folder
    // holds Deleted Items and the seven sample folders.
    const std::map<std::string, int> expected_readpst = {
        {"Sample Mailbox", 8}, {"Inbox", 5},    {"Projects", 1}, {"Sent Items", 1}, {"Calendar", 1},
        {"Tasks", 1},          {"Contacts", 3}, {"Journal", 1},  {"Notes", 1}};
    EXPECT_EQ(ReadpstCounts(pst, dir / ("readpst-" + kind.Name())), expected_readpst);
  }
}

TEST(PstgenReaders, EveryDescriptionInAnsiUnicode4kAndHighEncodingIsReadByEveryReader) {
  if (!Available("pffinfo") || !Available("pffexport") || !Available("readpst"))
    GTEST_SKIP() << "pff-tools or pst-utils are not installed";
  ScratchDir dir;
  for (const std::string& name : testing::DescriptionNames()) {
    SCOPED_TRACE(name);
    const MailboxSpec spec = testing::Description(name);
    std::map<std::string, int> expected_pff, expected_readpst;
    int top = 1;  // Deleted Items, unless a folder of the description is it
    for (const FolderSpec& folder : spec.folders) {
      AddExpectedCounts(folder, "", expected_pff, expected_readpst);
      if (folder.role != "deleted") ++top;
    }
    expected_readpst[spec.store_name] += top;
    for (const FileKind& kind : {FileKind{FileFormat::Ansi, Encoding::None}, FileKind{FileFormat::Unicode, Encoding::Cyclic},
                                 FileKind{FileFormat::Ansi, Encoding::Cyclic}, FileKind{FileFormat::Unicode4k, Encoding::None},
                                 FileKind{FileFormat::Unicode4k, Encoding::Permute, true},
                                 FileKind{FileFormat::Unicode4k, Encoding::Cyclic}}) {
      SCOPED_TRACE(kind.Name());
      const auto pst = dir / (name + "-" + kind.Name() + ".pst");
      const auto made = RunProgram(PSTGEN_EXE, kind.Args() << Q(testing::DescriptionPath(name)) << Q(pst));
      ASSERT_EQ(made.exit_code, 0) << made.output;
      const auto checked = RunProgram(PSTGEN_EXE, {"--check", Q(pst)});
      EXPECT_EQ(checked.exit_code, 0) << checked.output;
      ExpectPffinfo(pst, kind);
      EXPECT_EQ(PffexportCounts(pst, dir / ("pff-" + name + "-" + kind.Name())), expected_pff);
      EXPECT_EQ(ReadpstCounts(pst, dir / ("readpst-" + name + "-" + kind.Name())), expected_readpst);
    }
  }
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

TEST(PstgenReaders, EncodedFilesGiveBackEveryAttachmentByte) {
  if (!Available("pffinfo") || !Available("pffexport")) GTEST_SKIP() << "pff-tools are not installed";
  ScratchDir dir;
  std::string expected(11010048, '\0');
  PatternBytes(12, 0, expected.size(), reinterpret_cast<std::uint8_t*>(expected.data()));
  for (const FileKind& kind : {FileKind{FileFormat::Unicode, Encoding::Permute}, FileKind{FileFormat::Unicode, Encoding::Cyclic},
                               FileKind{FileFormat::Ansi, Encoding::Permute}, FileKind{FileFormat::Ansi, Encoding::Cyclic},
                               FileKind{FileFormat::Unicode4k, Encoding::Permute, true},
                               FileKind{FileFormat::Unicode4k, Encoding::Cyclic}}) {
    SCOPED_TRACE(kind.Name());
    const auto pst = dir / ("every-kind-" + kind.Name() + ".pst");
    const auto made = RunProgram(PSTGEN_EXE, kind.Args() << Q(testing::DescriptionPath("every-kind")) << Q(pst));
    ASSERT_EQ(made.exit_code, 0) << made.output;
    ExpectPffinfo(pst, kind);
    const auto target = dir / ("pff-" + kind.Name());
    PffexportCounts(pst, target);
    const std::filesystem::path attachments =
        target.string() + ".export/Top of Personal Folders/Inbox/Message00001/Attachments";
    EXPECT_EQ(ReadFile(attachments / "1_notes.txt"), "Plain text notes.\r\n");
    EXPECT_EQ(std::filesystem::file_size(attachments / "2_empty.dat"), 0u);
    // libpst reads the encoded file too: every item of every folder.
    if (Available("readpst")) {
      const auto counts = ReadpstCounts(pst, dir / ("readpst-" + kind.Name()));
      EXPECT_EQ(counts.at("Inbox"), 2);
      EXPECT_EQ(counts.at("Contacts"), 2);
      EXPECT_EQ(counts.at("Calendar"), 1);
      EXPECT_EQ(counts.at("Every Kind"), 10);  // Deleted Items and nine folders
    }
    const std::string big = ReadFile(attachments / "4_big archive.zip");
    ASSERT_EQ(big.size(), expected.size());
    EXPECT_TRUE(big == expected) << "the 10 MB attachment differs";
  }
}

}  // namespace
}  // namespace norvexa::pstgen
