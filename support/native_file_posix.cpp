#include "support/native_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

namespace qb {
namespace {
NativeWriteHook g_writeHook = nullptr;
}

NativeFile NoFile() { return -1; }

bool NativeCreateForWrite(const char* path, NativeFile* out) {
  int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  *out = fd;
  return fd >= 0;
}

bool NativeWrite(NativeFile file, const void* data, uint32_t count, uint32_t* written) {
  if (g_writeHook) return g_writeHook(file, data, count, written);
  ssize_t n;
  do {
    n = ::write(static_cast<int>(file), data, count);
  } while (n < 0 && errno == EINTR);
  *written = n < 0 ? 0 : static_cast<uint32_t>(n);
  return n >= 0;
}

void NativeClose(NativeFile file) { ::close(static_cast<int>(file)); }

bool NativeFileExists(const char* path) {
  struct stat st;
  return ::lstat(NativePath(path).c_str(), &st) == 0;
}

bool NativeDeleteFile(const char* path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool NativeSamePath(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

std::string NativePath(const char* path) {
  std::string out = path ? path : "";
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

void* NativeAlloc(uint32_t bytes) { return std::malloc(bytes ? bytes : 1); }

void NativeFree(void* block) { std::free(block); }

void NativeShareOneHeap() {
#ifdef __GLIBC__
  mallopt(M_ARENA_MAX, 1);
#endif
}

void SetNativeWriteHookForTesting(NativeWriteHook hook) { g_writeHook = hook; }

}  // namespace qb
