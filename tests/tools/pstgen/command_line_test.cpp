// pstgen's command line: each form is read into its command, files and
// options, and every line it cannot run is refused before anything is
// written.
#include "command_line.h"

#include <gtest/gtest.h>

namespace norvexa::pstgen {
namespace {

TEST(PstgenCommandLine, EachFormIsReadWithItsFilesAndOptions) {
  const auto description = ParseCommandLine({"--format", "ansi", "--codepage", "1251", "in.json", "--encoding",
                                             "high", "out.pst", "--flip-bit", "0x4400:3", "--zero-page", "512"});
  ASSERT_TRUE(description);
  EXPECT_EQ(description->command, Command::Description);
  EXPECT_EQ(description->description, "in.json");
  EXPECT_EQ(description->out, "out.pst");
  ASSERT_EQ(description->damage.size(), 2u);  // in the order given
  EXPECT_EQ(description->damage[0].kind, FileDamage::Kind::FlipBit);
  EXPECT_EQ(description->damage[0].offset, 0x4400u);
  EXPECT_EQ(description->damage[1].kind, FileDamage::Kind::ZeroPage);
  MailboxSpec mailbox;
  ApplyOverrides(*description, mailbox);
  EXPECT_EQ(mailbox.format, FileFormat::Ansi);
  EXPECT_EQ(mailbox.encoding, Encoding::Cyclic);
  EXPECT_EQ(mailbox.codepage, 1251);
  EXPECT_FALSE(mailbox.compress);

  // Options left out leave the mailbox's own values alone.
  const auto sample = ParseCommandLine({"--sample", "s.pst", "--compress", "--report-memory"});
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->command, Command::Sample);
  EXPECT_EQ(sample->out, "s.pst");
  EXPECT_TRUE(sample->report_memory);
  MailboxSpec own;
  own.format = FileFormat::Unicode4k;
  own.codepage = 932;
  ApplyOverrides(*sample, own);
  EXPECT_EQ(own.format, FileFormat::Unicode4k);
  EXPECT_EQ(own.codepage, 932);
  EXPECT_TRUE(own.compress);

  const auto synthetic = ParseCommandLine({"--synthetic", "--folders", "7", "--items", "30", "--attachment-bytes",
                                           "100", "--seed", "9", "--store", "Big", "big.pst"});
  ASSERT_TRUE(synthetic);
  EXPECT_EQ(synthetic->command, Command::Synthetic);
  EXPECT_EQ(synthetic->synthetic.folders, 7);
  EXPECT_EQ(synthetic->synthetic.items, 30);
  EXPECT_EQ(synthetic->synthetic.attachment_bytes, 100u);
  EXPECT_EQ(synthetic->synthetic.seed, 9u);
  EXPECT_EQ(synthetic->synthetic.store_name, "Big");

  const auto check = ParseCommandLine({"--check", "f.pst"});
  ASSERT_TRUE(check);
  EXPECT_EQ(check->command, Command::Check);
  EXPECT_EQ(check->file, "f.pst");

  const auto damage = ParseCommandLine({"--damage", "f.pst", "--zero-page", "0x200"});
  ASSERT_TRUE(damage);
  EXPECT_EQ(damage->command, Command::Damage);
  EXPECT_EQ(damage->file, "f.pst");
  ASSERT_EQ(damage->damage.size(), 1u);
  EXPECT_EQ(damage->damage[0].offset, 0x200u);
}

TEST(PstgenCommandLine, LinesItCannotRunAreRefused) {
  const std::vector<std::vector<std::string>> refused = {
      {},                                          // no file
      {"in.json"},                                 // no output
      {"a.json", "b.pst", "c.pst"},                // one file too many
      {"--sample"},                                // no output
      {"--sample", "a.pst", "b.pst"},              // two outputs
      {"--sample", "--synthetic", "a.pst"},        // two mailboxes
      {"--bogus", "--sample", "a.pst"},            // unknown option
      {"--sample", "a.pst", "--codepage"},         // value missing at the end
      {"--codepage", "0", "--sample", "a.pst"},    // code page out of range
      {"--codepage", "65536", "--sample", "a.pst"},
      {"--codepage", "x", "--sample", "a.pst"},    // not a number
      {"--items", "-1", "--synthetic", "a.pst"},   // not a whole non-negative number
      {"--format", "nope", "--sample", "a.pst"},
      {"--encoding", "strong", "--sample", "a.pst"},
      {"--flip-bit", "10:8", "--sample", "a.pst"},  // bit past 7
      {"--zero-page", "zz", "--sample", "a.pst"},
      {"--check"},                                  // --check takes exactly one file
      {"--check", "a.pst", "b.pst"},
      {"--damage", "f.pst"},                        // nothing to do to it
      {"--damage", "f.pst", "--sample", "--flip-bit", "1:2"},
      {"--damage", "f.pst", "other.pst", "--flip-bit", "1:2"},
  };
  for (const auto& args : refused) {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    EXPECT_FALSE(ParseCommandLine(args)) << line;
  }
}

}  // namespace
}  // namespace norvexa::pstgen
