// Compressed RTF back to RTF (see rtf_compressed.h).
#include "platform/outlook/rtf_compressed.h"

#include "platform/outlook/block_encoding.h"
#include "platform/outlook/outlook.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace norvexa::outlook::rtf {
namespace {

constexpr std::uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr std::uint32_t kUncompressed = 0x414C454D;  // "MELA"
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kDictionarySize = 4096;
// Bytes one input byte can give at most (see the header).
constexpr std::uint64_t kMaxExpansion = 8;

// The dictionary's initial contents.
constexpr std::string_view kPrefix =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n"
    "\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kPrefix.size() == 207);

std::uint32_t Get32(std::string_view bytes, std::size_t at) {
  const auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
  return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

std::string Hex32(std::uint32_t v) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", v);
  return text;
}

[[noreturn]] void Fail(const std::string& reason) { throw OutlookError("compressed RTF: " + reason); }

// Throws unless OUT is the whole of a stream of RAW_SIZE bytes: ENDED, its
// end marker was met, and not OVERFLOW, no more than RAW_SIZE bytes were
// given.
void CheckExpanded(const std::string& out, std::uint32_t raw_size, bool ended, bool overflow) {
  if (overflow) Fail("the stream gives more than its RAWSIZE of " + std::to_string(raw_size) + " bytes");
  if (!ended) {
    Fail("the stream ends before its end marker, after " + std::to_string(out.size()) + " of " +
         std::to_string(raw_size) + " bytes");
  }
  if (out.size() < raw_size) {
    Fail("the stream ends after " + std::to_string(out.size()) + " of its RAWSIZE of " + std::to_string(raw_size) +
         " bytes");
  }
}

// Decompresses LZFu CONTENTS of at most RAW_SIZE bytes of output. Returns
// the output; under kReject throws when the stream ends early or would
// give more than RAW_SIZE bytes; under kKeepReadablePart stops there.
std::string Expand(std::string_view contents, std::uint32_t raw_size, Truncated truncated) {
  std::array<char, kDictionarySize> dictionary{};
  std::copy(kPrefix.begin(), kPrefix.end(), dictionary.begin());
  std::size_t write = kPrefix.size();

  std::string out;
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(raw_size, kMaxExpansion * contents.size())));
  bool ended = false;
  bool overflow = false;
  // Appends one produced byte; false when RAWSIZE is reached already.
  const auto put = [&](char c) {
    if (out.size() >= raw_size) {
      overflow = true;
      return false;
    }
    out.push_back(c);
    dictionary[write] = c;
    write = (write + 1) % kDictionarySize;
    return true;
  };

  std::size_t in = 0;
  while (in < contents.size() && !ended && !overflow) {
    const auto control = static_cast<unsigned char>(contents[in++]);
    for (int bit = 0; bit < 8 && !ended && !overflow; ++bit) {
      if (in >= contents.size()) break;
      if ((control & (1u << bit)) == 0) {
        put(contents[in++]);
        continue;
      }
      if (in + 1 >= contents.size()) {  // half a reference: the stream is cut
        in = contents.size();
        break;
      }
      const unsigned reference =
          (static_cast<unsigned>(static_cast<unsigned char>(contents[in])) << 8) |
          static_cast<unsigned char>(contents[in + 1]);
      in += 2;
      const std::size_t offset = reference >> 4;
      const std::size_t length = (reference & 0x0F) + 2;
      if (offset == write) {
        ended = true;
        break;
      }
      // Byte by byte: a reference may reach into what it is writing.
      for (std::size_t k = 0; k < length; ++k) {
        if (!put(dictionary[(offset + k) % kDictionarySize])) break;
      }
    }
  }

  if (truncated == Truncated::kReject) CheckExpanded(out, raw_size, ended, overflow);
  return out;
}

}  // namespace

std::uint32_t ContentsCrc(std::string_view contents) {
  return pst::PstCrc(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size());
}

std::string Decompress(std::string_view value, Truncated truncated) {
  if (value.size() < kHeaderSize) {
    Fail(std::to_string(value.size()) + " bytes, shorter than the 16-byte header");
  }
  const std::uint32_t comp_size = Get32(value, 0);
  const std::uint32_t raw_size = Get32(value, 4);
  const std::uint32_t type = Get32(value, 8);
  const std::uint32_t crc = Get32(value, 12);
  if (type != kCompressed && type != kUncompressed) Fail("unknown compression type " + Hex32(type));
  if (comp_size < kHeaderSize - 4) Fail("COMPSIZE " + std::to_string(comp_size) + " is less than the header after it");

  const std::size_t declared = comp_size - (kHeaderSize - 4);
  std::string_view contents = value.substr(kHeaderSize);
  if (declared > contents.size()) {
    if (truncated == Truncated::kReject) {
      Fail("COMPSIZE gives " + std::to_string(declared) + " bytes of contents, the value holds " +
           std::to_string(contents.size()));
    }
  } else {
    contents = contents.substr(0, declared);  // what follows is not part of the stream
  }

  if (type == kUncompressed) {
    if (raw_size > declared) {
      Fail("RAWSIZE " + std::to_string(raw_size) + " is more than the " + std::to_string(declared) +
           " bytes of uncompressed contents");
    }
    if (raw_size > contents.size() && truncated == Truncated::kReject) Fail("the contents end early");
    return std::string(contents.substr(0, std::min<std::size_t>(raw_size, contents.size())));
  }

  if (raw_size > kMaxExpansion * declared) {
    Fail("RAWSIZE " + std::to_string(raw_size) + " is more than " + std::to_string(declared) +
         " bytes of compressed contents can give");
  }
  if (truncated == Truncated::kReject) {
    const std::uint32_t computed = ContentsCrc(contents);
    if (computed != crc) Fail("CRC mismatch (stored " + Hex32(crc) + ", computed " + Hex32(computed) + ")");
  }
  return Expand(contents, raw_size, truncated);
}

}  // namespace norvexa::outlook::rtf
