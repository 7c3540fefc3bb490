// Creates new Notes database files with the schema, and checks the schema of
// existing ones.
#include "platform/notes/notes_schema.h"

#include "platform/notes/folder_path.h"
#include "platform/notes/sqlite_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

namespace norvexa::notes::internal {

namespace {

// The table of read marks, in the schema of a new database and made by the
// upgrade from layout 1 alike.
#define READ_MARKS_TABLE                                                        \
  "CREATE TABLE read_marks(\n"                                                   \
  "  note_id   INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,\n" \
  "  user_name TEXT NOT NULL,\n"                                                \
  "  read      INTEGER NOT NULL CHECK (read IN (0, 1)),\n"                       \
  "  PRIMARY KEY (note_id, user_name)\n"                                         \
  ") WITHOUT ROWID;\n"

// The schema. The tables are described for users in docs/notes-database.md;
// keep the two in step.
constexpr const char* kSchemaSql = R"sql(
CREATE TABLE database_info(
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE design(
  id         INTEGER PRIMARY KEY,
  kind       TEXT NOT NULL CHECK (kind IN ('form', 'view', 'folder')),
  name       TEXT NOT NULL COLLATE NOCASE,
  parent_id  INTEGER REFERENCES design(id),
  definition TEXT NOT NULL DEFAULT '{}',
  UNIQUE (kind, name)
);
CREATE TABLE documents(
  note_id  INTEGER PRIMARY KEY,
  unid     TEXT NOT NULL UNIQUE,
  created  TEXT NOT NULL,
  modified TEXT NOT NULL
);
CREATE TABLE items(
  note_id INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  name    TEXT NOT NULL COLLATE NOCASE,
  seq     INTEGER NOT NULL,
  type    TEXT NOT NULL CHECK (type IN ('text', 'number', 'datetime', 'time', 'textlist', 'richtext', 'datetimelist', 'numberlist')),
  value,
  PRIMARY KEY (note_id, name)
) WITHOUT ROWID;
CREATE TABLE mime_parts(
  note_id      INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  item_name    TEXT NOT NULL COLLATE NOCASE,
  seq          INTEGER NOT NULL,
  content_type TEXT NOT NULL,
  encoding     INTEGER NOT NULL,
  content      BLOB NOT NULL,
  parent       INTEGER,
  headers      BLOB NOT NULL DEFAULT '',
  boundary     TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (note_id, item_name, seq)
) WITHOUT ROWID;
)sql" READ_MARKS_TABLE R"sql(
CREATE TABLE folder_entries(
  folder_id INTEGER NOT NULL REFERENCES design(id),
  note_id   INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  PRIMARY KEY (folder_id, note_id)
) WITHOUT ROWID;
CREATE TABLE attachments(
  id        INTEGER PRIMARY KEY,
  note_id   INTEGER REFERENCES documents(note_id) ON DELETE CASCADE,
  item_name TEXT NOT NULL,
  file_name TEXT NOT NULL,
  size      INTEGER NOT NULL,
  sha256    TEXT NOT NULL,
  staged    TEXT NOT NULL
);
CREATE TABLE attachment_data(
  id   INTEGER PRIMARY KEY REFERENCES attachments(id) ON DELETE CASCADE,
  data BLOB NOT NULL
);
CREATE INDEX attachments_by_note ON attachments(note_id);
CREATE INDEX folder_entries_by_note ON folder_entries(note_id);
)sql";

// The tables of layout 1; layout 2 adds read_marks.
constexpr const char* kTables[] = {"database_info",  "design",      "documents",      "items",
                                   "mime_parts",     "folder_entries", "attachments", "attachment_data"};
constexpr const char* kTablesOfLayout2[] = {"read_marks"};

// From layout 1 to 2, after the items table's type check is widened. The
// added columns have defaults, so existing rows need no rewriting: a part of
// layout 1 is a top part (parent NULL) with no stored header lines.
constexpr const char* kUpgradeSql = R"sql(
ALTER TABLE mime_parts ADD COLUMN parent INTEGER;
ALTER TABLE mime_parts ADD COLUMN headers BLOB NOT NULL DEFAULT '';
ALTER TABLE mime_parts ADD COLUMN boundary TEXT NOT NULL DEFAULT '';
)sql" READ_MARKS_TABLE R"sql(
INSERT OR REPLACE INTO database_info(key, value) VALUES ('format', '2');
PRAGMA user_version=2;
)sql";
#undef READ_MARKS_TABLE

// The type check of layout 1's items table, and what layout 2 makes of it.
constexpr const char* kItemTypesOfLayout1 = "'textlist', 'richtext')";
constexpr const char* kItemTypesOfLayout2 = "'textlist', 'richtext', 'datetimelist', 'numberlist')";

// Runs SQL on DB, throwing with OPERATION on failure.
void Exec(sqlite3* db, const std::string& path, const char* sql, const char* operation) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) ThrowSqlite(db, path, operation);
}

// Runs one statement SQL with text parameters PARAMS on DB and returns the
// last inserted row id.
std::int64_t Insert(sqlite3* db, const std::string& path, const char* sql, const std::vector<std::string>& params,
                    const std::optional<std::int64_t>& trailing_id = std::nullopt) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) ThrowSqlite(db, path, "create database");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  int index = 1;
  for (const std::string& p : params)
    sqlite3_bind_text(raw, index++, p.data(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
  if (trailing_id) sqlite3_bind_int64(raw, index, *trailing_id);
  else sqlite3_bind_null(raw, index);
  if (sqlite3_step(raw) != SQLITE_DONE) ThrowSqlite(db, path, "create database");
  return sqlite3_last_insert_rowid(db);
}

}  // namespace

void CreateDatabaseFile(const std::filesystem::path& path, const NewDatabase& content) {
  const std::string where = path.string();
  std::error_code ec;
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  if (!std::filesystem::is_directory(folder, ec))
    throw NotesError("create database " + where + ": the folder " + folder.string() + " does not exist");

  // O_EXCL makes "never overwrite" hold even against another program
  // creating the same file at the same moment.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) throw NotesError("create database " + where + ": a file already exists there");
    throw NotesError("create database " + where + ": " + std::strerror(errno));
  }
  ::close(fd);
  // Log files left by an earlier database of this name would be replayed
  // into the new one.
  std::filesystem::remove(where + "-wal", ec);
  std::filesystem::remove(where + "-shm", ec);

  try {
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(OpenRaw(path, true), sqlite3_close);
    // The schema is written in rollback-journal mode, so the header with the
    // application id is in the main file before anyone can open it.
    const std::string header_sql = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                   "; PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    Exec(db.get(), where, "BEGIN IMMEDIATE", "create database");
    Exec(db.get(), where, header_sql.c_str(), "create database");
    Exec(db.get(), where, kSchemaSql, "create database");
    Insert(db.get(), where, "INSERT INTO database_info(key, value) VALUES ('title', ?1), ('template', ?2), ('format', ?3)",
           {content.title, content.template_name, std::to_string(kSchemaVersion)});
    // Folders get their parent's id; a parent missing from the list is made.
    std::map<std::string, std::int64_t> folder_ids;
    for (const DesignElement& element : content.design) {
      if (element.kind != "folder") {
        Insert(db.get(), where, "INSERT INTO design(kind, name, definition, parent_id) VALUES (?1, ?2, ?3, ?4)",
               {element.kind, element.name, element.definition});
        continue;
      }
      const std::vector<std::string> parts = SplitFolderPath(element.name);
      std::string prefix;
      std::optional<std::int64_t> parent;
      for (std::size_t i = 0; i < parts.size(); ++i) {
        prefix = prefix.empty() ? parts[i] : prefix + "\\" + parts[i];
        const std::string key = FolderKey(prefix);
        auto it = folder_ids.find(key);
        if (it == folder_ids.end()) {
          const std::string definition = i + 1 == parts.size() ? element.definition : std::string("{}");
          it = folder_ids
                   .emplace(key, Insert(db.get(), where,
                                        "INSERT INTO design(kind, name, definition, parent_id) VALUES "
                                        "('folder', ?1, ?2, ?3)",
                                        {prefix, definition}, parent))
                   .first;
        }
        parent = it->second;
      }
    }
    Exec(db.get(), where, "COMMIT", "create database");
    Exec(db.get(), where, "PRAGMA journal_mode=WAL", "create database");
  } catch (...) {
    std::filesystem::remove(path, ec);
    std::filesystem::remove(where + "-journal", ec);
    throw;
  }
}

int VerifySchema(sqlite3* db, const std::string& path) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) != SQLITE_OK)
    ThrowSqlite(db, path, "open database");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> version(raw, sqlite3_finalize);
  if (sqlite3_step(raw) != SQLITE_ROW) ThrowSqlite(db, path, "open database");
  const int found = sqlite3_column_int(raw, 0);
  if (found > kSchemaVersion)
    throw NotesError("open database " + path + ": written by a newer version (format " + std::to_string(found) + ")");

  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1", -1, &raw,
                         nullptr) != SQLITE_OK)
    ThrowSqlite(db, path, "open database");
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> lookup(raw, sqlite3_finalize);
  auto require = [&](const char* table) {
    sqlite3_reset(raw);
    sqlite3_bind_text(raw, 1, table, -1, SQLITE_STATIC);
    if (sqlite3_step(raw) != SQLITE_ROW) ThrowSqlite(db, path, "open database");
    if (sqlite3_column_int(raw, 0) != 1)
      throw NotesError("open database " + path + ": not a Notes database (table " + table + " is missing)");
  };
  for (const char* table : kTables) require(table);
  if (found >= 2)
    for (const char* table : kTablesOfLayout2) require(table);
  return found < 1 ? 1 : found;
}

void UpgradeSchema(sqlite3* db, const std::string& path) {
  const std::string operation = "upgrade database";
  // The items table's SQL is edited in place (SQLite's documented way to
  // change a CHECK constraint, since rows stay as they are); the library's
  // defensive mode would refuse it.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
  Exec(db, path, "BEGIN IMMEDIATE", operation.c_str());
  try {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) != SQLITE_OK)
      ThrowSqlite(db, path, operation);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> version(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW) ThrowSqlite(db, path, operation);
    const int found = sqlite3_column_int(raw, 0);
    version.reset();
    if (found >= 2) {  // another program was first
      Exec(db, path, "COMMIT", operation.c_str());
      return;
    }
    // A table whose SQL is not the one this program wrote keeps its check.
    Exec(db, path, "PRAGMA writable_schema=ON", operation.c_str());
    if (sqlite3_prepare_v2(db,
                           "UPDATE sqlite_master SET sql = replace(sql, ?1, ?2) WHERE type = 'table' AND "
                           "name = 'items' AND instr(sql, ?1) > 0 AND instr(sql, 'numberlist') = 0",
                           -1, &raw, nullptr) != SQLITE_OK)
      ThrowSqlite(db, path, operation);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> widen(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, kItemTypesOfLayout1, -1, SQLITE_STATIC);
    sqlite3_bind_text(raw, 2, kItemTypesOfLayout2, -1, SQLITE_STATIC);
    if (sqlite3_step(raw) != SQLITE_DONE) ThrowSqlite(db, path, operation);
    widen.reset();
    Exec(db, path, "PRAGMA writable_schema=OFF", operation.c_str());
    // These change the schema, so every other connection reads it anew.
    Exec(db, path, kUpgradeSql, operation.c_str());
    Exec(db, path, "COMMIT", operation.c_str());
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace norvexa::notes::internal
