// The writer's files are structurally sound (header CRCs, pages, blocks,
// trees, allocation maps, mandatory nodes) for every description, for the
// sample and synthetic mailboxes, for attachment tables of the older shape, in every format (Unicode, ANSI, 4 KB-page
// Unicode with and without deflated blocks) and all three encodings; the
// checker itself accepts real Outlook files and catches damage.
#include "codepage.h"
#include "description.h"
#include "ltp_writer.h"
#include "mailbox_writer.h"
#include "ndb_writer.h"
#include "platform/outlook/outlook.h"
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
using testing::FileKind;

void ExpectSound(const std::filesystem::path& file) {
  const CheckReport report = CheckPstFile(file);
  EXPECT_TRUE(report.ok()) << file << ": " << report.Summary();
  EXPECT_EQ(report.leaked_bytes, 0u) << file << ": " << report.Summary();
}

TEST(PstgenStructure, EveryDescriptionAndTheSampleAreSoundInEveryFormatAndEncoding) {
  ScratchDir dir;
  for (const FileKind& kind : testing::AllFileKinds()) {
    SCOPED_TRACE(kind.Name());
    const PstFormat& format = FormatOf(kind.format);
    for (const std::string& name : testing::DescriptionNames()) {
      SCOPED_TRACE(name);
      const auto file = dir / (name + "-" + kind.Name() + ".pst");
      const WriteStats stats = WriteMailbox(kind.Apply(Description(name)), file);
      EXPECT_EQ(stats.file_bytes, std::filesystem::file_size(file));
      ExpectSound(file);
      // The header says the format and the encoding where the format has them.
      const std::string bytes = ReadFile(file);
      EXPECT_EQ(Get16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 10), format.version);
      const HeaderFields header = format.ReadHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()));
      EXPECT_EQ(header.crypt, static_cast<std::uint8_t>(kind.encoding));
      EXPECT_EQ(header.file_eof, bytes.size());
      const CheckReport report = CheckPstFile(file);
      EXPECT_EQ(report.format, format.name);
      // Deflation keeps a block as it is unless deflating shortens it: the
      // text of unencoded and permuted blocks shrinks, cyclic-encoded bytes
      // look random and do not.
      EXPECT_EQ(report.deflated_blocks > 0, kind.compress && kind.encoding != Encoding::Cyclic) << report.Summary();
    }
    const auto sample = dir / ("sample-" + kind.Name() + ".pst");
    const WriteStats stats = WriteMailbox(kind.Apply(SampleMailbox()), sample);
    EXPECT_EQ(stats.items, 13u);  // 12 in folders and one attached item
    ExpectSound(sample);
  }
}

TEST(PstgenStructure, EncodingsHideTheTextOnDisk) {
  ScratchDir dir;
  for (FileFormat format : {FileFormat::Unicode, FileFormat::Ansi}) {
    MailboxSpec spec = Description("every-kind");
    spec.format = format;
    // The subject as the format stores it: UTF-16LE, or 8-bit text.
    const Bytes subject = format == FileFormat::Unicode ? Utf16("Quarterly report") : Codepage(1252).Encode("Quarterly report");
    const std::string needle(subject.begin(), subject.end());
    for (Encoding encoding : {Encoding::None, Encoding::Permute, Encoding::Cyclic}) {
      spec.encoding = encoding;
      const FileKind kind{format, encoding};
      SCOPED_TRACE(kind.Name());
      const auto file = dir / (kind.Name() + ".pst");
      WriteMailbox(spec, file);
      EXPECT_EQ(ReadFile(file).find(needle) != std::string::npos, encoding == Encoding::None);
    }
  }
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
  // The ANSI layout of the same maps (FMap pages with their padding).
  options.format = FileFormat::Ansi;
  options.encoding = Encoding::Cyclic;
  WriteMailbox(SyntheticMailbox(options), dir / "ansi.pst");
  EXPECT_GT(std::filesystem::file_size(dir / "ansi.pst"), 128 * kAMapCoverage + kFirstAMap);
  ExpectSound(dir / "ansi.pst");
  // 4 KB-page files have one AMap per 16 MB region and no other map
  // pages; deflated blocks leave the output deterministic.
  options.format = FileFormat::Unicode4k;
  options.encoding = Encoding::Permute;
  MailboxSpec mailbox_4k = SyntheticMailbox(options);
  mailbox_4k.compress = true;
  WriteMailbox(mailbox_4k, dir / "4k-a.pst");
  WriteMailbox(mailbox_4k, dir / "4k-b.pst");
  const std::string four_k = ReadFile(dir / "4k-a.pst");
  EXPECT_TRUE(four_k == ReadFile(dir / "4k-b.pst")) << "same seed, different 4 KB-page files";
  const PstFormat& f4k = FormatOf(FileFormat::Unicode4k);
  EXPECT_EQ(f4k.amap_coverage(), 16678912u);
  EXPECT_GT(four_k.size(), f4k.RegionStart(2));
  EXPECT_EQ((four_k.size() - f4k.first_amap) % f4k.amap_coverage(), 0u);
  ExpectSound(dir / "4k-a.pst");
}

TEST(PstgenStructure, FortyThousandItemsInOneFolderAreSound) {
  ScratchDir dir;
  const WriteStats stats = WriteMailbox(Description("large-folder"), dir / "large.pst");
  EXPECT_EQ(stats.items, 40000u);
  ExpectSound(dir / "large.pst");
  // ANSI row indexes hold 16-bit row numbers: 40,000 rows still fit.
  MailboxSpec ansi = Description("large-folder");
  ansi.format = FileFormat::Ansi;
  WriteMailbox(ansi, dir / "large-ansi.pst");
  ExpectSound(dir / "large-ansi.pst");
}

TEST(PstgenStructure, CheckerAcceptsRealOutlookFiles) {
  for (const auto& [name, format] : std::vector<std::pair<const char*, const char*>>{
           {"sample1.pst", "Unicode"},
           {"contacts.pst", "Unicode"},
           {"dist-list.pst", "Unicode"},
           {"mixed-kinds.pst", "Unicode"},
           {"no-encryption.pst", "Unicode"},
           {"high-encryption.pst", "Unicode"},
           {"exchange-user.pst", "Unicode"},
           {"four-nesting-levels.pst", "Unicode"},
           {"sample2-ansi.pst", "ANSI"},
           {"empty-ansi.pst", "ANSI"}}) {
    NORVEXA_REQUIRE_SHARED_PST(path, name);
    const CheckReport report = CheckPstFile(path);
    EXPECT_TRUE(report.ok()) << name << ": " << report.Summary();
    EXPECT_EQ(report.format, format) << name;
    EXPECT_GT(report.blocks, 0u);
  }
}

// Outlook 98's file breaks two rules of the format, and only those: it ends
// inside its first allocation-map region (files grow by whole regions), and
// its header flags the maps as not valid (the state after an unclean close,
// which makes the next writer rebuild them) - its AMap indeed leaves live
// blocks marked free. Its B-trees, blocks and tables are sound.
TEST(PstgenStructure, CheckerNamesWhatOutlook98LeftInItsFile) {
  NORVEXA_REQUIRE_SHARED_PST(path, "outlook98.pst");
  const CheckReport report = CheckPstFile(path);
  EXPECT_EQ(report.format, "ANSI");
  EXPECT_EQ(report.encoding, 1);
  const std::vector<std::string> expected = {
      "fAMapValid says the allocation maps are not valid",
      "the file does not end at the end of an allocation-map region",
      "AMap of region 0 leaves 1664 bytes in use marked free",
      "cbAMapFree 7232 differs from the maps' 8512"};
  EXPECT_EQ(report.errors, expected) << report.Summary();
  EXPECT_EQ(report.blocks, 17u);
  EXPECT_EQ(report.nodes, 29u);
}

TEST(PstgenStructure, CheckerCatchesDamage) {
  ScratchDir dir;
  for (FileFormat kind : {FileFormat::Unicode, FileFormat::Ansi, FileFormat::Unicode4k}) {
    const PstFormat& format = FormatOf(kind);
    SCOPED_TRACE(format.name);
    MailboxSpec spec = SampleMailbox();
    spec.format = kind;
    const auto file = dir / (std::string(format.name) + ".pst");
    WriteMailbox(spec, file);
    const std::string good = ReadFile(file);
    auto damaged = [&](std::size_t offset, char value) {
      std::string bytes = good;
      bytes.replace(offset, 1, 1, value);
      const auto path = dir / ("damaged-" + std::string(format.name) + std::to_string(offset) + ".pst");
      norvexa::testing::WriteFile(path, bytes);
      return CheckPstFile(path);
    };
    // The encoding byte of the header: under dwCRCFull in Unicode files,
    // under dwCRCPartial (the only header CRC) in ANSI ones.
    const bool unicode = kind != FileFormat::Ansi;
    const CheckReport header = damaged(unicode ? 513 : 461, 0x02);
    EXPECT_NE(header.Summary().find(unicode ? "dwCRCFull is wrong" : "dwCRCPartial is wrong"), std::string::npos)
        << header.Summary();
    // The first data block after the map pages: its CRC no longer matches.
    const std::size_t first_block = format.first_amap + format.FirstDataOffset(0);
    const CheckReport block = damaged(first_block, static_cast<char>(good[first_block] ^ 0x5A));
    EXPECT_NE(block.Summary().find("wrong CRC"), std::string::npos) << block.Summary();
    // A flipped byte in the trailer of the NBT root page.
    const HeaderFields fields = format.ReadHeader(reinterpret_cast<const std::uint8_t*>(good.data()));
    const std::size_t trailer_bid = fields.nbt_ib + format.page_trailer_at + 4;
    EXPECT_FALSE(damaged(trailer_bid, static_cast<char>(good[trailer_bid] ^ 0x01)).ok());
    // The AMap claims its first data units are free although blocks are
    // there; its CRC is made right again so that only the bits are wrong.
    std::string bytes = good;
    std::uint8_t* amap = reinterpret_cast<std::uint8_t*>(bytes.data()) + format.first_amap;
    amap[format.map_bits_at + 2] = 0;  // units 16..23: the first blocks
    format.WritePageTrailer(amap, kPtypeAMap, 0, format.first_amap);
    norvexa::testing::WriteFile(dir / "amap.pst", bytes);
    const CheckReport report = CheckPstFile(dir / "amap.pst");
    EXPECT_FALSE(report.ok());
    EXPECT_NE(report.Summary().find("marked free"), std::string::npos) << report.Summary();
    EXPECT_EQ(report.Summary().find("wrong CRC"), std::string::npos) << report.Summary();
  }
}

// Deflated blocks of 4 KB-page files: a zlib stream that no longer inflates
// (its CRC made right again, as a writer that deflated badly would leave
// it), and a trailer that gives another inflated size than the BBT entry.
TEST(PstgenStructure, CheckerCatchesBadlyDeflatedBlocks) {
  ScratchDir dir;
  MailboxSpec spec = Description("every-kind");
  spec.format = FileFormat::Unicode4k;
  spec.compress = true;
  const auto file = dir / "deflated.pst";
  WriteMailbox(spec, file);
  const PstFormat& format = FormatOf(FileFormat::Unicode4k);
  const std::string good = ReadFile(file);
  const auto* g = reinterpret_cast<const std::uint8_t*>(good.data());
  // The first deflated block: blocks follow one another from the first
  // data byte; each ends with its trailer at the end of its last 512-byte
  // step.
  std::uint64_t ib = format.first_amap + format.FirstDataOffset(0), trailer_at = 0;
  BlockTrailer trailer;
  for (int block = 0; block < 50; ++block) {
    std::uint64_t end = ib;
    do {
      end += format.block_align;
      trailer = format.ReadBlockTrailer(g + end - format.block_trailer_size);
    } while (format.BlockTotal(trailer.cb) != end - ib && end - ib < 65536);
    trailer_at = end - format.block_trailer_size;
    if (trailer.inflated != trailer.cb) break;
    ib = end;
  }
  ASSERT_NE(trailer.inflated, trailer.cb) << "no deflated block among the first 50";
  ASSERT_EQ(trailer.crc, Crc32(g + ib, trailer.cb));

  std::string broken = good;
  auto* b = reinterpret_cast<std::uint8_t*>(broken.data());
  b[ib + trailer.cb / 2] ^= 0xFF;
  Put32(b + trailer_at + 4, Crc32(b + ib, trailer.cb));
  norvexa::testing::WriteFile(dir / "stream.pst", broken);
  CheckReport report = CheckPstFile(dir / "stream.pst");
  EXPECT_NE(report.Summary().find("does not inflate"), std::string::npos) << report.Summary();
  EXPECT_EQ(report.Summary().find("wrong CRC"), std::string::npos) << report.Summary();

  broken = good;
  b = reinterpret_cast<std::uint8_t*>(broken.data());
  Put16(b + trailer_at + 18, static_cast<std::uint16_t>(trailer.inflated + 1));
  norvexa::testing::WriteFile(dir / "size.pst", broken);
  report = CheckPstFile(dir / "size.pst");
  EXPECT_NE(report.Summary().find("trailer inflated size differs from the BBT"), std::string::npos)
      << report.Summary();
  EXPECT_NE(report.Summary().find("does not inflate"), std::string::npos) << report.Summary();
}

// A folder whose contents table lists one of its two messages, built from
// the writer's own layers: the checker must see the missing row (and the
// missing mandatory nodes of this bare file).
TEST(PstgenStructure, CheckerComparesFolderTablesWithTheNodeTree) {
  ScratchDir dir;
  for (FileFormat kind : {FileFormat::Unicode, FileFormat::Ansi, FileFormat::Unicode4k}) {
    const PstFormat& format = FormatOf(kind);
    SCOPED_TRACE(format.name);
    const auto file = dir / (std::string(format.name) + "-bare.pst");
    {
      NdbWriter ndb(file, format, Encoding::Cyclic);
      const std::uint32_t folder = MakeNid(kNidTypeNormalFolder, 0x401);
      auto pc = [&ndb](const std::string& name) {
        PropMap props;
        props[mapi::PR_DISPLAY_NAME] = PropValue::Unicode(name);
        Subnodes subs;
        return WritePropertyContext(ndb, props, subs);
      };
      auto table = [&ndb](std::uint32_t nid, const std::vector<std::uint32_t>& rows) {
        Subnodes subs;
        TableWriter t(ndb, {mapi::Tag(mapi::PR_SUBJECT, mapi::PT_UNICODE)}, subs);
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
}

// ANSI row indexes number rows in 16 bits: a table of more rows is refused
// rather than written with numbers that wrap.
TEST(PstgenStructure, AnsiTablesPastSixteenBitRowNumbersAreRefused) {
  ScratchDir dir;
  for (FileFormat kind : {FileFormat::Unicode, FileFormat::Ansi}) {
    NdbWriter ndb(dir / (std::string(FormatOf(kind).name) + ".pst"), FormatOf(kind), Encoding::None);
    Subnodes subs;
    TableWriter table(ndb, {0x0E070003}, subs);
    for (std::uint32_t row = 0; row < 65537; ++row) table.AddRow(MakeNid(kNidTypeNormalMessage, 0x10000 + row), PropMap{});
    if (kind == FileFormat::Ansi) {
      EXPECT_THROW(table.Finish(), PstWriteError);
    } else {
      EXPECT_NO_THROW(table.Finish());
    }
  }
}

// An attachment table written as some Outlook 2000 files have it (the top
// block of its heap's data tree under a data block's id) keeps the file
// sound in every kind of file, and our reader gives every attachment; the
// option is refused where the table fits one block, so a test that asks for
// the shape always gets it. (Our reader's and the other readers' handling of
// the shape is tested with the store access.)
TEST(PstgenStructure, LegacyAttachmentTablesAreSoundInEveryKindAndNeedSeveralBlocks) {
  const MailboxSpec described = ParseDescription(
      QByteArray(R"({"folders":[{"name":"A","items":[{"legacy_attachment_table":true,"attachments":[{}]}]}]})"),
      "test.json");
  bool flag = false;
  described.folders.at(0).items([&flag](const Item& item) { flag = item.legacy_attachment_table; });
  EXPECT_TRUE(flag);
  try {
    ParseDescription(QByteArray(R"({"folders":[{"name":"A","items":[{"legacy_attachment_table":1}]}]})"), "t.json");
    ADD_FAILURE() << "a number was taken for true or false";
  } catch (const DescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("\"legacy_attachment_table\" must be true or false"), std::string::npos);
  }

  // COUNT attachments with long names: 600 make a heap of several blocks
  // even in 4 KB-page files.
  auto mailbox = [](int count) {
    MailboxSpec spec;
    FolderSpec folder;
    folder.name = "Inbox";
    folder.items = [count](const std::function<void(const Item&)>& sink) {
      Item item;
      item.subject = "Many";
      item.legacy_attachment_table = true;
      for (int n = 0; n < count; ++n) {
        Attachment a;
        a.file_name = "attachment " + std::to_string(n) + " with a name long enough to fill a table.txt";
        a.data = {'a', static_cast<std::uint8_t>('0' + n % 10)};
        item.attachments.push_back(a);
      }
      sink(item);
    };
    spec.folders.push_back(folder);
    return spec;
  };
  ScratchDir dir;
  for (const FileKind& kind : testing::AllFileKinds()) {
    SCOPED_TRACE(kind.Name());
    const auto file = dir / (kind.Name() + ".pst");
    WriteMailbox(kind.Apply(mailbox(600)), file);
    ExpectSound(file);
    const auto items = outlook::OpenStoreFile(file)->IPMRootFolder()->Folders().at(1)->GetItems();
    EXPECT_EQ(items->GetItem(1)->GetAttachments()->Count(), 600);
  }
  outlook::ReleaseCachedStores();
  auto error_of = [&dir](const MailboxSpec& spec) -> std::string {
    try {
      WriteMailbox(spec, dir / "refused.pst");
    } catch (const PstWriteError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_NE(error_of(mailbox(3)).find("larger than one block"), std::string::npos);
  EXPECT_NE(error_of(mailbox(0)).find("without attachments"), std::string::npos);
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
  EXPECT_NE(error_of(R"({"format":"ebcdic"})").find("unknown format \"ebcdic\""), std::string::npos);
  EXPECT_NE(error_of(R"({"format":"unicode4k","compress":"yes"})").find("\"compress\" must be true or false"),
            std::string::npos);
  const MailboxSpec four_k = ParseDescription(QByteArray(R"({"format":"unicode4k","compress":true})"), "test.json");
  EXPECT_EQ(four_k.format, FileFormat::Unicode4k);
  EXPECT_TRUE(four_k.compress);
  // Only 4 KB-page files have deflated blocks.
  ScratchDir dir;
  MailboxSpec deflated_unicode = four_k;
  deflated_unicode.format = FileFormat::Unicode;
  EXPECT_THROW(WriteMailbox(deflated_unicode, dir / "refused.pst"), PstWriteError);
  EXPECT_NE(error_of(R"({"format":"ansi","codepage":99999})").find("code page 99999"), std::string::npos);
  EXPECT_NE(error_of(R"({"codepage":"latin1"})").find("whole number"), std::string::npos);
  const MailboxSpec spec =
      ParseDescription(QByteArray(R"({"format":"ansi","encoding":"high","codepage":1251})"), "test.json");
  EXPECT_EQ(spec.format, FileFormat::Ansi);
  EXPECT_EQ(spec.encoding, Encoding::Cyclic);
  EXPECT_EQ(spec.codepage, 1251);
  EXPECT_EQ(error_of(R"({"store":"S","folders":[{"name":"A","items":[{"repeat":3,"subject":"n %n"}]}]})"), "");
}

}  // namespace
}  // namespace norvexa::pstgen
