// The process-wide cache of SQLite connections to Notes databases, and the
// small statement and transaction wrappers the back-end uses on them.
#include "platform/notes/sqlite_store.h"

#include "platform/notes/mime_content.h"
#include "platform/notes/notes_schema.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

namespace norvexa::notes::internal {

namespace {

// Idle connections kept open for reuse; the least recently used beyond this
// number are closed.
constexpr std::size_t kMaxIdleConnections = 8;
// How long a writer waits for another writer (another program) to finish.
constexpr int kBusyTimeoutMs = 15000;
// Log size, in pages, at which a background checkpoint is asked for, and at
// which the writer checkpoints itself. The log is reused from its start only
// when a writer finds every page of it copied back, which a background
// checkpoint racing a busy writer rarely achieves; the writer's own
// checkpoint then copies the last few pages so the log can start over.
constexpr int kCheckpointFrames = 2048;
constexpr int kCheckpointNowFrames = 8192;

// Identity of a file: its device and inode.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// A cached connection, by the file and the access it was asked for (a
// request to write a file that cannot be written has a read-only
// connection). Read-only requests have connections of their own, so that
// nothing done through them can write.
struct CacheEntry {
  FileIdentity identity;
  Access access = Access::ReadWrite;
  std::string path;
  std::shared_ptr<Connection> connection;
  std::uint64_t last_use = 0;
};

}  // namespace

// The private connection that background checkpoints of one database use.
// It is opened by the first checkpoint and kept, so that a checkpoint does
// not open the file and read its schema again; the shared connection closes
// it before closing itself, so that the last connection to close is still
// the shared one, which checkpoints the whole log and removes it.
struct CheckpointTarget {
  explicit CheckpointTarget(std::string database_path) : path(std::move(database_path)) {}
  ~CheckpointTarget() { Close(); }

  // Waits for a checkpoint under way, then closes the private connection;
  // no checkpoint runs after this.
  void Close() {
    std::lock_guard lock(mutex);
    closed = true;
    CloseHandle();
  }

  // Closes the private connection (a later checkpoint opens it again).
  // Caller holds MUTEX. sqlite3_close fails only with statements open, and
  // none is ever prepared on this connection.
  void CloseHandle() {
    sqlite3_close(db);
    db = nullptr;
  }

  const std::string path;
  std::mutex mutex;       // held for a whole checkpoint, and while closing
  sqlite3* db = nullptr;  // the private connection, once opened
  bool closed = false;
};

namespace {

// The background checkpoint thread (notes.h). A checkpoint flushes both
// files to disk, which takes milliseconds; done by the writer, every few
// hundred documents would wait for it.
class Checkpointer {
 public:
  ~Checkpointer() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  // Asks for a checkpoint of TARGET; requests for a database already
  // waiting are merged.
  void Request(const std::shared_ptr<CheckpointTarget>& target) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      if (std::find(pending_.begin(), pending_.end(), target) == pending_.end()) pending_.push_back(target);
      if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
      if (stop_) return;
      const std::shared_ptr<CheckpointTarget> target = std::move(pending_.front());
      pending_.erase(pending_.begin());
      lock.unlock();
      Checkpoint(*target);
      lock.lock();
    }
  }

  // A failed checkpoint (the file went away, a lock was held) is left for
  // the next request or the last connection's close, which checkpoint
  // again; nothing is lost by it. After an error other than a busy lock the
  // private connection is closed, and the next checkpoint opens it anew.
  static void Checkpoint(CheckpointTarget& target) {
    std::lock_guard lock(target.mutex);
    if (target.closed) return;
    if (!target.db) {
      if (sqlite3_open_v2(target.path.c_str(), &target.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
              SQLITE_OK ||
          sqlite3_exec(target.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        target.CloseHandle();
        return;
      }
    }
    const int rc = sqlite3_wal_checkpoint_v2(target.db, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED) target.CloseHandle();
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<CheckpointTarget>> pending_;
  bool stop_ = false;
  std::thread thread_;
};

// A commit batch registered for a file.
struct BatchEntry {
  FileIdentity identity;
  std::shared_ptr<BatchState> state;
};

struct ConnectionCache {
  std::mutex mutex;
  std::vector<CacheEntry> entries;
  std::vector<BatchEntry> batches;
  std::uint64_t tick = 0;
  // Declared last, so destroyed first: its thread ends before the
  // connections close.
  Checkpointer checkpointer;
};

// The cache lives until the end of the process; its destructor closes every
// connection, which checkpoints and removes their log files.
ConnectionCache& Cache() {
  static ConnectionCache cache;
  return cache;
}

// Closes idle connections beyond the limit, least recently used first.
// Caller holds the cache mutex.
void EvictIdle(ConnectionCache& cache) {
  std::size_t idle = 0;
  for (const CacheEntry& e : cache.entries)
    if (e.connection.use_count() == 1) ++idle;
  while (idle > kMaxIdleConnections) {
    auto oldest = cache.entries.end();
    for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it)
      if (it->connection.use_count() == 1 && (oldest == cache.entries.end() || it->last_use < oldest->last_use))
        oldest = it;
    cache.entries.erase(oldest);
    --idle;
  }
}

// Runs after every commit of a shared connection with the number of frames
// in the log: asks the background thread for a checkpoint once the log is
// big, and checkpoints at once when it has grown far beyond that (the
// background thread cannot keep up, or a reader keeps the log from being
// reused).
int AfterCommit(void* context, sqlite3* db, const char*, int frames) {
  auto* connection = static_cast<Connection*>(context);
  int& requested_at = connection->checkpoint_requested_at();
  if (frames < requested_at) requested_at = 0;  // the log has started over
  if (frames >= kCheckpointNowFrames) {
    sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    requested_at = frames;
  } else if (frames >= kCheckpointFrames && frames - requested_at >= kCheckpointFrames) {
    // Asked again only after the log has grown by as much again: each
    // checkpoint flushes both files to disk, so fewer, larger ones cost
    // less, and pages written many times (the last page of each table) are
    // copied once per checkpoint.
    Cache().checkpointer.Request(connection->checkpoint_target());
    requested_at = frames;
  }
  return SQLITE_OK;
}

}  // namespace

void ThrowSqlite(sqlite3* db, const std::string& path, const std::string& operation) {
  throw NotesError(operation + " on " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

// ---------------------------------------------------------------------------
// Connection
// ---------------------------------------------------------------------------

Connection::Connection(sqlite3* db, std::filesystem::path path, bool read_only, int layout_version)
    : db_(db),
      path_(path.string()),
      read_only_(read_only),
      layout_version_(layout_version),
      checkpoint_target_(std::make_shared<CheckpointTarget>(path_)) {}

void Connection::RequireWritable(const char* operation) const {
  if (read_only_) throw NotesError(std::string(operation) + " on " + path_ + ": the database is open read-only");
}

Connection::~Connection() {
  checkpoint_target_->Close();
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  // sqlite3_close fails only while statements are unfinalized; all are
  // finalized above, so its result carries nothing to act on.
  sqlite3_close(db_);
}

sqlite3_stmt* Connection::Prepared(const char* sql, const char* operation) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
    ThrowSqlite(db_, path_, operation);
  statements_.emplace(sql, statement);
  return statement;
}

void Connection::Exec(const char* sql, const char* operation) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) ThrowSqlite(db_, path_, operation);
}

// ---------------------------------------------------------------------------
// Statement
// ---------------------------------------------------------------------------

Statement::Statement(Connection& connection, const char* sql, const char* operation)
    : connection_(connection), statement_(connection.Prepared(sql, operation)), operation_(operation) {}

Statement::~Statement() {
  // Reset reports the error of the last step, which Step() already threw.
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

Statement& Statement::Bind(int index, const std::string& text) {
  if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::BindView(int index, const std::string& text) {
  if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  if (sqlite3_bind_double(statement_, index, value) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (sqlite3_bind_null(statement_, index) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
  if (sqlite3_bind_blob64(statement_, index, data, static_cast<sqlite3_uint64>(size), SQLITE_STATIC) != SQLITE_OK)
    ThrowSqlite(connection_.handle(), connection_.path(), operation_);
  return *this;
}

Statement& Statement::BindBytes(int index, const std::string& bytes) {
  if (IsUtf8(bytes)) return BindView(index, bytes);
  return BindBlob(index, bytes.data(), bytes.size());
}

bool Statement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  connection_.set_step_error(rc);
  ThrowSqlite(connection_.handle(), connection_.path(), operation_);
}

void Statement::Run() {
  while (Step()) {
  }
}


std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  if (!text) return {};
  return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string Statement::Bytes(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  if (!data) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_, column); }
double Statement::Real(int column) const { return sqlite3_column_double(statement_, column); }
int Statement::Type(int column) const { return sqlite3_column_type(statement_, column); }

// ---------------------------------------------------------------------------
// Transaction
// ---------------------------------------------------------------------------

Transaction::Transaction(Connection& connection, const char* operation)
    : connection_(connection), operation_(operation) {
  connection_.RequireWritable(operation_);
  BatchState* batch = connection_.batch();
  if (!batch) {
    Statement(connection_, "BEGIN IMMEDIATE", operation_).Run();
    return;
  }
  if (!batch->lost.empty()) {
    throw NotesError(std::string(operation_) + " on " + connection_.path() +
                     ": the unsaved writes of this database's commit batch were lost (" + batch->lost +
                     "), which its owner has not yet been told");
  }
  if (batch->open && sqlite3_get_autocommit(connection_.handle())) {
    // SQLite rolled the batch's transaction back after an error of a call
    // that did not say so (a read).
    LoseBatch(connection_, *batch, "SQLite rolled the transaction back after an error");
    throw NotesError(std::string(operation_) + " on " + connection_.path() + ": the unsaved writes of this database's commit batch were lost");
  }
  if (!batch->open) {
    Statement(connection_, "BEGIN IMMEDIATE", operation_).Run();
    batch->open = true;
    batch->documents = 0;
    batch->began = std::chrono::steady_clock::now();
    batch->holder = connection_.shared_from_this();
  }
  Statement(connection_, "SAVEPOINT write", operation_).Run();
  savepoint_ = true;
  connection_.ClearStepError();
}

void Transaction::Commit() {
  Statement(connection_, savepoint_ ? "RELEASE write" : "COMMIT", operation_).Run();
  open_ = false;
}

Transaction::~Transaction() {
  if (!open_) return;
  sqlite3* db = connection_.handle();
  if (!savepoint_) {
    // A failed rollback leaves SQLite to roll the transaction back itself
    // when the next one begins; there is no caller to tell from a destructor.
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return;
  }
  BatchState* batch = connection_.batch();
  if (!batch || !batch->open) return;
  const int failure = connection_.step_error() & 0xff;
  // After these SQLite may have undone more than the failing statement;
  // the rest of the batch cannot be trusted, and is let go as a whole.
  const bool unsure = failure == SQLITE_FULL || failure == SQLITE_IOERR || failure == SQLITE_NOMEM ||
                      failure == SQLITE_CORRUPT || failure == SQLITE_NOTADB;
  if (sqlite3_get_autocommit(db)) {
    LoseBatch(connection_, *batch, "SQLite rolled the transaction back after an error: " + std::string(sqlite3_errmsg(db)));
  } else if (unsure) {
    LoseBatch(connection_, *batch, std::string(sqlite3_errstr(failure)));
  } else if (sqlite3_exec(db, "ROLLBACK TO write; RELEASE write", nullptr, nullptr, nullptr) != SQLITE_OK) {
    LoseBatch(connection_, *batch, "a failed write could not be undone: " + std::string(sqlite3_errmsg(db)));
  }
}

void LoseBatch(Connection& connection, BatchState& batch, const std::string& reason) {
  // A rollback that fails (SQLite has rolled back already, or cannot) leaves
  // nothing of the transaction either: SQLite rolls back what is left when
  // the next transaction begins.
  if (!sqlite3_get_autocommit(connection.handle()))
    sqlite3_exec(connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  // Folders made since the last commit are gone with it.
  connection.folder_ids().clear();
  batch.lost = reason.empty() ? std::string("unknown error") : reason;
  batch.open = false;
  batch.documents = 0;
  batch.holder.reset();
}

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

void CheckDatabaseHeader(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw NotesError("open database " + path.string() + ": the file cannot be read");
  std::array<unsigned char, 100> header{};
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  const std::streamsize got = in.gcount();
  if (got == 0) throw NotesError("open database " + path.string() + ": not a Notes database (the file is empty)");
  static constexpr char kMagic[] = "SQLite format 3";  // followed by a NUL
  if (got < 100 || !std::equal(kMagic, kMagic + sizeof kMagic, header.begin()))
    throw NotesError("open database " + path.string() + ": not a Notes database (not an SQLite file)");
  const std::uint32_t application_id = (std::uint32_t{header[68]} << 24) | (std::uint32_t{header[69]} << 16) |
                                       (std::uint32_t{header[70]} << 8) | std::uint32_t{header[71]};
  if (application_id != static_cast<std::uint32_t>(kApplicationId))
    throw NotesError("open database " + path.string() +
                     ": not a Notes database (an SQLite database without the Notes schema)");
}

namespace {

// Tells SQLite, once and before it first starts, not to count its memory:
// it keeps the counts under a global mutex at every allocation, and nothing
// here reads them. Where something else in the process started SQLite
// first, the setting is refused and everything works as before.
void ConfigureSqliteOnce() {
  static const bool configured = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
  (void)configured;
}

}  // namespace

sqlite3* OpenRaw(const std::filesystem::path& path, bool create, bool read_only) {
  ConfigureSqliteOnce();
  sqlite3* db = nullptr;
  const int flags = (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX |
                    (create && !read_only ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> guard(db, sqlite3_close);
  if (rc != SQLITE_OK) ThrowSqlite(db, path.string(), "open database");
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (sqlite3_exec(db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA cache_size=-8192; PRAGMA journal_size_limit=67108864;", nullptr, nullptr, nullptr) != SQLITE_OK)
    ThrowSqlite(db, path.string(), "open database");
  return guard.release();
}

std::shared_ptr<Connection> AcquireConnection(const std::filesystem::path& path, Access access) {
  std::shared_ptr<Connection> connection = AcquireConnectionIfExists(path, access);
  if (!connection) throw NotesError("open database " + path.string() + ": the file does not exist");
  return connection;
}

namespace {

// The identity of the regular file at PATH; std::nullopt when there is no
// file there. Throws NotesError when PATH cannot be examined or is no file.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw NotesError("open database " + path.string() + ": " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) throw NotesError("open database " + path.string() + ": not a file");
  return FileIdentity{st.st_dev, st.st_ino};
}

// Waits for another writer: polls every millisecond until the busy timeout.
// SQLite's own handler waits longer and longer (a tenth of a second from the
// third on), so a writer that commits a batch and begins the next one
// within microseconds would almost never be found without the lock, and its
// waiters would time out.
int WaitForWriter(void*, int attempts) {
  if (attempts >= kBusyTimeoutMs) return 0;
  sqlite3_sleep(1);
  return 1;
}

}  // namespace

std::shared_ptr<BatchState> StartBatch(const std::filesystem::path& path, CommitLimits limits) {
  if (limits.documents < 1) limits.documents = 1;
  std::shared_ptr<Connection> connection = AcquireConnection(path, Access::ReadWrite);
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!identity) throw NotesError("start commit batch on " + path.string() + ": the file does not exist");
  auto state = std::make_shared<BatchState>(limits);
  ConnectionCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  for (const BatchEntry& b : cache.batches) {
    if (b.identity == *identity)
      throw NotesError("start commit batch on " + path.string() + ": the database has a commit batch already");
  }
  cache.batches.push_back({*identity, state});
  for (CacheEntry& e : cache.entries) {
    if (e.identity == *identity && e.access == Access::ReadWrite) e.connection->set_batch(state);
  }
  return state;
}

bool CommitBatchNow(BatchState& batch) {
  if (!batch.lost.empty()) {
    std::string reason = std::move(batch.lost);
    batch.lost.clear();
    throw NotesError("commit: the writes since the last commit were lost: " + reason);
  }
  if (!batch.open) return false;
  const std::shared_ptr<Connection> connection = batch.holder;
  std::lock_guard lock(connection->mutex());
  sqlite3* db = connection->handle();
  if (sqlite3_get_autocommit(db)) {
    LoseBatch(*connection, batch, "SQLite rolled the transaction back after an error");
    batch.lost.clear();
    throw NotesError("commit on " + connection->path() +
                     ": the writes since the last commit were lost: SQLite rolled the transaction back after an error");
  }
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string reason = sqlite3_errmsg(db);
    LoseBatch(*connection, batch, reason);
    batch.lost.clear();
    throw NotesError("commit on " + connection->path() + ": the writes since the last commit were lost: " + reason);
  }
  batch.open = false;
  batch.documents = 0;
  batch.allowed = std::min(batch.allowed * 2, batch.limits.documents);
  batch.holder.reset();
  return true;
}

void EndBatch(const std::shared_ptr<BatchState>& batch) {
  if (batch->open) {
    const std::shared_ptr<Connection> connection = batch->holder;
    std::lock_guard lock(connection->mutex());
    LoseBatch(*connection, *batch, "the batch ended");
  }
  ConnectionCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  std::erase_if(cache.batches, [&](const BatchEntry& b) { return b.state == batch; });
  for (CacheEntry& e : cache.entries) {
    if (e.connection->batch() == batch.get()) e.connection->set_batch(nullptr);
  }
}

std::shared_ptr<Connection> AcquireConnectionIfExists(const std::filesystem::path& path, Access access) {
  const std::optional<FileIdentity> found = IdentityOf(path);
  if (!found) return nullptr;
  const FileIdentity identity = *found;

  ConnectionCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  for (CacheEntry& e : cache.entries) {
    if (e.identity == identity && e.access == access) {
      e.last_use = ++cache.tick;
      return e.connection;
    }
  }
  // A connection kept for an earlier file at this path (deleted or replaced
  // since) is closed before the new file is opened, so that its closing
  // cannot touch the new file's log; so is an idle one of this file with the
  // other access (a read-only one may hold the layout the file had before an
  // upgrade).
  std::erase_if(cache.entries, [&](const CacheEntry& e) {
    return (e.path == path.string() || e.identity == identity) && e.connection.use_count() == 1;
  });

  CheckDatabaseHeader(path);
  const bool read_only = access == Access::ReadOnly;
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(OpenRaw(path, false, read_only), sqlite3_close);
  int version = VerifySchema(db.get(), path.string());
  // A file that cannot be written opens read-only even when asked to write.
  const bool writable = !read_only && sqlite3_db_readonly(db.get(), "main") == 0;
  if (writable && version < kSchemaVersion) {
    // The upgrade runs on this private connection, which is then opened
    // anew so that no statement or schema of the old layout stays with it.
    UpgradeSchema(db.get(), path.string());
    db.reset(OpenRaw(path, false, false));
    version = VerifySchema(db.get(), path.string());
  }
  auto connection = std::make_shared<Connection>(db.release(), path, !writable, version);
  // Databases are created in WAL mode; this only matters for a file that was
  // switched back by another program. A read-only connection leaves the
  // file as it is.
  if (writable) sqlite3_exec(connection->handle(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  // The schema's two CHECK constraints only hold items.type and design.kind
  // to fixed names. This code writes nothing else (Save checks each item's
  // type itself; folders are written with the literal kind 'folder'), and
  // SQLite evaluates such an IN list by building a temporary b-tree for
  // every row written, a few percent of a conversion. Other programs
  // writing the file are still held to them.
  if (sqlite3_exec(connection->handle(), "PRAGMA ignore_check_constraints=ON", nullptr, nullptr, nullptr) != SQLITE_OK)
    ThrowSqlite(connection->handle(), connection->path(), "open database");
  // Replaces SQLite's own automatic checkpoint, which runs in the writer.
  sqlite3_wal_hook(connection->handle(), AfterCommit, connection.get());
  sqlite3_busy_handler(connection->handle(), WaitForWriter, nullptr);
  // A batch's savepoints keep their undo records in memory, not in a file.
  sqlite3_exec(connection->handle(), "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr);
  if (writable) {
    for (const BatchEntry& b : cache.batches) {
      if (b.identity == identity) connection->set_batch(b.state);
    }
  }
  cache.entries.push_back({identity, access, path.string(), connection, ++cache.tick});
  EvictIdle(cache);
  return connection;
}

void CloseIdleConnections() {
  ConnectionCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  std::erase_if(cache.entries, [](const CacheEntry& e) { return e.connection.use_count() == 1; });
}

}  // namespace norvexa::notes::internal
