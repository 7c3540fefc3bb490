// Hexadecimal text shared by every layer: bytes as hex digits and back, and
// numbers in hex. Header only, like text.h, so the store access, the Notes
// back-end and the tools, which do not link the system services, can use it
// too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvexa::sys {

// The letters a hex text is written with: "0-9A-F" or "0-9a-f".
enum class HexCase { Upper, Lower };

// The hex digit of VALUE (0 to 15) in CASE.
inline char HexDigit(unsigned value, HexCase letter_case = HexCase::Upper) {
  return (letter_case == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef")[value & 0x0F];
}

// The value of hex digit C (either case), or -1 when C is not one.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Each byte of BYTES as two hex digits, the high one first, in CASE.
inline std::string HexEncode(std::string_view bytes, HexCase letter_case = HexCase::Upper) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += HexDigit(byte >> 4, letter_case);
    hex += HexDigit(byte, letter_case);
  }
  return hex;
}

// The bytes that HEX spells, two digits (either case) a byte; nullopt when
// HEX has an odd length or holds anything but hex digits.
inline std::optional<std::string> HexDecode(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

// VALUE in hex digits of CASE, without a prefix, zero-padded to at least
// WIDTH digits (as printf's "%0*llX" gives it; 0 gives "0").
inline std::string HexNumber(std::uint64_t value, std::size_t width = 1, HexCase letter_case = HexCase::Upper) {
  std::string digits;
  do {
    digits.insert(digits.begin(), HexDigit(static_cast<unsigned>(value & 0x0F), letter_case));
    value >>= 4;
  } while (value != 0);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

}  // namespace norvexa::sys
