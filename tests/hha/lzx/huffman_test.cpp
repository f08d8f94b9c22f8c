// Code lengths must form complete, length-limited prefix codes whatever the statistics;
// the decoders reject anything else. The canonical codes themselves the round trips pin.
#include <gtest/gtest.h>

#include <vector>

#include "hha/core/lzx/huffman.h"

namespace qb::test {
namespace {

void ExpectCompleteAndLimited(const std::vector<uint32_t>& freqs, unsigned maxLen) {
  std::vector<uint8_t> lengths(freqs.size());
  hha::lzx::BuildCodeLengths(freqs.data(), static_cast<unsigned>(freqs.size()), maxLen,
                             lengths.data());
  double kraft = 0;
  for (size_t i = 0; i < freqs.size(); ++i) {
    EXPECT_LE(lengths[i], maxLen);
    EXPECT_TRUE(freqs[i] == 0 || lengths[i] != 0) << "used symbol " << i << " has no code";
    if (lengths[i]) kraft += 1.0 / (1u << lengths[i]);
    for (size_t j = 0; j < freqs.size(); ++j)
      EXPECT_TRUE(freqs[i] <= freqs[j] || freqs[j] == 0 || lengths[i] <= lengths[j]) << i << ", " << j;
  }
  EXPECT_DOUBLE_EQ(kraft, 1.0);
}

TEST(HuffmanCode, SkewedStatisticsAreFoldedIntoTheLimit) {
  // Fibonacci frequencies give the deepest possible tree: 30 symbols want 29 levels.
  std::vector<uint32_t> fib(30);
  fib[0] = fib[1] = 1;
  for (size_t i = 2; i < fib.size(); ++i) fib[i] = fib[i - 1] + fib[i - 2];
  ExpectCompleteAndLimited(fib, 7);
  ExpectCompleteAndLimited(fib, 16);
  std::vector<uint32_t> wide(512, 1);
  wide[3] = 1u << 30;
  ExpectCompleteAndLimited(wide, 16);
  // One used symbol needs a dummy partner; symbol 0's is symbol 1.
  std::vector<uint32_t> one(8, 0);
  one[0] = 42;
  ExpectCompleteAndLimited(one, 7);
}

}  // namespace
}  // namespace qb::test
