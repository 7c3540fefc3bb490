// The SQLite-backed implementations of Database, Document and the objects a
// document hands out (rich-text items, MIME entities, embedded objects).
#pragma once

#include "platform/notes/notes.h"
#include "platform/notes/sqlite_store.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace norvexa::notes::internal {

// A database handle: the file's path and, when the file existed, the shared
// connection to it. Relative paths given to CreateCopy resolve against
// BASE_DIR (the client's data folder).
std::unique_ptr<Database> MakeDatabase(const std::filesystem::path& path, std::shared_ptr<Connection> connection,
                                       const std::filesystem::path& base_dir);

// A new, unsaved document of the database at CONNECTION.
std::unique_ptr<Document> MakeNewDocument(std::shared_ptr<Connection> connection);

// The saved document UNID; throws NotesError when there is none.
std::unique_ptr<Document> LoadDocument(std::shared_ptr<Connection> connection, const std::string& unid);

// The id of folder NAME, made (with its parents) when missing. The caller
// holds the connection's lock and an open transaction, and enters the id in
// the connection's folder cache only after committing.
std::int64_t EnsureFolderInTransaction(Connection& connection, const std::vector<std::string>& parts);

// EnsureFolderInTransaction in a transaction of its own, using and filling
// the folder cache.
std::int64_t EnsureFolder(Connection& connection, const std::string& name);

}  // namespace norvexa::notes::internal
