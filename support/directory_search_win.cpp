#include "support/directory_search.h"

#include <windows.h>

#include "support/path_names.h"

namespace qb {
namespace {

void Copy(const WIN32_FIND_DATAA& from, FindData* to) {
  to->dwFileAttributes = from.dwFileAttributes;
  CopyCut(to->cFileName, sizeof to->cFileName, from.cFileName);
  CopyCut(to->cAlternateFileName, sizeof to->cAlternateFileName, from.cAlternateFileName);
}

}  // namespace

static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "the attribute is Windows'");

SearchHandle NoSearch() { return INVALID_HANDLE_VALUE; }

SearchHandle BeginSearch(const char* pattern, FindData* entry) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern, &data);
  if (search != INVALID_HANDLE_VALUE) Copy(data, entry);
  return search;
}

bool ContinueSearch(SearchHandle search, FindData* entry) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(static_cast<HANDLE>(search), &data)) return false;
  Copy(data, entry);
  return true;
}

void EndSearch(SearchHandle search) {
  if (search != INVALID_HANDLE_VALUE) FindClose(static_cast<HANDLE>(search));
}

}  // namespace qb
