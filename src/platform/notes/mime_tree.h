// The MIME parts of a rich-text item in memory: a tree of parts, each with
// its stored header lines, content type, transfer encoding, boundary and
// decoded content; and the rules for header blocks and content types that
// the entities, the store and the renderer share.
#pragma once

#include "platform/notes/notes.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::notes::internal {

// One part. A part with children is a multipart (or a message/rfc822 part
// holding one message) and has no content of its own.
struct MimeNode {
  std::string content_type;  // as set, without a boundary parameter; "" when never set
  int encoding = ENC_NONE;
  std::string headers;   // the stored header lines, byte for byte
  std::string boundary;  // a multipart's boundary, "" for any other part
  std::string content;   // the decoded bytes, in the part's charset
  bool has_content = false;
  MimeNode* parent = nullptr;  // null for a top part
  std::vector<std::unique_ptr<MimeNode>> children;
};

// The parts of one item: its top parts, in order (one, as a rule).
struct MimeTree {
  std::vector<std::unique_ptr<MimeNode>> tops;
};

// An open copy of an item's parts, which MIME entities change. Entities hold
// it weakly, so that they stop working once it is written back or dropped.
struct MimeEdit {
  MimeTree tree;
  std::string where;  // " on <database>, item <name>", for messages
};

// A deep copy of TREE.
MimeTree CopyTree(const MimeTree& tree);

// The first part without children of TREE in tree order, or null.
const MimeNode* FirstLeaf(const MimeTree& tree);

// True when NODE was given nothing: no content, header, content type or
// child.
bool IsBlankPart(const MimeNode& node);

// ---------------------------------------------------------------------------
// Content types
// ---------------------------------------------------------------------------

// One parameter of a content type: its name in lower case, its value without
// quotes, and the span of text it takes, from its ';' to its end.
struct ContentTypeParam {
  std::string name;
  std::string value;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// A content type read leniently: type and subtype in lower case (either ""
// when missing), and its parameters.
struct ParsedContentType {
  std::string type;
  std::string subtype;
  std::vector<ContentTypeParam> params;
};
ParsedContentType ParseContentType(const std::string& text);

// The value of parameter NAME (lower case) of content type TEXT, "" when it
// has none.
std::string ContentTypeParameter(const std::string& text, const std::string& name);

// TEXT without its parameter NAME (lower case), when it has one.
std::string WithoutParameter(const std::string& text, const std::string& name);

// True when content type TEXT is multipart/..., or message/rfc822.
bool IsMultipartType(const std::string& text);
bool IsMessageType(const std::string& text);

// NODE's content type without its boundary: as set, else multipart/mixed for
// a part with children and text/plain for any other.
std::string EffectiveContentType(const MimeNode& node);

// True when NODE renders as a multipart: it has children, or a multipart
// content type.
bool IsMultipart(const MimeNode& node);

// The Content-Type value of NODE as rendered: EffectiveContentType with the
// boundary parameter of a multipart.
std::string FullContentType(const MimeNode& node);

// A new random boundary. It holds "=_", which quoted-printable text never
// does, and "_", which base64 text never does.
std::string NewBoundary();

// True when BOUNDARY can be used as one: 1 to 70 characters of RFC 2046's
// set, not ending in a space.
bool IsValidBoundary(const std::string& boundary);

// ---------------------------------------------------------------------------
// Header blocks
// ---------------------------------------------------------------------------

// One field of a header block: the bytes from BEGIN to END (its line breaks
// and folded lines included); COLON is where its name ends, npos for a line
// without one.
struct HeaderField {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t colon = std::string::npos;
};

// The fields of a header block up to its first empty line. END is where the
// header ends (the empty line, or the end of the text); LINE_BREAK is the
// line break the block uses ("\r\n" unless its first line ends in a bare
// "\n").
struct HeaderBlock {
  std::vector<HeaderField> fields;
  std::size_t end = 0;
  std::string line_break = "\r\n";
};
HeaderBlock ParseHeaderBlock(const std::string& block);

// The name of FIELD in BLOCK (trailing blanks dropped), "" for a line
// without a colon.
std::string FieldName(const std::string& block, const HeaderField& field);

// The value of FIELD in BLOCK: after the colon and the blanks that follow,
// unfolded (line breaks removed), without the last line break.
std::string FieldValue(const std::string& block, const HeaderField& field);

// True when A and B are the same header name (ASCII case ignored).
bool SameHeaderName(const std::string& a, const std::string& b);

// True when NAME is a header name: 1 to 76 printable ASCII characters
// without ':'.
bool IsHeaderName(const std::string& name);

// Throws NotesError (naming WHERE) unless VALUE can be a header value: no
// NUL, and every line break followed by a space or a tab.
void CheckHeaderValue(const std::string& value, const std::string& where);

// The index in BLOCK's fields of the Nth (from 1) field NAME, if any.
std::optional<std::size_t> FindField(const std::string& text, const HeaderBlock& block, const std::string& name,
                                     int n);

// Appends field NAME with VALUE to the header lines TEXT, before the empty
// line that ends them when they have one.
void AppendField(std::string& text, const std::string& name, const std::string& value);

// Replaces the value of the Nth field NAME of TEXT by VALUE; false when TEXT
// has no such field.
bool ReplaceFieldValue(std::string& text, const std::string& name, int n, const std::string& value);

}  // namespace norvexa::notes::internal
