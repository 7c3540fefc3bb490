// The completion and stop messages: counts that include the items of folders
// that could not be read, what is missing listed first, and a stop message
// for each way the target can fail.
#include "conversion/run_report.h"

#include <gtest/gtest.h>

namespace norvexa::conversion {
namespace {

// A run over Inbox (3 copied, 1 failed) and Calendar (1 copied), with one
// folder that could not be opened and a journal that is not converted.
RunReport MixedRun(std::optional<std::int64_t> gone_items) {
  RunReport report;
  report.BeginFolder("Box\\Inbox");
  report.ItemCopied();
  report.ItemFailed("Budget", "saving the document: disk I/O error");
  report.ItemCopied();
  report.ItemCopied();
  report.FolderFailed("Box\\Archive", "could not be opened: damaged", gone_items);
  report.BeginFolder("Box\\Calendar");
  report.ItemCopied();
  report.FolderNotConverted("Box\\Journal", "IPM.Journal");
  return report;
}

TEST(RunReport, HeadlineCountsTheItemsOfFoldersNotReadAndTheDetailListsFailuresFirst) {
  const RunReport report = MixedRun(5);
  EXPECT_EQ(report.NotCopied(), 6);
  const sys::Message message = report.CompletionMessage("C:\\out\\mail.nsf", "C:\\out\\names.nsf");
  EXPECT_EQ(message.icon, sys::Icon::Warning);
  EXPECT_EQ(message.text.toStdString(),
            "Outlook Mailbox Exported to Lotus Notes Mailbox with errors: 6 of 10 items could not be copied. "
            "1 folder could not be read (5 items).\r\nC:\\out\\mail.nsf\r\nC:\\out\\names.nsf");
  EXPECT_EQ(message.detail.toStdString(),
            "Folder could not be read: Box\\Archive (5 items): could not be opened: damaged\n"
            "Could not be copied: Box\\Inbox: \"Budget\": saving the document: disk I/O error\n"
            "Folder Box\\Inbox: 3 copied, 1 could not be copied\n"
            "Folder Box\\Calendar: 1 copied, 0 could not be copied\n"
            "Not converted (kind not exported): Box\\Journal (IPM.Journal)\n");

  // A folder whose count no one knows is said to be uncounted, not zero.
  EXPECT_TRUE(MixedRun(std::nullopt)
                  .CompletionMessage("m", "")
                  .text.startsWith("Outlook Mailbox Exported to Lotus Notes Mailbox with errors: 1 of 5 items could "
                                   "not be copied. 1 folder could not be read (the number of its items is not known)."));
  RunReport two = MixedRun(2);
  two.FolderFailed("Box\\Old", "its kind could not be read: damaged", std::nullopt);
  EXPECT_TRUE(two.CompletionMessage("m", "").text.contains(
      "3 of 7 items could not be copied. 2 folders could not be read (2 items, and the items of 1 folder whose "
      "number is not known)."));

  // Nothing but unreadable folders is still no success.
  RunReport empty_folders;
  empty_folders.FolderFailed("Box\\Inbox", "could not be opened: damaged", 0);
  EXPECT_EQ(empty_folders.CompletionMessage("m", "").icon, sys::Icon::Warning);
}

TEST(RunReport, EverythingCopiedKeepsThePlainSuccessMessage) {
  RunReport report;
  report.BeginFolder("Box\\Inbox");
  report.ItemCopied();
  const sys::Message message = report.CompletionMessage("C:\\mail.nsf", "");
  EXPECT_EQ(message.title, "Export Complete");
  EXPECT_EQ(message.icon, sys::Icon::Information);
  EXPECT_EQ(message.text, "Outlook Mailbox Exported Successfully to Lotus Notes Mailbox.\r\nC:\\mail.nsf\r\n");
  EXPECT_TRUE(message.detail.isEmpty());
}

TEST(RunReport, StopMessageSaysWhatHappenedWhatWasCopiedAndWhatToDo) {
  RunReport full = MixedRun(5);
  full.Stopped(RunReport::StopPlace::Target, sys::WriteState::Full, "/mnt/out/mail.nsf", 0);
  full.AddItemsLeft(7);
  EXPECT_EQ(full.NotCopied(), 13);
  sys::Message message = full.StopMessage("/mnt/out/mail.nsf", "/mnt/out/names.nsf");
  EXPECT_EQ(message.title, "Export Stopped");
  EXPECT_EQ(message.icon, sys::Icon::Critical);
  EXPECT_EQ(message.text.toStdString(),
            "The export stopped before its end because the disk that holds the Lotus Notes Mailbox is full (or your "
            "disk quota is used up).\r\n\r\n"
            "4 items were copied and 13 were not. The documents copied are kept in:\r\n"
            "/mnt/out/mail.nsf\r\n/mnt/out/names.nsf\r\n\r\n"
            "Free some space on that disk and export again into a new Lotus Notes Mailbox to copy everything.");
  EXPECT_TRUE(message.detail.startsWith("Folder could not be read: Box\\Archive (5 items)"));
  EXPECT_TRUE(message.detail.contains("Not reached when the export stopped: 7 items\n"));

  RunReport gone;
  gone.BeginFolder("Box\\Inbox");
  gone.ItemCopied();
  gone.ItemFailed("Budget", "opening the database: no such file");
  gone.Stopped(RunReport::StopPlace::Target, sys::WriteState::Gone, "/mnt/out/mail.nsf", 0);
  message = gone.StopMessage("/mnt/out/mail.nsf", "");
  EXPECT_TRUE(message.text.startsWith("The export stopped before its end because /mnt/out/mail.nsf is no longer "
                                      "there: it was deleted, or its disk was removed."));
  EXPECT_TRUE(message.text.contains("1 item was copied and 1 was not. The documents copied had been written to:\r\n"
                                    "/mnt/out/mail.nsf\r\n\r\nReconnect the disk"));

  RunReport read_only;
  read_only.BeginFolder("Box\\Inbox");
  read_only.ItemFailed("Budget", "saving the document: attempt to write a readonly database");
  read_only.Stopped(RunReport::StopPlace::Target, sys::WriteState::NotWritable, "/mnt/out/mail.nsf", 0);
  message = read_only.StopMessage("/mnt/out/mail.nsf", "");
  EXPECT_TRUE(message.text.contains("the Lotus Notes Mailbox can no longer be written to: its disk or file has "
                                    "become read-only."));
  EXPECT_TRUE(message.text.contains("0 items were copied and 1 was not.\r\n\r\nMake it writable again"));
  EXPECT_FALSE(message.text.contains("kept in"));

  RunReport staging;
  staging.BeginFolder("Box\\Inbox");
  staging.ItemFailed("Budget", "attachment \"a.pdf\" could not be saved");
  staging.Stopped(RunReport::StopPlace::Staging, sys::WriteState::Full, "/tmp/norvexa-attachments-x/", 0);
  EXPECT_TRUE(staging.StopMessage("m", "").text.contains(
      "the disk that holds the folder for attachments (/tmp/norvexa-attachments-x/) is full"));
}

TEST(RunReport, StopOnRequestSaysHowManyOfHowManyWereCopiedWithoutCallingItAFault) {
  RunReport asked = MixedRun(5);
  asked.StoppedByUser();
  asked.AddItemsLeft(7);
  EXPECT_TRUE(asked.StoppedOnRequest());
  sys::Message message = asked.StopMessage("/mnt/out/mail.nsf", "/mnt/out/names.nsf");
  EXPECT_EQ(message.title, "Export Stopped");
  EXPECT_EQ(message.icon, sys::Icon::Information);
  EXPECT_EQ(message.text.toStdString(),
            "The export was stopped before its end, as you asked.\r\n\r\n"
            "4 of 17 items were copied, 6 could not be copied and 7 were not reached. The documents copied are "
            "kept in:\r\n/mnt/out/mail.nsf\r\n/mnt/out/names.nsf");
  EXPECT_TRUE(message.detail.startsWith("Folder could not be read: Box\\Archive (5 items)"));
  EXPECT_TRUE(message.detail.contains("Not reached when the export stopped: 7 items\n"));

  // Stopped before the first item: nothing to point to.
  RunReport early;
  early.StoppedByUser();
  early.AddItemsLeft(1);
  EXPECT_EQ(early.StopMessage("m", "").text.toStdString(),
            "The export was stopped before its end, as you asked.\r\n\r\n0 of 1 item was copied and 1 was not "
            "reached.");
  // A disk that fills is no request of the user's.
  RunReport full;
  full.Stopped(RunReport::StopPlace::Target, sys::WriteState::Full, "m", 0);
  EXPECT_FALSE(full.StoppedOnRequest());
}

TEST(RunReport, DamageOfTheStoreFileIsNeverAPlainSuccessAndTheDetailGivesEachPlace) {
  using Kind = RunReport::DamageKind;
  // Everything copied, one item from a damaged block: a warning, not the
  // success message, and the place in the detail.
  RunReport read;
  read.BeginFolder("Box\\Inbox");
  read.ItemDamaged("Budget", Kind::ReadFromDamagedParts, {{0x5A40, "block 0x2C fails its CRC check (damaged)"}});
  read.ItemCopied();
  read.ItemDamaged("Clean", Kind::ReadFromDamagedParts, {});  // no damage: nothing noted
  read.ItemCopied();
  EXPECT_TRUE(read.AllCopied());
  EXPECT_TRUE(read.AnyDamage());
  EXPECT_FALSE(read.Clean());
  EXPECT_EQ(read.DamagedItems(Kind::ReadFromDamagedParts), 1);
  sys::Message message = read.CompletionMessage("C:\\mail.nsf", "");
  EXPECT_EQ(message.icon, sys::Icon::Warning);
  EXPECT_FALSE(message.text.contains("Successfully"));
  EXPECT_EQ(message.text.toStdString(),
            "Outlook Mailbox Exported to Lotus Notes Mailbox from a damaged store file: 2 items were copied. 1 item "
            "was read from damaged parts of the store file and may hold damaged values. The details give each place "
            "in the file.\r\nC:\\mail.nsf\r\n");
  EXPECT_EQ(message.detail.toStdString(),
            "Read from a damaged part of the file: Box\\Inbox: \"Budget\": at offset 0x5A40: block 0x2C fails its "
            "CRC check (damaged)\n"
            "Folder Box\\Inbox: 2 copied, 0 could not be copied\n");

  // Items lost as well: the counts of what could not be copied lead, the
  // damage follows, in the detail after what is missing.
  RunReport lost;
  lost.BeginFolder("Box\\Inbox");
  lost.ItemFailed("Gone", "could not be read: damaged");
  lost.ItemDamaged("Gone", Kind::NotCopied, {{0x100, "a value could not be read"}});
  lost.ItemCopiedInPart("Half", "attachment 1 could not be read: damaged",
                        {{0x200, "the data of attachment 1 could not be read"}, {0x240, "block 0x8 fails its CRC check"}});
  lost.ItemCopied();
  lost.FolderDamaged("Box\\Inbox", {{0x300, "2 rows of its contents table could not be read"}});
  lost.FolderDamaged("Box\\Other", {});
  lost.StoreDamaged({{0x4400, "the node index could not be used"}});
  EXPECT_EQ(lost.DamagedFolders().size(), 1u);
  message = lost.CompletionMessage("m", "");
  EXPECT_EQ(message.icon, sys::Icon::Warning);
  EXPECT_TRUE(message.text.startsWith(
      "Outlook Mailbox Exported to Lotus Notes Mailbox with errors: 1 of 3 items could not be copied. 1 item was "
      "copied without a part that could not be read. 1 folder was read from damaged parts (some items may be "
      "missing). The store file's index is damaged and was read around."))
      << message.text.toStdString();
  EXPECT_EQ(message.detail.toStdString(),
            "Damaged folder: Box\\Inbox: at offset 0x300: 2 rows of its contents table could not be read\n"
            "Could not be copied: Box\\Inbox: \"Gone\": could not be read: damaged\n"
            "Not copied, from a damaged part of the file: Box\\Inbox: \"Gone\": at offset 0x100: a value could not "
            "be read\n"
            "Copied without a part that could not be read: Box\\Inbox: \"Half\": attachment 1 could not be read: "
            "damaged; at offset 0x200: the data of attachment 1 could not be read; at offset 0x240: block 0x8 fails "
            "its CRC check\n"
            "Store file damaged: at offset 0x4400: the node index could not be used\n"
            "Folder Box\\Inbox: 2 copied, 1 could not be copied\n");

  // Only the store's index repaired: still not a plain success.
  RunReport index;
  index.BeginFolder("Box\\Inbox");
  index.ItemCopied();
  index.StoreDamaged({{0x4400, "the block index could not be used"}});
  EXPECT_EQ(index.CompletionMessage("m", "").icon, sys::Icon::Warning);
  EXPECT_TRUE(index.CompletionMessage("m", "").text.contains("The store file's index is damaged"));
  // A stopped run's detail lists the damage too.
  index.StoppedByUser();
  EXPECT_TRUE(index.StopMessage("m", "").detail.contains("Store file damaged: at offset 0x4400"));
}

}  // namespace
}  // namespace norvexa::conversion
