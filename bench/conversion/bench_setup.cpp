// What the conversion benchmarks share; see bench_setup.h.
#include "bench_setup.h"

#include "platform/notes/notes.h"
#include "platform/outlook/outlook.h"
#include "platform/system/paths.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QtGlobal>

#include <ctime>
#include <functional>
#include <iostream>

namespace norvexa::bench {

namespace {

// Names the Notes client of the run; see PrepareRun.
void UseNotesClient(const std::filesystem::path& out) {
  if (!qEnvironmentVariableIsEmpty("NORVEXA_NOTES_DATA")) return;
  const std::filesystem::path client = out / "notes-client";
  if (!std::filesystem::exists(client / "notes.ini")) notes::ProvisionClient(client);
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(sys::Utf8(client)));
}

// The request for every folder below the top of the store file PST into a
// new database in OUT; ITEMS gets the items those folders hold.
conversion::ExportRequest EveryFolderInto(const std::filesystem::path& pst, const std::filesystem::path& out,
                                          std::int64_t& items) {
  conversion::ExportRequest request;
  request.store.file = sys::Utf8(pst);
  request.target = {conversion::TargetChoice::Kind::NewDatabase, sys::Utf8(out)};
  items = 0;
  const auto store = outlook::OpenStoreFile(pst);
  std::function<void(const outlook::Folder&)> walk = [&](const outlook::Folder& folder) {
    for (const auto& child : folder.Folders()) {
      const std::string reference = child->EntryID() + "#" + child->FolderPath().substr(2);
      const std::int64_t count = child->GetItems()->Count();
      request.folders.push_back(reference);
      request.folder_counts[reference] = count;
      items += count;
      walk(*child);
    }
  };
  walk(*store->IPMRootFolder());
  return request;
}

}  // namespace

std::optional<BenchRun> PrepareRun(int argc, char** argv, const char* name) {
  if (argc != 3) {
    std::cerr << "usage: " << name << " STORE.pst OUTPUT_FOLDER\n";
    return std::nullopt;
  }
  BenchRun run;
  run.pst = std::filesystem::absolute(argv[1]);
  run.out = std::filesystem::absolute(argv[2]);
  std::filesystem::create_directories(run.out);
  UseNotesClient(run.out);
  QElapsedTimer prepare;
  prepare.start();
  run.request = EveryFolderInto(run.pst, run.out, run.items);
  // Opening the store and walking its folders stands for the folder tree
  // the user fills before a run; it is timed apart from the run.
  std::cout << "prepare_seconds: " << static_cast<double>(prepare.nsecsElapsed()) / 1e9 << "\n"
            << "prepare_peak_resident_kb: " << PeakResidentKb() << "\n";
  return run;
}

conversion::ExportResult TimedRun(conversion::ExportJob& job, const conversion::ExportRequest& request,
                                  conversion::ExportObserver& observer, const std::filesystem::path& pst,
                                  std::int64_t items, double& seconds) {
  QElapsedTimer timer;
  timer.start();
  const std::clock_t cpu_start = std::clock();
  const conversion::ExportResult result = job.Run(request, observer);
  seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  // Processor time of every thread of the process, the Notes back-end's
  // background checkpoints included.
  const double cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  const conversion::RunReport& report = result.report;
  const std::int64_t done = report.Copied() + report.Failed();
  std::cout << "store: " << pst.string() << " (" << std::filesystem::file_size(pst) << " bytes, " << items
            << " items)\n"
            << "run: " << (result.end == conversion::RunEnd::Completed ? "completed" : "stopped") << ", " << done
            << " items handled, " << report.Copied() << " copied, " << report.Failed() << " failed\n"
            << "seconds: " << seconds << "\n"
            << "items_per_second: " << (seconds > 0 ? static_cast<double>(done) / seconds : 0) << "\n"
            << "cpu_seconds: " << cpu_seconds << "\n"
            << "items_per_cpu_second: " << (cpu_seconds > 0 ? static_cast<double>(done) / cpu_seconds : 0) << "\n"
            << "peak_resident_kb: " << PeakResidentKb() << "\n";
  return result;
}

long PeakResidentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return -1;
}

}  // namespace norvexa::bench
