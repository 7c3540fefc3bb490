// The byte-level codecs of the PST node database: the CRC that guards pages
// and blocks, and the two encodings of data blocks (permutation, called
// "compressible", and cyclic, called "high").
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvexa::outlook::pst {

// The CRC-32 of the PST format over SIZE bytes at DATA: the IEEE polynomial,
// started at 0 and not inverted at the end. zlib computes the same
// polynomial with table-driven speed; only the pre- and post-inversion
// differ, which this undoes.
std::uint32_t PstCrc(const std::uint8_t* data, std::size_t size);

// Decodes SIZE bytes at DATA in place from the permutation encoding.
void DecodePermute(std::uint8_t* data, std::size_t size);

// Decodes SIZE bytes at DATA in place from the cyclic encoding, keyed by
// KEY (the low 32 bits of the block's identifier). The cyclic codec is its
// own inverse.
void DecodeCyclic(std::uint8_t* data, std::size_t size, std::uint32_t key);

}  // namespace norvexa::outlook::pst
