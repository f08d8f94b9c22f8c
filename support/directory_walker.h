// Depth-first, pre-order walk of a folder tree through the system's directory search.
#pragma once

#include "support/directory_search.h"
#include "support/parent_stack.h"
#include "support/path_join.h"

namespace qb {

enum class WalkEntryKind : int {
  None = 0,           // the walk is over
  File = 1,           // findData describes a file in relativeDir
  Directory = 2,      // a directory in relativeDir; entered next unless SkipDescend is set
  DirectoryLeft = 3,  // all entries of a directory were reported; cFileName holds its
                      // name, relativeDir is its parent's again, other fields are stale
};

// Construct, call Next until it returns false (setting SkipDescend after a Directory
// entry that is not to be entered), then Close (or let the destructor do it). Entries of
// one directory come in the order of the system's search (directory_search.h); hidden and system entries are
// included; the root itself is never reported.
//
// A directory that cannot be searched (it vanished, it is not readable, or its path
// would be cut at 259 characters) and one that cannot be entered for want of memory are
// reported as Directory and at the next step as DirectoryLeft; the walk then goes on
// with its parent. A root that cannot be searched ends the walk at the first Next.
struct DirectoryWalker {
  FindData findData;
  char rootPath[kPathCapacity];
  char relativeDir[kPathCapacity];
  SearchHandle searchHandle = NoSearch();
  unsigned char SkipDescend = 0;
  WalkEntryKind kind = WalkEntryKind::None;
  // -1 fresh, 0 start, 1 an entry was reported, 2 over, 3 just returned to a parent.
  int state = -1;
  ParentSearchStack ParentStack;

  // Copies the root, cut to 259 characters.
  explicit DirectoryWalker(const char* root);
  ~DirectoryWalker() { Close(); }
  DirectoryWalker(const DirectoryWalker&) = delete;
  DirectoryWalker& operator=(const DirectoryWalker&) = delete;

  // True when an entry was reported (read kind, findData and relativeDir).
  bool Next();
  // Closes every search and releases the stack; the walker is over afterwards.
  void Close();

 private:
  bool Enter();
  bool Step();
  bool ReportLeft();
};

}  // namespace qb
