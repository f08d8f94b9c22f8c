#include "support/native_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace qb {
namespace {
NativeWriteHook g_writeHook = nullptr;
}

NativeFile NoFile() { return -1; }

bool NativeCreateForWrite(const char* path, NativeFile* out) {
  int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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

void* NativeAlloc(uint32_t bytes) { return std::malloc(bytes ? bytes : 1); }

void NativeFree(void* block) { std::free(block); }

void SetNativeWriteHookForTesting(NativeWriteHook hook) { g_writeHook = hook; }

}  // namespace qb
