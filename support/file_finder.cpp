#include "support/file_finder.h"

namespace qb {
namespace {

bool IsDotEntry(const char* name) {
  return lstrcmpA(name, ".") == 0 || lstrcmpA(name, "..") == 0;
}

}  // namespace

bool FileFinder::Next() {
  bool found;
  if (searchHandle == INVALID_HANDLE_VALUE) {
    searchHandle = FindFirstFileA(pattern, &findData);
    found = searchHandle != INVALID_HANDLE_VALUE;
  } else {
    found = FindNextFileA(searchHandle, &findData) != FALSE;
  }
  while (found && (IsDotEntry(findData.cFileName) ||
                   (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
    found = FindNextFileA(searchHandle, &findData) != FALSE;
  }
  return found;
}

void FileFinder::Close() {
  if (searchHandle != INVALID_HANDLE_VALUE) FindClose(searchHandle);
  searchHandle = INVALID_HANDLE_VALUE;
}

}  // namespace qb
