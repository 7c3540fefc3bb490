// Process-wide sharing of open store files (see store_file_cache.h). A kept
// file holds its header, its named-property map and its cache of pages and
// blocks; only the most recently opened one is kept, as the next session
// asks for it in the usual course.
#include "platform/outlook/store_file_cache.h"

#include "platform/outlook/store_identity.h"
#include "platform/system/paths.h"

#include "platform/outlook/outlook.h"

#include <mutex>
#include <string>
#include <vector>

namespace norvexa::outlook::pst {

using sys::Utf8;
namespace {

// What makes two openings the same file. The name as given (absolute, not
// resolved) is part of it because the store's path, identifier and error
// messages come from it and must read as they would without sharing.
struct FileKey {
  std::string name;
  std::filesystem::path canonical;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified;

  bool operator==(const FileKey&) const = default;
};

// The key of the file at PATH, or false when it cannot be made (missing,
// unreadable): such a file is opened without sharing, which reports why.
bool KeyOf(const std::filesystem::path& path, FileKey& key) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return false;
  key.name = Utf8(absolute.lexically_normal());
  key.canonical = std::filesystem::canonical(path, ec);
  if (ec) return false;
  key.size = std::filesystem::file_size(key.canonical, ec);
  if (ec) return false;
  key.modified = std::filesystem::last_write_time(key.canonical, ec);
  return !ec;
}

// The files handed out and the one kept. The lock is held while a file is
// opened, so two threads asking for the same file open it once.
class SharedFiles {
 public:
  SharedFiles() = default;
  // Closes the kept file at exit, so that nothing of it is left over.
  ~SharedFiles() { Release(); }
  SharedFiles(const SharedFiles&) = delete;
  SharedFiles& operator=(const SharedFiles&) = delete;

  std::shared_ptr<StoreFile> Open(const std::filesystem::path& path) {
    FileKey key;
    const bool keyed = KeyOf(path, key);
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(entries_, [](const Entry& e) { return e.file.expired(); });
    if (keyed) {
      for (const Entry& entry : entries_) {
        if (!(entry.key == key)) continue;
        if (std::shared_ptr<StoreFile> file = entry.file.lock()) {
          kept_ = file;
          return file;
        }
      }
    }
    // Another file is opened: the kept one goes first (unless others still
    // use it), so that two caches are not held at once for its sake. A file
    // that cannot even be examined (missing) leaves it kept.
    if (keyed) kept_.reset();
    std::shared_ptr<StoreFile> file = StoreFile::Open(path);
    ++opens_;
    if (keyed) {
      entries_.push_back(Entry{key, file});
      kept_ = file;
    }
    return file;
  }

  void Release() {
    std::shared_ptr<StoreFile> dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      dropped.swap(kept_);
      // Entries of files still in use stay: those files are still shared.
      std::erase_if(entries_, [](const Entry& e) { return e.file.expired(); });
    }
    // DROPPED, when nobody else uses it, is closed here, outside the lock.
  }

  std::uint64_t opens() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
  }

 private:
  struct Entry {
    FileKey key;
    std::weak_ptr<StoreFile> file;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
  std::shared_ptr<StoreFile> kept_;
  std::uint64_t opens_ = 0;
};

SharedFiles& Files() {
  static SharedFiles files;
  return files;
}

}  // namespace

std::shared_ptr<StoreFile> OpenSharedFile(const std::filesystem::path& path) { return Files().Open(path); }

void ReleaseSharedFiles() { Files().Release(); }

std::uint64_t StoreFileOpenCount() { return Files().opens(); }

}  // namespace norvexa::outlook::pst

namespace norvexa::outlook {

void ReleaseCachedStores() { pst::ReleaseSharedFiles(); }

}  // namespace norvexa::outlook
