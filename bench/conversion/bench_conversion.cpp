// bench_conversion: runs the export job of a store file into a new mail
// database without a window, and prints the number of items, the time
// taken, items per second and the peak resident memory.
//   bench_conversion STORE.pst OUTPUT_FOLDER
// The Notes client is NORVEXA_NOTES_DATA when set, else one provisioned in
// OUTPUT_FOLDER/notes-client. Links no Qt Widgets (bench_save_window runs
// the same job in the save window).
#include "bench_setup.h"

#include "conversion/export_job.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

namespace fs = std::filesystem;
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
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::cerr << "usage: bench_conversion STORE.pst OUTPUT_FOLDER\n";
    return 2;
  }
  const fs::path pst = fs::absolute(argv[1]);
  const fs::path out = fs::absolute(argv[2]);
  try {
    fs::create_directories(out);
    bench::UseNotesClient(out);
    std::int64_t items = 0;
    QElapsedTimer prepare;
    prepare.start();
    const conversion::ExportRequest request = bench::EveryFolderInto(pst, out, items);
    // Opening the store and walking its folders stands for the folder tree
    // the user fills before a run; it is timed apart from the run.
    std::cout << "prepare_seconds: " << static_cast<double>(prepare.nsecsElapsed()) / 1e9 << "\n"
              << "prepare_peak_resident_kb: " << bench::PeakResidentKb() << "\n";
    HeadlessView view;
    conversion::ExportJob job;
    double seconds = 0;
    const conversion::ExportResult result = bench::TimedRun(job, request, view, pst, items, seconds);
    return result.end == conversion::RunEnd::Completed ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "bench_conversion: " << e.what() << "\n";
    return 1;
  }
}
