// Raw LZX streams from our encoder, decoded by chmlib and libmspack: chmlib frame by frame
// from the frame starts, libmspack as one stream, so misplaced starts and intervals that
// do not end on a 16-bit word fail here.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "hha/core/lzx/section_compressor.h"
#include "tests/hha/lzx/lzx_decoders.h"
#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

// Compresses through hha::lzx::SectionCompressor in chunks of chunkSize; its lengths must
// describe the stream it gave.
LzxStream CompressSection(const std::vector<uint8_t>& data, unsigned threads,
                          size_t chunkSize = 1 << 20, bool fast = false) {
  LzxStream stream;
  hha::lzx::SectionCompressor compressor(
      [&](const uint8_t* p, size_t n) {
        stream.bytes.insert(stream.bytes.end(), p, p + n);
        return true;
      },
      threads, fast);
  for (size_t pos = 0; pos < data.size(); pos += chunkSize) {
    if (!compressor.Write(data.data() + pos, std::min(chunkSize, data.size() - pos))) break;
  }
  EXPECT_TRUE(compressor.Finish());
  EXPECT_EQ(compressor.UncompressedLength(), data.size());
  EXPECT_EQ(compressor.CompressedLength(), stream.bytes.size());
  EXPECT_TRUE(!data.empty() || stream.bytes.empty()) << "no bytes, no frames";
  stream.frameStarts = compressor.FrameStarts();
  return stream;
}

// Decodes with chmlib and libmspack and compares with data padded to whole frames;
// returns "" when both give the data back.
std::string RoundTrip(const std::vector<uint8_t>& data, const LzxStream& stream) {
  const size_t padded = (data.size() + 0x7FFF) / 0x8000 * 0x8000;
  std::vector<uint8_t> expected = data;
  expected.resize(padded, 0);
  for (bool chmlib : {true, false}) {
    std::vector<uint8_t> decoded;
    const std::string name = chmlib ? "chmlib: " : "libmspack: ";
    const std::string error = chmlib ? DecodeWithChmlib(stream, padded, decoded)
                                     : DecodeWithMspack(stream, padded, decoded);
    if (!error.empty()) return name + error;
    if (decoded.size() != expected.size())
      return name + std::to_string(decoded.size()) + " bytes instead of " + std::to_string(padded);
    if (decoded != expected)
      return name + "output differs at byte " +
             std::to_string(std::mismatch(decoded.begin(), decoded.end(), expected.begin()).first - decoded.begin());
  }
  return "";
}

using Generator = std::function<std::vector<uint8_t>(uint64_t, size_t)>;

struct Kind {
  const char* name;
  Generator make;
};

const Kind kKinds[] = {
    {"random", RandomBytes},
    {"runs", Runs},
    {"records", RepeatingRecords},
    {"html", HtmlLike},
    {"zeros", [](uint64_t, size_t n) { return std::vector<uint8_t>(n, 0); }},
    // 160 byte values at random: compresses by less than an eighth, so the encoder
    // keeps its greedy parse instead of storing the bytes.
    {"packed", [](uint64_t seed, size_t n) {
       std::vector<uint8_t> v = RandomBytes(seed, n);
       for (uint8_t& b : v) b = static_cast<uint8_t>(b % 160);
       return v;
     }},
};

const size_t kBoundarySizes[] = {0,       1,       2,       0x7FFF,  0x8000, 0x8001,
                                 0xFFFF,  0x10000, 0x10001, 0x18000, 0x30000 + 7};

TEST(LzxRoundTrip, EveryKindAtFrameAndResetBoundaries) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (const Kind& kind : kKinds) {
    for (size_t size : kBoundarySizes) {
      for (bool fast : {false, true}) {
        SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(size) + " bytes" +
                     (fast ? ", fast" : ""));
        const std::vector<uint8_t> data = kind.make(seed, size);
        const LzxStream stream = CompressSection(data, 1, 1 << 20, fast);
        EXPECT_EQ(RoundTrip(data, stream), "");
      }
    }
  }
}

// Text, then noise, then runs, then text again: the parser and block splitter see
// statistics change within one reset interval; then, written in odd chunks on several
// threads, with one interval of noise that is stored.
TEST(LzxRoundTrip, MixedContentAndAStoredIntervalOnSeveralThreads) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::vector<uint8_t> data;
  for (const Kind& kind : kKinds) {
    const auto part = kind.make(seed, 9000 + seed % 5000);
    data.insert(data.end(), part.begin(), part.end());
  }
  const auto text = HtmlLike(seed + 7, 5 * 0x10000);
  data.insert(data.end(), text.begin(), text.end());
  EXPECT_EQ(RoundTrip(data, CompressSection(data, 1)), "");
  const std::vector<uint8_t> noise = RandomBytes(seed + 1, 0x10000);
  data.insert(data.begin() + 0x20000, noise.begin(), noise.end());
  EXPECT_EQ(RoundTrip(data, CompressSection(data, 3, 10007)), "");
}

TEST(LzxRoundTrip, GreedyMatchCutToALiteralKeepsTheRepeatOffsets) {
  // Pins: a greedy match cut back to one literal by a long match right after it left its
  // offset in R0-R2, so a later repeat match named the wrong offset.
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::vector<uint8_t> data = RandomBytes(seed, 0x10000);
  for (uint8_t& b : data) b = static_cast<uint8_t>(b % 160);  // kept as greedy items
  const size_t p = 30000;
  for (size_t i = 0; i < 250; ++i) data[p + 1 + i] = data[p + 1 - 5000 + i];  // long match
  for (size_t i = 0; i < 5; ++i) data[p - 1000 + i] = data[p + i];  // a short one at p
  const size_t q = p + 280;
  for (size_t i = 0; i < 12; ++i) data[q + i] = data[q - 1000 + i];  // its offset again
  const LzxStream stream = CompressSection(data, 1);
  EXPECT_LT(stream.bytes.size(), data.size());  // compressed, not stored
  EXPECT_EQ(RoundTrip(data, stream), "");
}

TEST(LzxRoundTrip, LongMatchGivesWayToALongerOneAByteLater) {
  // A long match at p and a longer one at p + 1, where the sweep searches p + 1 with p
  // or on its own: the literal and the longer match must be what is coded, with the
  // matches that positions inside it did not get.
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::vector<uint8_t> data = RandomBytes(seed, 0x10000);
  for (uint8_t& b : data) b = static_cast<uint8_t>(b % 4);  // compresses: parsed
  for (size_t p = 20000; p < 60000; p += 4001) {
    for (size_t i = 0; i < 200; ++i) data[p + 1 + i] = data[p + 1 - 9000 + i];
    for (size_t i = 0; i < 100; ++i) data[p - 5000 + i] = data[p + i];
  }
  const LzxStream stream = CompressSection(data, 1);
  EXPECT_LT(stream.bytes.size(), data.size() / 2);
  EXPECT_EQ(RoundTrip(data, stream), "");
}

TEST(LzxEncoder, IncompressibleDataCostsAtMostTheStoredOverhead) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::vector<uint8_t> data = RandomBytes(seed, 4 * 0x10000);
  const LzxStream stream = CompressSection(data, 2);
  // a stored frame costs 4 header bytes and 12 bytes of repeat offsets
  EXPECT_LE(stream.bytes.size(), data.size() + 8 * 16);
  EXPECT_EQ(RoundTrip(data, stream), "");
}

TEST(LzxEncoder, SameInputGivesSameBytesWhateverThreadsAndChunks) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  // Long enough for intervals to start from earlier ones' statistics; 12 threads are
  // more than may run without waiting for them.
  std::vector<uint8_t> data = HtmlLike(seed, 11 * 0x10000 + 999);
  const auto records = RepeatingRecords(seed, 100000);
  data.insert(data.end(), records.begin(), records.end());
  const LzxStream one = CompressSection(data, 1);
  EXPECT_EQ(RoundTrip(data, one), "");
  for (unsigned threads : {2u, 12u, 0u}) {
    for (size_t chunk : {size_t{1} << 20, size_t{4093}, size_t{1}}) {
      const LzxStream other = CompressSection(data, threads, chunk);
      EXPECT_EQ(other.bytes, one.bytes) << threads << " threads, chunks of " << chunk;
      EXPECT_EQ(other.frameStarts, one.frameStarts);
    }
  }
}

}  // namespace
}  // namespace qb::test
