#include "support/mapped_file_view.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

// Natively the image is always a heap copy of size + 1 bytes: the same contract as the
// private mapping, with no page rule to care about.
bool MappedFileView::Open(const char* path) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  size = static_cast<uint32_t>(st.st_size);
  if (size == 0) {
    ::close(fd);
    Close();
    errno = EINVAL;
    return false;
  }
  char* block = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  if (!block) {
    ::close(fd);
    return false;
  }
  uint32_t total = 0;
  while (total < size) {
    ssize_t got = ::read(fd, block + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      std::free(block);
      ::close(fd);
      return false;
    }
    total += static_cast<uint32_t>(got);
  }
  ::close(fd);
  block[size] = 0;
  view = block;
  onHeap = true;
  return true;
}

void MappedFileView::Close() {
  std::free(view);
  view = nullptr;
  onHeap = false;
}

}  // namespace qb
