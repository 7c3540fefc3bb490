// The SQLite schema of a Notes database (documented for users in
// docs/notes-database.md) and the creation of a new database file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct sqlite3;

namespace norvexa::notes::internal {

// Stored in the SQLite header (PRAGMA application_id): "NVNS".
inline constexpr std::int32_t kApplicationId = 0x4E564E53;
// PRAGMA user_version of the layout this code writes. It reads layout 1 as
// well (read-only), and upgrades it when it opens one to write.
inline constexpr int kSchemaVersion = 2;

// A design element: a form, a view or a folder. A folder's name is its full
// path with "\" between nested folders.
struct DesignElement {
  std::string kind;  // "form", "view" or "folder"
  std::string name;
  std::string definition;  // JSON text describing the element
};

// What a new database starts with.
struct NewDatabase {
  std::string title;
  std::string template_name;  // the design template it comes from
  std::vector<DesignElement> design;
};

// Creates the database file PATH with CONTENT and no documents. Never
// overwrites: throws NotesError when a file exists at PATH or its folder is
// missing. On failure nothing is left at PATH.
void CreateDatabaseFile(const std::filesystem::path& path, const NewDatabase& content);

// Checks that DB (the file at PATH, already past the header check) holds
// every table of its layout, at a version this code reads, and returns that
// version (0 counts as 1); throws NotesError otherwise.
int VerifySchema(sqlite3* db, const std::string& path);

// Upgrades DB, a connection that writes to the file at PATH, from layout 1
// to the current one in one transaction: the tree and header columns of
// mime_parts, the read_marks table, the two list types in items' type
// check, and the format in database_info. Nothing is done when another
// program upgraded the file first. Throws NotesError on failure, with the
// file left as it was.
void UpgradeSchema(sqlite3* db, const std::string& path);

}  // namespace norvexa::notes::internal
