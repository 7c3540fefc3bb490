// bench_save_window: runs the export job of a store file into a new mail
// database with the save window as its observer (off screen, drawn as on a
// display), and prints the figures of bench_conversion and the cost of the
// overall progress: its bookkeeping per item, the updates of the bar and
// their time, drawing included.
//   bench_save_window STORE.pst OUTPUT_FOLDER
#include "platform/system/local_time_zone.h"
#include "bench_setup.h"

#include "conversion/export_job.h"
#include "conversion/run_progress.h"
#include "windows/frm_save.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace norvexa;

// The save window as the job's observer, timing every overall progress
// update and drawing it at once, as the screen would by the next yield.
class TimedSaveWindow final : public windows::frmSave {
 public:
  std::int64_t updates = 0;
  std::int64_t update_ns = 0;
  void ShowOverallProgress(const conversion::OverallProgress& progress) override {
    QElapsedTimer timer;
    timer.start();
    frmSave::ShowOverallProgress(progress);
    PrgOverall->repaint();
    LblOverall->repaint();
    update_ns += timer.nsecsElapsed();
    ++updates;
  }
};

// Nanoseconds of the run's own bookkeeping for one item: a clock reading
// and the check whether an update is due, over ITEMS items.
double BookkeepingNsPerItem(std::int64_t items) {
  conversion::RunProgress progress;
  progress.Start(items, conversion::RunProgress::Clock::now());
  std::int64_t due = 0;
  QElapsedTimer timer;
  timer.start();
  for (std::int64_t i = 0; i < items; ++i) {
    const auto now = conversion::RunProgress::Clock::now();
    if (progress.ItemDone(now)) {
      progress.Snapshot(now);
      ++due;
    }
  }
  // DUE keeps the loop from being optimised away.
  return due >= 0 && items > 0 ? static_cast<double>(timer.nsecsElapsed()) / static_cast<double>(items) : 0;
}

// The cost of the overall progress in WINDOW over a run of SECONDS that
// handled DONE items.
void PrintProgressCost(const TimedSaveWindow& window, double seconds, std::int64_t done) {
  const double update_ms = static_cast<double>(window.update_ns) / 1e6;
  const double bookkeeping_ns = BookkeepingNsPerItem(done);
  std::cout << "progress_updates: " << window.updates << " ("
            << (seconds > 0 ? static_cast<double>(window.updates) / seconds : 0) << " a second)\n"
            << "progress_update_ms_total: " << update_ms << " ("
            << (window.updates > 0 ? update_ms / static_cast<double>(window.updates) : 0)
            << " each, drawing included)\n"
            << "progress_bookkeeping_ns_per_item: " << bookkeeping_ns << " ("
            << bookkeeping_ns * static_cast<double>(done) / 1e6 << " ms for the run's items)\n"
            << "progress_share_of_run: "
            << (seconds > 0 ? (update_ms / 1e3 + bookkeeping_ns * static_cast<double>(done) / 1e9) / seconds * 100 : 0)
            << " %\n";
}

}  // namespace

int main(int argc, char** argv) {
  norvexa::sys::KeepLocalTimeZone();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    const std::optional<bench::BenchRun> run = bench::PrepareRun(argc, argv, "bench_save_window");
    if (!run) return 2;
    TimedSaveWindow window;
    window.show();
    conversion::ExportJob job;
    double seconds = 0;
    const conversion::ExportResult result =
        bench::TimedRun(job, run->request, window, run->pst, run->items, seconds);
    PrintProgressCost(window, seconds, result.report.Copied() + result.report.Failed());
    return result.end == conversion::RunEnd::Completed ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "bench_save_window: " << e.what() << "\n";
    return 1;
  }
}
