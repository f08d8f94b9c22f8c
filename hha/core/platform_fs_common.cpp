// The parts of the platform layer that the C library covers on every system.
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "hha/core/platform_fs.h"

namespace hha::platform {

namespace detail {
std::string ConvertCodePage(const std::string& text, uint32_t codePage);  // per platform
}

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// Strict UTF-8 check (no overlongs, no surrogates); also tells whether any byte >= 0x80.
bool IsUtf8(const std::string& s, bool* nonAscii) {
  *nonAscii = false;
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    *nonAscii = true;
    int n;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
      n = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    for (int k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const auto d = static_cast<uint8_t>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

std::string DirName(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return path.substr(0, i);
  return "";
}

std::string BaseName(const std::string& path) { return path.substr(DirName(path).size()); }

namespace {

template <class Bytes>
bool ReadInto(const std::string& path, Bytes& out) {
  out.clear();
  if (!IsFile(path)) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // Sized from the file's length, so a large page costs its size once rather than the
  // next power of two; a file that grows meanwhile is still read to its end.
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  std::rewind(f);
  if (size > 0) out.resize(static_cast<size_t>(size));
  out.resize(size > 0 ? std::fread(out.data(), 1, out.size(), f) : 0);
  uint8_t buffer[16384];
  for (size_t n; !std::ferror(f) && (n = std::fread(buffer, 1, sizeof buffer, f)) != 0;)
    out.insert(out.end(), buffer, buffer + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) { return ReadInto(path, out); }
bool ReadFile(const std::string& path, FileBytes& out) { return ReadInto(path, out); }
bool ReadFile(const std::string& path, std::string& out) { return ReadInto(path, out); }

OutputFile::~OutputFile() {
  if (file_) std::fclose(static_cast<FILE*>(file_));
}

bool OutputFile::Create(const std::string& path) {
  if (file_) std::fclose(static_cast<FILE*>(file_));
  file_ = std::fopen(path.c_str(), "wb");
  ok_ = file_ != nullptr;
  return ok_;
}

void OutputFile::Write(const void* data, size_t n) {
  if (!ok_ || n == 0) return;
  if (std::fwrite(data, 1, n, static_cast<FILE*>(file_)) != n) ok_ = false;
}

bool OutputFile::Close() {
  if (!file_) return false;
  if (std::fclose(static_cast<FILE*>(file_)) != 0) ok_ = false;
  file_ = nullptr;
  return ok_;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

ScratchFile::~ScratchFile() {
  if (!file_) return;
  std::fclose(static_cast<FILE*>(file_));
  RemoveFile(path_);
}

bool ScratchFile::Create(const std::string& path) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "w+b");
  ok_ = file_ != nullptr;
  return ok_;
}

bool ScratchFile::Write(const void* data, size_t n) {
  if (ok_ && n && std::fwrite(data, 1, n, static_cast<FILE*>(file_)) != n) ok_ = false;
  if (ok_) size_ += n;
  return ok_;
}

bool ScratchFile::CopyTo(OutputFile& out) {
  auto* f = static_cast<FILE*>(file_);
  if (!ok_ || std::fflush(f) != 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
  uint8_t buffer[65536];
  uint64_t left = size_;
  while (left > 0) {
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(std::min<uint64_t>(left, sizeof buffer)), f);
    if (n == 0) return false;
    out.Write(buffer, n);
    left -= n;
  }
  // Later writes continue at the end.
  return std::fseek(f, 0, SEEK_END) == 0 && out.ok();
}

std::string TempNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string name = target + ".~" + std::to_string(MonotonicMs() % 1000000) + "-" +
                       std::to_string(counter++) + ".tmp";
    if (!IsFile(name)) return name;
  }
}

std::string AnsiToUtf8(const std::string& text, uint32_t codePage) {
  bool nonAscii = false;
  if (IsUtf8(text, &nonAscii) || !nonAscii) return text;
  return detail::ConvertCodePage(text, codePage);
}

}  // namespace hha::platform
