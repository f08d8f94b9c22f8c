// Section-1 compressor on its own: compresses a section-1 stream as the help compiler
// would and prints the sizes and the time, so encoder changes and file orders can be
// compared without the rest of the compiler. The stream is either the files named in a
// list (one path a line, in that order) or, with --chm, the section 1 of a compiled
// file, rebuilt through chmlib (so it is exactly the stream the compiler fed, in its
// order). --fast compresses as the compiler's --fast does. With --verify the result is
// decoded again by libmspack; with --wimlib the same stream is also given to wimlib's
// LZX compressor at level 1000, each 64 KiB reset interval on its own, as the reference
// for how small LZX can get.
// Figures only: this is not a test.
#include <chm_lib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "hha/core/lzx/section_compressor.h"
#include "tests/hha/lzx/lzx_decoders.h"

#ifdef QB_HAVE_WIMLIB
#include <wimlib.h>
#endif

namespace {

bool ReadList(const std::string& list, std::vector<uint8_t>& input) {
  std::ifstream names(list);
  if (!names) return false;
  for (std::string name; std::getline(names, name);) {
    if (name.empty()) continue;
    std::ifstream f(name, std::ios::binary | std::ios::ate);
    if (!f) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return false;
    }
    const size_t at = input.size();
    input.resize(at + static_cast<size_t>(f.tellg()));
    f.seekg(0);
    f.read(reinterpret_cast<char*>(input.data() + at), static_cast<std::streamsize>(input.size() - at));
  }
  return true;
}

struct ChmRebuild {
  chmFile* file;
  std::vector<uint8_t>* stream;
  bool ok = true;
};

int OnUnit(chmFile* h, chmUnitInfo* ui, void* context) {
  auto* r = static_cast<ChmRebuild*>(context);
  if (ui->space != CHM_COMPRESSED || ui->length == 0) return CHM_ENUMERATOR_CONTINUE;
  const size_t end = static_cast<size_t>(ui->start + ui->length);
  if (r->stream->size() < end) r->stream->resize(end, 0);
  if (chm_retrieve_object(h, ui, r->stream->data() + ui->start, 0, ui->length) !=
      static_cast<LONGINT64>(ui->length)) {
    r->ok = false;
    return CHM_ENUMERATOR_FAILURE;
  }
  return CHM_ENUMERATOR_CONTINUE;
}

// Section 1 of a compiled file: every section-1 file put back at its offset.
bool ReadChm(const std::string& path, std::vector<uint8_t>& input) {
  chmFile* h = chm_open(path.c_str());
  if (!h) return false;
  ChmRebuild r{h, &input};
  chm_enumerate(h, CHM_ENUMERATE_ALL, OnUnit, &r);
  chm_close(h);
  return r.ok && !input.empty();
}

#ifdef QB_HAVE_WIMLIB
// wimlib's LZX at level 1000, one 64 KiB interval at a time (the last one padded to a
// whole frame like ours); an interval it cannot shrink counts as stored.
size_t WimlibSize(const std::vector<uint8_t>& input, double* cpu, std::vector<size_t>* sizes) {
  wimlib_compressor* c = nullptr;
  if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_LZX, 0x10000, 1000, &c) != 0) return 0;
  std::vector<uint8_t> padded = input;
  padded.resize((padded.size() + 0x7FFF) / 0x8000 * 0x8000, 0);
  std::vector<uint8_t> out(0x10000);
  size_t total = 0;
  const std::clock_t cpu0 = std::clock();
  for (size_t at = 0; at < padded.size(); at += 0x10000) {
    const size_t n = std::min<size_t>(0x10000, padded.size() - at);
    const size_t got = wimlib_compress(padded.data() + at, n, out.data(), out.size(), c);
    total += got ? got : n;
    if (sizes) sizes->push_back(got ? got : n);
  }
  *cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  wimlib_free_compressor(c);
  return total;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = 0;
  bool verify = false, wimlib = false, fast = false;
  std::string list, chm, dump, intervals;
  size_t limit = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::stoul(argv[++i]);
    else if (!std::strcmp(argv[i], "--verify")) verify = true;
    else if (!std::strcmp(argv[i], "--wimlib")) wimlib = true;
    else if (!std::strcmp(argv[i], "--fast")) fast = true;
    else if (!std::strcmp(argv[i], "--chm") && i + 1 < argc) chm = argv[++i];
    else if (!std::strcmp(argv[i], "--dump") && i + 1 < argc) dump = argv[++i];
    else if (!std::strcmp(argv[i], "--limit") && i + 1 < argc) limit = std::stoul(argv[++i]);
    else if (!std::strcmp(argv[i], "--intervals") && i + 1 < argc) intervals = argv[++i];
    else list = argv[i];
  }
  if (list.empty() == chm.empty()) {
    std::fprintf(stderr,
                 "usage: %s [--threads N] [--fast] [--verify] [--wimlib] [--limit BYTES]\n"
                 "          [--dump FILE] [--intervals FILE]\n"
                 "          (file-list | --chm compiled.chm)\n",
                 argv[0]);
    return 2;
  }
  std::vector<uint8_t> input;
  if (!(chm.empty() ? ReadList(list, input) : ReadChm(chm, input))) {
    std::fprintf(stderr, "cannot read %s\n", chm.empty() ? list.c_str() : chm.c_str());
    return 1;
  }
  if (limit && input.size() > limit) input.resize(limit);
  if (!dump.empty()) {
    std::ofstream(dump, std::ios::binary)
        .write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
  }

  qb::test::LzxStream stream;
  const auto wall0 = std::chrono::steady_clock::now();
  const std::clock_t cpu0 = std::clock();
  hha::lzx::SectionCompressor c(
      [&](const uint8_t* p, size_t n) {
        stream.bytes.insert(stream.bytes.end(), p, p + n);
        return true;
      },
      threads, fast);
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
  if (wimlib) {
#ifdef QB_HAVE_WIMLIB
    double wcpu = 0;
    std::vector<size_t> sizes;
    const size_t w = WimlibSize(input, &wcpu, &sizes);
    std::printf("wimlib LZX level 1000: %zu bytes in %.2f s cpu; ours / wimlib = %.4f\n", w, wcpu,
                static_cast<double>(stream.bytes.size()) / w);
    if (!intervals.empty()) {
      // Per 64 KiB interval: its offset, our size, wimlib's: where the difference lies.
      std::ofstream report(intervals);
      const std::vector<uint64_t>& starts = c.FrameStarts();
      for (size_t i = 0; i < sizes.size(); ++i) {
        const uint64_t from = starts[2 * i];
        const uint64_t to = 2 * i + 2 < starts.size() ? starts[2 * i + 2] : stream.bytes.size();
        report << i * 0x10000 << ' ' << (to - from) << ' ' << sizes[i] << '\n';
      }
    }
#else
    std::printf("wimlib: not built in (install libwim-dev and reconfigure)\n");
#endif
  }
  if (verify) {
    stream.frameStarts = c.FrameStarts();
    const size_t padded = (input.size() + 0x7FFF) / 0x8000 * 0x8000;
    std::vector<uint8_t> out;
    const std::string err = qb::test::DecodeWithMspack(stream, padded, out);
    out.resize(input.size());
    if (!err.empty() || out != input) {
      size_t at = 0;
      while (at < out.size() && at < input.size() && out[at] == input[at]) ++at;
      std::printf("libmspack: MISMATCH %s (first difference at byte %zu)\n", err.c_str(), at);
      return 1;
    }
    std::printf("libmspack: identical\n");
  }
  return 0;
}
