// The session: log-on to a profile file, the profile's store list, stores by
// identifier, and the property utility.
#include "platform/outlook/outlook.h"

#include "platform/outlook/store_identity.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"

#include <QDir>
#include <QString>

#include <fstream>
#include <sstream>

namespace norvexa::outlook {
namespace {

// The default profile file: $NORVEXA_MAPI_PROFILE, else
// ~/.config/norvexa/mapi-profile.
std::filesystem::path DefaultProfilePath() {
  const QString configured = qEnvironmentVariable("NORVEXA_MAPI_PROFILE");
  if (!configured.isEmpty()) return std::filesystem::path(configured.toStdU16String());
  return std::filesystem::path((QDir::homePath() + "/.config/norvexa/mapi-profile").toStdU16String());
}

// Reads the store files listed in the profile at PATH (one per line, blank
// lines ignored). Throws OutlookError when there is no such profile.
std::vector<std::filesystem::path> ReadProfile(const std::filesystem::path& path) {
  const std::string name = sys::Utf8(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw OutlookError("Outlook is not configured: no profile file " + name);
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw OutlookError("Outlook is not configured: cannot read the profile file " + name);
  std::vector<std::filesystem::path> files;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // byte-order mark
    first = false;
    line = sys::Trim(line, sys::kLineBlanks);
    if (line.empty()) continue;
    files.push_back(sys::PathFromUtf8(line));
  }
  if (in.bad()) throw OutlookError("Outlook is not configured: cannot read the profile file " + name);
  return files;
}

}  // namespace

Session::Session() = default;
Session::~Session() = default;

void Session::Logon() { LogonProfile(DefaultProfilePath()); }

void Session::LogonProfile(const std::filesystem::path& path) {
  stores_ = std::make_unique<StoreList>(ReadProfile(path));
}

bool Session::LoggedOn() const { return stores_ != nullptr; }

StoreList& Session::Stores() {
  if (!stores_) throw OutlookError("not logged on to an Outlook profile");
  return *stores_;
}

std::unique_ptr<Store> Session::GetStoreFromID(const std::string& id) { return Stores().GetStoreFromID(id); }

void Session::Logoff() { stores_.reset(); }

StoreList::StoreList(std::vector<std::filesystem::path> files) : files_(std::move(files)) {}

std::size_t StoreList::Count() const { return files_.size(); }

std::unique_ptr<Store> StoreList::Item(std::size_t position) const {
  if (position < 1 || position > files_.size()) {
    throw OutlookError("store " + std::to_string(position) + " is out of range (the profile lists " +
                       std::to_string(files_.size()) + ")");
  }
  const std::filesystem::path& path = files_[position - 1];
  try {
    return OpenStoreFile(path);
  } catch (const OutlookError& e) {
    return std::make_unique<items::UnavailableStore>(path, e.what());
  }
}

std::unique_ptr<Store> StoreList::GetStoreFromID(const std::string& id) const {
  const auto path = items::PathForStoreId(id);
  if (!path) throw OutlookError("\"" + sys::Trim(id, sys::kLineBlanks) + "\" is not a store identifier");
  return OpenStoreFile(*path);
}

std::unique_ptr<Store> StoreList::AddPSTStore(const std::string& path) const {
  const std::string trimmed = sys::Trim(path, sys::kLineBlanks);
  if (trimmed.empty()) throw OutlookError("no store file named");
  return OpenStoreFile(sys::PathFromUtf8(trimmed));
}

PropValue MapiUtils::HrGetOneProp(const MapiObject& object, std::uint32_t tag) const { return object.GetProp(tag); }

}  // namespace norvexa::outlook
