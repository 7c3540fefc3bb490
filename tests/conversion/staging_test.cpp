// Staging of attachments: safe names, names that collide, leftovers removed
// after the item, the private folder removed after the run.
#include "conversion/attachment_staging.h"
#include "conversion/global/global.h"
#include "fake_item.h"
#include "platform/system/system_services.h"
#include "support/fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>

namespace norvexa::conversion {
namespace {

namespace fs = std::filesystem;
using testing::FakeItem;
using writers::StagedFiles;

const std::string S = sys::PathSeparator().toStdString();

TEST(Staging, NamesLoseDirectoriesAndDotDotAndReplaceControlAndForbiddenCharacters) {
  EXPECT_EQ(SafeAttachmentName("../../etc/passwd"), "passwd");
  EXPECT_EQ(SafeAttachmentName("C:\\Windows\\system32\\evil.dll"), "evil.dll");
  // The same rule as the store access's names: one "_" for each character
  // no file name may hold.
  EXPECT_EQ(SafeAttachmentName("a<b>c:d\"e|f?g*h.txt"), "a_b_c_d_e_f_g_h.txt");
  EXPECT_EQ(SafeAttachmentName(std::string("re\x01po\x1f" "rt\x7f.doc")), "re_po_rt_.doc");
  EXPECT_EQ(SafeAttachmentName(SafeAttachmentName("  a..b<c>.txt. ")), "a.b_c_.txt");  // once is enough
  EXPECT_EQ(SafeAttachmentName("..."), "attachment");
  EXPECT_EQ(SafeAttachmentName(".."), "attachment");
  EXPECT_EQ(SafeAttachmentName(""), "attachment");
  EXPECT_EQ(SafeAttachmentName("dir/"), "attachment");
  EXPECT_EQ(SafeAttachmentName("a..b.txt"), "a.b.txt");
  EXPECT_EQ(SafeAttachmentName("trailing. . "), "trailing");
  EXPECT_EQ(SafeAttachmentName("con.txt"), "_con.txt");
  EXPECT_EQ(SafeAttachmentName("Résumé – 2026.pdf"), "Résumé – 2026.pdf");
  EXPECT_EQ(SafeAttachmentName(".profile"), ".profile");

  const std::string long_name = SafeAttachmentName(std::string(300, 'x') + ".pdf");
  EXPECT_LE(long_name.size(), 200u);
  EXPECT_EQ(long_name.substr(long_name.size() - 4), ".pdf");
  // Shortening never cuts a multi-byte character in half.
  std::string wide;
  for (int i = 0; i < 150; ++i) wide += "é";
  const QString shortened = QString::fromStdString(SafeAttachmentName(wide + ".txt"));
  EXPECT_FALSE(shortened.contains(QChar::ReplacementCharacter));
  EXPECT_TRUE(shortened.endsWith(".txt"));

  EXPECT_EQ(NumberedName("a.txt", 2), "a (2).txt");
  EXPECT_EQ(NumberedName("noext", 3), "noext (3)");
  EXPECT_EQ(NumberedName(".profile", 2), ".profile (2)");
}

TEST(Staging, PrivateFolderHoldsEveryAttachmentAndIsRemovedAtTheEnd) {
  testing::ScratchDir scratch;
  const std::string temp = scratch.path().string() + S;
  std::string folder;
  {
    // Every attachment a file, as large ones are in a run.
    AttachmentStaging staging(temp, HoldLimits{});
    folder = staging.Folder();
    ASSERT_EQ(folder.rfind(temp, 0), 0u) << folder;
    ASSERT_EQ(folder.substr(folder.size() - S.size()), S);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(QFile::permissions(QString::fromStdString(folder)) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                   QFile::ExeOther),
              QFile::Permissions());

    FakeItem item;
    item.attachments = {{"a.txt", "first"}, {"A.TXT", "second"}, {"a.txt", "third"}, {"../x", "fourth"},
                        {"", "fifth"}};
    std::vector<StagingProblem> problems;
    const StagedFiles list = staging.StageItem(item, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(list, (StagedFiles{folder + "a.txt", folder + "A (2).TXT", folder + "a (3).txt", folder + "x",
                                 folder + "attachment"}));
    EXPECT_EQ(testing::ReadFile(folder + "a.txt"), "first");
    EXPECT_EQ(testing::ReadFile(folder + "A (2).TXT"), "second");
    EXPECT_EQ(testing::ReadFile(folder + "a (3).txt"), "third");
    EXPECT_FALSE(fs::exists(scratch.path() / "x"));

    // The writer consumed one file; the rest goes when the item is done.
    fs::remove(folder + "a.txt");
    EXPECT_EQ(staging.ItemDone(), 0);
    EXPECT_TRUE(fs::is_empty(folder));

    // The next item starts afresh: its a.txt is a.txt again.
    FakeItem next;
    next.attachments = {{"a.txt", "again"}};
    EXPECT_EQ(staging.StageItem(next, problems), StagedFiles{folder + "a.txt"});
    EXPECT_EQ(testing::ReadFile(folder + "a.txt"), "again");
  }
  // The run is over: folder and leftovers are gone.
  EXPECT_FALSE(fs::exists(folder));
}

TEST(Staging, FailuresKeepTheirEntryAndAreReported) {
  testing::ScratchDir scratch;
  AttachmentStaging staging(scratch.path().string() + S);
  FakeItem item;
  item.attachments = {{"good.bin", "ok"}, {"bad.bin", "", true}};
  std::vector<StagingProblem> problems;
  const StagedFiles list = staging.StageItem(item, problems);
  EXPECT_EQ(list, (StagedFiles{staging.Folder() + "good.bin", staging.Folder() + "bad.bin"}));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].what.find("bad.bin"), std::string::npos);

  FakeItem none;
  EXPECT_TRUE(staging.StageItem(none, problems).empty());

  FakeItem broken;
  broken.failing = {"Attachments"};
  problems.clear();
  EXPECT_TRUE(staging.StageItem(broken, problems).empty());
  EXPECT_EQ(problems.size(), 1u);
}

TEST(Staging, UnusableTempFolderIsAnError) {
  testing::ScratchDir scratch;
  testing::WriteFile(scratch / "file", "x");
  EXPECT_THROW(AttachmentStaging((scratch / "file").string() + S), std::runtime_error);
}

TEST(Staging, FirstUsableFolderWinsAndAPipeInItsPathIsNoObstacle) {
  testing::ScratchDir scratch;
  fs::create_directories(scratch / "a|b");
  const fs::path plain = testing::WriteFile(scratch / "file", "x");
  const fs::path other = testing::WriteFile(scratch / "other", "x");

  // A parent that cannot hold a folder is passed over; one whose path holds
  // "|" is used, and the staged paths name it whole.
  const auto staging = AttachmentStaging::InFirstUsable({plain, scratch / "a|b"}, HoldLimits{});
  EXPECT_EQ(staging->Folder().rfind((scratch / "a|b").string() + S, 0), 0u) << staging->Folder();
  FakeItem item;
  item.attachments = {{"a.txt", "one"}, {"b.txt", "two"}};
  std::vector<StagingProblem> problems;
  const StagedFiles list = staging->StageItem(item, problems);
  EXPECT_EQ(list, (StagedFiles{staging->Folder() + "a.txt", staging->Folder() + "b.txt"}));
  EXPECT_EQ(testing::ReadFile(list[1]), "two");

  // None usable: the error names every parent and why.
  try {
    AttachmentStaging::InFirstUsable({plain, other});
    ADD_FAILURE() << "no folder should have been made";
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(plain.string() + ": "), std::string::npos) << what;
    EXPECT_NE(what.find(other.string() + ": "), std::string::npos) << what;
  }
}

TEST(Staging, NamelessAttachedItemIsStagedAsEml) {
  testing::ScratchDir scratch;
  AttachmentStaging staging(scratch.path(), HoldLimits{});
  FakeItem item;
  const std::string message = "Subject: \r\nMIME-Version: 1.0\r\n\r\nThe attached item.\r\n";
  // Nameless: an attached item, file data that happens to look like a
  // message, another attached item; and a named item keeps its name.
  item.attachments = {{"", message, false, true}, {"", message}, {"", message, false, true}, {"notes.txt", message, false, true}};
  std::vector<StagingProblem> problems;
  const StagedFiles list = staging.StageItem(item, problems);
  EXPECT_TRUE(problems.empty());
  const std::string f = staging.Folder();
  EXPECT_EQ(list, (StagedFiles{f + "attachment.eml", f + "attachment", f + "attachment (2).eml", f + "notes.txt"}));
  EXPECT_EQ(testing::ReadFile(f + "attachment.eml"), message);
  EXPECT_EQ(testing::ReadFile(f + "attachment"), message);
  EXPECT_FALSE(fs::exists(f + "attachment (2)"));
  EXPECT_EQ(staging.ItemDone(), 0);
  EXPECT_TRUE(fs::is_empty(f));
}

TEST(Staging, SmallAttachmentsAreHeldInMemoryAndTheRestAreFiles) {
  testing::ScratchDir scratch;
  // Up to 8 bytes an attachment, 12 an item.
  AttachmentStaging staging(scratch.path(), HoldLimits{8, 12});
  const std::string f = staging.Folder();
  FakeItem item;
  item.attachments = {{"a.txt", "12345678"},                 // held: exactly the limit
                      {"big.bin", "123456789"},              // a file: over the limit
                      {"b.txt", "1234"},                     // held: the item's 12 bytes are full now
                      {"c.txt", "1"},                        // a file: nothing left for the item
                      {"bad.bin", "", true},                 // fails: neither held nor a file
                      {"mail.eml", "Subject: x\r\n", false, true}};  // an item over the room left: a file
  std::vector<StagingProblem> problems;
  const StagedFiles list = staging.StageItem(item, problems);
  ASSERT_EQ(list.size(), 6u);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].what.find("bad.bin"), std::string::npos);

  const writers::StagedContents& held = staging.Held();
  ASSERT_NE(held.Find(f + "a.txt"), nullptr);
  EXPECT_EQ(*held.Find(f + "a.txt"), "12345678");
  ASSERT_NE(held.Find(f + "b.txt"), nullptr);
  EXPECT_EQ(*held.Find(f + "b.txt"), "1234");
  EXPECT_FALSE(fs::exists(f + "a.txt"));  // held, so no file was made
  EXPECT_EQ(held.Find(f + "big.bin"), nullptr);
  EXPECT_EQ(testing::ReadFile(f + "big.bin"), "123456789");
  EXPECT_EQ(testing::ReadFile(f + "c.txt"), "1");
  EXPECT_EQ(testing::ReadFile(f + "mail.eml"), "Subject: x\r\n");
  EXPECT_EQ(held.Find(f + "bad.bin"), nullptr);
  EXPECT_FALSE(fs::exists(f + "bad.bin"));
  EXPECT_EQ(staging.ItemBytes(), 8u + 9u + 4u + 1u + 12u);

  // A name held in memory is taken for the item like a file's.
  FakeItem twins;
  staging.ItemDone();
  EXPECT_EQ(staging.Held().Bytes(), 0u);
  EXPECT_TRUE(fs::is_empty(f));
  twins.attachments = {{"x.txt", "1"}, {"x.txt", "2"}, {"", "note", false, true}, {"long.eml", "0123456789", false, true}};
  const StagedFiles second = staging.StageItem(twins, problems);
  EXPECT_EQ(second, (StagedFiles{f + "x.txt", f + "x (2).txt", f + "attachment.eml", f + "long.eml"}));
  EXPECT_EQ(*staging.Held().Find(f + "x (2).txt"), "2");
  EXPECT_EQ(*staging.Held().Find(f + "attachment.eml"), "note");  // an attached item that fits is held too
  // An attached item that outgrows the room while it is written out is
  // written to its file whole instead.
  EXPECT_EQ(staging.Held().Find(f + "long.eml"), nullptr);
  EXPECT_EQ(testing::ReadFile(f + "long.eml"), "0123456789");
}

}  // namespace
}  // namespace norvexa::conversion
