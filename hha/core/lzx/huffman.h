// Huffman code builder: length-limited, always complete code lengths from symbol
// frequencies, and the canonical codes LZX decoders derive from the lengths alone.
#pragma once

#include <cstdint>

namespace hha::lzx {

// Fills lengths[0..n) from freqs[0..n). The code is complete (Kraft sum exactly 1)
// whenever at least one frequency is non-zero: a single used symbol gets a partner of
// length 1 (decoders reject a one-code tree). All-zero frequencies give all-zero lengths.
// maxLen must satisfy 2^maxLen >= n and be at most 32; n is at most 1024.
void BuildCodeLengths(const uint32_t* freqs, unsigned n, unsigned maxLen, uint8_t* lengths);

// Canonical codes: shorter first, equal lengths by increasing symbol number.
void BuildCanonicalCodes(const uint8_t* lengths, unsigned n, uint16_t* codes);

}  // namespace hha::lzx
