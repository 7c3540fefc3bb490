// Module Global: the values shared between the main window, the save window,
// the conversion run and the writers, and the small procedures they use.
// These are the program's only shared mutable state.
#pragma once

#include <QDateTime>
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

// The output folder, then the full path of the target mail database.
extern std::string NsfFilePath;

// The output folder, then the full path of the new address book.
extern std::string AddressBookPath;

// "" or "|" before the staged path of each attachment of the current item.
extern std::string AttachmentList;

// The source key of the current item (outlook::Item::SourceKey), which every
// writer stores in its document as the text item kSourceKeyItem; "" outside
// an item, and then no such item is written.
extern std::string SourceKey;

// The name of the document item that holds the source key.
inline constexpr char kSourceKeyItem[] = "NorvexaSourceKey";

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

// The date stamp of WHEN in the form "dd-mm-yyyy-h-m-s": day and month in two
// digits, four-digit year, then hour (24-hour clock), minutes and seconds
// without leading zeros. Used in the names of new databases.
std::string DateStamp(const QDateTime& when);

// The folder browser with PROMPT; the chosen folder's path, or "" when the
// user cancels or anything fails.
std::string BrowseForFolder(QWidget* owner, const std::string& prompt);

}  // namespace norvexa::Global
