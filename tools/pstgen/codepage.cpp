// Code page conversion of the texts of ANSI PST files.
#include "codepage.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace norvexa::pstgen {
namespace {

// Code page 1252 at 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The converter name Qt (ICU) knows code page NUMBER by.
std::string ConverterName(int number) {
  switch (number) {
    case 20127: return "US-ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 54936: return "GB18030";
    case 10000: return "macintosh";
    default: break;
  }
  if (number >= 28591 && number <= 28605) return "ISO-8859-" + std::to_string(number - 28590);
  return "windows-" + std::to_string(number);
}

// Whether code page NUMBER is converted here without Qt (1252 and 65001).
bool BuiltIn(int number) { return number == 1252 || number == 65001; }

// True for the accents and other marks that a decomposition adds.
bool IsMark(char32_t cp) {
  const QChar::Category c = QChar::category(cp);
  return c == QChar::Mark_NonSpacing || c == QChar::Mark_SpacingCombining || c == QChar::Mark_Enclosing;
}

// The code points of S (a surrogate pair is one; an unpaired one stays).
std::u32string CodePoints(const QString& s) {
  std::u32string out;
  for (qsizetype i = 0; i < s.size(); ++i) {
    char32_t cp = s[i].unicode();
    if (QChar::isHighSurrogate(cp) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
      cp = QChar::surrogateToUcs4(s[i].unicode(), s[i + 1].unicode());
      ++i;
    }
    out.push_back(cp);
  }
  return out;
}

}  // namespace

Codepage::Codepage(int number) : number_(number) {
  if (BuiltIn(number)) return;
  const std::string name = ConverterName(number);
  encoder_ = std::make_unique<QStringEncoder>(name.c_str(), QStringConverter::Flag::Stateless);
  decoder_ = std::make_unique<QStringDecoder>(name.c_str(), QStringConverter::Flag::Stateless);
  if (number <= 0 || !encoder_->isValid() || !decoder_->isValid())
    throw CodepageError("code page " + std::to_string(number) +
                        " is not available (1252 and 65001 always are; others need Qt built with ICU)");
}

Codepage::~Codepage() = default;

// (UTF-8 never comes here: Encode copies it as it is.)
bool Codepage::EncodeOne(char32_t cp, Bytes& out) const {
  if (number_ == 1252) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out.push_back(static_cast<std::uint8_t>(cp));
      return true;
    }
    for (std::uint8_t i = 0; i < 32; ++i)
      if (kCp1252High[i] != 0 && kCp1252High[i] == cp) {
        out.push_back(static_cast<std::uint8_t>(0x80 + i));
        return true;
      }
    return false;
  }
  // A character is in the code page when it comes back from its bytes
  // (converters write a substitute byte, not an error, for the others).
  const QString one = QString::fromUcs4(&cp, 1);
  encoder_->resetState();
  const QByteArray bytes = encoder_->encode(one);
  decoder_->resetState();
  const QString back = decoder_->decode(bytes);
  if (bytes.isEmpty() || back != one) return false;
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

Bytes Codepage::Encode(const std::string& text) const {
  if (number_ == 65001) return Bytes(text.begin(), text.end());
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (encoder_) {
    // Most texts fit the code page whole.
    encoder_->resetState();
    const QByteArray bytes = encoder_->encode(s);
    decoder_->resetState();
    const QString back = decoder_->decode(bytes);
    if (back == s) return Bytes(bytes.begin(), bytes.end());
  }
  Bytes out;
  out.reserve(text.size());
  for (const char32_t cp : CodePoints(s)) {
    if (EncodeOne(cp, out)) continue;
    const QString decomposed = QString::fromUcs4(&cp, 1).normalized(QString::NormalizationForm_KD);
    Bytes closest;
    bool ok = true;
    for (const char32_t part : CodePoints(decomposed)) {
      if (part == cp || (!IsMark(part) && !EncodeOne(part, closest))) {
        ok = false;
        break;
      }
    }
    if (ok && !closest.empty()) {
      out.insert(out.end(), closest.begin(), closest.end());
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string Codepage::Decode(const Bytes& bytes) const {
  if (number_ == 65001) return std::string(bytes.begin(), bytes.end());
  if (number_ == 1252) {
    QString s;
    for (std::uint8_t b : bytes) {
      const bool high = b >= 0x80 && b < 0xA0;
      const char16_t c = high ? kCp1252High[b - 0x80] : char16_t{b};
      s.append(high && c == 0 ? QChar(QChar::ReplacementCharacter) : QChar(c));
    }
    return s.toStdString();
  }
  decoder_->resetState();
  const QString text =
      decoder_->decode(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  return text.toStdString();
}

bool CodepageAvailable(int number) {
  try {
    Codepage probe(number);
    return true;
  } catch (const CodepageError&) {
    return false;
  }
}

}  // namespace norvexa::pstgen
