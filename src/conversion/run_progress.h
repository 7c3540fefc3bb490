// The overall progress of a conversion run: how many items of all ticked
// folders have been handled out of how many, the items per second and the
// time left. The total starts from the item counts the folder tree showed
// and is corrected folder by folder as the run meets them. Updates for the
// window are rationed so that a run of any size shows a few per second at
// most. Plain logic; the caller passes the time, so it runs without a clock
// of its own.
#pragma once

#include <QLocale>
#include <QString>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace norvexa::conversion {

// One picture of the overall progress, as the window shows it.
struct OverallProgress {
  std::int64_t done = 0;   // items handled so far (copied or not)
  std::int64_t total = 0;  // items the run goes through, as far as known
  std::optional<double> items_per_second;        // not yet known at the start
  std::optional<std::chrono::seconds> time_left;  // not known without a rate
  bool finished = false;  // the walk is over; only its report is still to come
};

class RunProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // At most one update per INTERVAL (a few per second by default).
  explicit RunProgress(std::chrono::milliseconds interval = std::chrono::milliseconds(250));

  // Starts counting TOTAL items at NOW; nothing is done yet.
  void Start(std::int64_t total, Clock::time_point now);

  // The run opens a folder the folder tree showed with SHOWN items
  // (std::nullopt when it did not show the folder).
  void BeginFolder(std::optional<std::int64_t> shown);

  // The folder begun last holds ACTUAL items: the total follows the folder
  // as it is now rather than as the tree showed it.
  void FolderCounted(std::int64_t actual);

  // The folder begun last will not be gone through (a kind the run does not
  // convert, or unreadable): its items leave the total.
  void FolderSkipped();

  // The run ended early with NOT_REACHED items left that it did not go
  // through (counted exactly): the total becomes what was done and those.
  void EndedEarly(std::int64_t not_reached);

  // One more item was handled at NOW. True when an update is due: the last
  // one is at least the interval old.
  bool ItemDone(Clock::time_point now);

  // The progress at NOW; marks it as shown (the next update is due one
  // interval later).
  OverallProgress Snapshot(Clock::time_point now);

 private:
  struct Sample {
    Clock::time_point when;
    std::int64_t done;
  };

  std::chrono::milliseconds interval_;
  Clock::time_point start_{};
  Clock::time_point last_shown_{};
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
  std::int64_t folder_shown_ = 0;  // what the current folder added to the total
  std::deque<Sample> samples_;     // recent snapshots, for the current rate
};

// The text under the progress bar, numbers in LOCALE: "N of M items", then
// ", R items/s" once the rate is known, then ", about T left" while items
// remain (less than a minute, minutes, or hours and minutes).
QString OverallProgressText(const OverallProgress& progress, const QLocale& locale);

}  // namespace norvexa::conversion
