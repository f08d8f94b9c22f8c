// One output file written through a heap buffer.
#pragma once

#include <cstdint>

#include "support/native_file.h"

namespace qb {

// Plain record held by value for the length of one call. Calling order: Open, any number
// of Append and Flush, Close (also after a failed Open; Close may be called twice).
struct BufferedFileWriter {
  static constexpr uint32_t kDefaultCapacity = 0x10000;

  NativeFile handle = NoFile();
  uint8_t* buffer = nullptr;
  uint32_t capacity = kDefaultCapacity;
  uint32_t used = 0;
  // Set by the first failed or short write since Open; a failed flush inside Append
  // would otherwise drop its bytes unnoticed and a full disk would pass for success.
  bool writeFailed = false;

  BufferedFileWriter() = default;
  explicit BufferedFileWriter(uint32_t capacityBytes) : capacity(capacityBytes) {}
  BufferedFileWriter(const BufferedFileWriter&) = delete;
  BufferedFileWriter& operator=(const BufferedFileWriter&) = delete;

  // Takes the buffer and creates the file (an existing one is truncated). False when
  // either fails; the caller still calls Close.
  bool Open(const char* path);
  // Buffers the bytes; flushes first when they do not fit (strictly greater than the
  // free space), and writes an append larger than the buffer straight to the file.
  bool Append(const void* data, uint32_t count);
  bool Flush();
  // Flushes, closes the file and frees the buffer. False when the final flush or any
  // earlier write since Open failed; true when no file was open.
  bool Close();

 private:
  bool WriteAll(const void* data, uint32_t count);
};

}  // namespace qb
