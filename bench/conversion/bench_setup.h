// What the conversion benchmarks share: a Notes client for the run, the
// request for every folder of a store as the folder tree lists them (timed
// apart from the run, as the user fills the tree before a run), and the
// peak resident memory.
#pragma once

#include "conversion/export_job.h"
#include "conversion/export_request.h"

#include <cstdint>
#include <filesystem>

namespace norvexa::bench {

// Names the Notes client of the run: NORVEXA_NOTES_DATA when set, else one
// provisioned (once) in OUT/notes-client.
void UseNotesClient(const std::filesystem::path& out);

// The request for every folder below the top of the store file PST into a
// new database in OUT; ITEMS gets the items those folders hold.
conversion::ExportRequest EveryFolderInto(const std::filesystem::path& pst, const std::filesystem::path& out,
                                          std::int64_t& items);

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
