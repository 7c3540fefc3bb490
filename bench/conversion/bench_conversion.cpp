// bench_conversion: runs the export job of a store file into a new mail
// database without a window, and prints the number of items, the time
// taken, items per second and the peak resident memory.
//   bench_conversion STORE.pst OUTPUT_FOLDER
// The Notes client is NORVEXA_NOTES_DATA when set, else one provisioned in
// OUTPUT_FOLDER/notes-client. Links no Qt Widgets (bench_save_window runs
// the same job in the save window).
#include "platform/system/local_time_zone.h"
#include "bench_setup.h"

#include "conversion/export_job.h"

#include <QCoreApplication>

#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace norvexa;

// An observer without a screen; it yields as the window does.
class HeadlessView final : public conversion::ExportObserver {
 public:
  void SetSaveHeader(const std::string&) override {}
  void SetProcessing(const std::string&) override {}
  void SetFound(const std::string&) override {}
  void SetCurrent(const std::string&) override {}
  void ResetProgress() override {}
  void Yield() override { QCoreApplication::processEvents(); }
};

}  // namespace

int main(int argc, char** argv) {
  norvexa::sys::KeepLocalTimeZone();
  QCoreApplication app(argc, argv);
  try {
    const std::optional<bench::BenchRun> run = bench::PrepareRun(argc, argv, "bench_conversion");
    if (!run) return 2;
    HeadlessView view;
    conversion::ExportJob job;
    double seconds = 0;
    const conversion::ExportResult result = bench::TimedRun(job, run->request, view, run->pst, run->items, seconds);
    return result.end == conversion::RunEnd::Completed ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "bench_conversion: " << e.what() << "\n";
    return 1;
  }
}
