#include "support/directory_walker.h"

#include <cstring>

#include "support/path_names.h"

namespace qb {
namespace {

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool IsDirectory(const FindData& data) {
  return (data.dwFileAttributes & kFileAttributeDirectory) != 0;
}

}  // namespace

DirectoryWalker::DirectoryWalker(const char* root) {
  CopyCut(rootPath, sizeof rootPath, root ? root : "");
  relativeDir[0] = '\0';
}

// Suspends the current search and makes the directory just reported the current one.
// False, with nothing changed, when it cannot be entered.
bool DirectoryWalker::Enter() {
  char joined[kPathCapacity];
  // The entry's name may start with '.' (".svn"): it is a name, not an extension. A cut
  // path would name some other directory, or this one again, so it is not entered.
  if (!JoinFolderEntry(joined, sizeof joined, relativeDir, findData.cFileName)) return false;
  char* saved = ParentStack.CopyString(relativeDir);
  if (!saved) return false;
  if (!ParentStack.Push(ParentEntry{searchHandle, saved})) {
    ParentStack.release(saved);
    return false;
  }
  searchHandle = NoSearch();
  std::memcpy(relativeDir, joined, sizeof relativeDir);
  return true;
}

bool DirectoryWalker::Step() {
  if (searchHandle != NoSearch()) return ContinueSearch(searchHandle, &findData);
  char folder[kPathCapacity];
  char pattern[kPathCapacity];
  // A cut pattern would search the wrong folder (or match the folder itself).
  if (!JoinFolderEntry(folder, sizeof folder, rootPath, relativeDir) ||
      !JoinPath(pattern, sizeof pattern, folder, "*"))
    return false;
  searchHandle = BeginSearch(pattern, &findData);
  return searchHandle != NoSearch();
}

// The directory in findData could not be entered: report it as left at once, so that
// every Directory entry still has its DirectoryLeft.
bool DirectoryWalker::ReportLeft() {
  findData.cAlternateFileName[0] = '\0';
  kind = WalkEntryKind::DirectoryLeft;
  state = 3;
  SkipDescend = 0;
  return true;
}

bool DirectoryWalker::Next() {
  if (state < 0) state = 0;
  switch (state) {
    case 0:
    case 3:
      break;
    case 1:
      if (IsDirectory(findData) && !SkipDescend && !Enter()) return ReportLeft();
      break;
    default:
      return false;
  }

  bool found = Step();
  SkipDescend = 0;
  while (found && IsDotEntry(findData.cFileName))
    found = ContinueSearch(searchHandle, &findData);
  if (found) {
    state = 1;
    kind = IsDirectory(findData) ? WalkEntryKind::Directory : WalkEntryKind::File;
    return true;
  }

  EndSearch(searchHandle);
  searchHandle = NoSearch();
  ParentEntry parent;
  if (!ParentStack.Pop(&parent)) {
    kind = WalkEntryKind::None;
    state = 2;
    return false;
  }
  CopyCut(findData.cFileName, sizeof findData.cFileName, FindFileName(relativeDir));
  findData.cAlternateFileName[0] = '\0';
  searchHandle = parent.searchHandle;
  CopyCut(relativeDir, sizeof relativeDir, parent.relativeDir);
  ParentStack.release(parent.relativeDir);
  kind = WalkEntryKind::DirectoryLeft;
  state = 3;
  return true;
}

void DirectoryWalker::Close() {
  EndSearch(searchHandle);
  searchHandle = NoSearch();
  ParentEntry parent;
  while (ParentStack.Pop(&parent)) {
    EndSearch(parent.searchHandle);
    ParentStack.release(parent.relativeDir);
  }
  ParentStack.ReleaseStorage();
  state = 2;
  kind = WalkEntryKind::None;
}

}  // namespace qb
