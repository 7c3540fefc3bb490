// The writer's files are structurally sound (header CRCs, pages, blocks,
// trees, allocation maps, mandatory nodes) for every description, for the
// sample and synthetic mailboxes and in both encodings; the checker itself
// accepts real Outlook files and catches damage.
#include "description.h"
#include "ltp_writer.h"
#include "mailbox_writer.h"
#include "ndb_writer.h"
#include "pst_check.h"
#include "pstgen_test_support.h"
#include "sample.h"
#include "support/fixtures.h"
#include "synthetic.h"

#include <gtest/gtest.h>

#include <fstream>

namespace norvexa::pstgen {
namespace {

using norvexa::testing::ReadFile;
using norvexa::testing::ScratchDir;
using testing::Description;

void ExpectSound(const std::filesystem::path& file) {
  const CheckReport report = CheckPstFile(file);
  EXPECT_TRUE(report.ok()) << file << ": " << report.Summary();
  EXPECT_EQ(report.leaked_bytes, 0u) << file << ": " << report.Summary();
}

TEST(PstgenStructure, EveryDescriptionTheSampleAndBothEncodingsAreSound) {
  ScratchDir dir;
  for (const char* name : {"every-kind", "special-names", "empty-folders", "deep-nesting", "unsupported-parent",
                           "attachment-names"}) {
    SCOPED_TRACE(name);
    MailboxSpec spec = Description(name);
    const auto plain = dir / (std::string(name) + ".pst");
    const WriteStats stats = WriteMailbox(spec, plain);
    EXPECT_EQ(stats.file_bytes, std::filesystem::file_size(plain));
    ExpectSound(plain);
    spec.encoding = Encoding::Permute;
    const auto encoded = dir / (std::string(name) + "-compressible.pst");
    WriteMailbox(spec, encoded);
    ExpectSound(encoded);
    EXPECT_EQ(static_cast<unsigned char>(ReadFile(encoded)[513]), 0x01);
    EXPECT_EQ(static_cast<unsigned char>(ReadFile(plain)[513]), 0x00);
  }
  const auto sample = dir / "sample.pst";
  const WriteStats stats = WriteMailbox(SampleMailbox(), sample);
  EXPECT_EQ(stats.items, 13u);  // 12 in folders and one attached item
  ExpectSound(sample);
}

TEST(PstgenStructure, CompressibleEncodingHidesTheTextOnDisk) {
  ScratchDir dir;
  MailboxSpec spec = Description("every-kind");
  WriteMailbox(spec, dir / "plain.pst");
  spec.encoding = Encoding::Permute;
  WriteMailbox(spec, dir / "encoded.pst");
  const Bytes subject = Utf16("Quarterly report");
  const std::string needle(subject.begin(), subject.end());
  EXPECT_NE(ReadFile(dir / "plain.pst").find(needle), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "encoded.pst").find(needle), std::string::npos);
}

TEST(PstgenStructure, SyntheticMailboxesAreDeterministicAndSoundPastTheFirstFreeMap) {
  ScratchDir dir;
  SyntheticOptions options;
  options.folders = 5;
  options.items = 250;
  options.attachment_bytes = 30000;
  options.seed = 42;
  WriteMailbox(SyntheticMailbox(options), dir / "a.pst");
  WriteMailbox(SyntheticMailbox(options), dir / "b.pst");
  options.seed = 43;
  WriteMailbox(SyntheticMailbox(options), dir / "c.pst");
  const std::string a = ReadFile(dir / "a.pst");
  EXPECT_TRUE(a == ReadFile(dir / "b.pst")) << "same seed, different files";
  EXPECT_FALSE(a == ReadFile(dir / "c.pst")) << "different seeds, same file";
  // Over 32.5 MB the file needs its first FMap page (region 128).
  EXPECT_GT(a.size(), 128 * kAMapCoverage + kFirstAMap);
  ExpectSound(dir / "a.pst");
}

TEST(PstgenStructure, FortyThousandItemsInOneFolderAreSound) {
  ScratchDir dir;
  const WriteStats stats = WriteMailbox(Description("large-folder"), dir / "large.pst");
  EXPECT_EQ(stats.items, 40000u);
  ExpectSound(dir / "large.pst");
}

TEST(PstgenStructure, CheckerAcceptsRealOutlookFiles) {
  for (const char* name : {"sample1.pst", "contacts.pst", "dist-list.pst", "mixed-kinds.pst", "no-encryption.pst",
                           "high-encryption.pst", "exchange-user.pst", "four-nesting-levels.pst"}) {
    NORVEXA_REQUIRE_SHARED_PST(path, name);
    const CheckReport report = CheckPstFile(path);
    EXPECT_TRUE(report.ok()) << name << ": " << report.Summary();
    EXPECT_GT(report.blocks, 0u);
  }
}

TEST(PstgenStructure, CheckerCatchesDamage) {
  ScratchDir dir;
  const auto file = dir / "sample.pst";
  WriteMailbox(SampleMailbox(), file);
  const std::string good = ReadFile(file);
  auto damaged = [&](std::size_t offset, char value) {
    std::string bytes = good;
    bytes.replace(offset, 1, 1, value);
    const auto path = dir / ("damaged-" + std::to_string(offset) + ".pst");
    norvexa::testing::WriteFile(path, bytes);
    return CheckPstFile(path);
  };
  // A header byte under dwCRCFull (the encoding).
  EXPECT_FALSE(damaged(513, 0x02).ok());
  // The first data block after the map pages: its CRC no longer matches.
  const std::size_t first_block = kFirstAMap + 2 * kPageSize;
  EXPECT_FALSE(damaged(first_block, static_cast<char>(good[first_block] ^ 0x5A)).ok());
  // The AMap claims its first data unit is free although a block is there.
  const std::size_t amap_bits = kFirstAMap;
  std::string bytes = good;
  bytes[amap_bits + 2] = 0;  // units 16..23: the first blocks
  const Bytes page(bytes.begin() + static_cast<std::ptrdiff_t>(kFirstAMap),
                   bytes.begin() + static_cast<std::ptrdiff_t>(kFirstAMap + kPageDataSize));
  const std::uint32_t crc = Crc32(page.data(), page.size());
  for (int i = 0; i < 4; ++i) bytes[kFirstAMap + 500 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
  norvexa::testing::WriteFile(dir / "amap.pst", bytes);
  const CheckReport report = CheckPstFile(dir / "amap.pst");
  EXPECT_FALSE(report.ok());
  EXPECT_NE(report.Summary().find("marked free"), std::string::npos) << report.Summary();
}

// A folder whose contents table lists one of its two messages, built from
// the writer's own layers: the checker must see the missing row (and the
// missing mandatory nodes of this bare file).
TEST(PstgenStructure, CheckerComparesFolderTablesWithTheNodeTree) {
  ScratchDir dir;
  const auto file = dir / "bare.pst";
  {
    NdbWriter ndb(file, Encoding::None);
    const std::uint32_t folder = MakeNid(kNidTypeNormalFolder, 0x401);
    auto pc = [&ndb](const std::string& name) {
      PropMap props;
      props[0x3001] = PropValue::Unicode(name);
      Subnodes subs;
      return WritePropertyContext(ndb, props, subs);
    };
    auto table = [&ndb](std::uint32_t nid, const std::vector<std::uint32_t>& rows) {
      Subnodes subs;
      TableWriter t(ndb, {0x0037001F}, subs);
      for (std::uint32_t row : rows) t.AddRow(row, PropMap{});
      ndb.AddNode(NodeEntry{nid, t.Finish(), subs.Write(ndb), 0});
    };
    const std::uint32_t first = MakeNid(kNidTypeNormalMessage, 0x10001);
    const std::uint32_t second = MakeNid(kNidTypeNormalMessage, 0x10002);
    ndb.AddNode(NodeEntry{folder, pc("Folder"), 0, folder});
    ndb.AddNode(NodeEntry{first, pc("first"), 0, folder});
    ndb.AddNode(NodeEntry{second, pc("second"), 0, folder});
    table(MakeNid(kNidTypeHierarchyTable, 0x401), {});
    table(MakeNid(kNidTypeContentsTable, 0x401), {first});
    std::array<std::uint32_t, 32> rgnid{};
    rgnid.fill(0x402);
    ndb.Finish(rgnid);
  }
  const CheckReport report = CheckPstFile(file);
  EXPECT_EQ(report.leaked_bytes, 0u);
  EXPECT_NE(report.Summary().find("table 0x802e: 1 rows, 1 in the row index, 2 expected"), std::string::npos)
      << report.Summary();
  EXPECT_NE(report.Summary().find("mandatory node 0x21 is missing"), std::string::npos) << report.Summary();
  EXPECT_EQ(report.Summary().find("0x802d"), std::string::npos) << report.Summary();
}

TEST(PstgenStructure, FaultyDescriptionsAreRefusedWithTheirPlace) {
  auto error_of = [](const char* json) -> std::string {
    try {
      ParseDescription(QByteArray(json), "test.json");
    } catch (const DescriptionError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_NE(error_of("{").find("test.json"), std::string::npos);
  EXPECT_NE(error_of(R"({"folders":[{"name":"A","items":[{"kind":"fax"}]}]})").find("unknown item kind \"fax\""),
            std::string::npos);
  EXPECT_NE(error_of(R"({"folders":[{"name":"A","items":[{"kind":"contact","contact":{"Nickname":"x"}}]}]})")
                .find("/A > item 1"),
            std::string::npos);
  EXPECT_NE(error_of(R"({"folders":[{"name":"A","items":[{"created":"yesterday"}]}]})").find("ISO 8601"),
            std::string::npos);
  EXPECT_NE(error_of(R"({"encoding":"rot13"})").find("rot13"), std::string::npos);
  EXPECT_EQ(error_of(R"({"store":"S","folders":[{"name":"A","items":[{"repeat":3,"subject":"n %n"}]}]})"), "");
}

}  // namespace
}  // namespace norvexa::pstgen
