// Lists the plain files that match one search pattern in one folder. Windows only.
#pragma once

#include <windows.h>

#include "support/path_join.h"

namespace qb {

// The owner fills `pattern` (for example a folder joined with "*"), steps the finder
// and calls Close (or FindClose on `searchHandle`) afterwards.
struct FileFinder {
  WIN32_FIND_DATAA findData{};
  char pattern[kPathCapacity] = "";
  HANDLE searchHandle = INVALID_HANDLE_VALUE;

  // True when `findData` describes the next plain file ("." and ".." and directories
  // are passed over), in the order of the system's search; false when none is left.
  bool Next();
  // Ends the search; may be called in any state and more than once.
  void Close();
};

}  // namespace qb
