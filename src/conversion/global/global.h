// Module Global: the values shared between the main window, the save window,
// the conversion run and the writers, and the small procedures they use.
// These are the program's only shared mutable state.
#pragma once

#include "writers/writers.h"

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QWidget;

namespace norvexa::Global {

// Identifier of the store shown in the folder tree and read by the run.
extern std::string SelectedStoreId;

// Folder references of the ticked folders ("entry id#path"), from index 0;
// the remaining entries are empty.
extern std::vector<std::string> SelectedFolders;

// The item count the folder tree showed for each ticked folder, by folder
// reference; the run counts them as not copied when a folder cannot be read.
extern std::map<std::string, std::int64_t> SelectedFolderCounts;

// The full path of the mail database of the last run, set once when the run
// has settled its target (before the first item) and kept after it; "" when
// a new choice of target is being made. The run itself hands its paths to
// CreateNSF and the writers as a value (target::RunPaths).
extern std::string NsfFilePath;

// The full path of the address book the last run created; "" when it wrote
// into an existing database. Set with NsfFilePath.
extern std::string AddressBookPath;

// The staged files of the current mail, calendar or task item, one per
// attachment in order; emptied at the start of every such item and handed
// to its writer as MailAttachment.
extern writers::StagedFiles AttachmentList;

// The text list written as item "excludeFromView": "D" and "S" once the save
// window has loaded.
extern std::array<std::string, 2> ExcludeFromViewValues;

// The system temporary folder, ending in the platform's separator.
std::string GetTempFolder();

// Creates every missing level of folder PATH (a trailing separator is added
// when missing). True on success.
bool EnsureFolderExists(const std::string& path);

// The text after the last separator of PATH; PATH itself when it holds none;
// "" when it ends in one.
std::string GetFileNameFromPath(const std::string& path);

// The folder browser with PROMPT; the chosen folder's path, or "" when the
// user cancels or anything fails.
std::string BrowseForFolder(QWidget* owner, const std::string& prompt);

}  // namespace norvexa::Global
