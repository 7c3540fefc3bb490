// Folder names of a Notes database: "\" separates nested folders
// ("Personal Folders\Inbox" is Inbox inside Personal Folders).
#pragma once

#include <string>
#include <vector>

namespace norvexa::notes::internal {

// The folder names along NAME, outermost first; empty pieces (doubled,
// leading or trailing "\") are dropped. Throws NotesError when nothing is
// left.
std::vector<std::string> SplitFolderPath(const std::string& name);

// PARTS joined by "\".
std::string JoinFolderPath(const std::vector<std::string>& parts);

// The key under which a folder path is looked up: folder names compare
// without regard to ASCII case, as the database's NOCASE collation does.
std::string FolderKey(const std::string& path);

}  // namespace norvexa::notes::internal
