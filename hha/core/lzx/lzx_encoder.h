// LZX compression of CHM section 1, as the CHM readers decode it: 64 KiB window, 32 KiB
// frames, a full reset every two frames, no E8 translation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace hha::lzx {

constexpr uint32_t kFrameSize = 0x8000;       // readers re-align the bit stream here
constexpr uint32_t kResetInterval = 0x10000;  // two frames; coder state restarts here
constexpr uint32_t kWindowSize = 0x10000;

// Compresses one reset interval, independently of every other one (IntervalEncoder).
//   data, length: the interval's bytes; length is kFrameSize or kResetInterval (the
//                 caller pads the last frame of section 1 with zero bytes).
//   out:          the compressed bits are appended, starting and ending on a 16-bit
//                 boundary; the stream starts with the E8 header bit (0).
//   frameStarts:  frameStarts[0] = 0 and, for a two-frame interval, frameStarts[1] =
//                 the offset within this interval's output where the second frame's
//                 bits begin (both relative to the first byte appended to out).
//   fast:         one near-optimal pass with costs from a greedy parse instead of two,
//                 and long matches taken sooner (about 1% larger output for a third
//                 less time).
//   carried:      when given, called once the interval's matches are found (it may
//                 wait); fills in the symbol counts of earlier intervals' final parses
//                 and returns true, or returns false when there are none. If they fit
//                 this interval, its first frame is parsed once under costs from them
//                 instead of twice.
//   left:         when given, receives the symbol counts of this interval's final parse;
//                 Compress returns whether it did (not for near-incompressible input nor
//                 in the fast mode, whose counts would mislead a later interval).
// Never fails: input that does not compress is stored.
// The state (hash tables, node arrays, about 1 MiB) is kept from one interval to the
// next; each thread needs a state of its own. An object rather than thread-local
// storage: a DLL's threads then end without destructors to run at their exit.
struct SymbolCounts;

class IntervalEncoder {
 public:
  IntervalEncoder();
  ~IntervalEncoder();
  IntervalEncoder(const IntervalEncoder&) = delete;
  IntervalEncoder& operator=(const IntervalEncoder&) = delete;

  bool Compress(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out,
                uint32_t frameStarts[2], bool fast = false,
                const std::function<bool(SymbolCounts&)>& carried = nullptr,
                SymbolCounts* left = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace hha::lzx
