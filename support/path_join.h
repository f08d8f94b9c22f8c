// Joining path parts into a bounded buffer. Portable; no system calls.
#pragma once

#include <cstddef>

namespace qb {

// Size of every path buffer: at most 259 characters and the terminator.
constexpr size_t kPathCapacity = 260;

// Joins the parts into `out` (capacity bytes, terminator included), putting a backslash
// before a part unless the output is empty, the part is empty, the part starts with '.'
// (so a name and an extension such as ".html" join with nothing between), or the output
// already ends with a backslash. A slash is not a separator on Windows; natively a path
// written with slashes and no backslash ("/tmp/api") goes on with slashes instead. A
// longer result is cut at capacity - 1 characters; the return value tells whether it
// fitted. A null part counts as empty; a capacity of 0 writes nothing.
bool JoinPath(char* out, size_t capacity, const char* first, const char* second);
bool JoinPath(char* out, size_t capacity, const char* first, const char* second,
              const char* third);

// Joins a folder and a name that a directory search returned: a backslash goes between
// them always, unless the folder is empty or already ends with one. Unlike JoinPath, a
// leading '.' is part of the name (".svn", "._index.html"), not an extension. An empty
// name gives the folder unchanged. Cut and result as for JoinPath.
bool JoinFolderEntry(char* out, size_t capacity, const char* folder, const char* name);

}  // namespace qb
