// One folder's entries through the system's directory search: the primitive under
// FileFinder and DirectoryWalker, with a Windows and a POSIX implementation.
#pragma once

#include <cstdint>

#include "support/path_join.h"

namespace qb {

// FILE_ATTRIBUTE_DIRECTORY: the one attribute the clients look at.
constexpr uint32_t kFileAttributeDirectory = 0x10;

// One entry as the search reports it (the fields of Windows' find record that the
// clients read). The short name is empty natively.
struct FindData {
  uint32_t dwFileAttributes = 0;
  char cFileName[kPathCapacity] = "";
  char cAlternateFileName[14] = "";
};

// A running search; NoSearch() when none.
using SearchHandle = void*;
SearchHandle NoSearch();

// Starts a search for `pattern` (a folder joined with "*") and reports its first entry
// into *entry; NoSearch() when the folder cannot be searched or holds nothing. Windows
// reports "." and ".." and the entries in its own order. Natively only the pattern "*"
// is known, "." and ".." are not reported, a backslash separates as '/' does, and the
// entries come in the order NTFS gives as far as ASCII goes: their names' bytes with
// the ASCII letters upper-cased, then (for names that differ only in case, which NTFS
// cannot hold) their bytes as they are. So one tree gives one order on both.
SearchHandle BeginSearch(const char* pattern, FindData* entry);
// The next entry; false when none is left (the search stays open until EndSearch).
bool ContinueSearch(SearchHandle search, FindData* entry);
// Ends a search; NoSearch() is ignored.
void EndSearch(SearchHandle search);

}  // namespace qb
