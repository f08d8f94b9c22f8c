// A whole input file as a private, writable, NUL-terminated image in memory.
#pragma once

#include <cstdint>

#include "support/native_file.h"

namespace qb {

// Plain record held by value for the length of one call. While open, bytes 0 .. size-1
// of the image are the file's bytes and byte `size` is 0; writes into the image never
// reach the file. The file itself is never opened for writing.
struct MappedFileView {
  NativeFile handle = NoFile();  // never holds a file once Open has returned
  uint32_t size = 0;
  char* view = nullptr;
  bool onHeap = false;  // the image is a heap copy rather than a mapping

  MappedFileView() = default;
  MappedFileView(const MappedFileView&) = delete;
  MappedFileView& operator=(const MappedFileView&) = delete;

  // False when the file is missing, unreadable, empty (last error 24 on Windows, errno
  // EINVAL elsewhere) or cannot be mapped. The caller still calls Close.
  bool Open(const char* path);
  // Releases the image; may be called in any state, any number of times.
  void Close();
};

}  // namespace qb
