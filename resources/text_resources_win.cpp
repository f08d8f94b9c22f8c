#include "resources/text_resources.h"

#include <windows.h>

namespace qb {

bool LoadTextResource(int id, const char** data, uint32_t* size) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "text");
  DWORD bytes = found ? SizeofResource(nullptr, found) : 0;
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* text = loaded ? LockResource(loaded) : nullptr;
  if (!text) return false;
  *data = static_cast<const char*>(text);
  *size = bytes;
  return true;
}

}  // namespace qb
