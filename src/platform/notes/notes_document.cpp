// Document: items held in memory until Save stores them in one transaction;
// rich-text items with their trees of MIME parts; read marks; attachments
// streamed in at once.
#include "platform/notes/attachment_store.h"
#include "platform/notes/folder_path.h"
#include "platform/notes/item_codec.h"
#include "platform/notes/mime_content.h"
#include "platform/notes/mime_entity.h"
#include "platform/notes/mime_render.h"
#include "platform/notes/mime_store.h"
#include "platform/notes/notes_objects.h"
#include "platform/notes/read_marks.h"
#include "platform/system/hex.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace norvexa::notes::internal {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FolderKey(a) == FolderKey(b);
}

struct ItemState {
  std::string name;
  StoredValue stored;  // type "richtext" for a rich-text item
  std::uint64_t generation = 0;
  MimeTree parts;                  // the MIME parts written into the item
  std::shared_ptr<MimeEdit> open;  // the open copy entities change, if any
};

// What a document holds in memory; shared with the rich-text items it hands
// out so that they notice when their item is replaced.
struct DocumentState {
  std::shared_ptr<Connection> connection;
  std::vector<ItemState> items;
  std::uint64_t next_generation = 1;
  std::int64_t note_id = 0;
  std::string unid;
  std::string created;
  std::string modified;
  std::vector<StoredAttachment> attachments;  // saved and pending, in order
  std::vector<std::int64_t> pending;          // attachment ids not yet claimed by a save
  // Read marks set before the first save: user and read, one per user.
  std::vector<std::pair<std::string, bool>> pending_marks;

  ItemState* Find(const std::string& name) {
    for (ItemState& item : items)
      if (SameName(item.name, name)) return &item;
    return nullptr;
  }

  // Puts an item NAME holding STORED, replacing an earlier item of that
  // name in place (its MIME parts, open or written, go with it).
  ItemState& Put(const std::string& name, StoredValue stored) {
    if (name.empty()) throw NotesError("put item on " + connection->path() + ": an item needs a name");
    ItemState* item = Find(name);
    if (!item) item = &items.emplace_back();
    item->name = name;
    item->stored = std::move(stored);
    item->generation = next_generation++;
    item->parts = MimeTree{};
    item->open.reset();
    return *item;
  }

  // The open copy of ITEM's parts, made from its written parts when none is
  // open.
  std::shared_ptr<MimeEdit> OpenEdit(ItemState& item) {
    if (!item.open) {
      item.open = std::make_shared<MimeEdit>();
      item.open->tree = CopyTree(item.parts);
      item.open->where = " on " + connection->path() + ", item " + item.name;
    }
    return item.open;
  }

  // Writes ITEM's open parts, less the top parts given nothing, into the
  // item; the entities handed out for them end.
  static void WriteBack(ItemState& item) {
    if (!item.open) return;
    MimeTree tree = std::move(item.open->tree);
    item.open.reset();
    std::erase_if(tree.tops, [](const std::unique_ptr<MimeNode>& top) { return IsBlankPart(*top); });
    item.parts = std::move(tree);
  }
};

// A new universal id: a random (version 4) UUID as 32 upper-case
// hexadecimal digits, the form QUuid::createUuid gives. The bits come from
// Qt's global generator, seeded once from the system's source; asking the
// system's source for every document, as QUuid does, took more time than
// the rest of the id.
std::string NewUniversalId() {
  quint64 words[2];
  QRandomGenerator::global()->fillRange(words);
  unsigned char bytes[16];
  std::memcpy(bytes, words, sizeof bytes);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return sys::HexEncode(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

QDateTime ParseStamp(const std::string& text) { return QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs); }

class EmbeddedObjectImpl : public EmbeddedObject {
 public:
  explicit EmbeddedObjectImpl(AttachmentInfo info) : info_(std::move(info)) {}
  std::string Source() const override { return info_.file_name; }
  std::int64_t FileSize() const override { return info_.size; }

 private:
  AttachmentInfo info_;
};

class RichTextItemImpl : public RichTextItem {
 public:
  RichTextItemImpl(std::weak_ptr<DocumentState> state, std::string name, std::uint64_t generation)
      : state_(std::move(state)), name_(std::move(name)), generation_(generation) {}

  std::string Name() const override { return name_; }

  std::unique_ptr<MIMEEntity> CreateChildEntity() override {
    auto [state, item] = Current("create child entity");
    return AddTopPart(state->OpenEdit(item));
  }

  std::unique_ptr<EmbeddedObject> EmbedObject(int type, const std::string&, const std::string& source,
                                              const std::string&) override {
    auto [state, item] = Current("embed object");
    CheckEmbedType(type, *state);
    return Keep(*state, StreamFileIn(*state->connection, source, item.name));
  }

  std::unique_ptr<EmbeddedObject> EmbedBytes(int type, const std::string& source, std::string_view bytes,
                                             const std::string&) override {
    auto [state, item] = Current("embed object");
    CheckEmbedType(type, *state);
    const std::string file_name = std::filesystem::path(source).filename().string();
    return Keep(*state, StoreBytesIn(*state->connection, file_name, bytes, item.name));
  }

 private:
  // Throws NotesError unless TYPE is EMBED_ATTACHMENT, the only kind of
  // object a document here holds.
  static void CheckEmbedType(int type, const DocumentState& state) {
    if (type != EMBED_ATTACHMENT)
      throw NotesError("embed object on " + state.connection->path() + ": object type " + std::to_string(type) +
                       " is not supported (only file attachments, " + std::to_string(EMBED_ATTACHMENT) + ")");
  }

  // Records STORED as an attachment of the document of STATE, unclaimed
  // until the document is saved, and returns its embedded object.
  static std::unique_ptr<EmbeddedObject> Keep(DocumentState& state, const StoredAttachment& stored) {
    state.attachments.push_back(stored);
    state.pending.push_back(stored.id);
    return std::make_unique<EmbeddedObjectImpl>(stored.info);
  }

  // The document's state and this item, or a NotesError when the document
  // is gone or the item was replaced.
  std::pair<std::shared_ptr<DocumentState>, ItemState&> Current(const char* operation) {
    std::shared_ptr<DocumentState> state = state_.lock();
    if (!state) throw NotesError(std::string(operation) + " on item " + name_ + ": its document was released");
    ItemState* item = state->Find(name_);
    if (!item || item->generation != generation_)
      throw NotesError(std::string(operation) + " on " + state->connection->path() + ": the rich-text item " + name_ +
                       " was replaced");
    return {state, *item};
  }

  std::weak_ptr<DocumentState> state_;
  std::string name_;
  std::uint64_t generation_;
};

class DocumentImpl : public Document {
 public:
  explicit DocumentImpl(std::shared_ptr<DocumentState> state) : state_(std::move(state)) {}

  ~DocumentImpl() override {
    if (state_->pending.empty()) return;
    // Attachments embedded into a document that was never saved are removed;
    // a failure leaves unclaimed rows that no document lists, and a
    // destructor has no caller to report it to.
    try {
      DeleteUnclaimedAttachments(*state_->connection, state_->pending);
    } catch (const NotesError&) {
    }
  }

  void ReplaceItemValue(const std::string& name, const ItemValue& value) override {
    StoredValue stored;
    try {
      stored = EncodeItemValue(value);
    } catch (const NotesError& e) {
      throw NotesError("put item " + name + " on " + state_->connection->path() + ": " + e.what());
    }
    state_->Put(name, std::move(stored));
  }

  bool HasItem(const std::string& name) const override { return state_->Find(name) != nullptr; }

  std::optional<ItemValue> GetItemValue(const std::string& name) const override {
    const ItemState* item = state_->Find(name);
    if (!item) return std::nullopt;
    if (item->stored.type == "richtext") {
      // A rich-text item reads as the text of its first written leaf part.
      const MimeNode* leaf = FirstLeaf(item->parts);
      return leaf ? FromPartCharset(EffectiveContentType(*leaf), leaf->content) : std::string();
    }
    return DecodeItemValue(item->stored);
  }

  std::vector<std::string> ItemNames() const override {
    std::vector<std::string> names;
    for (const ItemState& item : state_->items) names.push_back(item.name);
    return names;
  }

  std::string ItemType(const std::string& name) const override {
    const ItemState* item = state_->Find(name);
    return item ? item->stored.type : std::string();
  }

  std::unique_ptr<RichTextItem> CreateRichTextItem(const std::string& name) override {
    StoredValue stored;
    stored.type = "richtext";
    ItemState& item = state_->Put(name, std::move(stored));
    return std::make_unique<RichTextItemImpl>(state_, item.name, item.generation);
  }

  std::unique_ptr<MIMEEntity> GetMIMEEntity(const std::string& name) override {
    ItemState* item = state_->Find(name);
    if (!item || item->stored.type != "richtext") return nullptr;
    const MimeTree& current = item->open ? item->open->tree : item->parts;
    if (current.tops.empty()) return nullptr;
    const std::shared_ptr<MimeEdit> edit = state_->OpenEdit(*item);
    return MakeEntity(edit, edit->tree.tops.front().get());
  }

  std::unique_ptr<MIMEEntity> CreateMIMEEntity(const std::string& name) override {
    ItemState* item = state_->Find(name);
    if (!item) {
      StoredValue stored;
      stored.type = "richtext";
      item = &state_->Put(name, std::move(stored));
    } else if (item->stored.type != "richtext") {
      throw NotesError("create MIME entity on " + state_->connection->path() + ": item " + name + " exists and is " +
                       item->stored.type + ", not rich text");
    } else if (!item->parts.tops.empty() || (item->open && !item->open->tree.tops.empty())) {
      throw NotesError("create MIME entity on " + state_->connection->path() + ": item " + name +
                       " already has MIME parts");
    }
    return AddTopPart(state_->OpenEdit(*item));
  }

  void CloseMIMEEntities(bool save, const std::string& name) override {
    ItemState* item = state_->Find(name);
    if (!item) return;  // nothing of that name is open
    if (save) DocumentState::WriteBack(*item);
    else item->open.reset();
  }

  std::string RenderMIME(const std::string& name) override {
    ItemState* item = state_->Find(name);
    MimeTree* tree = item ? (item->open ? &item->open->tree : &item->parts) : nullptr;
    const std::string where = " on " + state_->connection->path() + ", item " + name;
    if (!tree || tree->tops.empty()) throw NotesError("render MIME" + where + ": the item has no MIME parts");
    SettleBoundaries(*tree, where);
    return RenderMessage(*tree);
  }

  void MarkRead(const std::string& user) override { Mark(user, true); }
  void MarkUnread(const std::string& user) override { Mark(user, false); }

  bool GetRead(const std::string& user) const override {
    const DocumentState& s = *state_;
    if (s.note_id == 0) {
      for (const auto& [who, read] : s.pending_marks)
        if (who == user) return read;
      return ReadByDefault(user);
    }
    std::lock_guard lock(s.connection->mutex());
    return IsRead(*s.connection, s.note_id, user, "read read mark");
  }

  bool Save(bool, bool) override {
    DocumentState& s = *state_;
    Connection& c = *s.connection;
    const char* operation = "save document";
    for (ItemState& item : s.items) {
      DocumentState::WriteBack(item);
      if (!item.parts.tops.empty()) SettleBoundaries(item.parts, " on " + c.path() + ", item " + item.name);
    }

    std::lock_guard lock(c.mutex());
    const std::string now = NowUtc();
    const bool is_new = s.note_id == 0;
    const std::string unid = is_new ? NewUniversalId() : s.unid;
    Transaction transaction(c, operation);
    std::int64_t note_id = s.note_id;
    if (is_new) {
      Statement insert(c, "INSERT INTO documents(unid, created, modified) VALUES (?1, ?2, ?2)", operation);
      insert.BindView(1, unid).BindView(2, now);
      insert.Run();
      note_id = sqlite3_last_insert_rowid(c.handle());
    } else {
      {
        Statement update(c, "UPDATE documents SET modified = ?2 WHERE note_id = ?1", operation);
        update.Bind(1, note_id).Bind(2, now);
        update.Run();
      }
      if (sqlite3_changes(c.handle()) != 1)
        throw NotesError(std::string(operation) + " on " + c.path() + ": document " + unid + " no longer exists");
      Statement(c, "DELETE FROM items WHERE note_id = ?1", operation).Bind(1, note_id).Run();
      Statement(c, "DELETE FROM mime_parts WHERE note_id = ?1", operation).Bind(1, note_id).Run();
    }
    std::int64_t seq = 0;
    for (const ItemState& item : s.items) {
      // The table's CHECK on the type is not evaluated by this connection.
      if (!IsStoredItemType(item.stored.type))
        throw NotesError(std::string(operation) + " on " + c.path() + ": item " + item.name + " has no storable type (\"" +
                         item.stored.type + "\")");
      Statement insert(c, "INSERT INTO items(note_id, name, seq, type, value) VALUES (?1, ?2, ?3, ?4, ?5)", operation);
      insert.Bind(1, note_id).BindView(2, item.name).Bind(3, seq++).BindView(4, item.stored.type);
      if (item.stored.is_real) insert.Bind(5, item.stored.real);
      else insert.BindView(5, item.stored.text);
      insert.Run();
      WriteMimeParts(c, note_id, item.name, item.parts, operation);
    }
    if (is_new) {
      for (const auto& [user, read] : s.pending_marks)
        if (read != ReadByDefault(user)) StoreReadMark(c, note_id, user, read, operation);
    }
    for (const StoredAttachment& a : s.attachments) {
      if (std::find(s.pending.begin(), s.pending.end(), a.id) == s.pending.end()) continue;
      Statement claim(c, "UPDATE attachments SET note_id = ?1, sha256 = ?3 WHERE id = ?2 AND note_id IS NULL",
                      operation);
      claim.Bind(1, note_id).Bind(2, a.id).Bind(3, a.info.sha256);
      claim.Run();
      if (sqlite3_changes(c.handle()) != 1)
        throw NotesError(std::string(operation) + " on " + c.path() + ": an embedded attachment has gone");
    }
    transaction.Commit();

    s.note_id = note_id;
    s.unid = unid;
    if (is_new) s.created = now;
    s.modified = now;
    s.pending.clear();
    s.pending_marks.clear();
    return true;
  }

  void PutInFolder(const std::string& name) override {
    DocumentState& s = *state_;
    Connection& c = *s.connection;
    const char* operation = "put in folder";
    if (s.note_id == 0)
      throw NotesError(std::string(operation) + " " + name + " on " + c.path() + ": the document has not been saved");
    const std::vector<std::string> parts = SplitFolderPath(name);
    const std::string key = FolderKey(JoinFolderPath(parts));
    std::lock_guard lock(c.mutex());
    Transaction transaction(c, operation);
    auto cached = c.folder_ids().find(key);
    const bool known = cached != c.folder_ids().end();
    const std::int64_t folder_id = known ? cached->second : EnsureFolderInTransaction(c, parts);
    {
      Statement insert(c, "INSERT OR IGNORE INTO folder_entries(folder_id, note_id) VALUES (?1, ?2)", operation);
      insert.Bind(1, folder_id).Bind(2, s.note_id);
      insert.Run();
    }
    transaction.Commit();
    if (!known) c.folder_ids().emplace(key, folder_id);
  }

  std::string UniversalID() const override { return state_->unid; }
  std::int64_t NoteID() const override { return state_->note_id; }
  QDateTime Created() const override { return ParseStamp(state_->created); }
  QDateTime LastModified() const override { return ParseStamp(state_->modified); }

  std::vector<AttachmentInfo> Attachments() const override {
    std::vector<AttachmentInfo> infos;
    for (const StoredAttachment& a : state_->attachments) infos.push_back(a.info);
    return infos;
  }

  void ExtractAttachment(const std::string& file_name, const std::filesystem::path& path) const override {
    for (const StoredAttachment& a : state_->attachments) {
      if (a.info.file_name == file_name) {
        StreamFileOut(*state_->connection, a.id, path);
        return;
      }
    }
    throw NotesError("extract attachment on " + state_->connection->path() + ": the document has no attachment " +
                     file_name);
  }

  std::optional<MimePart> GetMimePart(const std::string& name) const override {
    const ItemState* item = state_->Find(name);
    const MimeNode* leaf = item ? FirstLeaf(item->parts) : nullptr;
    if (!leaf) return std::nullopt;
    const std::string content_type = EffectiveContentType(*leaf);
    return MimePart{content_type, leaf->encoding, FromPartCharset(content_type, leaf->content)};
  }

 private:
  // Sets USER's read mark: at once on a saved document, at its first save
  // on a new one.
  void Mark(const std::string& user, bool read) {
    DocumentState& s = *state_;
    if (s.note_id == 0) {
      auto it = std::find_if(s.pending_marks.begin(), s.pending_marks.end(),
                             [&](const auto& mark) { return mark.first == user; });
      if (it != s.pending_marks.end()) it->second = read;
      else s.pending_marks.emplace_back(user, read);
      return;
    }
    Connection& c = *s.connection;
    const char* operation = read ? "mark read" : "mark unread";
    std::lock_guard lock(c.mutex());
    Transaction transaction(c, operation);
    StoreReadMark(c, s.note_id, user, read, operation);
    transaction.Commit();
  }

  std::shared_ptr<DocumentState> state_;
};

}  // namespace

std::unique_ptr<Document> MakeNewDocument(std::shared_ptr<Connection> connection) {
  auto state = std::make_shared<DocumentState>();
  state->connection = std::move(connection);
  return std::make_unique<DocumentImpl>(std::move(state));
}

std::unique_ptr<Document> LoadDocument(std::shared_ptr<Connection> connection, const std::string& unid) {
  const char* operation = "get document";
  auto state = std::make_shared<DocumentState>();
  state->connection = connection;
  Connection& c = *connection;
  std::lock_guard lock(c.mutex());
  {
    Statement doc(c, "SELECT note_id, created, modified FROM documents WHERE unid = ?1", operation);
    doc.Bind(1, unid);
    if (!doc.Step()) throw NotesError(std::string(operation) + " on " + c.path() + ": no document " + unid);
    state->note_id = doc.Int(0);
    state->created = doc.Text(1);
    state->modified = doc.Text(2);
    state->unid = unid;
  }
  {
    Statement items(c, "SELECT name, type, value FROM items WHERE note_id = ?1 ORDER BY seq", operation);
    items.Bind(1, state->note_id);
    while (items.Step()) {
      StoredValue stored;
      stored.type = items.Text(1);
      stored.is_real = items.Type(2) == SQLITE_FLOAT || items.Type(2) == SQLITE_INTEGER;
      if (stored.is_real) stored.real = items.Real(2);
      else stored.text = items.Text(2);
      ItemState& item = state->items.emplace_back();
      item.name = items.Text(0);
      item.stored = std::move(stored);
      item.generation = state->next_generation++;
    }
  }
  for (auto& [item_name, tree] : ReadMimeParts(c, state->note_id, operation)) {
    ItemState* item = state->Find(item_name);
    if (item) item->parts = std::move(tree);  // parts whose item is gone are not reachable
  }
  {
    Statement attachments(c, "SELECT id, file_name, size, sha256 FROM attachments WHERE note_id = ?1 ORDER BY id",
                          operation);
    attachments.Bind(1, state->note_id);
    while (attachments.Step())
      state->attachments.push_back({attachments.Int(0), {attachments.Text(1), attachments.Int(2), attachments.Text(3)}});
  }
  return std::make_unique<DocumentImpl>(std::move(state));
}

}  // namespace norvexa::notes::internal
