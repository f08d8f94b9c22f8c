// Bit writer of the LZX stream: fields are appended most significant bit first into
// 16-bit words that are stored little-endian, which is how LZX decoders read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hha::lzx {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low `bits` bits of value (bits <= 32).
  void Put(uint32_t value, unsigned bits) {
    if (bits == 0) return;
    acc_ = (acc_ << bits) | (value & (bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1)));
    count_ += bits;
    while (count_ >= 16) StoreWord();
  }

  // Put for a value below 2^bits with bits <= 16, as codes and match footers are: no
  // mask, and at most one word to store. A block writes one or two per item.
  void PutCode(uint32_t value, unsigned bits) {
    acc_ = (acc_ << bits) | value;
    count_ += bits;
    if (count_ >= 16) StoreWord();
  }

  // Pads with 0-15 zero bits to the next 16-bit boundary.
  void AlignTo16() {
    if (count_ != 0) Put(0, 16 - count_);
  }

  // True when no partial word is pending, so raw bytes may be appended.
  bool Aligned() const { return count_ == 0; }
  unsigned PendingBits() const { return count_; }

  std::vector<uint8_t>& bytes() { return out_; }

 private:
  // Stores the oldest 16 pending bits as one little-endian word.
  void StoreWord() {
    count_ -= 16;
    const uint32_t word = static_cast<uint32_t>(acc_ >> count_) & 0xFFFF;
    out_.push_back(static_cast<uint8_t>(word));
    out_.push_back(static_cast<uint8_t>(word >> 8));
  }

  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  unsigned count_ = 0;
};

}  // namespace hha::lzx
