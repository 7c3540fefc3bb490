// Rendering MIME part trees as message text, and settling their boundaries.
#include "platform/notes/mime_render.h"

#include "platform/notes/mime_content.h"

namespace norvexa::notes::internal {

namespace {

constexpr int kBoundaryTries = 8;

// True when "--" DELIMITER (given with its dashes) could be read in the text
// NODE renders as: its header lines, content type, boundary or content.
bool Mentions(const MimeNode& node, const std::string& delimiter) {
  if (node.headers.find(delimiter) != std::string::npos) return true;
  if (node.content_type.find(delimiter.substr(2)) != std::string::npos) return true;
  if (!node.boundary.empty() && ("--" + node.boundary).find(delimiter) != std::string::npos) return true;
  for (const auto& child : node.children)
    if (Mentions(*child, delimiter)) return true;
  if (!node.children.empty() || node.content.empty()) return false;
  // Quoted-printable text never holds "=_" (every "=" starts an escape of
  // hex digits or a soft line break), and base64 text only letters, digits,
  // "+", "/", "=" and line breaks: a boundary with such characters cannot
  // be in them, and their contents need not be encoded to be looked at.
  if (node.encoding == ENC_QUOTED_PRINTABLE && delimiter.find("=_") != std::string::npos) return false;
  if (node.encoding == ENC_BASE64 && delimiter.substr(2).find_first_not_of(
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") !=
                                         std::string::npos)
    return false;
  if (node.encoding != ENC_QUOTED_PRINTABLE && node.encoding != ENC_BASE64)
    return node.content.find(delimiter) != std::string::npos;  // stored as it is
  return EncodeContent(node.encoding, node.content).find(delimiter) != std::string::npos;
}

// True when BOUNDARY can separate PARTS.
bool FreeFor(const std::string& boundary, const std::vector<std::unique_ptr<MimeNode>>& parts) {
  if (!IsValidBoundary(boundary)) return false;
  const std::string delimiter = "--" + boundary;
  for (const auto& part : parts)
    if (Mentions(*part, delimiter)) return false;
  return true;
}

// A boundary free for PARTS: CURRENT when it is, else a new one.
std::string FreeBoundary(const std::string& current, const std::vector<std::unique_ptr<MimeNode>>& parts,
                         const std::string& where) {
  if (FreeFor(current, parts)) return current;
  for (int i = 0; i < kBoundaryTries; ++i) {
    std::string boundary = NewBoundary();
    if (FreeFor(boundary, parts)) return boundary;
  }
  throw NotesError("make a MIME boundary" + where + ": no boundary is free of the parts' text");
}

void Settle(MimeNode& node, const std::string& where) {
  for (const auto& child : node.children) Settle(*child, where);
  if (IsMultipart(node)) node.boundary = FreeBoundary(node.boundary, node.children, where);
  else node.boundary.clear();
}

// Appends the bytes of TEXT to OUT with every line break made "\r\n", and
// one at the end when TEXT has none there.
void AppendLines(std::string& out, const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  if (text.empty() || (text.back() != '\n' && text.back() != '\r')) out += "\r\n";
}

// True when the stored header line NAME is replaced by the part's own.
bool DescribesThePart(const std::string& name) {
  return SameHeaderName(name, "Content-Type") || SameHeaderName(name, "Content-Transfer-Encoding") ||
         SameHeaderName(name, "MIME-Version");
}

void RenderPart(const MimeNode& node, bool top, std::string& out) {
  const HeaderBlock block = ParseHeaderBlock(node.headers);
  for (const HeaderField& field : block.fields) {
    if (DescribesThePart(FieldName(node.headers, field))) continue;
    AppendLines(out, node.headers.substr(field.begin, field.end - field.begin));
  }
  if (top) out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: " + FullContentType(node) + "\r\n";
  const bool container = !node.children.empty() || IsMultipart(node);
  // A multipart or a message part names an identity encoding only (RFC
  // 2045); its children carry their own.
  const bool identity = node.encoding == ENC_IDENTITY_7BIT || node.encoding == ENC_IDENTITY_8BIT ||
                        node.encoding == ENC_IDENTITY_BINARY;
  const std::string encoding =
      container ? (identity ? EncodingName(node.encoding, {}) : std::string()) : EncodingName(node.encoding, node.content);
  if (!encoding.empty()) out += "Content-Transfer-Encoding: " + encoding + "\r\n";
  out += "\r\n";
  if (IsMultipart(node)) {
    for (const auto& child : node.children) {
      out += "--" + node.boundary + "\r\n";
      RenderPart(*child, false, out);
      out += "\r\n";
    }
    out += "--" + node.boundary + "--\r\n";
  } else if (!node.children.empty()) {
    RenderPart(*node.children.front(), true, out);  // message/rfc822: the message it holds
  } else {
    out += EncodeContent(node.encoding, node.content);
  }
}

}  // namespace

void SettleBoundaries(MimeTree& tree, const std::string& where) {
  for (const auto& top : tree.tops) Settle(*top, where);
}

std::string RenderMessage(const MimeTree& tree) {
  std::string out;
  if (tree.tops.size() == 1) {
    RenderPart(*tree.tops.front(), true, out);
    return out;
  }
  if (tree.tops.empty()) return out;
  // Several top parts: one multipart/mixed message holding them.
  const std::string boundary = FreeBoundary({}, tree.tops, "");
  out += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
  for (const auto& top : tree.tops) {
    out += "--" + boundary + "\r\n";
    RenderPart(*top, false, out);
    out += "\r\n";
  }
  out += "--" + boundary + "--\r\n";
  return out;
}

}  // namespace norvexa::notes::internal
