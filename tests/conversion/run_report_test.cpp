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

}  // namespace
}  // namespace norvexa::conversion
