// Match finder over one reset interval: hash chains of 5-byte prefixes. The chains only
// ever hold positions of the current interval, so no match reaches before the last reset.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hha::lzx {

// How many bytes a and b have in common from the start, at most maxLen; sixteen at a time
// where the target has 128-bit vectors (a candidate that gets this far usually matches
// for dozens of bytes), then eight.
inline unsigned CommonLength(const uint8_t* a, const uint8_t* b, unsigned maxLen) {
  unsigned len = 0;
#if defined(__SSE2__)
  while (len + 16 <= maxLen) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + len));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + len));
    const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
    const unsigned differ = same ^ 0xFFFFu;
    if (differ != 0) return len + static_cast<unsigned>(__builtin_ctz(differ));
    len += 16;
  }
#endif
  while (len + 8 <= maxLen) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) return len + static_cast<unsigned>(__builtin_ctzll(x ^ y)) / 8;
    len += 8;
  }
  while (len < maxLen && a[len] == b[len]) ++len;
  return len;
}

struct Match {
  uint16_t length;
  uint16_t distance;
};

class MatchFinder {
 public:
  MatchFinder();
  // Starts a new interval (forgets every earlier position). Without `thorough`, walks
  // are shorter: the fast mode's speed over size.
  void Reset(const uint8_t* data, uint32_t length, bool thorough = true);
  // Writes matches at pos into out, each longer than the one before (at most
  // kMaxMatchesPerPosition), with lengths capped at maxLen; inserts pos into the chains.
  // Positions must be visited in increasing order, each once (Find or Skip).
  unsigned Find(uint32_t pos, unsigned maxLen, Match* out);
  // Find at pos and at pos + 1 at once, with identical results: the two chain walks
  // are independent, so interleaving them hides the latency of each step's load.
  // maxLen1 applies to pos + 1.
  void FindPair(uint32_t pos, unsigned maxLen0, unsigned maxLen1, Match* out0, unsigned* n0,
                Match* out1, unsigned* n1);
  // Inserts pos without searching (inside a match that was taken).
  void Skip(uint32_t pos);
  // Skip for each of [from, to).
  void SkipRun(uint32_t from, uint32_t to);

  static constexpr unsigned kMaxMatchesPerPosition = 16;

 private:
  // The five-byte hash at one of the last positions, with fewer than eight bytes left.
  uint32_t TailHash(uint32_t pos) const;
  struct Walk;
  // Enters pos (pos + 3 <= length) in the three-byte table and, with four bytes left, in
  // its chain, whose previous head goes to *chainHead (and the link after it to
  // *chainNext); returns the three-byte table's previous entry. With eight bytes left it
  // also enters the four-byte table, whose previous entry goes to *near4 (0 otherwise).
  uint32_t Insert(uint32_t pos, uint32_t* chainHead, uint32_t* chainNext, uint32_t* near4);
  // Inserts pos and sets up its search (the nearest three- and four-byte matches already
  // taken).
  void Start(uint32_t pos, unsigned maxLen, Match* out, Walk& w);
  bool Step(Walk& w);
  // A candidate that passed the probe: records it when longer; false ends the search.
  // Static, so that the walks' loop need not keep the finder in a register for it.
  static bool Improve(Walk& w, uint32_t at);

  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  unsigned steps_ = 0, deepSteps_ = 0;  // see kMaxChainDepth and kDeepSteps
  // Table entries are links (positions plus one, 0 for none), cleared at every reset:
  // half the cache lines of positions tagged with the interval, which cost more in
  // misses than the clearing does.
  std::vector<uint16_t> head_;
  // The chains: for the position p, at p + 1, the link to the one before it with the same
  // hash (that position plus one, 0 for none) in the low half, and that one's link in the
  // high half. Positions in the chains end four bytes before the interval's end, so
  // p + 1 fits in 16 bits. Two links an entry: the load that a walk's next step
  // waits for is issued a step earlier, so two loads are in flight per walk.
  std::vector<uint32_t> chain_;
};

}  // namespace hha::lzx
