// Streaming attachments into and out of a Notes database.
#include "platform/notes/attachment_store.h"

#include "platform/notes/item_codec.h"
#include "platform/system/hex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/opensslv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <string_view>

namespace norvexa::notes::internal {

namespace {

// Bytes moved per read and blob write.
constexpr std::size_t kChunk = 1 << 20;

// An open file descriptor, closed on scope exit.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }
  // Closes the file, reporting a failure (a write-back error on the target).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Reads up to SIZE bytes into BUFFER, retrying interrupted reads. Returns the
// count read (0 at end of file) or -1.
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// Chunk buffer TURN (0 or 1) of this thread; allocated once, as
// attachments are streamed one at a time on each thread.
char* ChunkBuffer(int turn) {
  thread_local std::unique_ptr<char[]> buffers[2] = {std::unique_ptr<char[]>(new char[kChunk]),
                                                     std::unique_ptr<char[]>(new char[kChunk])};
  return buffers[turn].get();
}

// SHA-256 as OpenSSL provides it, looked up once: given EVP_sha256(),
// OpenSSL 3 looks the algorithm up in its provider tables again at every
// EVP_DigestInit_ex.
const EVP_MD* Sha256() {
#if OPENSSL_VERSION_NUMBER >= 0x30000000L
  static EVP_MD* const fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  if (fetched) return fetched;
#endif
  return EVP_sha256();
}

using BlobHandle = std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)>;

BlobHandle OpenBlob(Connection& connection, std::int64_t id, bool write, const char* operation) {
  sqlite3_blob* blob = nullptr;
  if (sqlite3_blob_open(connection.handle(), "main", "attachment_data", "data", id, write ? 1 : 0, &blob) != SQLITE_OK) {
    BlobHandle guard(blob, sqlite3_blob_close);
    ThrowSqlite(connection.handle(), connection.path(), operation);
  }
  return BlobHandle(blob, sqlite3_blob_close);
}

// A fresh SHA-256 context. Throws NotesError naming OPERATION and WHERE when
// the algorithm is not available.
std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> NewSha256(const char* operation, const std::string& where) {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> hash(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!hash || EVP_DigestInit_ex(hash.get(), Sha256(), nullptr) != 1)
    throw NotesError(std::string(operation) + where + ": SHA-256 is not available");
  return hash;
}

// The lower-case hex digest of HASH, which is finished by the call.
std::string FinishSha256(EVP_MD_CTX* hash, const char* operation, const std::string& where) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(hash, digest, &length) != 1) throw NotesError(std::string(operation) + where + ": SHA-256 failed");
  return sys::HexEncode(std::string_view(reinterpret_cast<const char*>(digest), length), sys::HexCase::Lower);
}

// Inserts the metadata row of STORED (file name and size set) for rich-text
// item ITEM_NAME, belonging to no document yet, and sets STORED.id. Runs
// inside the caller's transaction, holding the connection's lock; throws when
// the size is larger than a database value can hold.
void InsertAttachmentRow(Connection& connection, StoredAttachment& stored, const std::string& item_name,
                         const char* operation, const std::string& where) {
  if (stored.info.size > sqlite3_limit(connection.handle(), SQLITE_LIMIT_LENGTH, -1))
    throw NotesError(operation + where + " is larger than a database value can hold");
  Statement insert(connection,
                   "INSERT INTO attachments(note_id, item_name, file_name, size, sha256, staged) "
                   "VALUES (NULL, ?1, ?2, ?3, '', ?4)",
                   operation);
  insert.Bind(1, item_name).Bind(2, stored.info.file_name).Bind(3, std::int64_t{stored.info.size}).Bind(4, NowUtc());
  insert.Run();
  stored.id = sqlite3_last_insert_rowid(connection.handle());
}

// Stores BYTES, already hashed into STORED.info.sha256, as one value: the
// metadata row and the data row in one transaction. The bytes live in a row
// of their own, so that recording the hash at the save rewrites only the
// small metadata row, not the blob.
void InsertWhole(Connection& connection, StoredAttachment& stored, std::string_view bytes, const std::string& item_name,
                 const char* operation, const std::string& where) {
  std::lock_guard lock(connection.mutex());
  Transaction transaction(connection, operation);
  InsertAttachmentRow(connection, stored, item_name, operation, where);
  Statement insert(connection, "INSERT INTO attachment_data(id, data) VALUES (?1, ?2)", operation);
  insert.Bind(1, stored.id).BindBlob(2, bytes.data(), bytes.size());
  insert.Run();
  transaction.Commit();
}

// Reads the whole of FILE, of SIZE bytes by its fstat, into the first chunk
// buffer (SIZE is under one chunk) and returns the bytes. Reading goes on to
// the end of the file (up to a chunk), so that a file that grew or shrank
// since the fstat throws.
std::string_view ReadWholeFile(FileHandle& file, std::int64_t size, const char* operation, const std::string& where) {
  char* buffer = ChunkBuffer(0);
  std::size_t read = 0;
  for (;;) {
    const ssize_t n = ReadSome(file.get(), buffer + read, kChunk - read);
    if (n < 0) throw NotesError(operation + where + " cannot be read (" + std::strerror(errno) + ")");
    if (n == 0) break;
    read += static_cast<std::size_t>(n);
    if (static_cast<std::int64_t>(read) > size) throw NotesError(operation + where + " grew while it was being read");
  }
  if (static_cast<std::int64_t>(read) != size) throw NotesError(operation + where + " shrank while it was being read");
  return std::string_view(buffer, read);
}

// Streams FILE (of STORED.info.size bytes, one chunk or more) into a new
// attachment in one transaction, through SQLite's incremental blob I/O, and
// hashes it beside the writes (notes.h): two buffers take turns, and the
// hashing of one must end before its buffer is read into again. (A thread
// per megabyte costs little beside the megabyte.) Returns once the commit
// and the hashing are both over, with the digest in STORED.info.sha256.
void StreamInChunks(Connection& connection, FileHandle& file, StoredAttachment& stored, const std::string& item_name,
                    const char* operation, const std::string& where) {
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint; its failure changes nothing
#endif
  auto hash = NewSha256(operation, where);
  std::lock_guard lock(connection.mutex());
  Transaction transaction(connection, operation);
  InsertAttachmentRow(connection, stored, item_name, operation, where);
  {
    Statement insert(connection, "INSERT INTO attachment_data(id, data) VALUES (?1, zeroblob(?2))", operation);
    insert.Bind(1, stored.id).Bind(2, std::int64_t{stored.info.size});
    insert.Run();
  }
  std::future<void> hashing;
  auto hash_chunk = [context = hash.get()](const char* data, std::size_t n) { EVP_DigestUpdate(context, data, n); };
  {
    BlobHandle blob = OpenBlob(connection, stored.id, true, operation);
    std::int64_t offset = 0;
    for (int turn = 0;; turn ^= 1) {
      char* buffer = ChunkBuffer(turn);
      const ssize_t n = ReadSome(file.get(), buffer, kChunk);
      if (n < 0) throw NotesError(operation + where + " cannot be read (" + std::strerror(errno) + ")");
      if (n == 0) break;
      if (offset + n > stored.info.size) throw NotesError(operation + where + " grew while it was being read");
      if (hashing.valid()) hashing.get();
      hashing = std::async(std::launch::async, hash_chunk, buffer, static_cast<std::size_t>(n));
      if (sqlite3_blob_write(blob.get(), buffer, static_cast<int>(n), static_cast<int>(offset)) != SQLITE_OK)
        ThrowSqlite(connection.handle(), connection.path(), operation);
      offset += n;
    }
    if (offset != stored.info.size) throw NotesError(operation + where + " shrank while it was being read");
  }
  transaction.Commit();
  if (hashing.valid()) hashing.get();
  stored.info.sha256 = FinishSha256(hash.get(), operation, where);
}

// BYTES hashed, as a lower-case hex SHA-256.
std::string Sha256Of(std::string_view bytes, const char* operation, const std::string& where) {
  auto hash = NewSha256(operation, where);
  EVP_DigestUpdate(hash.get(), bytes.data(), bytes.size());
  return FinishSha256(hash.get(), operation, where);
}

}  // namespace

StoredAttachment StreamFileIn(Connection& connection, const std::filesystem::path& source,
                              const std::string& item_name) {
  const char* operation = "embed object";
  const std::string where = " on " + connection.path() + ": " + source.string();
  FileHandle file(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw NotesError(operation + where + " cannot be read (" + std::strerror(errno) + ")");
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw NotesError(operation + where + " is not a regular file");

  StoredAttachment stored;
  stored.info.file_name = source.filename().string();
  stored.info.size = st.st_size;
  // A file smaller than one chunk (most attachments) is read whole before
  // the transaction begins, hashed on this thread and inserted as one value.
  if (stored.info.size < static_cast<std::int64_t>(kChunk)) {
    const std::string_view bytes = ReadWholeFile(file, stored.info.size, operation, where);
    stored.info.sha256 = Sha256Of(bytes, operation, where);
    InsertWhole(connection, stored, bytes, item_name, operation, where);
  } else {
    StreamInChunks(connection, file, stored, item_name, operation, where);
  }
  return stored;
}

StoredAttachment StoreBytesIn(Connection& connection, const std::string& file_name, std::string_view bytes,
                              const std::string& item_name) {
  const char* operation = "embed object";
  const std::string where = " on " + connection.path() + ": " + file_name;
  StoredAttachment stored;
  stored.info.file_name = file_name;
  stored.info.size = static_cast<std::int64_t>(bytes.size());
  stored.info.sha256 = Sha256Of(bytes, operation, where);
  InsertWhole(connection, stored, bytes, item_name, operation, where);
  return stored;
}

void StreamFileOut(Connection& connection, std::int64_t id, const std::filesystem::path& target) {
  const char* operation = "extract attachment";
  const std::string where = " on " + connection.path() + " to " + target.string();
  std::lock_guard lock(connection.mutex());
  // An open blob handle keeps its read transaction, so the bytes cannot
  // change between chunks.
  BlobHandle blob = OpenBlob(connection, id, false, operation);
  const int size = sqlite3_blob_bytes(blob.get());
  FileHandle file(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (file.get() < 0) throw NotesError(operation + where + ": " + std::strerror(errno));
  char* buffer = ChunkBuffer(0);
  for (int offset = 0; offset < size;) {
    const int n = std::min<int>(static_cast<int>(kChunk), size - offset);
    if (sqlite3_blob_read(blob.get(), buffer, n, offset) != SQLITE_OK)
      ThrowSqlite(connection.handle(), connection.path(), operation);
    for (int written = 0; written < n;) {
      const ssize_t w = ::write(file.get(), buffer + written, static_cast<std::size_t>(n - written));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) throw NotesError(operation + where + ": " + std::strerror(errno));
      written += static_cast<int>(w);
    }
    offset += n;
  }
  if (!file.Close()) throw NotesError(operation + where + ": " + std::strerror(errno));
}

void DeleteUnclaimedAttachments(Connection& connection, const std::vector<std::int64_t>& ids) {
  const char* operation = "discard attachment";
  std::lock_guard lock(connection.mutex());
  Transaction transaction(connection, operation);
  for (std::int64_t id : ids) {
    Statement remove(connection, "DELETE FROM attachments WHERE id = ?1 AND note_id IS NULL", operation);
    remove.Bind(1, id);
    remove.Run();
  }
  transaction.Commit();
}

}  // namespace norvexa::notes::internal
