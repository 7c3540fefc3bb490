// Compressed RTF: the worked examples of the format's documentation, every
// RTF body of the real fixtures against what libpff decompresses, damaged
// values, and pstgen's compressor through our reader.
#include "platform/outlook/libpff/pff_handles.h"
#include "platform/outlook/outlook.h"
#include "platform/outlook/rtf_compressed.h"
#include "rtf_compress.h"
#include "tests/platform/outlook/rtf_fixture_bodies.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace norvexa::outlook::rtf {
namespace {

std::string FromBytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::string FromBytes(const pstgen::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The documentation's first example: literals and references into the
// initial dictionary.
const std::string kSimple = FromBytes({0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1,
                                       0xc5, 0xc7, 0xa7, 0x03, 0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32,
                                       0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20, 0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62,
                                       0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0});
const std::string kSimpleRtf = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";

// The second: a reference that runs on into the bytes it writes.
const std::string kCrossing = FromBytes({0x1a, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75,
                                         0xe2, 0xd4, 0x4b, 0x51, 0x41, 0x00, 0x04, 0x20, 0x57, 0x58, 0x59, 0x5a,
                                         0x0d, 0x6e, 0x7d, 0x01, 0x0e, 0xb0});
const std::string kCrossingRtf = "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}";

void Put32(std::string& value, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) value[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST(RtfDecompress, TheDocumentedExamplesGiveTheirRtf) {
  EXPECT_EQ(Decompress(kSimple), kSimpleRtf);
  EXPECT_EQ(Decompress(kCrossing), kCrossingRtf);
  EXPECT_EQ(Decompress(kSimple, Truncated::kKeepReadablePart), kSimpleRtf);
  EXPECT_EQ(ContentsCrc(std::string_view(kSimple).substr(16)), 0xA7C7C5F1u);

  // The stored form gives its bytes as they are, RAWSIZE of them; padding
  // after the end marker and bytes after COMPSIZE are no part of the stream.
  std::string stored = FromBytes({0, 0, 0, 0, 6, 0, 0, 0, 'M', 'E', 'L', 'A', 0, 0, 0, 0}) + "{\\rtf}xyz";
  Put32(stored, 0, 12 + 9);
  EXPECT_EQ(Decompress(stored), "{\\rtf}");
  std::string padded = kCrossing + "\x01\x02\x03";
  EXPECT_EQ(Decompress(padded), kCrossingRtf);
}

TEST(RtfDecompress, DamagedValuesFailWithTheirReason) {
  const auto fails_with = [](const std::string& value, const std::string& reason) {
    try {
      Decompress(value);
      ADD_FAILURE() << "no error, expected: " << reason;
    } catch (const OutlookError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  };
  fails_with(kSimple.substr(0, 15), "shorter than the 16-byte header");
  std::string magic = kSimple;
  magic[8] = 'X';
  fails_with(magic, "unknown compression type");
  std::string crc = kSimple;
  crc[30] ^= 0x01;
  fails_with(crc, "CRC mismatch");
  fails_with(kSimple.substr(0, kSimple.size() - 3), "COMPSIZE gives");
  std::string huge = kSimple;
  Put32(huge, 4, 0xFFFFFFFF);
  fails_with(huge, "RAWSIZE 4294967295 is more than");
  // The bound holds under kKeepReadablePart too: nothing is allocated for it.
  EXPECT_THROW(Decompress(huge, Truncated::kKeepReadablePart), OutlookError);
  std::string longer = kSimple;
  Put32(longer, 4, 0x2c);
  fails_with(longer, "ends after 43 of its RAWSIZE of 44");
  std::string shorter = kSimple;
  Put32(shorter, 4, 0x2a);
  fails_with(shorter, "more than its RAWSIZE of 42");
  std::string tiny = kSimple;
  Put32(tiny, 0, 11);
  fails_with(tiny, "COMPSIZE 11 is less");
  std::string stored = FromBytes({21, 0, 0, 0, 10, 0, 0, 0, 'M', 'E', 'L', 'A', 0, 0, 0, 0}) + "{\\rtf}xyz";
  fails_with(stored, "RAWSIZE 10 is more than the 9 bytes");

  // A stream without its end marker, under a correct CRC.
  std::string unended = kCrossing.substr(0, kCrossing.size() - 2);
  Put32(unended, 0, static_cast<std::uint32_t>(unended.size() - 4));
  Put32(unended, 12, ContentsCrc(std::string_view(unended).substr(16)));
  fails_with(unended, "ends before its end marker");
  EXPECT_EQ(Decompress(unended, Truncated::kKeepReadablePart), kCrossingRtf);
}

TEST(RtfDecompress, EveryFlippedBitAndEveryCutIsCaught) {
  // CRC-32 finds every single-bit error in the contents; a flip in the
  // header breaks a size, the type or the CRC itself.
  const std::string value = FromBytes(pstgen::CompressRtf(
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard Hello hello hello, world\\par\\b bold\\b0\\par}"));
  const std::string rtf = Decompress(value);
  for (std::size_t byte = 0; byte < value.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string damaged = value;
      damaged[byte] = static_cast<char>(damaged[byte] ^ (1 << bit));
      EXPECT_THROW(Decompress(damaged), OutlookError) << "byte " << byte << " bit " << bit;
      // Read for what it holds, a damaged value still gives bounded output.
      try {
        EXPECT_LE(Decompress(damaged, Truncated::kKeepReadablePart).size(), 8 * value.size());
      } catch (const OutlookError&) {
      }
    }
  }
  // Every cut fails, and its readable part is the start of the RTF.
  for (std::size_t size = 0; size < value.size(); ++size) {
    const std::string cut = value.substr(0, size);
    EXPECT_THROW(Decompress(cut), OutlookError) << size;
    if (size < 16) continue;
    const std::string part = Decompress(cut, Truncated::kKeepReadablePart);
    EXPECT_EQ(rtf.compare(0, part.size(), part), 0) << size;
  }
}

TEST(RtfDecompress, RandomContentsNeverPassTheirBounds) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t size = random() % 200;
    std::string value(16 + size, '\0');
    for (std::size_t i = 16; i < value.size(); ++i) value[i] = static_cast<char>(random());
    const std::uint32_t raw = random() % (8 * size + 1);
    Put32(value, 0, static_cast<std::uint32_t>(size + 12));
    Put32(value, 4, raw);
    Put32(value, 8, 0x75465A4C);
    Put32(value, 12, ContentsCrc(std::string_view(value).substr(16)));
    try {
      const std::string rtf = Decompress(value);
      EXPECT_EQ(rtf.size(), raw);
    } catch (const OutlookError&) {
    }
    EXPECT_LE(Decompress(value, Truncated::kKeepReadablePart).size(), raw);
  }
}

TEST(RtfCompress, PstgenOutputReadsBackAndSavesSpace) {
  // The compressor follows the documented matching closely enough to give
  // the documented bytes.
  EXPECT_EQ(FromBytes(pstgen::CompressRtf(kSimpleRtf)), kSimple);

  std::string text = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\n";
  for (int i = 0; i < 300; ++i) {
    text += "\\pard\\plain\\f0\\fs20 Line " + std::to_string(i) + " of the body, \\b bold\\b0  and plain.\\par\n";
  }
  text += "}";
  const pstgen::Bytes compressed = pstgen::CompressRtf(text);
  EXPECT_EQ(Decompress(FromBytes(compressed)), text);
  EXPECT_LT(compressed.size(), text.size() / 3);

  // Long, no repeats, every byte value, empty: all read back; and text
  // without repeats grows by no more than its control bytes.
  std::mt19937 random(7);
  std::string noise(20000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& rtf : {noise, std::string(), std::string(10000, 'a'), text + noise + text}) {
    const pstgen::Bytes value = pstgen::CompressRtf(rtf);
    EXPECT_EQ(Decompress(FromBytes(value)), rtf);
    EXPECT_LE(value.size(), 16 + rtf.size() + rtf.size() / 8 + 3);
  }
  const pstgen::Bytes stored = pstgen::UncompressedRtf(text);
  EXPECT_EQ(stored.size(), text.size() + 16);
  EXPECT_EQ(Decompress(FromBytes(stored)), text);
}

TEST(RtfDecompress, EveryFixtureBodyDecompressesAsLibpffDecompressesIt) {
  const std::vector<testing::FixtureBody> bodies = testing::FixtureRtfBodies();
  if (bodies.empty()) GTEST_SKIP() << "the shared PST fixtures are not here (" << NORVEXA_SHARED_FIXTURES << ")";
  std::shared_ptr<libpff::File> file;
  std::string open_path;
  int compared = 0;
  for (const testing::FixtureBody& body : bodies) {
    SCOPED_TRACE(body.pst + " node " + std::to_string(body.node));
    if (open_path != body.pst) {
      file = libpff::File::Open(body.pst);
      open_path = body.pst;
    }
    const libpff::ItemRef item = libpff::ItemByIdentifier(file, body.node);
    ASSERT_NE(item, nullptr);
    std::size_t size = 0;
    libpff_error_t* error = nullptr;
    ASSERT_EQ(libpff_message_get_rtf_body_size(item->get(), &size, &error), 1) << libpff::TakeReason(error);
    std::string theirs(size, '\0');
    ASSERT_EQ(libpff_message_get_rtf_body(item->get(), reinterpret_cast<std::uint8_t*>(theirs.data()), size, &error),
              1)
        << libpff::TakeReason(error);
    std::string ours = Decompress(body.compressed);
    for (std::string* s : {&ours, &theirs}) while (!s->empty() && s->back() == '\0') s->pop_back();
    EXPECT_TRUE(ours == theirs) << "ours " << ours.size() << " bytes, libpff's " << theirs.size();
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace norvexa::outlook::rtf
