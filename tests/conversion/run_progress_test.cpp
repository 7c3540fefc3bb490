// The overall progress of a run: updates rationed to a few a second
// whatever the number of items, a rate that follows the pace, a total that
// follows the folders as the run finds them, and the text under the bar.
#include "conversion/run_progress.h"

#include <gtest/gtest.h>

namespace norvexa::conversion {
namespace {

using Clock = RunProgress::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(RunProgress, AHundredThousandItemsGiveAFewUpdatesASecondAndARateThatFollowsThePace) {
  const Clock::time_point t0{};
  RunProgress progress;
  progress.Start(100000, t0);
  // 100,000 items in 100 s, one every millisecond.
  int updates = 0;
  OverallProgress last;
  for (int i = 1; i <= 100000; ++i) {
    const Clock::time_point now = t0 + milliseconds(i);
    if (progress.ItemDone(now)) {
      const OverallProgress shown = progress.Snapshot(now);
      EXPECT_GE(shown.done, last.done);
      last = shown;
      ++updates;
    }
  }
  EXPECT_LE(updates, 400);  // at most four a second
  EXPECT_GE(updates, 390);
  EXPECT_EQ(last.total, 100000);
  ASSERT_TRUE(last.items_per_second);
  EXPECT_NEAR(*last.items_per_second, 1000, 5);

  // The pace drops to 10 items a second: within the rate's window of the
  // recent past the rate and the time left follow it.
  RunProgress slow;
  slow.Start(2000, t0);
  Clock::time_point now = t0;
  for (int i = 0; i < 1000; ++i) {
    now += milliseconds(1);
    if (slow.ItemDone(now)) slow.Snapshot(now);
  }
  for (int i = 0; i < 300; ++i) {
    now += milliseconds(100);
    if (slow.ItemDone(now)) slow.Snapshot(now);
  }
  const OverallProgress after = slow.Snapshot(now);
  EXPECT_EQ(after.done, 1300);
  ASSERT_TRUE(after.items_per_second);
  EXPECT_NEAR(*after.items_per_second, 10, 0.6);
  ASSERT_TRUE(after.time_left);
  EXPECT_NEAR(static_cast<double>(after.time_left->count()), 70, 5);
}

TEST(RunProgress, NothingIsKnownOfTheRateAtFirstAndTheTotalFollowsTheFolders) {
  const Clock::time_point t0{};
  RunProgress progress;
  progress.Start(20, t0);  // the tree showed 12 + 5 + 3
  OverallProgress first = progress.Snapshot(t0);
  EXPECT_EQ(first.done, 0);
  EXPECT_EQ(first.total, 20);
  EXPECT_FALSE(first.items_per_second);
  EXPECT_FALSE(first.time_left);
  // One item handled, too soon after the last update to show it.
  EXPECT_FALSE(progress.ItemDone(t0 + milliseconds(100)));

  progress.BeginFolder(12);
  progress.FolderCounted(14);  // two mails arrived since the tree was filled
  progress.BeginFolder(5);
  progress.FolderSkipped();  // a journal: not gone through
  progress.BeginFolder(std::nullopt);
  progress.FolderCounted(4);  // a folder the tree did not show
  progress.BeginFolder(3);
  progress.FolderSkipped();  // could not be opened
  EXPECT_EQ(progress.Snapshot(t0 + seconds(1)).total, 18);

  // More items handled than counted (a folder grew during the run): the
  // total is never below what was done.
  for (int i = 0; i < 18; ++i) progress.ItemDone(t0 + seconds(2));
  const OverallProgress over = progress.Snapshot(t0 + seconds(2));
  EXPECT_EQ(over.done, 19);
  EXPECT_EQ(over.total, 19);
  EXPECT_EQ(over.time_left, seconds(0));

  // A run that ends early counts what it did not reach exactly.
  progress.EndedEarly(7);
  EXPECT_EQ(progress.Snapshot(t0 + seconds(3)).total, 19 + 7);
}

TEST(RunProgress, TextCountsItemsRateAndTimeLeftInTheUsersNumbers) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  OverallProgress p;
  p.total = 1;
  EXPECT_EQ(OverallProgressText(p, english), "0 of 1 item");
  p.done = 1234;
  p.total = 100000;
  p.items_per_second = 56.4;
  p.time_left = seconds(1738);
  EXPECT_EQ(OverallProgressText(p, english), "1,234 of 100,000 items, 56 items/s, about 29 min left");
  p.items_per_second = 2.46;
  p.time_left = seconds(5400);
  EXPECT_EQ(OverallProgressText(p, english), "1,234 of 100,000 items, 2.5 items/s, about 1 h 30 min left");
  p.time_left = seconds(59);
  EXPECT_EQ(OverallProgressText(p, english), "1,234 of 100,000 items, 2.5 items/s, less than a minute left");
  p.time_left = seconds(60);
  EXPECT_EQ(OverallProgressText(p, english), "1,234 of 100,000 items, 2.5 items/s, about 1 min left");
  p.done = p.total;  // nothing left to wait for
  EXPECT_EQ(OverallProgressText(p, english), "100,000 of 100,000 items, 2.5 items/s");

  const QLocale german(QLocale::German, QLocale::Germany);
  p.done = 1234;
  p.time_left = std::nullopt;
  EXPECT_EQ(OverallProgressText(p, german), "1.234 of 100.000 items, 2,5 items/s");
}

}  // namespace
}  // namespace norvexa::conversion
