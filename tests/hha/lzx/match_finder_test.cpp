// The paired search must be an optimisation only: the same matches as searching the two
// positions one after the other, on every kind of data and at the interval's edges.
#include "hha/core/lzx/match_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hha/core/lzx/lzx_constants.h"
#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

using hha::lzx::Match;
using hha::lzx::MatchFinder;

// Each match as length << 16 | distance, so that positions compare as plain vectors.
std::vector<uint32_t> Found(const Match* m, unsigned n) {
  std::vector<uint32_t> out;
  for (unsigned i = 0; i < n; ++i) out.push_back(uint32_t{m[i].length} << 16 | m[i].distance);
  return out;
}

// Searches every position of data (one interval), single or paired, skipping the inside
// of every fourth match found as the parser does; returns each position's matches.
std::vector<std::vector<uint32_t>> Sweep(MatchFinder& finder, const std::vector<uint8_t>& data,
                                      bool paired) {
  const uint32_t n = static_cast<uint32_t>(data.size());
  finder.Reset(data.data(), n);
  std::vector<std::vector<uint32_t>> out(n);
  Match a[MatchFinder::kMaxMatchesPerPosition], b[MatchFinder::kMaxMatchesPerPosition];
  unsigned found = 0;
  for (uint32_t pos = 0; pos < n;) {
    const unsigned maxLen = std::min(n - pos, hha::lzx::kMaxMatch);
    unsigned na = 0, nb = 0;
    const bool pair = paired && pos + 1 < n;
    if (pair) {
      finder.FindPair(pos, maxLen, std::min(n - pos - 1, hha::lzx::kMaxMatch), a, &na, b, &nb);
    } else {
      na = finder.Find(pos, maxLen, a);
    }
    out[pos] = Found(a, na);
    uint32_t next = pos + 1;
    if (na && ++found % 4 == 0) {
      // Skip the inside of this match; the paired search already inserted pos + 1.
      next = pos + a[na - 1].length;
      for (uint32_t p = pos + (pair ? 2 : 1); p < next; ++p) finder.Skip(p);
    } else if (pair) {
      out[next] = Found(b, nb);
      if (nb && ++found % 4 == 0) {
        const uint32_t end = next + b[nb - 1].length;
        for (uint32_t p = next + 1; p < end; ++p) finder.Skip(p);
        next = end;
      } else {
        ++next;
      }
    }
    pos = next;
  }
  return out;
}

TEST(LzxMatchFinder, PairedSearchFindsWhatSingleSearchesFind) {
  const uint64_t seed = TestSeed();
  for (size_t size : {5u, 9u, 4000u, 32768u, 65536u}) {
    for (const auto& data : {HtmlLike(seed, size), Runs(seed, size), RepeatingRecords(seed, size),
                             RandomBytes(seed, size)}) {
      MatchFinder single, paired;
      const auto expected = Sweep(single, data, false);
      const auto actual = Sweep(paired, data, true);
      ASSERT_EQ(expected.size(), actual.size());
      for (size_t pos = 0; pos < expected.size(); ++pos)
        ASSERT_EQ(expected[pos], actual[pos]) << "size " << size << ", position " << pos;
    }
  }
}


// Where every near candidate shares only its first bytes, the walk goes on past them: a
// long match far down a crowded chain is worth more than its steps cost.
TEST(LzxMatchFinder, LongMatchBehindManyShortCandidatesIsFound) {
  const std::string target = "<a href=\"java/lang/StringBuilder.html#append(char)\">";
  std::string text = target;
  for (int i = 0; i < 200; ++i) text += "<a href=\"" + std::to_string(i * 7919 % 100000) + "\">";
  const uint32_t at = static_cast<uint32_t>(text.size());
  text += target + "#end of the data";
  const std::vector<uint8_t> data(text.begin(), text.end());
  const uint32_t n = static_cast<uint32_t>(data.size());
  const uint32_t expected = uint32_t(target.size()) << 16 | at;
  for (bool paired : {false, true}) {
    MatchFinder finder;
    finder.Reset(data.data(), n);
    for (uint32_t p = 0; p < at; ++p) finder.Skip(p);
    Match a[MatchFinder::kMaxMatchesPerPosition], b[MatchFinder::kMaxMatchesPerPosition];
    unsigned na = 0, nb = 0;
    if (paired) {
      finder.FindPair(at, n - at, n - at - 1, a, &na, b, &nb);
    } else {
      na = finder.Find(at, n - at, a);
    }
    ASSERT_NE(na, 0u) << "paired " << paired;
    EXPECT_EQ(Found(a, na).back(), expected) << "paired " << paired;
  }
}

}  // namespace
}  // namespace qb::test
