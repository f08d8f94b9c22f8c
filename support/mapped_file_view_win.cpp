#include "support/mapped_file_view.h"

#include <windows.h>

namespace qb {
namespace {

constexpr uint32_t kPageSize = 4096;

// A page-multiple length leaves no room after the mapped bytes for the terminator, so
// such a file is read into a heap block one byte longer instead. The file is never
// grown or opened for writing: Javadoc folders are often read-only or shared.
bool ReadIntoHeap(HANDLE file, uint32_t size, char** image) {
  char* block = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
  if (!block) return false;
  uint32_t total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!ReadFile(file, block + total, size - total, &got, nullptr) || got == 0) {
      HeapFree(GetProcessHeap(), 0, block);
      return false;
    }
    total += got;
  }
  block[size] = 0;
  *image = block;
  return true;
}

}  // namespace

bool MappedFileView::Open(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  size = GetFileSize(file, nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE) {
    CloseHandle(file);
    Close();
    SetLastError(ERROR_BAD_LENGTH);
    return false;
  }
  if (size % kPageSize == 0) {
    bool ok = ReadIntoHeap(file, size, &view);
    CloseHandle(file);
    if (!ok) {
      Close();
      return false;
    }
    onHeap = true;
    return true;
  }
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_WRITECOPY, 0, size, nullptr);
  CloseHandle(file);
  if (!mapping) {
    Close();
    return false;
  }
  view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0));
  CloseHandle(mapping);
  if (!view) {
    Close();
    return false;
  }
  onHeap = false;
  view[size] = 0;  // the zero-filled rest of the last page, in the private copy
  return true;
}

void MappedFileView::Close() {
  if (view) {
    if (onHeap) {
      HeapFree(GetProcessHeap(), 0, view);
    } else {
      UnmapViewOfFile(view);
    }
    view = nullptr;
  }
  onHeap = false;
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
}

}  // namespace qb
