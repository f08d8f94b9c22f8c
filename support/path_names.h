// The file-name and extension parts of a path, found as the shell's PathFindFileNameA
// and PathFindExtensionA find them, and their replacement in a bounded buffer. Portable
// (single-byte code pages); no system calls.
#pragma once

#include <cstddef>

namespace qb {

// The file-name part: what follows the last '\\', '/' or ':' that is followed by a
// character other than a separator. So "C:\docs\a.html" gives "a.html", "a\b\" gives
// "b\", "C:" gives "C:", and a path without separators is its own name. Never null for
// a non-null path; null for null.
const char* FindFileName(const char* path);
char* FindFileName(char* path);

// The extension: the last '.' of the last path component provided no blank follows it;
// otherwise the terminating NUL. "a.b.html" gives ".html", "a.b c" gives "" (at the
// end), "x.d\name" gives "". '\\' and '/' both end a component. Null for null.
const char* FindExtension(const char* path);
char* FindExtension(char* path);

// Replaces the extension of the NUL-terminated path in `buffer` (capacity bytes) with
// `extension` (".hhp"), appending it when there is none. The result is cut to
// capacity - 1 characters; the return value tells whether it fitted. `extension` must
// not point into `buffer`.
bool ReplaceExtension(char* buffer, size_t capacity, const char* extension);

// Replaces the file-name part of the path in `buffer` with `name` (not pointing into
// `buffer`); cut as above.
bool ReplaceFileName(char* buffer, size_t capacity, const char* name);

// Copies `source` into `out` (capacity bytes), cut to capacity - 1 characters; true when
// it fitted. A capacity of 0 writes nothing and returns false.
bool CopyCut(char* out, size_t capacity, const char* source);

}  // namespace qb
