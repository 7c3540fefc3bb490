// Splitting and comparing folder paths.
#include "platform/notes/folder_path.h"

#include "platform/notes/notes.h"

namespace norvexa::notes::internal {

std::vector<std::string> SplitFolderPath(const std::string& name) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : name) {
    if (c == '\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  if (parts.empty()) throw NotesError("folder name \"" + name + "\" is empty");
  return parts;
}

std::string JoinFolderPath(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) {
    if (!path.empty()) path += '\\';
    path += part;
  }
  return path;
}

std::string FolderKey(const std::string& path) {
  std::string key = path;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

}  // namespace norvexa::notes::internal
