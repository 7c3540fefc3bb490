// MIME entities and headers: setting a part's content, type, encoding and
// header lines, making child parts, and reading a tree back.
#include "platform/notes/mime_entity.h"

#include "platform/notes/mime_content.h"

#include <algorithm>

namespace norvexa::notes::internal {

namespace {

// The edit an entity or header works on, or a NotesError naming OPERATION
// when it is gone.
std::shared_ptr<MimeEdit> Live(const std::weak_ptr<MimeEdit>& edit, const char* operation) {
  std::shared_ptr<MimeEdit> live = edit.lock();
  if (!live)
    throw NotesError(std::string(operation) +
                     ": the MIME part's item was replaced, or its parts were closed or saved");
  return live;
}

// What a MIMEHeader stands for: a stored header line, or the part's own
// content type or encoding.
enum class HeaderKind { Line, ContentType, Encoding };

HeaderKind KindOf(const std::string& name) {
  if (SameHeaderName(name, "Content-Type")) return HeaderKind::ContentType;
  if (SameHeaderName(name, "Content-Transfer-Encoding")) return HeaderKind::Encoding;
  return HeaderKind::Line;
}

// Makes NODE a multipart of content type TYPE (a multipart/... type): a
// boundary parameter of TYPE becomes the part's boundary, else the part
// keeps the one it has or gets a new one; a content it had is dropped.
void MakeMultipart(MimeNode& node, const std::string& type) {
  const std::string given = ContentTypeParameter(type, "boundary");
  node.content_type = WithoutParameter(type, "boundary");
  if (!given.empty()) node.boundary = given;
  else if (node.boundary.empty()) node.boundary = NewBoundary();
  node.content.clear();
  node.has_content = false;
}

class MIMEHeaderImpl : public MIMEHeader {
 public:
  MIMEHeaderImpl(std::weak_ptr<MimeEdit> edit, MimeNode* node, std::string name, int n)
      : edit_(std::move(edit)), node_(node), name_(std::move(name)), n_(n), kind_(KindOf(name_)) {}

  std::string HeaderName() const override { return name_; }

  bool SetHeaderVal(const std::string& value) override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "set header value");
    const std::string where = edit->where + ", header " + name_;
    CheckHeaderValue(value, where);
    MimeNode& node = *node_;
    switch (kind_) {
      case HeaderKind::ContentType: {
        if (value.empty()) throw NotesError("set header value" + where + ": a content type cannot be empty");
        if (IsMultipartType(value)) {
          MakeMultipart(node, value);
        } else {
          if (!node.children.empty() && !IsMessageType(value))
            throw NotesError("set header value" + where + ": a part with child parts must be multipart, not " + value);
          node.content_type = value;
          node.boundary.clear();
        }
        return true;
      }
      case HeaderKind::Encoding: {
        const int encoding = EncodingFromName(value);
        if (encoding == 0) throw NotesError("set header value" + where + ": \"" + value + "\" is not a transfer encoding");
        node.encoding = encoding;
        return true;
      }
      case HeaderKind::Line:
        if (!ReplaceFieldValue(node.headers, name_, n_, value))
          throw NotesError("set header value" + where + ": the header was removed from the part");
        return true;
    }
    return false;
  }

  std::string GetHeaderVal() const override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "get header value");
    const MimeNode& node = *node_;
    switch (kind_) {
      case HeaderKind::ContentType: return FullContentType(node);
      case HeaderKind::Encoding: return EncodingName(node.encoding, node.content);
      case HeaderKind::Line: break;
    }
    const HeaderBlock block = ParseHeaderBlock(node.headers);
    const std::optional<std::size_t> index = FindField(node.headers, block, name_, n_);
    if (!index)
      throw NotesError("get header value" + edit->where + ", header " + name_ + ": the header was removed from the part");
    return FieldValue(node.headers, block.fields[*index]);
  }

 private:
  std::weak_ptr<MimeEdit> edit_;
  MimeNode* node_;
  std::string name_;
  int n_;
  HeaderKind kind_;
};

class MIMEEntityImpl : public MIMEEntity {
 public:
  MIMEEntityImpl(std::weak_ptr<MimeEdit> edit, MimeNode* node) : edit_(std::move(edit)), node_(node) {}

  void SetContentFromText(Stream& stream, const std::string& content_type, int encoding) override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "set MIME content");
    CheckContent(*edit, content_type, encoding);
    const PartBytes bytes = ToPartCharset(content_type, stream.Text());
    Put(bytes.content_type, encoding, bytes.bytes);
  }

  void SetContentFromBytes(Stream& stream, const std::string& content_type, int encoding) override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "set MIME content");
    CheckContent(*edit, content_type, encoding);
    Put(content_type, encoding, stream.Bytes());
  }

  std::unique_ptr<MIMEEntity> CreateChildEntity() override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "create child entity");
    MimeNode& node = *node_;
    const std::string type = EffectiveContentType(node);
    if (IsMessageType(type) && !node.content_type.empty()) {
      if (!node.children.empty())
        throw NotesError("create child entity" + edit->where + ": a message/rfc822 part holds one message");
      node.content.clear();
      node.has_content = false;
    } else {
      MakeMultipart(node, IsMultipartType(node.content_type) ? node.content_type : "multipart/mixed");
    }
    auto child = std::make_unique<MimeNode>();
    child->parent = &node;
    MimeNode* raw = child.get();
    node.children.push_back(std::move(child));
    return std::make_unique<MIMEEntityImpl>(edit_, raw);
  }

  std::unique_ptr<MIMEHeader> CreateHeader(const std::string& name) override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "create header");
    if (!IsHeaderName(name))
      throw NotesError("create header" + edit->where + ": \"" + name +
                       "\" is not a header name (1 to 76 printable characters without ':')");
    if (KindOf(name) != HeaderKind::Line) return std::make_unique<MIMEHeaderImpl>(edit_, node_, name, 1);
    AppendField(node_->headers, name, "");
    const HeaderBlock block = ParseHeaderBlock(node_->headers);
    int n = 0;
    for (const HeaderField& field : block.fields)
      if (SameHeaderName(FieldName(node_->headers, field), name)) ++n;
    return std::make_unique<MIMEHeaderImpl>(edit_, node_, name, n);
  }

  std::unique_ptr<MIMEHeader> GetNthHeader(const std::string& name, int n) override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "get header");
    const MimeNode& node = *node_;
    if (n < 1) return nullptr;
    switch (KindOf(name)) {
      case HeaderKind::ContentType:
        if (n > 1 || (node.content_type.empty() && node.children.empty())) return nullptr;
        return std::make_unique<MIMEHeaderImpl>(edit_, node_, name, 1);
      case HeaderKind::Encoding:
        if (n > 1 || node.encoding == ENC_NONE) return nullptr;
        return std::make_unique<MIMEHeaderImpl>(edit_, node_, name, 1);
      case HeaderKind::Line: break;
    }
    const HeaderBlock block = ParseHeaderBlock(node.headers);
    if (!FindField(node.headers, block, name, n)) return nullptr;
    return std::make_unique<MIMEHeaderImpl>(edit_, node_, name, n);
  }

  void SetHeadersFromText(const std::string& block) override {
    Live(edit_, "set headers");
    node_->headers = block;
  }

  std::string ContentType() const override { return ParseContentType(EffectiveContentType(Node("read content type"))).type; }
  std::string ContentSubType() const override { return ParseContentType(EffectiveContentType(Node("read content type"))).subtype; }
  std::string FullContentType() const override { return internal::FullContentType(Node("read content type")); }
  std::string Charset() const override {
    return ContentTypeParameter(EffectiveContentType(Node("read charset")), "charset");
  }
  std::string Boundary() const override {
    const MimeNode& node = Node("read boundary");
    return IsMultipart(node) ? node.boundary : std::string();
  }
  int Encoding() const override { return Node("read encoding").encoding; }
  std::string GetContentAsText() const override {
    const MimeNode& node = Node("get content as text");
    return FromPartCharset(EffectiveContentType(node), node.content);
  }
  std::string GetContentAsBytes() const override { return Node("get content as bytes").content; }
  std::string Headers() const override { return Node("read headers").headers; }

  std::unique_ptr<MIMEEntity> GetFirstChildEntity() const override {
    const MimeNode& node = Node("get first child entity");
    if (node.children.empty()) return nullptr;
    return std::make_unique<MIMEEntityImpl>(edit_, node.children.front().get());
  }

  std::unique_ptr<MIMEEntity> GetNextSibling() const override {
    const std::shared_ptr<MimeEdit> edit = Live(edit_, "get next sibling");
    const auto& siblings = node_->parent ? node_->parent->children : edit->tree.tops;
    auto at = std::find_if(siblings.begin(), siblings.end(), [&](const auto& n) { return n.get() == node_; });
    if (at == siblings.end() || ++at == siblings.end()) return nullptr;
    return std::make_unique<MIMEEntityImpl>(edit_, at->get());
  }

  std::unique_ptr<MIMEEntity> GetParentEntity() const override {
    const MimeNode& node = Node("get parent entity");
    if (!node.parent) return nullptr;
    return std::make_unique<MIMEEntityImpl>(edit_, node.parent);
  }

 private:
  // The part, or a NotesError naming OPERATION when the edit is gone.
  const MimeNode& Node(const char* operation) const {
    Live(edit_, operation);
    return *node_;
  }

  void CheckContent(const MimeEdit& edit, const std::string& content_type, int encoding) const {
    if (!IsKnownEncoding(encoding))
      throw NotesError("set MIME content" + edit.where + ": encoding " + std::to_string(encoding) + " is not supported");
    if (content_type.empty()) throw NotesError("set MIME content" + edit.where + ": no content type given");
    CheckHeaderValue(content_type, edit.where);
    if (IsMultipartType(content_type))
      throw NotesError("set MIME content" + edit.where + ": a multipart has child parts, not content (" +
                       content_type + ")");
    if (!node_->children.empty())
      throw NotesError("set MIME content" + edit.where + ": the part has child parts");
  }

  void Put(const std::string& content_type, int encoding, const std::string& bytes) {
    node_->content_type = content_type;
    node_->encoding = encoding;
    node_->content = bytes;
    node_->has_content = true;
    node_->boundary.clear();
  }

  std::weak_ptr<MimeEdit> edit_;
  MimeNode* node_;
};

}  // namespace

std::unique_ptr<MIMEEntity> MakeEntity(const std::shared_ptr<MimeEdit>& edit, MimeNode* node) {
  return std::make_unique<MIMEEntityImpl>(edit, node);
}

std::unique_ptr<MIMEEntity> AddTopPart(const std::shared_ptr<MimeEdit>& edit) {
  edit->tree.tops.push_back(std::make_unique<MimeNode>());
  return MakeEntity(edit, edit->tree.tops.back().get());
}

}  // namespace norvexa::notes::internal
