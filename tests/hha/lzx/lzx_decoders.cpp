#include "tests/hha/lzx/lzx_decoders.h"

#include <lzx.h>
#include <mspack.h>

#include <cstring>

extern "C" {
// libmspack's LZX decoder is not in mspack.h; these are its entry points (libmspack
// mspack/lzx.h), linked from the static library.
struct lzxd_stream;
struct lzxd_stream* lzxd_init(struct mspack_system* system, struct mspack_file* input,
                              struct mspack_file* output, int window_bits, int reset_interval,
                              int input_buffer_size, off_t output_length, char is_delta);
int lzxd_decompress(struct lzxd_stream* lzx, off_t out_bytes);
void lzxd_free(struct lzxd_stream* lzx);
}

namespace qb::test {

namespace {
constexpr size_t kFrame = 0x8000;
constexpr size_t kFramesPerReset = 2;
}  // namespace

std::string DecodeWithChmlib(const LzxStream& stream, size_t paddedLength,
                             std::vector<uint8_t>& out) {
  const size_t frames = paddedLength / kFrame;
  if (stream.frameStarts.size() != frames) return "frame start count differs from frames";
  out.assign(paddedLength, 0);
  LZXstate* state = LZXinit(16);
  if (!state) return "LZXinit failed";
  std::string error;
  for (size_t f = 0; f < frames && error.empty(); ++f) {
    const uint64_t begin = stream.frameStarts[f];
    const uint64_t end = f + 1 < frames ? stream.frameStarts[f + 1] : stream.bytes.size();
    if (end < begin || end > stream.bytes.size()) {
      error = "bad frame range at frame " + std::to_string(f);
      break;
    }
    if (f % kFramesPerReset == 0) LZXreset(state);
    // chmlib reads a little past the range; it gives the decoder a larger buffer too.
    std::vector<uint8_t> in(stream.bytes.begin() + begin, stream.bytes.begin() + end);
    in.resize(in.size() + 6144, 0);
    if (LZXdecompress(state, in.data(), out.data() + f * kFrame, static_cast<int>(end - begin),
                      static_cast<int>(kFrame)) != DECR_OK) {
      error = "LZXdecompress failed at frame " + std::to_string(f);
    }
  }
  LZXteardown(state);
  return error;
}

namespace {

struct MemFile {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  std::vector<uint8_t>* sinkBytes = nullptr;
};

int MemRead(mspack_file* file, void* buffer, int bytes) {
  auto* f = reinterpret_cast<MemFile*>(file);
  const size_t n = std::min(static_cast<size_t>(bytes), f->size - f->pos);
  std::memcpy(buffer, f->data + f->pos, n);
  f->pos += n;
  return static_cast<int>(n);
}
int MemWrite(mspack_file* file, void* buffer, int bytes) {
  auto* f = reinterpret_cast<MemFile*>(file);
  const auto* b = static_cast<const uint8_t*>(buffer);
  f->sinkBytes->insert(f->sinkBytes->end(), b, b + bytes);
  return bytes;
}
void* MemAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void MemFree(void* p) { std::free(p); }
void MemCopy(void* src, void* dest, size_t bytes) { std::memmove(dest, src, bytes); }
void MemMessage(mspack_file*, const char*, ...) {}

}  // namespace

std::string DecodeWithMspack(const LzxStream& stream, size_t paddedLength,
                             std::vector<uint8_t>& out) {
  out.clear();
  if (paddedLength == 0) return "";
  mspack_system sys{};
  sys.read = MemRead;
  sys.write = MemWrite;
  sys.alloc = MemAlloc;
  sys.free = MemFree;
  sys.copy = MemCopy;
  sys.message = MemMessage;
  // When the stream ends on a reset boundary, lzxd goes on to decode an empty frame and
  // reads its E8 bit and a re-alignment word: 4 bytes past the end, 2 more than it pads
  // itself at end of input. In a .chm more file data follows the Content stream, so we
  // give it those bytes too.
  std::vector<uint8_t> bytes = stream.bytes;
  bytes.resize(bytes.size() + 4, 0);
  MemFile input;
  input.data = bytes.data();
  input.size = bytes.size();
  MemFile output;
  output.sinkBytes = &out;
  lzxd_stream* lzx = lzxd_init(&sys, reinterpret_cast<mspack_file*>(&input),
                               reinterpret_cast<mspack_file*>(&output), 16,
                               static_cast<int>(kFramesPerReset), 4096,
                               static_cast<off_t>(paddedLength), 0);
  if (!lzx) return "lzxd_init failed";
  const int rc = lzxd_decompress(lzx, static_cast<off_t>(paddedLength));
  lzxd_free(lzx);
  if (rc != MSPACK_ERR_OK) return "lzxd_decompress failed with error " + std::to_string(rc);
  return "";
}

}  // namespace qb::test
