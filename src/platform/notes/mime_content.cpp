// Quoted-printable encoding and charset conversion of MIME part content.
#include "platform/notes/mime_content.h"

#include "platform/system/hex.h"

#include <QString>

#include <cctype>

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

PartBytes ToPartCharset(const std::string& content_type, const std::string& text) {
  if (!IsLatin1Charset(content_type)) return {content_type, text};
  const QString unicode = QString::fromStdString(text);
  bool representable = true;
  for (QChar c : unicode)
    if (c.unicode() > 0xFF) representable = false;
  if (representable) return {content_type, unicode.toLatin1().toStdString()};
  const auto [start, length] = FindCharset(content_type);
  std::string relabelled = content_type;
  relabelled.replace(start, length, "utf-8");
  return {relabelled, text};
}

std::string FromPartCharset(const std::string& content_type, const std::string& bytes) {
  if (!IsLatin1Charset(content_type)) return bytes;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

}  // namespace norvexa::notes::internal
