// Decoding of stored texts to UTF-8: UTF-16LE values, 8-bit values in a
// Windows code page, and Unicode-typed values that really hold 8-bit text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvexa::outlook::text {

// UTF-16LE bytes to UTF-8. A trailing odd byte is ignored; unpaired
// surrogates become U+FFFD. Trailing NUL characters are dropped.
std::string FromUtf16Le(const std::uint8_t* data, std::size_t size);

// 8-bit text in Windows code page CODEPAGE (1252, 932, 65001, ...) to UTF-8.
// Unknown code pages are read as 1252. A byte the code page cannot map
// becomes U+FFFD, never "?". Trailing NUL bytes are dropped.
std::string FromCodepage(const std::uint8_t* data, std::size_t size, int codepage);

// True when a value stored as a Unicode string holds 8-bit text instead
// (an odd byte count, or printable ASCII bytes throughout that read as
// UTF-16 would not be a plain run of CJK characters: kana, ideographs).
bool UnicodeValueHolds8Bit(const std::uint8_t* data, std::size_t size);

// A Unicode-typed value to UTF-8, taking the quirk above into account.
std::string FromUnicodeValue(const std::uint8_t* data, std::size_t size, int codepage);

}  // namespace norvexa::outlook::text
