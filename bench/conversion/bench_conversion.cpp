// bench_conversion: runs the whole conversion of a store file into a new
// mail database without showing the save window, and prints the number of
// items, the time taken, items per second and the peak resident memory.
//   bench_conversion [--window] STORE.pst OUTPUT_FOLDER
// With --window the run shows its progress in the save window (off screen,
// drawn as on a display) instead, and the cost of the overall progress is
// printed: its bookkeeping per item, the updates of the bar and their time,
// drawing included.
// The Notes client is NORVEXA_NOTES_DATA when set, else one provisioned in
// OUTPUT_FOLDER/notes-client. Message boxes are answered and printed.
#include "conversion/conversion_run.h"
#include "conversion/frm_save.h"
#include "conversion/global/global.h"
#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/system_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace norvexa;

// Answers every box with OK and prints it; the real clock and temp folder.
class BenchServices final : public sys::SystemServices {
 public:
  sys::Answer ShowMessage(QWidget*, const sys::Message& message) override {
    std::cout << "message: " << message.title.toStdString() << ": " << message.text.toStdString() << "\n";
    if (!message.detail.isEmpty()) std::cout << message.detail.left(2000).toStdString() << "\n";
    return sys::Answer::Ok;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&) override { return QString(); }
  QString BrowseFolder(QWidget*, const QString&) override { return QString(); }
  void ShowHelp(QWidget*, const QString&) override {}
  QString TempFolder() override {
    QString path = QDir::toNativeSeparators(QDir::tempPath());
    if (!path.endsWith(QDir::separator())) path += QDir::separator();
    return path;
  }
  QDateTime Now() override { return QDateTime::currentDateTime(); }
  [[noreturn]] void ExitProgram(int status) override {
    std::cout << "the program was ended (status " << status << ")\n";
    std::exit(status);
  }
};

// A view without a screen; it yields as the window does.
class HeadlessView final : public conversion::RunView {
 public:
  void SetSaveHeader(const std::string&) override {}
  void SetProcessing(const std::string&) override {}
  void SetFound(const std::string&) override {}
  void SetCurrent(const std::string&) override {}
  void ResetProgress() override {}
  void Yield() override { QCoreApplication::processEvents(); }
  QWidget* MessageOwner() override { return nullptr; }
};

// The save window as the run's view, timing every overall progress update
// and drawing it at once, as the screen would by the next yield.
class TimedSaveWindow final : public conversion::frmSave {
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
  return due >= 0 ? static_cast<double>(timer.nsecsElapsed()) / static_cast<double>(items) : 0;
}

// Peak resident memory in kB from the kernel's account, or -1 where there is
// none to read.
long PeakResidentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool window = argc == 4 && std::string(argv[1]) == "--window";
  if (window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QCoreApplication> app =
      window ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  if (argc != (window ? 4 : 3)) {
    std::cerr << "usage: bench_conversion [--window] STORE.pst OUTPUT_FOLDER\n";
    return 2;
  }
  const fs::path pst = fs::absolute(argv[window ? 2 : 1]);
  const fs::path out = fs::absolute(argv[window ? 3 : 2]);
  try {
    fs::create_directories(out);
    if (qEnvironmentVariableIsEmpty("NORVEXA_NOTES_DATA")) {
      const fs::path client = out / "notes-client";
      if (!fs::exists(client / "notes.ini")) notes::ProvisionClient(client);
      qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(client.string()));
    }
    const fs::path profile = out / "mapi-profile";
    std::ofstream(profile) << pst.string() << "\n";
    qputenv("NORVEXA_MAPI_PROFILE", QByteArray::fromStdString(profile.string()));

    std::int64_t items = 0;
    QElapsedTimer prepare;
    prepare.start();
    {
      const auto store = outlook::OpenStoreFile(pst);
      Global::SelectedStoreId = store->StoreID();
      Global::SelectedFolders.clear();
      std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
        for (const auto& child : folder.Folders()) {
          Global::SelectedFolders.push_back(child->EntryID() + "#" + child->FolderPath().substr(2));
          items += child->GetItems()->Count();
          walk(*child);
        }
      };
      walk(*store->IPMRootFolder());
    }
    // Opening the store and walking its folders stands for the folder tree
    // the user fills before a run; it is timed apart from the run.
    std::cout << "prepare_seconds: " << static_cast<double>(prepare.nsecsElapsed()) / 1e9 << "\n"
              << "prepare_peak_resident_kb: " << PeakResidentKb() << "\n";
    Global::ExcludeFromViewValues = {"D", "S"};

    BenchServices services;
    sys::ScopedServices installed(services);
    HeadlessView headless;
    std::unique_ptr<TimedSaveWindow> save;
    if (window) {
      save = std::make_unique<TimedSaveWindow>();
      save->show();
    }
    conversion::RunView& view = window ? static_cast<conversion::RunView&>(*save) : headless;
    conversion::ConversionRun run(view);
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu_start = std::clock();
    const conversion::RunEnd end = run.Run({true, std::string(), out.string()});
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    // Processor time of every thread of the process, the Notes back-end's
    // background checkpoints included.
    const double cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    const std::int64_t done = run.Report().Copied() + run.Report().Failed();
    std::cout << "store: " << pst.string() << " (" << fs::file_size(pst) << " bytes, " << items << " items)\n"
              << "run: " << (end == conversion::RunEnd::Completed ? "completed" : "stopped") << ", " << done
              << " items handled, " << run.Report().Copied() << " copied, " << run.Report().Failed() << " failed\n"
              << "seconds: " << seconds << "\n"
              << "items_per_second: " << (seconds > 0 ? static_cast<double>(done) / seconds : 0) << "\n"
              << "cpu_seconds: " << cpu_seconds << "\n"
              << "items_per_cpu_second: " << (cpu_seconds > 0 ? static_cast<double>(done) / cpu_seconds : 0) << "\n"
              << "peak_resident_kb: " << PeakResidentKb() << "\n";
    if (save) {
      const double update_ms = static_cast<double>(save->update_ns) / 1e6;
      const double bookkeeping_ns = BookkeepingNsPerItem(done);
      std::cout << "progress_updates: " << save->updates << " ("
                << (seconds > 0 ? static_cast<double>(save->updates) / seconds : 0) << " a second)\n"
                << "progress_update_ms_total: " << update_ms << " ("
                << (save->updates > 0 ? update_ms / static_cast<double>(save->updates) : 0) << " each, drawing included)\n"
                << "progress_bookkeeping_ns_per_item: " << bookkeeping_ns << " ("
                << bookkeeping_ns * static_cast<double>(done) / 1e6 << " ms for the run's items)\n"
                << "progress_share_of_run: "
                << (seconds > 0 ? (update_ms / 1e3 + bookkeeping_ns * static_cast<double>(done) / 1e9) / seconds * 100 : 0)
                << " %\n";
    }
    return end == conversion::RunEnd::Completed ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "bench_conversion: " << e.what() << "\n";
    return 1;
  }
}
