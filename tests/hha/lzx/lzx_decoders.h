// Reference decoders for the LZX round trips: third-party code only, so a round trip
// proves that readers accept the stream, not that our encoder agrees with itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb::test {

// A compressed section 1 the way the container stores it.
struct LzxStream {
  std::vector<uint8_t> bytes;
  std::vector<uint64_t> frameStarts;  // one per 32 KiB frame, without the final entry
};

// chmlib: each frame decoded separately from its byte range [start i, start i+1), with
// LZXreset at every reset interval. Returns "" on success, else what went wrong.
std::string DecodeWithChmlib(const LzxStream& stream, size_t paddedLength,
                             std::vector<uint8_t>& out);
// libmspack's lzxd: the whole stream in one go, re-aligning at every frame.
std::string DecodeWithMspack(const LzxStream& stream, size_t paddedLength,
                             std::vector<uint8_t>& out);

}  // namespace qb::test
