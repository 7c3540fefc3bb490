// The value of PR_RTF_COMPRESSED (0x1009) for RTF bodies of test items: the
// compressed ("LZFu") and the stored ("MELA") form, each with its 16-byte
// header. Written from the public description of the format, apart from
// the store access's reader, so that each checks the other.
#pragma once

#include "pst_format.h"

#include <string>

namespace norvexa::pstgen {

// RTF compressed: COMPSIZE (the contents plus 12), RAWSIZE, "LZFu"
// (0x75465A4C) and the CRC of the contents, then runs of a control byte and
// eight tokens, literals or references into the 4,096-byte dictionary that
// starts with the format's 207-byte RTF prefix, ended by a reference to the
// write position. Matching is greedy: at each byte the longest match (at
// most 17 bytes, at least 2, the oldest of equal ones) among the last 256
// places in the dictionary that begin with that byte. Throws
// std::length_error for RTF of 4 GB or more, which RAWSIZE cannot count.
Bytes CompressRtf(const std::string& rtf);

// RTF stored as it is: COMPSIZE, RAWSIZE, "MELA" (0x414C454D), a CRC of 0,
// then the RTF. Throws as CompressRtf.
Bytes UncompressedRtf(const std::string& rtf);

}  // namespace norvexa::pstgen
