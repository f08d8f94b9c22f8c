// Lists the plain files that match one search pattern in one folder.
#pragma once

#include "support/directory_search.h"

namespace qb {

// The owner fills `pattern` (a folder joined with "*"), steps the finder and calls
// Close afterwards.
struct FileFinder {
  FindData findData;
  char pattern[kPathCapacity] = "";
  SearchHandle searchHandle = NoSearch();

  // True when `findData` describes the next plain file ("." and ".." and directories
  // are passed over), in the order of the system's search; false when none is left.
  bool Next();
  // Ends the search; may be called in any state and more than once.
  void Close();
};

}  // namespace qb
