// SQLite access for the Notes back-end: the process-wide cache of shared
// connections, one per database file, with their background checkpoints
// and commit batches (notes.h says what is shared and what runs where), and
// the statement and transaction wrappers every operation uses.
//
// Opening an SQLite connection, setting it up and preparing statements costs
// far more than storing a small document, hence the sharing. The journal is
// synchronous=NORMAL rather than FULL: an fsync per document would cap the
// rate of a conversion at the disk's flush rate.
#pragma once

#include "platform/notes/notes.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace norvexa::notes::internal {

// Throws NotesError "<operation> on <path>: <SQLite's message>".
[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& path, const std::string& operation);

// The background checkpoints of one database (defined in sqlite_store.cpp).
struct CheckpointTarget;

// How a database file is opened: for reading and writing (an older layout
// is upgraded first), or read-only (nothing in the file changes).
enum class Access { ReadWrite, ReadOnly };

class Connection;

// The commit batch of one database file (notes.h, CommitBatch): its limits
// and the one transaction it keeps open from its first write to its commit.
// Used by the thread that owns the batch only.
struct BatchState {
  explicit BatchState(CommitLimits batch_limits) : limits(batch_limits) {}

  CommitLimits limits;
  // Documents the open batch may gather before it is due: 1 for the first,
  // doubled at each commit up to LIMITS.documents.
  int allowed = 1;
  // Document boundaries passed since the transaction began.
  int documents = 0;
  // The transaction has begun (the first write since the last commit).
  bool open = false;
  std::chrono::steady_clock::time_point began;
  // Why the writes since the last commit were lost ("" when they were not);
  // told by the next EndOfDocument or Commit, and until then every write
  // throws.
  std::string lost;
  // The connection whose transaction is open, kept open with it.
  std::shared_ptr<Connection> holder;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // Takes ownership of DB, an open connection to the file at PATH, which
  // has layout LAYOUT_VERSION; READ_ONLY when DB cannot write.
  Connection(sqlite3* db, std::filesystem::path path, bool read_only, int layout_version);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }
  bool read_only() const { return read_only_; }
  // The layout (PRAGMA user_version) of the file when it was opened: the
  // current one for a connection that writes; an older one only for a
  // read-only connection, whose reads follow it.
  int layout_version() const { return layout_version_; }

  // Throws NotesError naming OPERATION when the connection is read-only.
  void RequireWritable(const char* operation) const;

  // Every operation on the connection holds this lock, so that objects of
  // several threads sharing one cached connection take turns.
  std::recursive_mutex& mutex() { return mutex_; }

  // The prepared statement for SQL, prepared on first use. SQL must be a
  // string literal: its address is the cache key.
  sqlite3_stmt* Prepared(const char* sql, const char* operation);

  // Runs SQL (one or more statements, no results). Throws on failure.
  void Exec(const char* sql, const char* operation);

  // Folder ids known to exist, by lower-case folder path. Only folders whose
  // creation committed are entered; folders are never deleted.
  std::unordered_map<std::string, std::int64_t>& folder_ids() { return folder_ids_; }

  // The size of the log, in pages, when a checkpoint was last asked for.
  int& checkpoint_requested_at() { return checkpoint_requested_at_; }

  // What the background checkpoints of this database use; closed before
  // this connection is.
  const std::shared_ptr<CheckpointTarget>& checkpoint_target() const { return checkpoint_target_; }

  // The commit batch of this file, or null when every write commits at once.
  BatchState* batch() const { return batch_.get(); }
  void set_batch(std::shared_ptr<BatchState> batch) { batch_ = std::move(batch); }

  // The result code of the last statement step that failed since
  // ClearStepError (SQLITE_OK when none did).
  int step_error() const { return step_error_; }
  void set_step_error(int rc) { step_error_ = rc; }
  void ClearStepError() { step_error_ = SQLITE_OK; }

 private:
  sqlite3* db_;
  std::string path_;
  bool read_only_;
  int layout_version_;
  std::shared_ptr<CheckpointTarget> checkpoint_target_;
  std::recursive_mutex mutex_;
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
  std::unordered_map<std::string, std::int64_t> folder_ids_;
  int checkpoint_requested_at_ = 0;
  std::shared_ptr<BatchState> batch_;
  int step_error_ = SQLITE_OK;
};

// One use of a cached prepared statement. Binding indexes start at 1,
// columns at 0. The statement is reset when the object goes out of scope, so
// no read transaction is left open between calls.
class Statement {
 public:
  Statement(Connection& connection, const char* sql, const char* operation);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, const std::string& text);
  // Binds TEXT without copying it: TEXT must stay alive and unchanged until
  // the statement has run.
  Statement& BindView(int index, const std::string& text);
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, double value);
  Statement& BindNull(int index);
  // Binds SIZE bytes at DATA without copying them: DATA must stay unchanged
  // until the statement has run.
  Statement& BindBlob(int index, const void* data, std::size_t size);
  // Binds BYTES without copying them, as TEXT when they are UTF-8 and as a
  // BLOB otherwise, so that a text reads as text in SQL. BYTES must stay
  // alive and unchanged until the statement has run.
  Statement& BindBytes(int index, const std::string& bytes);

  // Steps once: true when a row is available, false when done.
  bool Step();
  // Steps to the end, ignoring any rows.
  void Run();

  std::string Text(int column) const;
  // The column's bytes, a BLOB's or a TEXT's alike.
  std::string Bytes(int column) const;
  std::int64_t Int(int column) const;
  double Real(int column) const;
  int Type(int column) const;

 private:
  Connection& connection_;
  sqlite3_stmt* statement_;
  const char* operation_;
};

// The writes of one operation, all or nothing. The caller holds the
// connection's lock for the object's life. Without a commit batch: BEGIN
// IMMEDIATE on construction (waiting for other writers up to the busy
// timeout), COMMIT by Commit(), ROLLBACK on destruction without it. With a
// batch (notes.h, CommitBatch): the batch's transaction is begun when it is
// not yet open, and the operation is a savepoint in it, released by
// Commit() (its writes then wait for the batch's commit) and rolled back on
// destruction without it; when that rollback cannot be made, or SQLite has
// rolled the whole transaction back itself, the batch is lost. Throws
// NotesError on a read-only connection, and while the batch's writes are
// lost and not yet told.
class Transaction {
 public:
  Transaction(Connection& connection, const char* operation);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Connection& connection_;
  const char* operation_;
  bool open_ = true;
  bool savepoint_ = false;
};

// Marks the writes of BATCH, whose transaction on CONNECTION is open, as
// lost for REASON: rolls the transaction back (when SQLite has not already),
// forgets the folders the connection learnt of since (they may be gone
// with it) and lets the connection go.
void LoseBatch(Connection& connection, BatchState& batch, const std::string& reason);

// The commit batch of the database at PATH, with LIMITS: registered for
// the file (by its device and inode), so that every read-write connection
// to it, opened now or later, gathers its writes into it. Throws NotesError
// when PATH is not a Notes database or already has a batch.
std::shared_ptr<BatchState> StartBatch(const std::filesystem::path& path, CommitLimits limits);

// Commits the open transaction of BATCH (nothing when none is open).
// Returns true when it committed. Throws NotesError, after rolling back,
// when the commit fails or the writes were lost before it; either way the
// batch is then empty and takes writes again.
bool CommitBatchNow(BatchState& batch);

// Ends BATCH: an open transaction is rolled back and the file's
// connections write without a batch again.
void EndBatch(const std::shared_ptr<BatchState>& batch);

// Checks that the file at PATH is a Notes database of ours by its header,
// without opening it: throws NotesError saying what the file is otherwise.
void CheckDatabaseHeader(const std::filesystem::path& path);

// The shared connection to the existing Notes database at PATH, opened and
// verified on first use. With Access::ReadWrite a file of an older layout is
// upgraded when it is opened (one that cannot be written gives a read-only
// connection, and is read as it is); a read-only request gets a read-only
// connection of its own. Throws NotesError when the file is missing or is
// not a Notes database.
std::shared_ptr<Connection> AcquireConnection(const std::filesystem::path& path, Access access = Access::ReadWrite);

// As AcquireConnection, but gives nullptr when no file exists at PATH.
std::shared_ptr<Connection> AcquireConnectionIfExists(const std::filesystem::path& path,
                                                      Access access = Access::ReadWrite);

// Closes every cached connection no Database is using (checkpointing its
// log). For tests that hand the file to another program.
void CloseIdleConnections();

// Opens a new, private connection to PATH with the pragmas every connection
// uses. With CREATE the file may be empty (a new database); with READ_ONLY
// the connection never writes.
sqlite3* OpenRaw(const std::filesystem::path& path, bool create, bool read_only = false);

}  // namespace norvexa::notes::internal
