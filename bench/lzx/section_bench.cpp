// Section-1 compressor on its own: concatenates the files named in a list (one path a
// line, in the order given), compresses them as the help compiler would and prints the
// sizes and the time, so encoder changes and file orders can be compared without the
// rest of the compiler. With --verify the stream is decoded again by libmspack.
// Figures only: this is not a test.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "hha/core/lzx/section_compressor.h"
#include "tests/hha/lzx/lzx_decoders.h"

int main(int argc, char** argv) {
  unsigned threads = 0;
  bool verify = false;
  std::string list;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::stoul(argv[++i]);
    else if (!std::strcmp(argv[i], "--verify")) verify = true;
    else list = argv[i];
  }
  if (list.empty()) {
    std::fprintf(stderr, "usage: %s [--threads N] [--verify] file-list\n", argv[0]);
    return 2;
  }
  std::ifstream names(list);
  std::vector<uint8_t> input;
  for (std::string name; std::getline(names, name);) {
    if (name.empty()) continue;
    std::ifstream f(name, std::ios::binary);
    if (!f) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return 1;
    }
    input.insert(input.end(), std::istreambuf_iterator<char>(f), {});
  }

  qb::test::LzxStream stream;
  const auto wall0 = std::chrono::steady_clock::now();
  const std::clock_t cpu0 = std::clock();
  hha::lzx::SectionCompressor c(
      [&](const uint8_t* p, size_t n) {
        stream.bytes.insert(stream.bytes.end(), p, p + n);
        return true;
      },
      threads);
  for (size_t at = 0; at < input.size(); at += 0x10000) {
    c.Write(input.data() + at, std::min<size_t>(0x10000, input.size() - at));
  }
  if (!c.Finish()) return 1;
  const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  std::printf("%zu bytes -> %zu bytes (%.3f:1), %.2f s wall, %.2f s cpu, %.2f MB/s per cpu s\n",
              input.size(), stream.bytes.size(),
              static_cast<double>(input.size()) / stream.bytes.size(), wall, cpu,
              input.size() / 1e6 / cpu);
  if (verify) {
    stream.frameStarts = c.FrameStarts();
    const size_t padded = (input.size() + 0x7FFF) / 0x8000 * 0x8000;
    std::vector<uint8_t> out;
    const std::string err = qb::test::DecodeWithMspack(stream, padded, out);
    out.resize(input.size());
    if (!err.empty() || out != input) {
      std::printf("libmspack: MISMATCH %s\n", err.c_str());
      return 1;
    }
    std::printf("libmspack: identical\n");
  }
  return 0;
}
