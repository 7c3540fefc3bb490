// The content of a MIME part: quoted-printable encoding, and the charset
// conversion between the back-end's UTF-8 texts and the part's charset.
#pragma once

#include <string>

namespace norvexa::notes::internal {

// BYTES encoded quoted-printable (RFC 2045): lines of at most 76 characters
// with soft breaks; "\r\n" is kept as a line break, every other control
// byte, "=" and non-ASCII byte is written =XX, so decoding gives BYTES back
// exactly.
std::string EncodeQuotedPrintable(const std::string& bytes);

// Decodes quoted-printable TEXT; a malformed escape is kept as it stands.
std::string DecodeQuotedPrintable(const std::string& text);

// The content of a part before transfer encoding. TEXT is UTF-8; when
// CONTENT_TYPE names ISO-8859-1 (or Latin-1) and every character of TEXT has
// a Latin-1 code, the bytes are Latin-1. When some character has none, the
// bytes stay UTF-8 and the content type's charset is changed to utf-8, so
// the part never claims a charset its bytes are not in.
struct PartBytes {
  std::string content_type;
  std::string bytes;
};
PartBytes ToPartCharset(const std::string& content_type, const std::string& text);

// The UTF-8 text of BYTES in the charset CONTENT_TYPE names.
std::string FromPartCharset(const std::string& content_type, const std::string& bytes);

}  // namespace norvexa::notes::internal
