// Notes back-end: sessions, databases, documents, items, rich-text items,
// streams, MIME entities and their headers, read marks and embedded objects,
// stored in SQLite.
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
// opens one database file uses the same SQLite connection (a database opened
// read-only by OpenDatabaseFile has one of its own, which never writes),
// found by the
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
// Commits. Every call that writes (Save, PutInFolder, EmbedObject,
// EnableFolder, a read mark on a saved document) is one transaction, all or
// nothing. Without a commit batch it is committed before the call returns.
// With a CommitBatch on the file (our extension, below) the call returns
// once its writes are in the batch, and they are committed with the rest of
// the batch at a document boundary the batch's owner marks: until then a
// kill loses them, with every other write of the batch, and other
// connections do not see them. Either way a killed process never leaves a
// write in part.
//
// The background checkpoint. A database is a write-ahead-log file with
// synchronous=NORMAL: a committed write is in the log and survives the end
// of the process (a crash, a kill); a power loss may lose the last commits
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

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace norvexa::notes {

namespace internal {
struct BatchState;
}

class NotesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Database;
class Document;
class RichTextItem;
class Stream;
class MIMEEntity;
class MIMEHeader;
class EmbeddedObject;

// The value an item holds: text, a number, a date-time (kept with its offset
// from UTC, to the second), a time of day without a date, or a list of texts,
// of date-times (the same rule as one date-time) or of numbers.
using TextList = std::vector<std::string>;
using DateTimeList = std::vector<QDateTime>;
using NumberList = std::vector<double>;
using ItemValue = std::variant<std::string, double, QDateTime, QTime, TextList, DateTimeList, NumberList>;

// Constants of the back-end.
// The longest path, in bytes of UTF-8, of a database file this back-end can
// create or open: SQLite's 512-byte limit for a full path name, less the 8
// bytes of the "-journal" name it forms beside the file.
inline constexpr std::size_t kMaxDatabasePathBytes = 504;

inline constexpr int EMBED_ATTACHMENT = 1454;
// The transfer encodings of a MIME part: how its content is stored and
// rendered. ENC_NONE keeps the bytes as they are without naming an encoding;
// the three identity encodings keep them too and name 7bit, 8bit or binary.
inline constexpr int ENC_NONE = 1725;
inline constexpr int ENC_QUOTED_PRINTABLE = 1726;
inline constexpr int ENC_BASE64 = 1727;
inline constexpr int ENC_IDENTITY_7BIT = 1728;
inline constexpr int ENC_IDENTITY_8BIT = 1729;
inline constexpr int ENC_IDENTITY_BINARY = 1730;

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
  // created. A file that is not a Notes database throws. A database of an
  // older layout is upgraded to the current one in place, in one
  // transaction, when it is opened (a file that cannot be written is read as
  // it is).
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

  // The universal ids of the documents USER has not read, in save order
  // (Document::GetRead says what counts as read; "" is the local client's
  // user). A file of layout 1 opened read-only keeps no marks: every
  // document is read for the local user and unread for any other.
  virtual std::vector<std::string> UnreadDocumentIds(const std::string& user = "") const = 0;

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
  // (whatever its type, a rich-text item and its MIME parts included; MIME
  // entities handed out for it stop working).
  virtual void ReplaceItemValue(const std::string& name, const ItemValue& value) = 0;

  // Reading items back.
  virtual bool HasItem(const std::string& name) const = 0;
  virtual std::optional<ItemValue> GetItemValue(const std::string& name) const = 0;
  virtual std::vector<std::string> ItemNames() const = 0;  // in the order first put
  // The type of item NAME: "text", "number", "datetime", "time", "textlist",
  // "datetimelist", "numberlist" or "richtext"; "" when the document has no
  // such item.
  virtual std::string ItemType(const std::string& name) const = 0;

  // A rich-text item NAME (replacing an earlier item of that name).
  virtual std::unique_ptr<RichTextItem> CreateRichTextItem(const std::string& name) = 0;

  // MIME parts. The parts of a rich-text item form a tree: its top part
  // (made by CreateMIMEEntity, or by the item's CreateChildEntity) and the
  // child parts below it; a part with children is a multipart. Changes are
  // made on an open copy of the item's parts: CloseMIMEEntities(true) or
  // Save writes it into the document, CloseMIMEEntities(false) drops it,
  // and either ends the MIMEEntity and MIMEHeader objects handed out for the
  // item (their later calls throw). A top part that was given nothing at all
  // (no content, header or child) is not written.

  // The top part of item NAME (the open copy when one is open), or null
  // when the document has no such item or it holds no MIME part. Opens the
  // item's parts for changes.
  virtual std::unique_ptr<MIMEEntity> GetMIMEEntity(const std::string& name = "Body") = 0;

  // A new top part of item NAME, making NAME a rich-text item when the
  // document has no item of that name. Throws NotesError when an item NAME
  // exists that is not rich text or already has MIME parts.
  virtual std::unique_ptr<MIMEEntity> CreateMIMEEntity(const std::string& name = "Body") = 0;

  // Writes the open MIME parts of item NAME into the document when SAVE,
  // drops them otherwise; nothing happens when none are open.
  virtual void CloseMIMEEntities(bool save, const std::string& name) = 0;

  // The MIME parts of item NAME (the open copy when one is open) as one
  // RFC 822/MIME message text: each part's stored header lines (without
  // their Content-Type, Content-Transfer-Encoding and MIME-Version lines,
  // which the part's own take the place of; "MIME-Version: 1.0" comes with
  // the top part), the boundaries and the encoded contents, lines ending in
  // CRLF. An item with several top parts (written by layout 1, or by calling
  // the item's CreateChildEntity more than once) renders as a
  // multipart/mixed message holding them. Throws NotesError when the item
  // has no MIME parts.
  virtual std::string RenderMIME(const std::string& name = "Body") = 0;

  // Stores the document in one transaction (committed when it returns, or
  // with its commit batch: see Commits at the top); the first save gives it
  // its universal id, note id and creation time; later saves update it.
  virtual bool Save(bool force, bool make_response) = 0;

  // Lists the saved document in folder NAME, making the folder when missing,
  // in one transaction as Save.
  virtual void PutInFolder(const std::string& name) = 0;

  // Read marks, kept per user in the database, not in the document (USER
  // "" is the local client's user). Every document here is made by the
  // local user, so without a mark a document is read for "" and unread for
  // any other user. On a saved document a mark is stored at once; on a new
  // one it is kept and stored by its first Save, in the same transaction.
  virtual void MarkRead(const std::string& user = "") = 0;
  virtual void MarkUnread(const std::string& user = "") = 0;
  virtual bool GetRead(const std::string& user = "") const = 0;

  virtual std::string UniversalID() const = 0;  // 32 hex digits once saved
  virtual std::int64_t NoteID() const = 0;      // 0 before the first save
  virtual QDateTime Created() const = 0;
  virtual QDateTime LastModified() const = 0;

  virtual std::vector<AttachmentInfo> Attachments() const = 0;
  // Writes the bytes of attachment FILE_NAME to PATH.
  virtual void ExtractAttachment(const std::string& file_name, const std::filesystem::path& path) const = 0;
  // The first part without children, in tree order, of the MIME parts
  // written into item NAME (open ones are not counted), when there is one:
  // content type, encoding and decoded text.
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
  // A new top part of this item (Document::CreateMIMEEntity makes the same):
  // the first call gives the item its top part; a later one adds another top
  // part beside it (see RenderMIME).
  virtual std::unique_ptr<MIMEEntity> CreateChildEntity() = 0;
  // Stores the file at SOURCE as a file attachment of the document (TYPE
  // must be EMBED_ATTACHMENT). The file is streamed; a missing or unreadable
  // file throws and stores nothing.
  virtual std::unique_ptr<EmbeddedObject> EmbedObject(int type, const std::string& object_class,
                                                      const std::string& source, const std::string& name) = 0;
  // Our extension: stores BYTES as the file attachment that EmbedObject
  // would store from a file at SOURCE holding them (its file name is
  // SOURCE's), without a file; SOURCE is not opened. TYPE must be
  // EMBED_ATTACHMENT. A failure throws and stores nothing.
  virtual std::unique_ptr<EmbeddedObject> EmbedBytes(int type, const std::string& source, std::string_view bytes,
                                                     const std::string& name) = 0;
};

// A buffer of bytes that MIME contents are set from. WriteText appends UTF-8
// text, Write appends bytes of any value; Text() and Bytes() both give all
// that was written. Writing to a closed stream throws NotesError.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual void WriteText(const std::string& text) = 0;
  virtual void Write(const std::string& bytes) = 0;
  // Empties the stream (it stays open, or closed).
  virtual void Truncate() = 0;
  virtual void Close() = 0;
  virtual const std::string& Text() const = 0;
  virtual const std::string& Bytes() const = 0;
};

// One MIME part of a rich-text item. Every call throws NotesError once the
// item's parts were closed or saved, or the item replaced (Document says
// when); reading calls do too.
class MIMEEntity {
 public:
  virtual ~MIMEEntity() = default;

  // Sets the part's content from STREAM's UTF-8 text, converted to the
  // charset that CONTENT_TYPE names (a text that charset cannot hold, or a
  // charset that is not known, is kept in UTF-8 and the charset relabelled
  // utf-8), stored in ENCODING (any ENC_ constant). Throws
  // NotesError for another encoding, an empty or multipart content type, or
  // a part that has children.
  virtual void SetContentFromText(Stream& stream, const std::string& content_type, int encoding) = 0;
  // As SetContentFromText, with STREAM's bytes taken as they are.
  virtual void SetContentFromBytes(Stream& stream, const std::string& content_type, int encoding) = 0;

  // A new last child part. This part becomes a multipart: a content type
  // that is not multipart/... gives way to multipart/mixed, a content it had
  // is dropped (as in Notes), and it gets a boundary made by the back-end.
  virtual std::unique_ptr<MIMEEntity> CreateChildEntity() = 0;

  // A new header NAME of this part, with an empty value until SetHeaderVal.
  // NAME Content-Type or Content-Transfer-Encoding (any case) stands for the
  // part's own content type or encoding rather than a stored line: setting
  // "multipart/alternative" makes the part a multipart of that kind (a
  // boundary parameter given is kept, else one is made), setting "base64"
  // changes the encoding it is stored in. Throws NotesError for a NAME that
  // is not a header name (printable ASCII without ':').
  virtual std::unique_ptr<MIMEHeader> CreateHeader(const std::string& name) = 0;
  // Header NAME, the Nth of that name (from 1), or null when there is none.
  virtual std::unique_ptr<MIMEHeader> GetNthHeader(const std::string& name, int n = 1) = 0;

  // Our extension: keeps BLOCK, an RFC 5322 header block (the transport
  // headers of a received mail), byte for byte as the part's stored header
  // lines, replacing those it had; Headers() gives the same bytes back. The
  // block ends at its first empty line: text after one is kept but never
  // rendered. When the part is rendered, its own content type and transfer
  // encoding take the place of the block's Content-Type,
  // Content-Transfer-Encoding and MIME-Version lines, which describe the
  // mail as it was sent.
  virtual void SetHeadersFromText(const std::string& block) = 0;

  // Reading back. ContentType() and ContentSubType() are the two halves of
  // the content type in lower case ("text", "html"); FullContentType() the
  // whole Content-Type value as rendered, a multipart's boundary included.
  // A part given no content type is text/plain, or multipart/mixed when it
  // has children.
  virtual std::string ContentType() const = 0;
  virtual std::string ContentSubType() const = 0;
  virtual std::string FullContentType() const = 0;
  // The charset parameter of the content type ("" when none).
  virtual std::string Charset() const = 0;
  // A multipart's boundary ("" for any other part).
  virtual std::string Boundary() const = 0;
  virtual int Encoding() const = 0;
  // The decoded content as UTF-8 text, converted from the part's charset.
  virtual std::string GetContentAsText() const = 0;
  // The decoded content bytes.
  virtual std::string GetContentAsBytes() const = 0;
  // The part's stored header lines, as set (SetHeadersFromText) or made
  // (CreateHeader), without its own content type and encoding.
  virtual std::string Headers() const = 0;

  // Moving through the tree: null at the end (GetParentEntity of a top
  // part, GetNextSibling of a last child or of the last top part).
  virtual std::unique_ptr<MIMEEntity> GetFirstChildEntity() const = 0;
  virtual std::unique_ptr<MIMEEntity> GetNextSibling() const = 0;
  virtual std::unique_ptr<MIMEEntity> GetParentEntity() const = 0;
};

// One header of a MIME part. Calls throw NotesError once the part's entities
// end (see MIMEEntity) or the header was removed (SetHeadersFromText
// replaced the lines it stood for).
class MIMEHeader {
 public:
  virtual ~MIMEHeader() = default;
  virtual std::string HeaderName() const = 0;
  // Sets the header's value. A line break in VALUE must fold the value (be
  // followed by a space or tab); any other throws NotesError, as does a NUL.
  virtual bool SetHeaderVal(const std::string& value) = 0;
  // The value as stored, unfolded (its line breaks removed).
  virtual std::string GetHeaderVal() const = 0;
};

class EmbeddedObject {
 public:
  virtual ~EmbeddedObject() = default;
  virtual std::string Source() const = 0;  // the original file name
  virtual std::int64_t FileSize() const = 0;
};

// ---------------------------------------------------------------------------
// CommitBatch (our extension)
// ---------------------------------------------------------------------------

// How much a commit batch gathers before it is committed.
struct CommitLimits {
  // Documents (document boundaries) to one commit at most.
  int documents = 256;
  // A batch whose first write is this old is committed at the next
  // document boundary, however few documents it holds.
  std::chrono::milliseconds age{100};
};

// Gathers the writes of this process to one database file, through any
// Session and Database, into one SQLite transaction per batch, committed at
// document boundaries: one commit for many documents instead of two or
// three for each. A document's writes (its embedded objects, Save and
// PutInFolder) between two boundaries are therefore committed together, or
// not at all. The batch holds the file's write lock from its first write to
// its commit, so other programs writing the file wait at most about a
// batch's age.
//
// A batch is due when it holds its allowed number of documents or its
// first write is LIMITS.age old. The first batch is allowed one document,
// each later one twice as many as the one before, up to LIMITS.documents:
// the first documents are in the database at once, and a long run commits
// a few times a second. A kill loses the writes not yet committed, never
// more than one batch.
//
// When a write of the batch fails, that one call is undone and the rest of
// the batch is kept. When SQLite cannot keep the rest (a full disk or an
// input/output error may make it roll the whole transaction back), the
// batch's writes since its last commit are lost: every later write throws
// until the next EndOfDocument or Commit has told the loss (by throwing);
// the batch then starts anew.
//
// One batch per database file in a process at a time; it is used from the
// thread that made it, which is also the thread that writes the file.
class CommitBatch {
 public:
  // Starts the batch of the existing Notes database at PATH. Throws
  // NotesError when PATH is not a Notes database or already has a batch.
  explicit CommitBatch(const std::filesystem::path& path, CommitLimits limits = {});
  // Ends the batch: writes not committed are rolled back (Commit keeps
  // them), and every write to the file is committed at once again.
  ~CommitBatch();
  CommitBatch(const CommitBatch&) = delete;
  CommitBatch& operator=(const CommitBatch&) = delete;

  // A document boundary: the writes of one document are done. Commits the
  // batch when it is due, and returns true when it did. Throws NotesError
  // when the commit fails or the writes were lost: nothing written since
  // the last commit is in the database then, and the batch is empty.
  bool EndOfDocument();

  // Commits what the batch holds now (nothing happens when it holds
  // nothing). Throws as EndOfDocument.
  void Commit();

  // True when writes wait for their commit.
  bool Pending() const;

 private:
  std::shared_ptr<internal::BatchState> state_;
};

// Opens the Notes database at PATH read-only, without a session
// (inspection tools): nothing in the file changes, an older layout is read
// as it is, and every call that would write throws NotesError. Throws when
// PATH does not exist or is not a Notes database.
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
