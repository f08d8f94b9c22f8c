// Huffman code builder. Optimal lengths come from the classic two-queue merge over the
// symbols sorted by frequency; lengths beyond the limit are then folded back by moving
// codes between length classes (the adjustment zlib-style encoders use) and handed out
// again by frequency rank, which keeps the tree complete and close to optimal.
#include "hha/core/lzx/huffman.h"

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hha::lzx {

namespace {
// Sorts the used symbols (frequency << 16 | symbol, each distinct). Most frequencies in a
// block are small: a counting pass puts each symbol in its frequency's bucket in symbol
// order, which is already their sorted order, and only the few above the buckets get a
// comparison sort. The splitter builds thousands of trees per interval, and std::sort
// alone was a third of their cost.
void SortUsed(uint64_t* used, size_t m) {
  constexpr unsigned kBuckets = 128;  // the last one holds every larger frequency
  if (m <= 16) {
    std::sort(used, used + m);
    return;
  }
  unsigned start[kBuckets + 1] = {0};
  for (size_t i = 0; i < m; ++i) ++start[std::min<uint64_t>(used[i] >> 16, kBuckets - 1) + 1];
  for (unsigned b = 1; b <= kBuckets; ++b) start[b] += start[b - 1];
  uint64_t sorted[1024];
  for (size_t i = 0; i < m; ++i) sorted[start[std::min<uint64_t>(used[i] >> 16, kBuckets - 1)]++] = used[i];
  // start[kBuckets - 2] is now where the last bucket begins.
  const size_t large = start[kBuckets - 2];
  std::sort(sorted + large, sorted + m);
  std::copy(sorted, sorted + m, used);
}
}  // namespace

void BuildCodeLengths(const uint32_t* freqs, unsigned n, unsigned maxLen, uint8_t* lengths) {
  // Fixed arrays rather than vectors: the block splitter builds thousands of trees per
  // interval to weigh its choices, and their allocations showed in profiles.
  constexpr unsigned kMaxSymbols = 1024;  // LZX's largest alphabet has 656
  // Used symbols as frequency << 16 | symbol: sorting the integers orders them by
  // ascending frequency, ties by symbol, so the result does not depend on the sort.
  uint64_t used[kMaxSymbols];
  size_t m = 0;
  n = std::min(n, kMaxSymbols);
  std::fill(lengths, lengths + n, uint8_t{0});
  // Every symbol written, only the used ones kept: no branch per symbol. Four unused
  // symbols in a row are passed over at once: most of the match symbols of a block
  // and of its length tree are unused.
  unsigned i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 4 <= n; i += 4) {
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(freqs + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(f, zero)) == 0xFFFF) continue;
    for (unsigned k = i; k < i + 4; ++k) {
      used[m] = uint64_t{freqs[k]} << 16 | k;
      m += freqs[k] != 0;
    }
  }
#endif
  for (; i < n; ++i) {
    used[m] = uint64_t{freqs[i]} << 16 | i;
    m += freqs[i] != 0;
  }
  if (m == 0) return;
  if (m == 1) {
    const unsigned only = static_cast<unsigned>(used[0] & 0xFFFF);
    lengths[only] = 1;
    lengths[only == 0 ? 1 : 0] = 1;
    return;
  }
  SortUsed(used, m);
  // Two-queue merge: leaves in order, internal nodes appended in creation order (their
  // weights never decrease), parent links give every leaf its depth.
  uint64_t weight[2 * kMaxSymbols];
  uint32_t parent[2 * kMaxSymbols];
  for (size_t i = 0; i < m; ++i) weight[i] = used[i] >> 16;
  size_t leaf = 0, inner = m, next = m;
  auto take = [&]() -> size_t {
    if (leaf < m && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (size_t k = 0; k + 1 < m; ++k) {
    const size_t a = take();
    const size_t b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = static_cast<uint32_t>(next);
    ++next;
  }
  const size_t root = next - 1;
  unsigned depth[2 * kMaxSymbols];
  depth[root] = 0;
  for (size_t i = root; i-- > 0;) depth[i] = depth[parent[i]] + 1;

  // Count codes per length, folding everything deeper than maxLen into maxLen.
  unsigned count[33] = {0};  // maxLen is at most 16 in LZX
  bool overflow = false;
  for (size_t i = 0; i < m; ++i) {
    unsigned d = depth[i];
    if (d > maxLen) {
      d = maxLen;
      overflow = true;
    }
    ++count[d];
  }
  if (overflow) {
    uint64_t kraft = 0;  // in units of 2^-maxLen
    for (unsigned l = 1; l <= maxLen; ++l) kraft += static_cast<uint64_t>(count[l]) << (maxLen - l);
    const uint64_t full = uint64_t{1} << maxLen;
    while (kraft > full) {
      // Take a code from the deepest class and lengthen a shorter one to pair with it.
      --count[maxLen];
      for (unsigned l = maxLen - 1; l > 0; --l) {
        if (count[l] != 0) {
          --count[l];
          count[l + 1] += 2;
          break;
        }
      }
      --kraft;
    }
  }
  // Hand out the lengths: the most frequent symbols get the shortest codes.
  size_t rank = m;
  for (unsigned l = 1; l <= maxLen; ++l) {
    for (unsigned c = 0; c < count[l]; ++c) lengths[used[--rank] & 0xFFFF] = static_cast<uint8_t>(l);
  }
}

void BuildCanonicalCodes(const uint8_t* lengths, unsigned n, uint16_t* codes) {
  unsigned count[17] = {0};
  for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  unsigned next[18] = {0};
  unsigned code = 0;
  for (unsigned l = 1; l <= 16; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  for (unsigned i = 0; i < n; ++i) {
    codes[i] = lengths[i] ? static_cast<uint16_t>(next[lengths[i]]++) : 0;
  }
}

}  // namespace hha::lzx
