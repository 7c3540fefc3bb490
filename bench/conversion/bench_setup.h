// What the conversion benchmarks share: a Notes client for the run, the
// request for every folder of a store as the folder tree lists them (timed
// apart from the run, as the user fills the tree before a run), and the
// peak resident memory.
#pragma once

#include "conversion/export_job.h"
#include "conversion/export_request.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace norvexa::bench {

// What a benchmark runs: the store file, the folder the new database goes
// into, and the request for every folder below the store's top, with the
// items those folders hold.
struct BenchRun {
  std::filesystem::path pst;
  std::filesystem::path out;
  conversion::ExportRequest request;
  std::int64_t items = 0;
};

// Reads "STORE.pst OUTPUT_FOLDER" from the command line of the benchmark
// NAME (absolute paths), makes OUTPUT_FOLDER, names the Notes client
// (NORVEXA_NOTES_DATA when set, else one provisioned once in
// OUTPUT_FOLDER/notes-client) and walks the store's folders into the
// request, printing how long that took. std::nullopt, after the usage line
// on standard error, when the arguments are not two. Throws what the store
// access or the Notes back-end throws.
std::optional<BenchRun> PrepareRun(int argc, char** argv, const char* name);

// Runs REQUEST with JOB and OBSERVER, timed, and prints the figures of the
// run (store PST with ITEMS items): how it ended, the items handled,
// seconds, items per second, processor seconds and the peak memory.
// Returns the run's result and its wall seconds in SECONDS.
conversion::ExportResult TimedRun(conversion::ExportJob& job, const conversion::ExportRequest& request,
                                  conversion::ExportObserver& observer, const std::filesystem::path& pst,
                                  std::int64_t items, double& seconds);

// Peak resident memory in kB from the kernel's account, or -1 where there
// is none to read.
long PeakResidentKb();

}  // namespace norvexa::bench
