// MIME part trees in memory, content types and header blocks.
#include "platform/notes/mime_tree.h"

#include "platform/system/hex.h"

#include <QRandomGenerator>

#include <cctype>
#include <cstring>

namespace norvexa::notes::internal {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// TEXT from BEGIN to END without blanks at either end.
std::string Trimmed(const std::string& text, std::size_t begin, std::size_t end) {
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::unique_ptr<MimeNode> CopyNode(const MimeNode& node, MimeNode* parent) {
  auto copy = std::make_unique<MimeNode>();
  copy->content_type = node.content_type;
  copy->encoding = node.encoding;
  copy->headers = node.headers;
  copy->boundary = node.boundary;
  copy->content = node.content;
  copy->has_content = node.has_content;
  copy->parent = parent;
  for (const auto& child : node.children) copy->children.push_back(CopyNode(*child, copy.get()));
  return copy;
}

const MimeNode* FirstLeafOf(const MimeNode& node) {
  const MimeNode* at = &node;
  while (!at->children.empty()) at = at->children.front().get();
  return at;
}

// The length of the line break at POS of TEXT ("\r\n", "\n" or a bare
// "\r"), 0 when there is none.
std::size_t LineBreakAt(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\r') return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
  return text[pos] == '\n' ? 1 : 0;
}

// The end of the line starting at POS, its line break included.
std::size_t LineEnd(const std::string& text, std::size_t pos) {
  while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
  return pos + LineBreakAt(text, pos);
}

}  // namespace

MimeTree CopyTree(const MimeTree& tree) {
  MimeTree copy;
  for (const auto& top : tree.tops) copy.tops.push_back(CopyNode(*top, nullptr));
  return copy;
}

const MimeNode* FirstLeaf(const MimeTree& tree) { return tree.tops.empty() ? nullptr : FirstLeafOf(*tree.tops.front()); }

bool IsBlankPart(const MimeNode& node) {
  return !node.has_content && node.headers.empty() && node.content_type.empty() && node.children.empty();
}

// ---------------------------------------------------------------------------
// Content types
// ---------------------------------------------------------------------------

ParsedContentType ParseContentType(const std::string& text) {
  ParsedContentType parsed;
  const std::size_t first_semicolon = std::min(text.find(';'), text.size());
  const std::size_t slash = text.find('/');
  if (slash < first_semicolon) {
    parsed.type = Lower(Trimmed(text, 0, slash));
    parsed.subtype = Lower(Trimmed(text, slash + 1, first_semicolon));
  } else {
    parsed.type = Lower(Trimmed(text, 0, first_semicolon));
  }
  std::size_t pos = first_semicolon;
  while (pos < text.size()) {
    // POS is at a ';'. A parameter runs to the next ';' outside quotes.
    ContentTypeParam param;
    param.begin = pos;
    std::size_t at = pos + 1;
    const std::size_t name_begin = at;
    while (at < text.size() && text[at] != '=' && text[at] != ';') ++at;
    param.name = Lower(Trimmed(text, name_begin, at));
    if (at < text.size() && text[at] == '=') {
      ++at;
      while (at < text.size() && IsBlank(text[at])) ++at;
      if (at < text.size() && text[at] == '"') {
        ++at;
        while (at < text.size() && text[at] != '"') {
          if (text[at] == '\\' && at + 1 < text.size()) ++at;
          param.value += text[at++];
        }
        if (at < text.size()) ++at;  // the closing quote
        while (at < text.size() && text[at] != ';') ++at;
      } else {
        const std::size_t value_begin = at;
        while (at < text.size() && text[at] != ';') ++at;
        param.value = Trimmed(text, value_begin, at);
      }
    }
    param.end = at;
    if (!param.name.empty()) parsed.params.push_back(std::move(param));
    pos = at;
  }
  return parsed;
}

std::string ContentTypeParameter(const std::string& text, const std::string& name) {
  for (const ContentTypeParam& param : ParseContentType(text).params)
    if (param.name == name) return param.value;
  return {};
}

std::string WithoutParameter(const std::string& text, const std::string& name) {
  const ParsedContentType parsed = ParseContentType(text);
  std::string result = text;
  // From the last, so the earlier spans stay where they are.
  for (auto it = parsed.params.rbegin(); it != parsed.params.rend(); ++it)
    if (it->name == name) result.erase(it->begin, it->end - it->begin);
  return result;
}

bool IsMultipartType(const std::string& text) { return ParseContentType(text).type == "multipart"; }

bool IsMessageType(const std::string& text) {
  const ParsedContentType parsed = ParseContentType(text);
  return parsed.type == "message" && parsed.subtype == "rfc822";
}

std::string EffectiveContentType(const MimeNode& node) {
  if (!node.content_type.empty()) return node.content_type;
  return node.children.empty() ? "text/plain" : "multipart/mixed";
}

bool IsMultipart(const MimeNode& node) {
  const std::string type = EffectiveContentType(node);
  if (IsMultipartType(type)) return true;
  return !node.children.empty() && !IsMessageType(type);
}

std::string FullContentType(const MimeNode& node) {
  std::string type = EffectiveContentType(node);
  if (IsMultipart(node) && !node.boundary.empty()) type += "; boundary=\"" + node.boundary + "\"";
  return type;
}

std::string NewBoundary() {
  quint64 words[2];
  QRandomGenerator::global()->fillRange(words);
  unsigned char bytes[12];
  std::memcpy(bytes, words, sizeof bytes);
  return "=_NVX_" + sys::HexEncode(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

bool IsValidBoundary(const std::string& boundary) {
  if (boundary.empty() || boundary.size() > 70 || boundary.back() == ' ') return false;
  for (const char c : boundary) {
    if (std::isalnum(static_cast<unsigned char>(c))) continue;
    if (!std::strchr("'()+_,-./:=? ", c) || c == '\0') return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Header blocks
// ---------------------------------------------------------------------------

HeaderBlock ParseHeaderBlock(const std::string& text) {
  HeaderBlock block;
  const std::size_t first_end = LineEnd(text, 0);
  if (first_end > 0 && text[first_end - 1] == '\n' && (first_end < 2 || text[first_end - 2] != '\r'))
    block.line_break = "\n";
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (LineBreakAt(text, pos) > 0) break;  // the empty line that ends the header
    HeaderField field;
    field.begin = pos;
    pos = LineEnd(text, pos);
    // Lines starting with a blank continue the field (folding).
    while (pos < text.size() && IsBlank(text[pos])) pos = LineEnd(text, pos);
    field.end = pos;
    const void* colon = std::memchr(text.data() + field.begin, ':', LineEnd(text, field.begin) - field.begin);
    if (colon && !IsBlank(text[field.begin]))
      field.colon = static_cast<std::size_t>(static_cast<const char*>(colon) - text.data());
    block.fields.push_back(field);
  }
  block.end = pos;
  return block;
}

std::string FieldName(const std::string& block, const HeaderField& field) {
  if (field.colon == std::string::npos) return {};
  std::size_t end = field.colon;
  while (end > field.begin && IsBlank(block[end - 1])) --end;
  return block.substr(field.begin, end - field.begin);
}

std::string FieldValue(const std::string& block, const HeaderField& field) {
  std::size_t begin = field.colon == std::string::npos ? field.begin : field.colon + 1;
  while (begin < field.end && IsBlank(block[begin])) ++begin;
  std::string value;
  value.reserve(field.end - begin);
  for (std::size_t i = begin; i < field.end; ++i)
    if (block[i] != '\r' && block[i] != '\n') value += block[i];
  return value;
}

bool SameHeaderName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool IsHeaderName(const std::string& name) {
  if (name.empty() || name.size() > 76) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 33 || byte > 126 || c == ':') return false;
  }
  return true;
}

void CheckHeaderValue(const std::string& value, const std::string& where) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\0') throw NotesError("set header value" + where + ": a header value cannot hold a NUL byte");
    if (c != '\r' && c != '\n') continue;
    const std::size_t next = i + (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n' ? 2 : 1);
    if (next >= value.size() || !IsBlank(value[next]))
      throw NotesError("set header value" + where +
                       ": a line break in a header value must be followed by a space or a tab (folding)");
    i = next - 1;
  }
}

std::optional<std::size_t> FindField(const std::string& text, const HeaderBlock& block, const std::string& name,
                                     int n) {
  int seen = 0;
  for (std::size_t i = 0; i < block.fields.size(); ++i) {
    if (SameHeaderName(FieldName(text, block.fields[i]), name) && ++seen == n) return i;
  }
  return std::nullopt;
}

void AppendField(std::string& text, const std::string& name, const std::string& value) {
  const HeaderBlock block = ParseHeaderBlock(text);
  std::string line = name + ":" + (value.empty() ? " " : " " + value) + block.line_break;
  std::size_t at = block.end;
  // A last line without its line break gets one before the new field.
  if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') line = block.line_break + line;
  text.insert(at, line);
}

bool ReplaceFieldValue(std::string& text, const std::string& name, int n, const std::string& value) {
  const HeaderBlock block = ParseHeaderBlock(text);
  const std::optional<std::size_t> index = FindField(text, block, name, n);
  if (!index) return false;
  const HeaderField& field = block.fields[*index];
  // The field's own line break (of its last line) is kept.
  std::size_t body_end = field.end;
  while (body_end > field.colon + 1 && (text[body_end - 1] == '\r' || text[body_end - 1] == '\n')) --body_end;
  text.replace(field.colon + 1, body_end - field.colon - 1, " " + value);
  return true;
}

}  // namespace norvexa::notes::internal
