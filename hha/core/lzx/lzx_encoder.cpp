// LZX encoder for one CHM reset interval. Stored (uncompressed) blocks, one per frame,
// are the fallback for data that does not compress.
#include "hha/core/lzx/lzx_encoder.h"

#include "hha/core/lzx/bit_writer.h"
#include "hha/core/lzx/lzx_constants.h"

namespace hha::lzx {

namespace {

// One uncompressed block per frame: after the 27 header bits (28 with the E8 bit) the
// stream needs 1-16 padding bits, then R0-R2 (all 1 right after a reset) and the bytes.
void WriteStoredInterval(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out,
                         uint32_t frameStarts[2]) {
  const size_t base = out.size();
  BitWriter bits(out);
  bits.Put(0, 1);  // no E8 translation
  for (uint32_t frame = 0; frame * kFrameSize < length; ++frame) {
    frameStarts[frame] = static_cast<uint32_t>(out.size() - base);
    bits.Put(kBlockUncompressed, 3);
    bits.Put(kFrameSize >> 16, 8);
    bits.Put(kFrameSize & 0xFFFF, 16);
    if (bits.Aligned()) {
      bits.Put(0, 16);
    } else {
      bits.AlignTo16();
    }
    for (int r = 0; r < 3; ++r) {
      const uint8_t one[4] = {1, 0, 0, 0};
      out.insert(out.end(), one, one + 4);
    }
    const uint8_t* frameData = data + static_cast<size_t>(frame) * kFrameSize;
    out.insert(out.end(), frameData, frameData + kFrameSize);
  }
}

}  // namespace

void CompressResetInterval(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out,
                           uint32_t frameStarts[2]) {
  frameStarts[0] = 0;
  frameStarts[1] = 0;
  WriteStoredInterval(data, length, out, frameStarts);
}

}  // namespace hha::lzx
