// Database: a Notes database file, its design, folders, documents and read
// marks.
#include "platform/notes/folder_path.h"
#include "platform/notes/notes_objects.h"
#include "platform/notes/notes_schema.h"
#include "platform/notes/read_marks.h"

namespace norvexa::notes::internal {

std::int64_t EnsureFolderInTransaction(Connection& connection, const std::vector<std::string>& parts) {
  const char* operation = "make folder";
  std::string prefix;
  std::optional<std::int64_t> parent;
  for (const std::string& part : parts) {
    prefix = prefix.empty() ? part : prefix + "\\" + part;
    std::optional<std::int64_t> id;
    {
      Statement find(connection, "SELECT id FROM design WHERE kind = 'folder' AND name = ?1", operation);
      find.Bind(1, prefix);
      if (find.Step()) id = find.Int(0);
    }
    if (!id) {
      Statement insert(connection, "INSERT INTO design(kind, name, parent_id) VALUES ('folder', ?1, ?2)", operation);
      insert.Bind(1, prefix);
      if (parent) insert.Bind(2, *parent);
      else insert.BindNull(2);
      insert.Run();
      id = sqlite3_last_insert_rowid(connection.handle());
    }
    parent = id;
  }
  return *parent;
}

std::int64_t EnsureFolder(Connection& connection, const std::string& name) {
  const std::vector<std::string> parts = SplitFolderPath(name);
  const std::string key = FolderKey(JoinFolderPath(parts));
  std::lock_guard lock(connection.mutex());
  auto cached = connection.folder_ids().find(key);
  if (cached != connection.folder_ids().end()) return cached->second;
  Transaction transaction(connection, "make folder");
  const std::int64_t id = EnsureFolderInTransaction(connection, parts);
  transaction.Commit();
  connection.folder_ids().emplace(key, id);
  return id;
}

namespace {

class DatabaseImpl : public Database {
 public:
  DatabaseImpl(std::filesystem::path path, std::shared_ptr<Connection> connection, std::filesystem::path base_dir)
      : path_(std::move(path)), connection_(std::move(connection)), base_dir_(std::move(base_dir)) {}

  bool IsOpen() const override { return connection_ != nullptr; }
  std::string FilePath() const override { return path_.string(); }

  std::string Title() const override { return Info("title", "read title"); }
  std::string TemplateName() const override { return Info("template", "read template name"); }

  std::unique_ptr<Database> CreateCopy(const std::string& server, const std::string& new_path) override {
    Connection& c = Open("create copy");
    if (!server.empty()) throw NotesError("create copy of " + path_.string() + " on server " + server + ": only local databases are available");
    if (new_path.empty()) throw NotesError("create copy of " + path_.string() + ": no file name given");
    std::filesystem::path target(new_path);
    if (target.is_relative()) target = base_dir_ / target;

    NewDatabase content;
    {
      std::lock_guard lock(c.mutex());
      content.title = Info("title", "create copy");
      content.template_name = Info("template", "create copy");
      Statement design(c, "SELECT kind, name, definition FROM design ORDER BY id", "create copy");
      while (design.Step()) content.design.push_back({design.Text(0), design.Text(1), design.Text(2)});
    }
    CreateDatabaseFile(target, content);
    return std::make_unique<DatabaseImpl>(target, AcquireConnection(target), base_dir_);
  }

  void EnableFolder(const std::string& name) override { EnsureFolder(Open("enable folder"), name); }

  std::unique_ptr<Document> CreateDocument() override {
    Open("create document");
    return MakeNewDocument(connection_);
  }

  std::vector<std::string> DesignElementNames() const override {
    return Column("SELECT name FROM design ORDER BY id", "", "list design elements");
  }

  std::vector<std::string> FolderNames() const override {
    return Column("SELECT name FROM design WHERE kind = 'folder' ORDER BY id", "", "list folders");
  }

  std::vector<std::string> FolderDocumentIds(const std::string& folder) const override {
    Connection& c = Open("list folder");
    const std::string name = JoinFolderPath(SplitFolderPath(folder));
    std::lock_guard lock(c.mutex());
    {
      Statement exists(c, "SELECT 1 FROM design WHERE kind = 'folder' AND name = ?1", "list folder");
      exists.Bind(1, name);
      if (!exists.Step()) throw NotesError("list folder on " + path_.string() + ": no folder \"" + folder + "\"");
    }
    return Column(
        "SELECT d.unid FROM design AS f JOIN folder_entries AS e ON e.folder_id = f.id "
        "JOIN documents AS d ON d.note_id = e.note_id WHERE f.kind = 'folder' AND f.name = ?1 ORDER BY d.note_id",
        name, "list folder");
  }

  std::vector<std::string> UnreadDocumentIds(const std::string& user) const override {
    Connection& c = Open("list unread documents");
    std::lock_guard lock(c.mutex());
    return internal::UnreadDocumentIds(c, user, "list unread documents");
  }

  std::vector<std::string> AllDocumentIds() const override {
    return Column("SELECT unid FROM documents ORDER BY note_id", "", "list documents");
  }

  std::unique_ptr<Document> GetDocumentByUNID(const std::string& unid) override {
    Open("get document");
    return LoadDocument(connection_, unid);
  }

 private:
  // The connection, or a NotesError naming OPERATION when the database is
  // not open.
  Connection& Open(const char* operation) const {
    if (!connection_)
      throw NotesError(std::string(operation) + " on " + path_.string() + ": the database is not open (no such file)");
    return *connection_;
  }

  std::string Info(const char* key, const char* operation) const {
    Connection& c = Open(operation);
    std::lock_guard lock(c.mutex());
    Statement read(c, "SELECT value FROM database_info WHERE key = ?1", operation);
    read.Bind(1, std::string(key));
    return read.Step() ? read.Text(0) : std::string();
  }

  // The first column of every row of SQL (bound to PARAMETER when SQL has
  // one).
  std::vector<std::string> Column(const char* sql, const std::string& parameter, const char* operation) const {
    Connection& c = Open(operation);
    std::lock_guard lock(c.mutex());
    Statement query(c, sql, operation);
    if (sqlite3_bind_parameter_count(c.Prepared(sql, operation)) > 0) query.Bind(1, parameter);
    std::vector<std::string> values;
    while (query.Step()) values.push_back(query.Text(0));
    return values;
  }

  std::filesystem::path path_;
  std::shared_ptr<Connection> connection_;
  std::filesystem::path base_dir_;
};

}  // namespace

std::unique_ptr<Database> MakeDatabase(const std::filesystem::path& path, std::shared_ptr<Connection> connection,
                                       const std::filesystem::path& base_dir) {
  return std::make_unique<DatabaseImpl>(path, std::move(connection), base_dir);
}

}  // namespace norvexa::notes::internal

namespace norvexa::notes {

std::unique_ptr<Database> OpenDatabaseFile(const std::filesystem::path& path) {
  return internal::MakeDatabase(path, internal::AcquireConnection(path, internal::Access::ReadOnly),
                                path.parent_path());
}

}  // namespace norvexa::notes
