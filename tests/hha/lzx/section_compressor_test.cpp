// The streaming contract of SectionCompressor: lengths, frame offsets, sink failures and
// zero-length input (chunking: the round trips' determinism case).
#include <gtest/gtest.h>

#include "hha/core/lzx/section_compressor.h"
#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

using hha::lzx::SectionCompressor;

TEST(SectionCompressor, LengthsAndFrameStartsDescribeTheStream) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (unsigned threads : {1u, 2u}) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{0x8000}, size_t{0x8001}, size_t{0x10000 * 3 + 5}}) {
      SCOPED_TRACE(std::to_string(size) + " bytes, threads " + std::to_string(threads));
      const std::vector<uint8_t> data = HtmlLike(seed, size);
      std::vector<uint8_t> sunk;
      size_t calls = 0;
      SectionCompressor c(
          [&](const uint8_t* p, size_t n) {
            sunk.insert(sunk.end(), p, p + n);
            return ++calls, true;
          },
          threads);
      ASSERT_TRUE(c.Write(data.data(), data.size()));
      ASSERT_TRUE(c.Finish());
      EXPECT_EQ(c.UncompressedLength(), size);
      EXPECT_EQ(c.CompressedLength(), sunk.size());
      ASSERT_EQ(c.FrameStarts().size(), (size + 0x7FFF) / 0x8000);
      if (size == 0) {
        EXPECT_EQ(calls, 0u) << "no bytes, no frames";
        continue;
      }
      EXPECT_EQ(c.FrameStarts()[0], 0u);
      for (size_t i = 1; i < c.FrameStarts().size(); ++i) EXPECT_GT(c.FrameStarts()[i], c.FrameStarts()[i - 1]);
      EXPECT_LT(c.FrameStarts().back(), c.CompressedLength());
    }
  }
}

TEST(SectionCompressor, OutputStreamsBeforeFinish) {
  // Large input must reach the sink while it is still being written, not at the end.
  const std::vector<uint8_t> data = HtmlLike(1, 24 * 0x10000);
  for (unsigned threads : {1u, 2u}) {
    size_t sunkBeforeFinish = 0;
    bool finishing = false;
    SectionCompressor c(
        [&](const uint8_t*, size_t n) {
          if (!finishing) sunkBeforeFinish += n;
          return true;
        },
        threads);
    for (size_t pos = 0; pos < data.size(); pos += 0x4000) {
      ASSERT_TRUE(c.Write(data.data() + pos, 0x4000));
    }
    finishing = true;
    ASSERT_TRUE(c.Finish());
    EXPECT_GT(sunkBeforeFinish, c.CompressedLength() / 2) << threads << " threads";
  }
}

TEST(SectionCompressor, SinkFailureIsSticky) {
  const std::vector<uint8_t> data = HtmlLike(2, 16 * 0x10000);
  for (unsigned threads : {1u, 2u}) {
    size_t calls = 0;
    SectionCompressor c([&](const uint8_t*, size_t) { return ++calls, false; }, threads);
    bool ok = true;
    for (size_t pos = 0; pos < data.size() && ok; pos += 0x10000) {
      ok = c.Write(data.data() + pos, 0x10000);
    }
    EXPECT_FALSE(ok && c.Finish()) << threads << " threads";
    EXPECT_FALSE(c.Write(data.data(), 10));
    EXPECT_FALSE(c.Finish());
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(c.CompressedLength(), 0u);
  }
}

}  // namespace
}  // namespace qb::test
