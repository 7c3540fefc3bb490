// The content of a MIME part: its transfer encodings (quoted-printable,
// base64, identity), and the charset conversion between the back-end's UTF-8
// texts and the part's charset.
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

// BYTES encoded base64 (RFC 2045): lines of 76 characters separated by
// "\r\n", with no line break after the last.
std::string EncodeBase64(const std::string& bytes);

// Decodes base64 TEXT, skipping line breaks and any other character outside
// the alphabet (as RFC 2045 asks of a reader) and stopping at the padding.
// Incomplete last groups give the bytes they hold.
std::string DecodeBase64(const std::string& text);

// True when ENCODING is one of the ENC_ constants a part can be stored in.
bool IsKnownEncoding(int encoding);

// BYTES as stored in ENCODING: quoted-printable, base64, or as they are (the
// identity encodings, ENC_NONE and any unknown number).
std::string EncodeContent(int encoding, const std::string& bytes);
// The bytes of content STORED in ENCODING; the reverse of EncodeContent.
std::string DecodeContent(int encoding, const std::string& stored);

// The Content-Transfer-Encoding value of ENCODING ("quoted-printable",
// "base64", "7bit", "8bit", "binary"); for ENC_NONE "" when BYTES are all
// 7-bit, else "8bit".
std::string EncodingName(int encoding, const std::string& bytes);
// The ENC_ constant of a Content-Transfer-Encoding value (any case, blanks
// around it ignored), or 0 when it names none.
int EncodingFromName(const std::string& name);

// True when BYTES are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsUtf8(const std::string& bytes);

// The content of a part before transfer encoding. TEXT is UTF-8; the bytes
// are in the charset CONTENT_TYPE names (none, utf-8: TEXT as it is;
// ISO-8859-1 directly; any other charset Qt knows through its converters).
// When some character has no code in that charset, or the charset is one Qt
// does not know, the bytes stay UTF-8 and the content type's charset is
// changed to utf-8, so the part never claims a charset its bytes are not in.
struct PartBytes {
  std::string content_type;
  std::string bytes;
};
PartBytes ToPartCharset(const std::string& content_type, const std::string& text);

// The UTF-8 text of BYTES in the charset CONTENT_TYPE names (bytes that are
// not of that charset read as U+FFFD; a charset Qt does not know gives BYTES
// as they are).
std::string FromPartCharset(const std::string& content_type, const std::string& bytes);

}  // namespace norvexa::notes::internal
