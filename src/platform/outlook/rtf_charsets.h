// What the bytes of RTF text mean: the Windows code page of a font's
// character set (\fcharsetN), and the characters of the two symbol fonts
// that mail bodies use (Symbol and Wingdings), whose bytes are glyph
// numbers rather than text in any code page.
#pragma once

#include <string_view>

namespace norvexa::outlook::rtf {

// The Windows code page of font character set CHARSET; 0 when the
// character set names none of its own (DEFAULT_CHARSET 1, SYMBOL_CHARSET 2,
// unknown values), so that the document's code page applies.
int CodepageOfCharset(int charset);

// The character set that marks a symbol font.
inline constexpr int kSymbolCharset = 2;

enum class SymbolFont { kSymbol, kWingdings, kOther };

// The symbol font a font of SYMBOL_CHARSET named NAME draws with, by the
// start of the name (Symbol, Wingdings); kOther for the rest, whose glyphs
// are not known here.
SymbolFont SymbolFontNamed(std::string_view name);

// The Unicode character that byte B draws in FONT, or 0 for a byte that
// draws what it means in code page 1252 (ASCII digits and punctuation of
// Symbol, for one). Symbol's other bytes follow the font's own encoding
// (Greek letters, mathematical signs, the bullet at 0xB7). Wingdings bytes
// that mail uses as bullets and marks map to their Unicode shapes; any
// other Wingdings byte gives a bullet (U+2022), as that is what nearly all
// of them are in a mail body. Always 0 for kOther.
char32_t FromSymbolFont(SymbolFont font, unsigned char b);

}  // namespace norvexa::outlook::rtf
