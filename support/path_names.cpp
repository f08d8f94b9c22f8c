#include "support/path_names.h"

#include <cstring>

namespace qb {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Writes `tail` at out + offset, cut to the buffer. offset < capacity.
bool PutTail(char* out, size_t capacity, size_t offset, const char* tail) {
  return CopyCut(out + offset, capacity - offset, tail);
}

// A buffer that holds no terminator is cut to its last byte rather than read past.
void TerminateInside(char* buffer, size_t capacity) {
  if (!std::memchr(buffer, '\0', capacity)) buffer[capacity - 1] = '\0';
}

}  // namespace

const char* FindFileName(const char* path) {
  if (!path) return nullptr;
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if ((IsSeparator(*p) || *p == ':') && p[1] && !IsSeparator(p[1])) name = p + 1;
  }
  return name;
}

char* FindFileName(char* path) {
  return const_cast<char*>(FindFileName(static_cast<const char*>(path)));
}

const char* FindExtension(const char* path) {
  if (!path) return nullptr;
  const char* dot = nullptr;
  const char* p = path;
  for (; *p; ++p) {
    if (IsSeparator(*p) || *p == ' ')
      dot = nullptr;
    else if (*p == '.')
      dot = p;
  }
  return dot ? dot : p;
}

char* FindExtension(char* path) {
  return const_cast<char*>(FindExtension(static_cast<const char*>(path)));
}

bool CopyCut(char* out, size_t capacity, const char* source) {
  if (!capacity) return false;
  size_t n = 0;
  while (source && source[n] && n + 1 < capacity) {
    out[n] = source[n];
    ++n;
  }
  out[n] = '\0';
  return !source || !source[n];
}

bool ReplaceExtension(char* buffer, size_t capacity, const char* extension) {
  if (!capacity) return false;
  TerminateInside(buffer, capacity);
  size_t offset = static_cast<size_t>(FindExtension(buffer) - buffer);
  return PutTail(buffer, capacity, offset, extension);
}

bool ReplaceFileName(char* buffer, size_t capacity, const char* name) {
  if (!capacity) return false;
  TerminateInside(buffer, capacity);
  size_t offset = static_cast<size_t>(FindFileName(buffer) - buffer);
  return PutTail(buffer, capacity, offset, name);
}

}  // namespace qb
