#include "support/native_file.h"

#include <windows.h>

namespace qb {
namespace {
NativeWriteHook g_writeHook = nullptr;
}

NativeFile NoFile() { return INVALID_HANDLE_VALUE; }

bool NativeCreateForWrite(const char* path, NativeFile* out) {
  *out = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  return *out != INVALID_HANDLE_VALUE;
}

bool NativeWrite(NativeFile file, const void* data, uint32_t count, uint32_t* written) {
  if (g_writeHook) return g_writeHook(file, data, count, written);
  DWORD done = 0;
  BOOL ok = WriteFile(file, data, count, &done, nullptr);
  *written = done;
  return ok != FALSE;
}

void NativeClose(NativeFile file) { CloseHandle(file); }

bool NativeFileExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool NativeDeleteFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool NativeSamePath(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

std::string NativePath(const char* path) { return path ? path : ""; }

void* NativeAlloc(uint32_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

void NativeFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void NativeShareOneHeap() {}

void SetNativeWriteHookForTesting(NativeWriteHook hook) { g_writeHook = hook; }

}  // namespace qb
