// Identifiers and classes that do not depend on how a store file is read:
// store identifiers from paths, folder entry identifiers, the message class
// of a folder's items, and the stand-in for a store that cannot be opened.
#include "platform/outlook/store_identity.h"

#include "platform/outlook/messaging_layout.h"
#include "platform/outlook/ndb_layout.h"

#include "platform/system/hex.h"
#include "platform/system/paths.h"
#include "platform/system/text.h"

#include <cstring>
#include <fstream>

namespace norvexa::outlook::items {
namespace {

constexpr const char* kStoreIdPrefix = "pst:";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// True when CLASS is BASE or a sub-class "BASE.*" (case as stored).
bool IsClassOrSub(const std::string& klass, const std::string& base) {
  return klass == base || StartsWith(klass, base + ".");
}

}  // namespace

std::string CheckStoreFile(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string name = sys::Utf8((ec ? path : absolute).lexically_normal());
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) throw OutlookError(name + ": no such store file");
  if (std::filesystem::is_directory(status)) throw OutlookError(name + ": is a folder, not a store file");
  if (!std::filesystem::is_regular_file(status)) throw OutlookError(name + ": is not a regular file");
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw OutlookError(name + ": cannot read the file size: " + ec.message());
  if (size == 0) throw OutlookError(name + ": the file is empty, not a store");
  std::ifstream probe(path, std::ios::binary);
  char magic[sizeof pst::kHeaderMagic] = {0};
  if (!probe.read(magic, sizeof magic)) throw OutlookError(name + ": cannot read the file or it is too short to be a store");
  if (std::memcmp(magic, pst::kHeaderMagic, sizeof magic) != 0) throw OutlookError(name + ": not an Outlook data file (.pst/.ost)");
  return name;
}

std::string StoreIdForPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::string text = sys::Utf8((ec ? path : absolute).lexically_normal());
  return kStoreIdPrefix + sys::HexEncode(text);
}

std::optional<std::filesystem::path> PathForStoreId(const std::string& raw) {
  const std::string id = sys::Trim(raw, sys::kLineBlanks);
  if (!StartsWith(id, kStoreIdPrefix)) return std::nullopt;
  const std::optional<std::string> text = sys::HexDecode(std::string_view(id).substr(std::strlen(kStoreIdPrefix)));
  // A path holds no NUL; one in the identifier would cut the path short.
  if (!text || text->empty() || text->find('\0') != std::string::npos) return std::nullopt;
  return sys::PathFromUtf8(*text);
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

std::string FolderEntryId(std::uint32_t nid) { return sys::HexNumber(nid, 8); }

std::optional<std::uint32_t> NodeOfEntryId(const std::string& entry_id) {
  if (entry_id.size() < pst::kEntryIdSize) return std::nullopt;
  return pst::Le32(reinterpret_cast<const std::uint8_t*>(entry_id.data()) + pst::kEntryIdNidAt);
}

std::string StoreKey(const std::string& record_key, const std::string& path) {
  if (!record_key.empty()) return sys::HexEncode(record_key);
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : path) hash = (hash ^ c) * 0x100000001B3ull;
  return "file" + sys::HexNumber(hash, 16);
}

std::string ItemSourceKey(const std::string& store_key, std::uint32_t nid) {
  return store_key + "-" + FolderEntryId(nid);
}

std::optional<std::uint32_t> ParseFolderEntryId(const std::string& raw) {
  const std::string entry_id = sys::Trim(raw, sys::kLineBlanks);
  if (entry_id.empty() || entry_id.size() > 8) return std::nullopt;
  std::uint32_t id = 0;
  for (char c : entry_id) {
    const int digit = sys::HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    id = id * 16 + static_cast<std::uint32_t>(digit);
  }
  return id;
}

std::string UnavailableStore::DisplayName() const { return sys::Utf8(path_.stem()); }
std::string UnavailableStore::StoreID() const { return StoreIdForPath(path_); }
std::string UnavailableStore::PstPath() const { return sys::Utf8(path_); }
std::unique_ptr<Folder> UnavailableStore::IPMRootFolder() const { throw OutlookError(reason_); }
std::unique_ptr<Folder> UnavailableStore::GetFolderFromID(const std::string&) const { throw OutlookError(reason_); }

}  // namespace norvexa::outlook::items
