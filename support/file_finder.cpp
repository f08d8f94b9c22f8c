#include "support/file_finder.h"

#include <cstring>

namespace qb {
namespace {

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool FileFinder::Next() {
  bool found;
  if (searchHandle == NoSearch()) {
    searchHandle = BeginSearch(pattern, &findData);
    found = searchHandle != NoSearch();
  } else {
    found = ContinueSearch(searchHandle, &findData);
  }
  while (found && (IsDotEntry(findData.cFileName) ||
                   (findData.dwFileAttributes & kFileAttributeDirectory))) {
    found = ContinueSearch(searchHandle, &findData);
  }
  return found;
}

void FileFinder::Close() {
  EndSearch(searchHandle);
  searchHandle = NoSearch();
}

}  // namespace qb
