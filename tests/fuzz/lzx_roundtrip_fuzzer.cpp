// Compresses arbitrary bytes as section 1 and decodes them with chmlib's LZX decoder,
// frame by frame as chmlib reads a .chm; any difference or decoder error aborts.
// The first byte stretches the input by repetition (0-4 extra frames), so that short
// fuzz inputs also reach frame ends, reset intervals, long matches and repeat offsets,
// and picks one or two threads and the default or the fast encoder.
#include <lzx.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hha/core/lzx/section_compressor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t extra = (data[0] % 5) * 0x8000;
  std::vector<uint8_t> input(data + 1, data + size);
  if (!input.empty()) {
    for (size_t i = 0; input.size() < size - 1 + extra; ++i) input.push_back(input[i]);
  }
  const unsigned threads = data[0] & 0x80 ? 2 : 1;
  const bool fast = (data[0] & 0x40) != 0;

  std::vector<uint8_t> stream;
  hha::lzx::SectionCompressor compressor(
      [&](const uint8_t* p, size_t n) {
        stream.insert(stream.end(), p, p + n);
        return true;
      },
      threads, fast);
  if (!compressor.Write(input.data(), input.size()) || !compressor.Finish()) std::abort();
  const std::vector<uint64_t>& starts = compressor.FrameStarts();
  const size_t frames = (input.size() + 0x7FFF) / 0x8000;
  if (starts.size() != frames || compressor.CompressedLength() != stream.size()) std::abort();

  LZXstate* state = LZXinit(16);
  std::vector<uint8_t> frame(0x8000);
  for (size_t f = 0; f < frames; ++f) {
    const size_t begin = starts[f];
    const size_t end = f + 1 < frames ? starts[f + 1] : stream.size();
    if (end < begin) std::abort();
    std::vector<uint8_t> in(stream.begin() + begin, stream.begin() + end);
    in.resize(in.size() + 6144, 0);  // chmlib's own read-ahead slack
    if (f % 2 == 0) LZXreset(state);
    if (LZXdecompress(state, in.data(), frame.data(), static_cast<int>(end - begin), 0x8000) !=
        DECR_OK) {
      std::abort();
    }
    for (size_t i = 0; i < 0x8000; ++i) {
      const size_t at = f * 0x8000 + i;
      const uint8_t want = at < input.size() ? input[at] : 0;
      if (frame[i] != want) std::abort();
    }
  }
  LZXteardown(state);
  return 0;
}
