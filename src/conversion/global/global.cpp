// Module Global: the shared values and the path helpers.
#include "conversion/global/global.h"

#include "platform/system/system_services.h"

#include <filesystem>
#include <system_error>

namespace norvexa::Global {

std::string SelectedStoreId;
std::vector<std::string> SelectedFolders;
std::map<std::string, std::int64_t> SelectedFolderCounts;
std::string NsfFilePath;
std::string AddressBookPath;
writers::StagedFiles AttachmentList;
std::array<std::string, 2> ExcludeFromViewValues;

namespace {

std::string Separator() { return sys::PathSeparator().toStdString(); }

}  // namespace

std::string GetTempFolder() {
  // QDir::tempPath has no length limit, so neither has this.
  std::string folder = sys::Services().TempFolder().toStdString();
  if (folder.empty() || folder.substr(folder.size() - Separator().size()) != Separator()) folder += Separator();
  return folder;
}

bool EnsureFolderExists(const std::string& path) {
  if (path.empty()) return false;
  std::string folder = path;
  if (folder.substr(folder.size() - Separator().size()) != Separator()) folder += Separator();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(folder), ec);
  if (ec) return false;
  return std::filesystem::is_directory(std::filesystem::path(folder), ec);
}

std::string GetFileNameFromPath(const std::string& path) {
  const std::size_t at = path.rfind(Separator());
  if (at == std::string::npos) return path;
  return path.substr(at + Separator().size());
}

std::string BrowseForFolder(QWidget* owner, const std::string& prompt) {
  return sys::Services().BrowseFolder(owner, QString::fromStdString(prompt)).toStdString();
}

}  // namespace norvexa::Global
