// Transfer encodings and charset conversion of MIME part content.
#include "platform/notes/mime_content.h"

#include "platform/notes/notes.h"
#include "platform/system/hex.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cctype>
#include <cstdint>

namespace norvexa::notes::internal {

namespace {

constexpr std::size_t kMaxLine = 76;

// Where the charset value of CONTENT_TYPE starts and how long it is
// (without quotes); npos when there is none.
std::pair<std::size_t, std::size_t> FindCharset(const std::string& content_type) {
  std::string lower = content_type;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return {std::string::npos, 0};
  std::size_t start = at + 8;
  if (start < lower.size() && lower[start] == '"') {
    ++start;
    const std::size_t end = lower.find('"', start);
    return {start, (end == std::string::npos ? lower.size() : end) - start};
  }
  std::size_t end = start;
  while (end < lower.size() && lower[end] != ';' && !std::isspace(static_cast<unsigned char>(lower[end]))) ++end;
  return {start, end - start};
}

bool IsLatin1Charset(const std::string& content_type) {
  const auto [start, length] = FindCharset(content_type);
  if (start == std::string::npos) return false;
  std::string name = content_type.substr(start, length);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "iso-8859-1" || name == "iso8859-1" || name == "latin1" || name == "latin-1";
}

}  // namespace

std::string EncodeQuotedPrintable(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  std::size_t line = 0;  // characters on the current output line
  auto put = [&](const char* piece, std::size_t length) {
    if (line + length > kMaxLine - 1) {  // room for the soft break's "="
      out += "=\r\n";
      line = 0;
    }
    out.append(piece, length);
    line += length;
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out += "\r\n";
      line = 0;
      ++i;
      continue;
    }
    // Blanks are literal unless they end a line, where transport may drop
    // them.
    const bool at_line_end = i + 1 == bytes.size() || (bytes[i + 1] == '\r' && i + 2 < bytes.size() && bytes[i + 2] == '\n');
    const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !at_line_end);
    if (literal) {
      const char ch = static_cast<char>(c);
      put(&ch, 1);
    } else {
      const char escape[3] = {'=', sys::HexDigit(c >> 4), sys::HexDigit(c)};
      put(escape, 3);
    }
  }
  return out;
}

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
      continue;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;  // soft line break
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\n') {
      i += 1;
      continue;
    }
    const int high = i + 1 < text.size() ? sys::HexDigitValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? sys::HexDigitValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) {
      out += '=';
      continue;
    }
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of base64 digit C, or -1 for any other character.
int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string EncodeBase64(const std::string& bytes) {
  constexpr std::size_t kGroupsPerLine = kMaxLine / 4;
  const std::size_t groups = (bytes.size() + 2) / 3;
  std::string out;
  out.reserve(groups * 4 + (groups / kGroupsPerLine) * 2);
  std::size_t on_line = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    if (on_line == kGroupsPerLine) {
      out += "\r\n";
      on_line = 0;
    }
    const std::size_t left = bytes.size() - i;
    const std::uint32_t b0 = static_cast<unsigned char>(bytes[i]);
    const std::uint32_t b1 = left > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const std::uint32_t b2 = left > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
    const std::uint32_t group = (b0 << 16) | (b1 << 8) | b2;
    out += kBase64Alphabet[(group >> 18) & 63];
    out += kBase64Alphabet[(group >> 12) & 63];
    out += left > 1 ? kBase64Alphabet[(group >> 6) & 63] : '=';
    out += left > 2 ? kBase64Alphabet[group & 63] : '=';
    ++on_line;
  }
  return out;
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  int count = 0;  // digits gathered in BITS
  for (const char ch : text) {
    if (ch == '=') break;
    const int value = Base64Value(static_cast<unsigned char>(ch));
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>((bits >> 16) & 0xFF);
      out += static_cast<char>((bits >> 8) & 0xFF);
      out += static_cast<char>(bits & 0xFF);
      bits = 0;
      count = 0;
    }
  }
  // Two digits hold one byte, three hold two; a single digit holds none.
  if (count == 2) {
    out += static_cast<char>((bits >> 4) & 0xFF);
  } else if (count == 3) {
    out += static_cast<char>((bits >> 10) & 0xFF);
    out += static_cast<char>((bits >> 2) & 0xFF);
  }
  return out;
}

bool IsKnownEncoding(int encoding) { return encoding >= ENC_NONE && encoding <= ENC_IDENTITY_BINARY; }

std::string EncodeContent(int encoding, const std::string& bytes) {
  if (encoding == ENC_QUOTED_PRINTABLE) return EncodeQuotedPrintable(bytes);
  if (encoding == ENC_BASE64) return EncodeBase64(bytes);
  return bytes;
}

std::string DecodeContent(int encoding, const std::string& stored) {
  if (encoding == ENC_QUOTED_PRINTABLE) return DecodeQuotedPrintable(stored);
  if (encoding == ENC_BASE64) return DecodeBase64(stored);
  return stored;
}

std::string EncodingName(int encoding, const std::string& bytes) {
  switch (encoding) {
    case ENC_QUOTED_PRINTABLE: return "quoted-printable";
    case ENC_BASE64: return "base64";
    case ENC_IDENTITY_7BIT: return "7bit";
    case ENC_IDENTITY_8BIT: return "8bit";
    case ENC_IDENTITY_BINARY: return "binary";
    default:
      for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return "8bit";
      return "";
  }
}

int EncodingFromName(const std::string& name) {
  std::size_t start = 0, end = name.size();
  while (start < end && std::isspace(static_cast<unsigned char>(name[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(name[end - 1]))) --end;
  const std::string key = Lower(name.substr(start, end - start));
  if (key == "quoted-printable") return ENC_QUOTED_PRINTABLE;
  if (key == "base64") return ENC_BASE64;
  if (key == "7bit") return ENC_IDENTITY_7BIT;
  if (key == "8bit") return ENC_IDENTITY_8BIT;
  if (key == "binary") return ENC_IDENTITY_BINARY;
  return 0;
}

bool IsUtf8(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

namespace {

// The charset CONTENT_TYPE names, in lower case; "" when none.
std::string CharsetOf(const std::string& content_type) {
  const auto [start, length] = FindCharset(content_type);
  return start == std::string::npos ? std::string() : Lower(content_type.substr(start, length));
}

bool IsUtf8Charset(const std::string& name) { return name.empty() || name == "utf-8" || name == "utf8"; }

// CONTENT_TYPE with its charset made utf-8.
std::string RelabelledUtf8(const std::string& content_type) {
  const auto [start, length] = FindCharset(content_type);
  std::string relabelled = content_type;
  relabelled.replace(start, length, "utf-8");
  return relabelled;
}

}  // namespace

PartBytes ToPartCharset(const std::string& content_type, const std::string& text) {
  const std::string charset = CharsetOf(content_type);
  if (IsUtf8Charset(charset)) return {content_type, text};
  const QString unicode = QString::fromStdString(text);
  if (IsLatin1Charset(content_type)) {
    for (QChar c : unicode)
      if (c.unicode() > 0xFF) return {RelabelledUtf8(content_type), text};
    return {content_type, unicode.toLatin1().toStdString()};
  }
  QStringEncoder encoder(charset.c_str());
  if (!encoder.isValid()) return {RelabelledUtf8(content_type), text};
  const QByteArray bytes = encoder(unicode);
  if (encoder.hasError()) return {RelabelledUtf8(content_type), text};
  return {content_type, bytes.toStdString()};
}

std::string FromPartCharset(const std::string& content_type, const std::string& bytes) {
  const std::string charset = CharsetOf(content_type);
  if (IsUtf8Charset(charset)) return bytes;
  if (IsLatin1Charset(content_type))
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
  QStringDecoder decoder(charset.c_str());
  if (!decoder.isValid()) return bytes;
  const QString unicode = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return unicode.toStdString();
}

}  // namespace norvexa::notes::internal
