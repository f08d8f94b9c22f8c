#include "support/buffered_file_writer.h"

#include <cstring>

namespace qb {

bool BufferedFileWriter::Open(const char* path) {
  writeFailed = false;
  used = 0;
  buffer = static_cast<uint8_t*>(NativeAlloc(capacity));
  if (!buffer) return false;
  return NativeCreateForWrite(path, &handle);
}

bool BufferedFileWriter::WriteAll(const void* data, uint32_t count) {
  uint32_t written = 0;
  bool ok = NativeWrite(handle, data, count, &written) && written == count;
  if (!ok) writeFailed = true;
  return ok;
}

bool BufferedFileWriter::Append(const void* data, uint32_t count) {
  if (handle == NoFile()) return false;
  if (static_cast<uint64_t>(used) + count > capacity) Flush();
  if (count > capacity) return WriteAll(data, count);
  if (count) std::memcpy(buffer + used, data, count);
  used += count;
  return true;
}

bool BufferedFileWriter::Flush() {
  if (used == 0) return true;
  if (handle == NoFile()) {
    used = 0;
    return false;
  }
  uint32_t count = used;
  used = 0;
  return WriteAll(buffer, count);
}

bool BufferedFileWriter::Close() {
  if (handle == NoFile()) {
    NativeFree(buffer);
    buffer = nullptr;
    used = 0;
    return true;
  }
  bool ok = Flush() && !writeFailed;
  NativeClose(handle);
  handle = NoFile();
  NativeFree(buffer);
  buffer = nullptr;
  writeFailed = false;
  return ok;
}

}  // namespace qb
