// The overall progress of a conversion run; see run_progress.h.
#include "conversion/run_progress.h"

#include <algorithm>
#include <cmath>

namespace norvexa::conversion {
namespace {

// The rate is taken over about this much of the recent past, so that it
// follows a change of pace (a folder of large mails after one of contacts)
// without jumping with every item.
constexpr std::chrono::seconds kRateWindow(20);
// Below this much time the rate says nothing yet.
constexpr std::chrono::milliseconds kShortestSpan(1000);

}  // namespace

RunProgress::RunProgress(std::chrono::milliseconds interval) : interval_(interval) {}

void RunProgress::Start(std::int64_t total, Clock::time_point now) {
  start_ = now;
  last_shown_ = now;
  done_ = 0;
  total_ = std::max<std::int64_t>(total, 0);
  folder_shown_ = 0;
  samples_.clear();
  samples_.push_back({now, 0});
}

void RunProgress::BeginFolder(std::optional<std::int64_t> shown) { folder_shown_ = shown.value_or(0); }

void RunProgress::FolderCounted(std::int64_t actual) {
  total_ += actual - folder_shown_;
  folder_shown_ = actual;
}

void RunProgress::FolderSkipped() {
  total_ -= folder_shown_;
  folder_shown_ = 0;
}

void RunProgress::EndedEarly(std::int64_t not_reached) { total_ = done_ + std::max<std::int64_t>(not_reached, 0); }

bool RunProgress::ItemDone(Clock::time_point now) {
  ++done_;
  return now - last_shown_ >= interval_;
}

OverallProgress RunProgress::Snapshot(Clock::time_point now) {
  last_shown_ = now;
  samples_.push_back({now, done_});
  while (samples_.size() > 2 && samples_[1].when <= now - kRateWindow) samples_.pop_front();

  OverallProgress progress;
  progress.done = done_;
  progress.total = std::max(total_, done_);
  const Sample& oldest = samples_.front();
  const auto span = now - oldest.when;
  if (span >= kShortestSpan && done_ > 0) {
    const double seconds = std::chrono::duration<double>(span).count();
    const double rate = static_cast<double>(done_ - oldest.done) / seconds;
    progress.items_per_second = rate;
    if (rate > 0) {
      const double left = static_cast<double>(progress.total - progress.done) / rate;
      progress.time_left = std::chrono::seconds(static_cast<std::int64_t>(std::ceil(left)));
    }
  }
  return progress;
}

QString OverallProgressText(const OverallProgress& progress, const QLocale& locale) {
  QString text = locale.toString(static_cast<qlonglong>(progress.done)) + QStringLiteral(" of ") +
                 locale.toString(static_cast<qlonglong>(progress.total)) +
                 (progress.total == 1 ? QStringLiteral(" item") : QStringLiteral(" items"));
  if (progress.items_per_second) {
    const double rate = *progress.items_per_second;
    // Whole numbers once there are enough of them to read at a glance.
    text += QStringLiteral(", ") + (rate < 10 ? locale.toString(rate, 'f', 1) : locale.toString(std::round(rate), 'f', 0)) +
            QStringLiteral(" items/s");
  }
  if (progress.time_left && progress.done < progress.total) {
    const std::int64_t seconds = progress.time_left->count();
    QString left;
    if (seconds < 60) {
      left = QStringLiteral("less than a minute");
    } else {
      const std::int64_t minutes = (seconds + 59) / 60;
      if (minutes < 90) {
        left = QStringLiteral("about %1 min").arg(locale.toString(static_cast<qlonglong>(minutes)));
      } else {
        left = QStringLiteral("about %1 h %2 min")
                   .arg(locale.toString(static_cast<qlonglong>(minutes / 60)),
                        locale.toString(static_cast<qlonglong>(minutes % 60)));
      }
    }
    text += QStringLiteral(", ") + left + QStringLiteral(" left");
  }
  return text;
}

}  // namespace norvexa::conversion
