// Identifiers and classes that do not depend on how a store file is read:
// store identifiers from paths, folder entry identifiers, the message class
// of a folder's items, and the stand-in for a store that cannot be opened.
#include "platform/outlook/mapi_item.h"

#include "platform/outlook/text_codec.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace norvexa::outlook::pff {
namespace {

constexpr const char* kStoreIdPrefix = "pst:";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// True when CLASS is BASE or a sub-class "BASE.*" (case as stored).
bool IsClassOrSub(const std::string& klass, const std::string& base) {
  return klass == base || StartsWith(klass, base + ".");
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string CheckStoreFile(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string name = PathUtf8((ec ? path : absolute).lexically_normal());
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) throw OutlookError(name + ": no such store file");
  if (std::filesystem::is_directory(status)) throw OutlookError(name + ": is a folder, not a store file");
  if (!std::filesystem::is_regular_file(status)) throw OutlookError(name + ": is not a regular file");
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw OutlookError(name + ": cannot read the file size: " + ec.message());
  if (size == 0) throw OutlookError(name + ": the file is empty, not a store");
  std::ifstream probe(path, std::ios::binary);
  char magic[4] = {0};
  if (!probe.read(magic, 4)) throw OutlookError(name + ": cannot read the file or it is too short to be a store");
  if (std::memcmp(magic, "!BDN", 4) != 0) throw OutlookError(name + ": not an Outlook data file (.pst/.ost)");
  return name;
}

std::string StoreIdForPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string text = PathUtf8((ec ? path : absolute).lexically_normal());
  std::string id = kStoreIdPrefix;
  static const char* digits = "0123456789ABCDEF";
  for (unsigned char c : text) {
    id.push_back(digits[c >> 4]);
    id.push_back(digits[c & 0x0F]);
  }
  return id;
}

std::optional<std::filesystem::path> PathForStoreId(const std::string& raw) {
  const std::string id = text::Trim(raw);
  if (!StartsWith(id, kStoreIdPrefix)) return std::nullopt;
  const std::string hex = id.substr(std::string(kStoreIdPrefix).size());
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::u8string text;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    const int value = high * 16 + low;
    if (value == 0) return std::nullopt;
    text.push_back(static_cast<char8_t>(value));
  }
  return std::filesystem::path(text);
}

std::string DefaultMessageClassFor(const std::string& container_class) {
  const std::string& c = container_class;
  if (c.empty() || IsClassOrSub(c, "IPF.Note") || c == "IPF.Imap") return "IPM.Note";
  static const char* const kKinds[] = {"Appointment", "Contact", "Task", "Journal", "StickyNote"};
  for (const char* kind : kKinds) {
    if (IsClassOrSub(c, std::string("IPF.") + kind)) return std::string("IPM.") + kind;
  }
  if (StartsWith(c, "IPF.")) return "IPM." + c.substr(4);
  // A class outside the IPF family ("Outlook.Reminder") holds no IPM items
  // of a known kind; it is handed on as it is.
  return c;
}

std::string FolderEntryId(std::uint32_t nid) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(nid));
  return buffer;
}

std::string StoreKey(const std::string& record_key, const std::string& path) {
  static const char* digits = "0123456789ABCDEF";
  std::string key;
  if (!record_key.empty()) {
    for (unsigned char c : record_key) {
      key.push_back(digits[c >> 4]);
      key.push_back(digits[c & 0x0F]);
    }
    return key;
  }
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : path) hash = (hash ^ c) * 0x100000001B3ull;
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "file%016llX", static_cast<unsigned long long>(hash));
  return buffer;
}

std::string ItemSourceKey(const std::string& store_key, std::uint32_t nid) {
  return store_key + "-" + FolderEntryId(nid);
}

std::optional<std::uint32_t> ParseFolderEntryId(const std::string& raw) {
  const std::string entry_id = text::Trim(raw);
  if (entry_id.empty() || entry_id.size() > 8) return std::nullopt;
  std::uint32_t id = 0;
  for (char c : entry_id) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    id = id * 16 + static_cast<std::uint32_t>(digit);
  }
  return id;
}

std::string UnavailableStore::DisplayName() const { return PathUtf8(path_.stem()); }
std::string UnavailableStore::StoreID() const { return StoreIdForPath(path_); }
std::string UnavailableStore::PstPath() const { return PathUtf8(path_); }
std::unique_ptr<Folder> UnavailableStore::IPMRootFolder() const { throw OutlookError(reason_); }
std::unique_ptr<Folder> UnavailableStore::GetFolderFromID(const std::string&) const { throw OutlookError(reason_); }

}  // namespace norvexa::outlook::pff
