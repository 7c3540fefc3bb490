// Notes back-end: sessions, databases, documents, items, rich-text items,
// streams, MIME entities and embedded objects, stored in SQLite.
//
// A Notes database is one SQLite file (*.nsf, or *.ntf for a template). The
// local Notes client is a data folder holding notes.ini, the mail template,
// the address-book template pernames.ntf and the personal address book; it is
// found at $NORVEXA_NOTES_DATA when set, else ~/.local/share/norvexa/notes,
// and is provisioned by ProvisionClient() (the norvexa-notes-setup command).
//
// Every failure is a NotesError thrown at the call, with a message naming the
// database and the operation. Objects are released in the order document,
// database, session; a child must not outlive its parent.
//
// The shared connection. Every Session and Database of the process that
// opens one database file uses the same SQLite connection, found by the
// file's device and inode (checked at every opening, so a file deleted or
// replaced behind the back of the program is never written through an old
// connection). It stays open, with its prepared statements, after the last
// Database goes, since the writers open a session and a database for every
// document; beyond eight idle connections the least recently used is closed,
// and CloseIdleConnections() or the end of the process closes the rest.
// Every call that reads or writes holds the connection's lock, so objects of
// several threads may use one database and their calls take turns; a
// Document and what it hands out hold its unsaved items in memory and are for
// one thread at a time.
//
// The background checkpoint. A database is a write-ahead-log file with
// synchronous=NORMAL: a Save that returned is in the log and survives the
// end of the process (a crash, a kill); a power loss may lose the last saves
// but leaves the database whole. The log is copied back into the database
// file by one background thread of the process, started by the first
// request: once a commit (on the committing thread) leaves 2,048 pages in
// the log, and again each time the log has grown by as many, the database
// is handed to that thread, which checkpoints it passively, without making
// any writer wait, through a private connection of its own; only at 8,192
// pages does the writer checkpoint itself. Closing the shared connection
// first closes its checkpoint connection (waiting for a checkpoint under
// way), then copies the whole log back and removes it; at the end of the
// process the thread ends before the connections close. Until then the
// latest documents may be only in the "-wal" file beside the database:
// another program reading it with SQLite sees them, but a copy of the .nsf
// alone is whole only once the process has ended or its idle connections
// are closed (internal::CloseIdleConnections, for tests).
//
// The hashing beside the attachment writes. EmbedObject streams the file
// into the database on the caller's thread, holding the connection's lock.
// A file under 1 MB is read whole and hashed there; a larger one goes in
// chunks of 1 MB, and the SHA-256 of each chunk is computed on a thread of
// its own (one at a time, in order) while the next chunk is read and
// written, the last one beside the commit. EmbedObject returns, or throws,
// only once the commit and the hashing are both over: nothing of it runs on
// after the call. Each thread that embeds keeps two 1 MB buffers for its
// life.
#pragma once

#include <QDateTime>
#include <QTime>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace norvexa::notes {

class NotesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Database;
class Document;
class RichTextItem;
class Stream;
class MIMEEntity;
class EmbeddedObject;

// The value an item holds: text, a number, a date-time (kept with its offset
// from UTC, to the second), a time of day without a date, or a text list.
using TextList = std::vector<std::string>;
using ItemValue = std::variant<std::string, double, QDateTime, QTime, TextList>;

// Constants of the back-end.
// The longest path, in bytes of UTF-8, of a database file this back-end can
// create or open: SQLite's 512-byte limit for a full path name, less the 8
// bytes of the "-journal" name it forms beside the file.
inline constexpr std::size_t kMaxDatabasePathBytes = 504;

inline constexpr int EMBED_ATTACHMENT = 1454;
inline constexpr int ENC_NONE = 1725;
inline constexpr int ENC_QUOTED_PRINTABLE = 1726;

// Where the local client lives: $NORVEXA_NOTES_DATA, else
// ~/.local/share/norvexa/notes ($XDG_DATA_HOME/norvexa/notes when
// XDG_DATA_HOME is set, as the provisioning script has it).
std::filesystem::path DefaultClientDirectory();

// ---------------------------------------------------------------------------
// Session
// ---------------------------------------------------------------------------
class Session {
 public:
  // Opens a session on the local client. Throws NotesError when no client is
  // installed or its notes.ini cannot be read.
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens FILE on the local machine (SERVER must be ""). FILE is absolute or
  // relative to the client's data folder. A missing file gives a database
  // that is not open (IsOpen() false; every later call fails); it is never
  // created. A file that is not a Notes database throws.
  std::unique_ptr<Database> GetDatabase(const std::string& server, const std::string& file);

  // The value of NAME in notes.ini (key matched without regard to case), ""
  // when unset. SYSTEM is accepted for the caller's sake; names are used as
  // given.
  std::string GETENVIRONMENTSTRING(const std::string& name, bool system);

  // The per-session MIME-conversion switch; true when the session opens.
  bool ConvertMime() const;
  void SetConvertMime(bool value);

  // An empty stream.
  std::unique_ptr<Stream> CreateStream();

  // The client's data folder.
  const std::filesystem::path& DataDirectory() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// Database
// ---------------------------------------------------------------------------
class Database {
 public:
  virtual ~Database() = default;

  virtual bool IsOpen() const = 0;
  virtual std::string FilePath() const = 0;
  virtual std::string Title() const = 0;
  // The name of the design template this database's design comes from ("" if
  // none).
  virtual std::string TemplateName() const = 0;

  // A new database at NEW_PATH with this one's design and title and no
  // documents. Throws when a file exists at NEW_PATH or its folder is missing.
  virtual std::unique_ptr<Database> CreateCopy(const std::string& server, const std::string& new_path) = 0;

  // Makes folder NAME when missing ("\" separates nested folders).
  virtual void EnableFolder(const std::string& name) = 0;

  // A new, unsaved document.
  virtual std::unique_ptr<Document> CreateDocument() = 0;

  // Reading back (inspection and tests).
  virtual std::vector<std::string> DesignElementNames() const = 0;
  virtual std::vector<std::string> FolderNames() const = 0;  // full "\" paths
  virtual std::vector<std::string> FolderDocumentIds(const std::string& folder) const = 0;
  virtual std::vector<std::string> AllDocumentIds() const = 0;  // universal ids, in save order
  virtual std::unique_ptr<Document> GetDocumentByUNID(const std::string& unid) = 0;
};

// An attachment stored in a document.
struct AttachmentInfo {
  std::string file_name;
  std::int64_t size = 0;
  std::string sha256;  // hex
};

// ---------------------------------------------------------------------------
// Document
// ---------------------------------------------------------------------------
class Document {
 public:
  virtual ~Document() = default;

  // Puts item NAME with VALUE, replacing any earlier item of that name
  // (whatever its type, a rich-text item and its MIME parts included).
  virtual void ReplaceItemValue(const std::string& name, const ItemValue& value) = 0;

  // Reading items back.
  virtual bool HasItem(const std::string& name) const = 0;
  virtual std::optional<ItemValue> GetItemValue(const std::string& name) const = 0;
  virtual std::vector<std::string> ItemNames() const = 0;  // in the order first put
  // The type of item NAME: "text", "number", "datetime", "time", "textlist"
  // or "richtext"; "" when the document has no such item.
  virtual std::string ItemType(const std::string& name) const = 0;

  // A rich-text item NAME (replacing an earlier item of that name).
  virtual std::unique_ptr<RichTextItem> CreateRichTextItem(const std::string& name) = 0;

  // Writes open MIME parts of item NAME back into the document when SAVE.
  virtual void CloseMIMEEntities(bool save, const std::string& name) = 0;

  // Stores the document in one transaction; the first save gives it its
  // universal id, note id and creation time; later saves update it.
  virtual bool Save(bool force, bool make_response) = 0;

  // Lists the saved document in folder NAME, making the folder when missing.
  virtual void PutInFolder(const std::string& name) = 0;

  virtual std::string UniversalID() const = 0;  // 32 hex digits once saved
  virtual std::int64_t NoteID() const = 0;      // 0 before the first save
  virtual QDateTime Created() const = 0;
  virtual QDateTime LastModified() const = 0;

  virtual std::vector<AttachmentInfo> Attachments() const = 0;
  // Writes the bytes of attachment FILE_NAME to PATH.
  virtual void ExtractAttachment(const std::string& file_name, const std::filesystem::path& path) const = 0;
  // The stored MIME part of item NAME, when one was written: content type,
  // encoding and decoded text.
  struct MimePart {
    std::string content_type;
    int encoding = 0;
    std::string text;
  };
  virtual std::optional<MimePart> GetMimePart(const std::string& name) const = 0;
};

class RichTextItem {
 public:
  virtual ~RichTextItem() = default;
  virtual std::string Name() const = 0;
  // A child MIME part of this item.
  virtual std::unique_ptr<MIMEEntity> CreateChildEntity() = 0;
  // Stores the file at SOURCE as a file attachment of the document (TYPE
  // must be EMBED_ATTACHMENT). The file is streamed; a missing or unreadable
  // file throws and stores nothing.
  virtual std::unique_ptr<EmbeddedObject> EmbedObject(int type, const std::string& object_class,
                                                      const std::string& source, const std::string& name) = 0;
};

class Stream {
 public:
  virtual ~Stream() = default;
  virtual void WriteText(const std::string& text) = 0;
  virtual void Close() = 0;
  virtual const std::string& Text() const = 0;
};

class MIMEEntity {
 public:
  virtual ~MIMEEntity() = default;
  // Sets the part's content from STREAM's text, with CONTENT_TYPE and
  // ENCODING (ENC_QUOTED_PRINTABLE).
  virtual void SetContentFromText(Stream& stream, const std::string& content_type, int encoding) = 0;
};

class EmbeddedObject {
 public:
  virtual ~EmbeddedObject() = default;
  virtual std::string Source() const = 0;  // the original file name
  virtual std::int64_t FileSize() const = 0;
};

// Opens the Notes database at PATH without a session (inspection tools).
// Throws when PATH does not exist or is not a Notes database.
std::unique_ptr<Database> OpenDatabaseFile(const std::filesystem::path& path);

// ---------------------------------------------------------------------------
// The local client
// ---------------------------------------------------------------------------

// Provisions a local client in DIR: notes.ini (DefaultMailTemplate, NAMES),
// the mail template, pernames.ntf and the personal address book. A relative
// DIR is taken from the current folder. Never overwrites: throws NotesError
// when DIR already holds a client.
void ProvisionClient(const std::filesystem::path& dir);

}  // namespace norvexa::notes
