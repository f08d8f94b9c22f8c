#include "support/parent_stack.h"

#include <cstdlib>
#include <cstring>

namespace qb {
namespace {

void* DefaultReallocate(void* block, size_t bytes) { return std::realloc(block, bytes); }
void DefaultRelease(void* block) { std::free(block); }

}  // namespace

ParentSearchStack::ParentSearchStack()
    : reallocate(DefaultReallocate), release(DefaultRelease) {}

bool ParentSearchStack::Insert(uint32_t index, const ParentEntry& entry) {
  if (index > count) return false;
  if (count == capacity) {
    uint32_t step = growthStep ? growthStep : 1;
    if (capacity > UINT32_MAX - step) return false;
    uint64_t bytes = static_cast<uint64_t>(capacity + step) * sizeof(ParentEntry);
    if (bytes > SIZE_MAX) return false;
    void* grown = reallocate(elements, static_cast<size_t>(bytes));
    if (!grown) return false;
    elements = static_cast<ParentEntry*>(grown);
    capacity += step;
  }
  std::memmove(elements + index + 1, elements + index, (count - index) * sizeof(ParentEntry));
  elements[index] = entry;
  ++count;
  return true;
}

bool ParentSearchStack::RemoveAt(uint32_t index, ParentEntry* removed) {
  if (index >= count) return false;
  if (removed) *removed = elements[index];
  std::memmove(elements + index, elements + index + 1,
               (count - index - 1) * sizeof(ParentEntry));
  --count;
  return true;
}

void ParentSearchStack::ReleaseStorage() {
  if (elements) release(elements);
  elements = nullptr;
  count = 0;
  capacity = 0;
}

char* ParentSearchStack::CopyString(const char* text) const {
  size_t bytes = std::strlen(text) + 1;
  char* copy = static_cast<char*>(reallocate(nullptr, bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

}  // namespace qb
