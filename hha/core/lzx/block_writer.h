// Block writer: codes a run of items as one verbatim or aligned-offset block (whichever
// is smaller), with per-block Huffman trees sent as pretree-coded deltas against the
// previous block's code lengths, and re-aligns the stream at every frame end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hha/core/lzx/bit_writer.h"
#include "hha/core/lzx/lzx_encoder.h"
#include "hha/core/lzx/lzx_constants.h"
#include "hha/core/lzx/parser.h"

namespace hha::lzx {

// Symbol counts of a run of items: what the size of a block depends on.
struct BlockStats {
  uint32_t main[kMainSymbols] = {0};
  uint32_t length[kLengthSymbols] = {0};
  uint32_t aligned[kAlignedSymbols] = {0};
  uint64_t verbatimExtraBits = 0;  // all footer bits raw
  uint64_t alignedRawBits = 0;     // footer bits that stay raw in an aligned block
  uint32_t size = 0;

  void Collect(const Item* items, size_t count);
  void Add(const BlockStats& other);
};

class BlockWriter {
 public:
  // Appends to out; frame offsets are relative to out.size() at construction. Writes
  // the E8 header bit (0) and starts from all-zero previous code lengths, as a reset
  // requires.
  explicit BlockWriter(std::vector<uint8_t>& out);

  // Writes items[0, count) as one block. Blocks must follow each other in stream order.
  void WriteBlock(const Item* items, size_t count);
  // The same with the block's statistics already collected.
  void WriteBlock(const Item* items, size_t count, const BlockStats& stats);
  // Pads the last word. The output then ends on a 16-bit boundary.
  void Finish();
  // Offset of the second frame's bits (0 while the stream has not reached it).
  uint32_t SecondFrameStart() const { return secondFrame_; }

  // Size in bits of a block with these statistics, header included (estimated against
  // all-zero previous lengths, which slightly overstates the header).
  static uint64_t EstimateBits(const BlockStats& stats);

 private:
  BitWriter bits_;
  size_t base_;
  uint32_t position_ = 0;  // uncompressed bytes written so far
  uint32_t secondFrame_ = 0;
  uint8_t prevMain_[kMainSymbols] = {0};
  uint8_t prevLength_[kLengthSymbols] = {0};
};

}  // namespace hha::lzx
