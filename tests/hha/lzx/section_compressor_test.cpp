// The streaming contract of SectionCompressor: output before Finish, sticky sink failures
// (lengths, frame starts and zero-length input: every round trip's compression checks them;
// chunking: the round trips' determinism case).
#include <gtest/gtest.h>

#include "hha/core/lzx/section_compressor.h"
#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

using hha::lzx::SectionCompressor;

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
