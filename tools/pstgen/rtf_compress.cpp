// Compressed RTF values (see rtf_compress.h).
#include "rtf_compress.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace norvexa::pstgen {
namespace {

constexpr std::uint32_t kLzfu = 0x75465A4C;
constexpr std::uint32_t kMela = 0x414C454D;
constexpr std::size_t kRing = 4096;
constexpr std::size_t kMaxMatch = 17;  // 4 bits of length, plus 2
constexpr std::size_t kMinMatch = 2;
constexpr int kMaxCandidates = 256;

constexpr std::string_view kInitialDictionary =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n"
    "\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kInitialDictionary.size() == 207);

// Throws std::length_error for RTF too large for the 32-bit sizes.
void CheckSize(const std::string& rtf) {
  if (rtf.size() > 0xFFFFFFF0u) throw std::length_error("RTF of 4 GB or more cannot be stored as PR_RTF_COMPRESSED");
}

// The 16-byte header of a compressed RTF value: the size after the size
// field, the raw size, the type (LZFu or MELA) and the CRC of the contents.
Bytes Header(std::size_t contents, std::size_t raw, std::uint32_t type, std::uint32_t crc) {
  Bytes header;
  Append32(header, static_cast<std::uint32_t>(contents + 12));
  Append32(header, static_cast<std::uint32_t>(raw));
  Append32(header, type);
  Append32(header, crc);
  return header;
}

// The dictionary as the compressor sees it: the ring, and for each byte
// value a chain of the positions (counted from the start, prefix included)
// where it was written, newest first.
class Dictionary {
 public:
  Dictionary() {
    head_.fill(-1);
    previous_.fill(-1);
    for (char c : kInitialDictionary) Write(static_cast<std::uint8_t>(c));
  }

  // Appends B at the write position.
  void Write(std::uint8_t b) {
    const std::size_t slot = static_cast<std::size_t>(written_ % kRing);
    ring_[slot] = b;
    previous_[slot] = head_[b];
    head_[b] = written_;
    ++written_;
  }

  std::int64_t written() const { return written_; }

  // The longest match for INPUT[AT..] (at most LIMIT bytes), as its
  // position counted from the start, and its length; a length under 2 when
  // there is none. A match may run on into the bytes it writes itself, as
  // the reader copies byte by byte.
  std::pair<std::int64_t, std::size_t> LongestMatch(const std::string& input, std::size_t at,
                                                    std::size_t limit) const {
    std::int64_t best_position = 0;
    std::size_t best_length = 0;
    int candidates = 0;
    // A reference may name any place but the write position itself, which
    // marks the end: the window is the last 4,095 bytes.
    const std::int64_t oldest = written_ - static_cast<std::int64_t>(kRing) + 1;
    for (std::int64_t p = head_[static_cast<std::uint8_t>(input[at])]; p >= 0 && p >= oldest && candidates < kMaxCandidates;
         p = previous_[static_cast<std::size_t>(p % kRing)], ++candidates) {
      std::size_t length = 0;
      while (length < limit) {
        const std::int64_t from = p + static_cast<std::int64_t>(length);
        const std::uint8_t b = from < written_ ? ring_[static_cast<std::size_t>(from % kRing)]
                                               : static_cast<std::uint8_t>(input[at + static_cast<std::size_t>(from - written_)]);
        if (b != static_cast<std::uint8_t>(input[at + length])) break;
        ++length;
      }
      // Newest first: an equal length further back is the older one.
      if (length >= best_length && length > 0) {
        best_length = length;
        best_position = p;
      }
    }
    return {best_position, best_length};
  }

 private:
  std::array<std::uint8_t, kRing> ring_{};
  std::array<std::int64_t, 256> head_{};
  std::array<std::int64_t, kRing> previous_{};
  std::int64_t written_ = 0;
};

// The contents: control bytes and their tokens.
class TokenWriter {
 public:
  // Appends the literal byte B.
  void Literal(std::uint8_t b) {
    Begin();
    out_.push_back(b);
  }

  // Appends a reference to LENGTH bytes at OFFSET of the dictionary.
  void Reference(std::size_t offset, std::size_t length) {
    Begin();
    out_[control_] = static_cast<std::uint8_t>(out_[control_] | (1u << (bit_ - 1)));
    const auto word = static_cast<std::uint16_t>((offset << 4) | ((length - kMinMatch) & 0x0F));
    out_.push_back(static_cast<std::uint8_t>(word >> 8));
    out_.push_back(static_cast<std::uint8_t>(word & 0xFF));
  }

  // The tokens written, taken out of the writer.
  Bytes Take() { return std::move(out_); }

 private:
  // Makes room for one more token, starting a new control byte after 8.
  void Begin() {
    if (bit_ == 8 || out_.empty()) {
      control_ = out_.size();
      out_.push_back(0);
      bit_ = 0;
    }
    ++bit_;
  }

  Bytes out_;
  std::size_t control_ = 0;
  unsigned bit_ = 8;
};

}  // namespace

Bytes CompressRtf(const std::string& rtf) {
  CheckSize(rtf);
  Dictionary dictionary;
  TokenWriter tokens;
  std::size_t at = 0;
  while (at < rtf.size()) {
    const std::size_t limit = std::min(kMaxMatch, rtf.size() - at);
    const auto [position, length] = dictionary.LongestMatch(rtf, at, limit);
    if (length >= kMinMatch) {
      tokens.Reference(static_cast<std::size_t>(position % kRing), length);
      for (std::size_t k = 0; k < length; ++k) dictionary.Write(static_cast<std::uint8_t>(rtf[at + k]));
      at += length;
    } else {
      tokens.Literal(static_cast<std::uint8_t>(rtf[at]));
      dictionary.Write(static_cast<std::uint8_t>(rtf[at]));
      ++at;
    }
  }
  tokens.Reference(static_cast<std::size_t>(dictionary.written() % kRing), kMinMatch);  // the end
  const Bytes contents = tokens.Take();
  Bytes out = Header(contents.size(), rtf.size(), kLzfu, Crc32(contents.data(), contents.size()));
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

Bytes UncompressedRtf(const std::string& rtf) {
  CheckSize(rtf);
  Bytes out = Header(rtf.size(), rtf.size(), kMela, 0);
  out.insert(out.end(), rtf.begin(), rtf.end());
  return out;
}

}  // namespace norvexa::pstgen
