// Naming of the target of a run; see naming.h.
#include "conversion/naming.h"

#include "conversion/global/global.h"
#include "platform/system/text.h"
#include "target/date_stamp.h"

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

NewDatabaseNames ComposeNewDatabaseNames(const std::string& output_folder, const std::string& pst_path,
                                         const QDateTime& now, const std::string& separator) {
  // The steps keep the order in which the folder is built: the separator
  // test looks at the untrimmed choice, each later step trims what it has.
  std::string path = output_folder;
  if (!EndsWith(path, separator)) path += separator;
  path = sys::Trim(path) + "Converted Outlook PST";
  path = sys::Trim(path) + separator;

  NewDatabaseNames names;
  names.folder = path;

  std::string base = sys::Trim(Global::GetFileNameFromPath(pst_path));
  base = RemoveAll(base, ".pst") + target::DateStamp(now);
  names.nsf_path = sys::Trim(path) + sys::Trim(base) + ".nsf";
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
  pieces.folder_name = sys::Trim(reference.substr(hash + 1));
  return pieces;
}

}  // namespace norvexa::conversion
