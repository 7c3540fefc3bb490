// Character sets and symbol fonts of RTF (see rtf_charsets.h).
#include "platform/outlook/rtf_charsets.h"

#include <cctype>

namespace norvexa::outlook::rtf {
namespace {

// Symbol's Greek letters for 'A'..'Z' and 'a'..'z'.
constexpr char32_t kGreekUpper[26] = {
    0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C,
    0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396};
constexpr char32_t kGreekLower[26] = {
    0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
    0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6};

// Symbol's bytes from 0xA0 to 0xE5 (0 where nothing is mapped).
constexpr char32_t kSymbolHigh[0xE6 - 0xA0] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,  // A0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,  // A8
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,  // B0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0,      0,      0,       // B8
    0,      0,      0,      0,      0x2297, 0x2295, 0x2205, 0x2229,  // C0
    0x222A, 0,      0,      0,      0,      0,      0,      0,       // C8
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,  // D0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,  // D8
    0x25CA, 0,      0,      0,      0,      0x2211,                  // E0
};

char32_t FromSymbol(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return kGreekUpper[b - 'A'];
  if (b >= 'a' && b <= 'z') return kGreekLower[b - 'a'];
  switch (b) {
    case 0x22: return 0x2200;
    case 0x24: return 0x2203;
    case 0x27: return 0x220B;
    case 0x2A: return 0x2217;
    case 0x2D: return 0x2212;
    case 0x40: return 0x2245;
    case 0x5C: return 0x2234;
    case 0x5E: return 0x22A5;
    case 0x60: return 0x203E;
    case 0x7E: return 0x223C;
    default: break;
  }
  if (b >= 0xA0 && b < 0xE6) return kSymbolHigh[b - 0xA0];
  return 0;
}

char32_t FromWingdings(unsigned char b) {
  switch (b) {
    case 0x4A: return 0x263A;  // smiling face (Outlook's ":)")
    case 0x4B: return 0x1F610; // neutral face
    case 0x4C: return 0x2639;  // frowning face
    case 0x6C: return 0x25CF;  // black circle
    case 0x6E: return 0x25A0;  // black square
    case 0x71: return 0x2751;  // shadowed white square
    case 0x75: return 0x25C6;  // black diamond
    case 0x76: return 0x2756;  // diamond minus white X
    case 0xA7: return 0x25AA;  // small black square
    case 0xA8: return 0x25FB;  // white medium square
    case 0xD8: return 0x27A2;  // arrowhead
    case 0xE0: return 0x2192;  // arrow
    case 0xFC: return 0x2713;  // check mark
    case 0xFB: return 0x2717;  // ballot X
    default: return 0x2022;
  }
}

}  // namespace

int CodepageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
  }
}

SymbolFont SymbolFontNamed(std::string_view name) {
  const auto starts = [&](std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
    }
    return true;
  };
  if (starts("wingdings")) return SymbolFont::kWingdings;
  if (starts("symbol")) return SymbolFont::kSymbol;
  return SymbolFont::kOther;
}

char32_t FromSymbolFont(SymbolFont font, unsigned char b) {
  switch (font) {
    case SymbolFont::kSymbol: return FromSymbol(b);
    case SymbolFont::kWingdings: return FromWingdings(b);
    case SymbolFont::kOther: break;
  }
  return 0;
}

}  // namespace norvexa::outlook::rtf
