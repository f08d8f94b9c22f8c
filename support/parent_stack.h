// The directory walker's stack of suspended parent searches: a growable array that
// grows by a fixed step and reports a failed allocation instead of failing later.
// Portable, so that its memory handling is tested under the sanitizers too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// One suspended level: the parent's search handle and a heap copy of its relative
// directory (taken with the stack's own `reallocate`, released with its `release`).
struct ParentEntry {
  void* searchHandle;
  char* relativeDir;
};

struct ParentSearchStack {
  uint32_t count = 0;
  uint32_t capacity = 0;
  // One element at a time keeps the stack exactly as large as the deepest level seen.
  uint32_t growthStep = 1;
  // realloc and free semantics; a test may put in ones that fail.
  void* (*reallocate)(void* block, size_t bytes);
  void (*release)(void* block);
  ParentEntry* elements = nullptr;

  ParentSearchStack();
  ParentSearchStack(const ParentSearchStack&) = delete;
  ParentSearchStack& operator=(const ParentSearchStack&) = delete;
  ~ParentSearchStack() { ReleaseStorage(); }

  // Inserts at `index` (0 .. count), moving later elements up. False, with the stack
  // unchanged, for an index past the end or when the storage cannot grow.
  bool Insert(uint32_t index, const ParentEntry& entry);
  // Removes the element at `index` into *removed (if given), moving later elements
  // down. False for an index past the last element.
  bool RemoveAt(uint32_t index, ParentEntry* removed);
  bool Push(const ParentEntry& entry) { return Insert(count, entry); }
  bool Pop(ParentEntry* removed) { return count > 0 && RemoveAt(count - 1, removed); }
  // Frees the storage (not what the elements point to); count and capacity become 0.
  void ReleaseStorage();
  // A heap copy of `text` taken with `reallocate`, or null.
  char* CopyString(const char* text) const;
};

}  // namespace qb
