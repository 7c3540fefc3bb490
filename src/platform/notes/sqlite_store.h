// SQLite access for the Notes back-end: the process-wide cache of shared
// connections, one per database file, with their background checkpoints
// (notes.h says what is shared and what runs where), and the statement and
// transaction wrappers every operation uses.
//
// Opening an SQLite connection, setting it up and preparing statements costs
// far more than storing a small document, hence the sharing. The journal is
// synchronous=NORMAL rather than FULL: an fsync per document would cap the
// rate of a conversion at the disk's flush rate.
#pragma once

#include "platform/notes/notes.h"

#include <sqlite3.h>

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

class Connection {
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

// BEGIN IMMEDIATE on construction (waiting for other writers up to the busy
// timeout; a read-only connection throws NotesError); ROLLBACK on
// destruction unless Commit() was called.
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
};

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
