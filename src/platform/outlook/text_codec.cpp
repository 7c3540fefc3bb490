// Decoding of stored texts to UTF-8 (see text_codec.h). 8-bit code pages go
// through the C library's iconv, which knows every Windows code page Outlook
// writes; one converter per code page is kept for the life of the thread.
#include "platform/outlook/text_codec.h"

#include <QString>

#include <cerrno>
#include <iconv.h>
#include <map>
#include <string>

namespace norvexa::outlook::text {
namespace {

// The iconv name of Windows code page CODEPAGE.
std::string IconvName(int codepage) {
  switch (codepage) {
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 10000: return "MACINTOSH";
    default: break;
  }
  if (codepage >= 28591 && codepage <= 28606) return "ISO-8859-" + std::to_string(codepage - 28590);
  return "CP" + std::to_string(codepage);
}

// A converter from CODEPAGE to UTF-8, owned by a per-thread table and
// closed when the thread ends. Unknown code pages give the 1252 converter.
iconv_t Converter(int codepage) {
  struct Table {
    std::map<int, iconv_t> converters;
    ~Table() {
      for (auto& entry : converters) iconv_close(entry.second);
    }
  };
  thread_local Table table;
  auto found = table.converters.find(codepage);
  if (found != table.converters.end()) return found->second;
  iconv_t cd = iconv_open("UTF-8", IconvName(codepage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (codepage == 1252) return cd;  // the C library has no code pages at all
    cd = Converter(1252);
    // Do not store the borrowed 1252 converter twice (it would be closed twice).
    return cd;
  }
  table.converters.emplace(codepage, cd);
  return cd;
}

// Appends the UTF-8 form of the Latin-1 byte B (used when iconv is absent).
void AppendLatin1(std::string& out, unsigned char b) {
  if (b < 0x80) {
    out.push_back(static_cast<char>(b));
  } else {
    out.push_back(static_cast<char>(0xC0 | (b >> 6)));
    out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
  }
}

}  // namespace

std::string FromUtf16Le(const std::uint8_t* data, std::size_t size) {
  std::size_t units = size / 2;
  while (units > 0 && data[2 * units - 2] == 0 && data[2 * units - 1] == 0) --units;
  std::u16string buffer(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    buffer[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const QByteArray utf8 = QString::fromUtf16(buffer.data(), static_cast<qsizetype>(units)).toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string FromCodepage(const std::uint8_t* data, std::size_t size, int codepage) {
  while (size > 0 && data[size - 1] == 0) --size;
  bool ascii = true;
  for (std::size_t i = 0; i < size && ascii; ++i) ascii = data[i] < 0x80;
  if (ascii) return std::string(reinterpret_cast<const char*>(data), size);

  iconv_t cd = Converter(codepage);
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (std::size_t i = 0; i < size; ++i) AppendLatin1(out, data[i]);
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.reserve(size * 2);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
  std::size_t in_left = size;
  char chunk[1024];
  while (in_left > 0) {
    char* out_ptr = chunk;
    std::size_t out_left = sizeof chunk;
    const std::size_t rc = iconv(cd, &in, &in_left, &out_ptr, &out_left);
    out.append(chunk, static_cast<std::size_t>(out_ptr - chunk));
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An unmappable or truncated sequence: mark it and go on after it.
      out += "\xEF\xBF\xBD";
      ++in;
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* out_ptr = chunk;
  std::size_t out_left = sizeof chunk;
  iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
  out.append(chunk, static_cast<std::size_t>(out_ptr - chunk));
  return out;
}

bool UnicodeValueHolds8Bit(const std::uint8_t* data, std::size_t size) {
  std::size_t trimmed = size;
  if (trimmed == 0) return false;
  if (trimmed % 2 == 1) {
    // An odd byte count cannot be UTF-16; a lone trailing NUL of a UTF-16
    // string is the only harmless exception.
    if (data[trimmed - 1] != 0 || (trimmed >= 2 && data[trimmed - 2] == 0)) return true;
    --trimmed;
  }
  bool all_cjk = true;
  for (std::size_t i = 0; i < trimmed; ++i) {
    const std::uint8_t b = data[i];
    const bool printable = (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
    if (!printable) return false;
  }
  for (std::size_t i = 0; i + 1 < trimmed; i += 2) {
    const unsigned unit = data[i] | (data[i + 1] << 8);
    // CJK punctuation, kana, Hangul jamo and ideographs.
    const bool cjk = unit >= 0x3000 && unit <= 0x9FFF;
    if (!cjk) all_cjk = false;
  }
  return !all_cjk;
}

std::string FromUnicodeValue(const std::uint8_t* data, std::size_t size, int codepage) {
  if (UnicodeValueHolds8Bit(data, size)) return FromCodepage(data, size, codepage);
  return FromUtf16Le(data, size);
}

}  // namespace norvexa::outlook::text
