// The staging folders of runs, by the process that made them: a run's
// staging folder is named "norvexa-attachments-HOST-PID-XXXXXX" (this
// machine's host name, the process id, six random characters), so that a
// later run can tell the folders of processes that ended without removing
// them (killed, crashed, the machine turned off) from those of runs going on,
// here or on another machine sharing the folder, and remove the first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::conversion {

// "norvexa-attachments-HOST-": the start of the names of this machine's
// staging folders. HOST is the host name made fit for a file name and cut
// to 64 bytes.
std::string StagingNamePrefix();

// The template of this process's staging folder name, for QTemporaryDir:
// StagingNamePrefix() + this process's id + "-XXXXXX".
std::string StagingNameTemplate();

// The id of the process that made the staging folder named NAME, when NAME
// is one of this machine's (StagingNamePrefix(), digits, "-", six more
// characters); std::nullopt for any other name.
std::optional<std::int64_t> StagingFolderProcess(const std::string& name);

// Removes, in every folder of PARENTS, the staging folders of this machine
// whose process no longer exists, with everything in them; the folders of
// this process and of running ones stay, and so does anything that is not
// a folder of that name (a link of that name is never followed). Returns
// the folders removed. A folder that cannot be read or removed (another
// user's) is passed over; never throws.
std::vector<std::filesystem::path> RemoveLeftoverStaging(const std::vector<std::filesystem::path>& parents);

}  // namespace norvexa::conversion
