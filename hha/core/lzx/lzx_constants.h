// Symbol alphabet of LZX for the 64 KiB window that CHM files use.
#pragma once

#include <cstdint>

namespace hha::lzx {

constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kNumChars = 256;
constexpr unsigned kNumPositionSlots = 32;  // 64 KiB window
constexpr unsigned kMainSymbols = kNumChars + kNumPositionSlots * 8;  // 512
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kNumRepeats = 3;
// Formatted offsets stop at 65535 (slot 31 with 14 extra bits), so distance + 2 <= 65535.
constexpr uint32_t kMaxDistance = 65533;

constexpr unsigned kMaxMainCodeLen = 16;
constexpr unsigned kMaxLengthCodeLen = 16;
constexpr unsigned kMaxAlignedCodeLen = 7;   // 3-bit length field
constexpr unsigned kMaxPretreeCodeLen = 15;  // 4-bit length field

constexpr unsigned kBlockVerbatim = 1;
constexpr unsigned kBlockAligned = 2;
constexpr unsigned kBlockUncompressed = 3;

// Slot of a formatted offset (0-2 repeat slots, distance + 2 otherwise).
inline unsigned PositionSlot(uint32_t formatted) {
  if (formatted < 4) return formatted;
  unsigned high = 31 - static_cast<unsigned>(__builtin_clz(formatted));
  return 2 * high + ((formatted >> (high - 1)) & 1);
}
inline unsigned ExtraBits(unsigned slot) { return slot < 4 ? 0 : slot / 2 - 1; }
inline uint32_t PositionBase(unsigned slot) {
  if (slot < 4) return slot;
  const unsigned extra = ExtraBits(slot);
  return (2u | (slot & 1)) << extra;
}

}  // namespace hha::lzx
