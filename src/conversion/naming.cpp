// Naming of the target of a run; see naming.h.
#include "conversion/naming.h"

#include "conversion/global/global.h"

namespace norvexa::conversion {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// TEXT with every occurrence of PATTERN removed, scanning left to right, so
// "a.pst.old.pst" loses both.
std::string RemoveAll(std::string text, const std::string& pattern) {
  std::size_t at = 0;
  while ((at = text.find(pattern, at)) != std::string::npos) text.erase(at, pattern.size());
  return text;
}

}  // namespace

std::string TrimSpaces(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

NewDatabaseNames ComposeNewDatabaseNames(const std::string& output_folder, const std::string& pst_path,
                                         const QDateTime& now, const std::string& separator) {
  // The steps keep the order in which the folder is built: the separator
  // test looks at the untrimmed choice, each later step trims what it has.
  std::string path = output_folder;
  if (!EndsWith(path, separator)) path += separator;
  path = TrimSpaces(path) + "Converted Outlook PST";
  path = TrimSpaces(path) + separator;

  NewDatabaseNames names;
  names.folder = path;

  std::string base = TrimSpaces(Global::GetFileNameFromPath(pst_path));
  base = RemoveAll(base, ".pst") + Global::DateStamp(now);
  names.nsf_path = TrimSpaces(path) + TrimSpaces(base) + ".nsf";
  return names;
}

FolderReference SplitFolderReference(const std::string& reference) {
  FolderReference pieces;
  const std::size_t hash = reference.find('#');
  if (hash == std::string::npos) {
    pieces.entry_id = reference;
    return pieces;
  }
  pieces.entry_id = reference.substr(0, hash);
  pieces.folder_name = TrimSpaces(reference.substr(hash + 1));
  return pieces;
}

}  // namespace norvexa::conversion
