// Hexadecimal text: numbers as printf writes them in the identifiers and
// messages that used it, bytes there and back in either case, and the texts
// that are not hex.
#include "platform/system/hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace norvexa::sys {
namespace {

// VALUE as printf's "%0*llX" (or "%0*llx") writes it at WIDTH.
std::string Printf(std::uint64_t value, int width, bool upper) {
  char text[40];
  std::snprintf(text, sizeof text, upper ? "%0*llX" : "%0*llx", width, static_cast<unsigned long long>(value));
  return text;
}

TEST(Hex, NumbersReadAsPrintfWritesThem) {
  const std::uint64_t values[] = {0, 1, 0xF, 0x10, 0xAB, 0x122, 0x8022, 0x200024, 0xFFFFFFFF, 0xCBF29CE484222325ull,
                                  ~0ull};
  for (const std::uint64_t value : values) {
    for (const int width : {1, 4, 8, 16}) {
      EXPECT_EQ(HexNumber(value, width), Printf(value, width, true)) << value << " at " << width;
      EXPECT_EQ(HexNumber(value, width, HexCase::Lower), Printf(value, width, false)) << value << " at " << width;
    }
  }
}

TEST(Hex, EveryByteGoesThereAndBackInEitherCase) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  const std::string upper = HexEncode(bytes);
  const std::string lower = HexEncode(bytes, HexCase::Lower);
  ASSERT_EQ(upper.size(), 512u);
  EXPECT_EQ(upper.substr(0x9A * 2, 2), "9A");
  EXPECT_EQ(lower.substr(0xFE * 2, 2), "fe");
  EXPECT_EQ(HexDecode(upper), bytes);
  EXPECT_EQ(HexDecode(lower), bytes);
  EXPECT_EQ(HexDecode(""), std::string());
}

TEST(Hex, TextsThatAreNotHexAreRefused) {
  EXPECT_EQ(HexDecode("ABC"), std::nullopt);   // odd length
  EXPECT_EQ(HexDecode("0G"), std::nullopt);    // not a digit
  EXPECT_EQ(HexDecode("0 1F"), std::nullopt);  // a blank inside
  EXPECT_EQ(HexDigitValue('g'), -1);
  EXPECT_EQ(HexDigitValue('/'), -1);
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('A'), 10);
}

}  // namespace
}  // namespace norvexa::sys
