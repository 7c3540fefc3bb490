// Compressed RTF: the value of PR_RTF_COMPRESSED (0x1009, PT_BINARY) back
// to the RTF it holds.
//
// A value is a 16-byte header (COMPSIZE, RAWSIZE, COMPTYPE, CRC, each a
// little-endian 32-bit number) and then the contents: COMPSIZE counts the
// bytes after its own field (the contents plus the 12 header bytes after
// it), RAWSIZE the bytes of the RTF. COMPTYPE "LZFu" (0x75465A4C) marks
// LZ77-compressed contents guarded by CRC, "MELA" (0x414C454D) the RTF
// stored as it is.
//
// LZFu contents are runs of a control byte and eight tokens, the control
// byte's bits from the lowest saying whether each token is a literal byte
// or a 16-bit big-endian reference into a 4,096-byte ring dictionary (12
// bits of offset, 4 bits of length less 2). The dictionary starts with a
// fixed 207-byte RTF prefix; every byte produced is also written to the
// dictionary, and a reference to the position about to be written ends the
// stream. Bytes after the end marker are padding and are ignored.
//
// Sizes are bounded by the input: a reference of 2 bytes gives at most 17
// bytes and a control byte covers 8 tokens, so 17 input bytes give at most
// 136 output bytes. A RAWSIZE of more than 8 times the contents cannot be
// right and is refused before anything is allocated; whatever the header
// claims, no more than that is ever produced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvexa::outlook::rtf {

// What to do with a value whose stream ends early: the value is shorter
// than COMPSIZE says, the contents end before the end marker, or the end
// marker comes before RAWSIZE bytes were produced.
enum class Truncated {
  kReject,             // throw OutlookError
  kKeepReadablePart,   // return what was decompressed up to that point
};

// The RTF in VALUE, the raw bytes of a PR_RTF_COMPRESSED property: exactly
// RAWSIZE bytes, which may end in a NUL that the writer counted.
//
// Throws OutlookError with the reason when VALUE is shorter than the
// header, names neither LZFu nor MELA, gives a COMPSIZE under 12 or a
// RAWSIZE the contents cannot produce (more than 8 times their size for
// LZFu, more than their size for MELA), has a CRC that does not match its
// LZFu contents, or produces more bytes than RAWSIZE. A stream that ends
// early (see Truncated) throws as well under kReject; under
// kKeepReadablePart its readable part is returned instead, without the CRC
// check (a CRC over bytes that are not all there cannot match). A MELA
// value's CRC field is not checked: writers must leave it 0 but it guards
// nothing.
std::string Decompress(std::string_view value, Truncated truncated = Truncated::kReject);

// The CRC of compressed RTF contents: CRC-32 with the reflected polynomial
// 0xEDB88320, started at 0 and not inverted at the end (the PST CRC).
std::uint32_t ContentsCrc(std::string_view contents);

}  // namespace norvexa::outlook::rtf
