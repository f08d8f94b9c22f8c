// The few operating-system file calls that the file access classes need, so that their
// logic builds and is tested on Windows and natively alike.
#pragma once

#include <cstdint>

namespace qb {

#ifdef _WIN32
using NativeFile = void*;  // HANDLE
#else
using NativeFile = intptr_t;  // file descriptor
#endif

// INVALID_HANDLE_VALUE on Windows, -1 elsewhere.
NativeFile NoFile();

// Creates (or truncates) a file for exclusive writing. False, and NoFile() in *out, on
// failure.
bool NativeCreateForWrite(const char* path, NativeFile* out);

// One write call; *written receives what the system reports as written.
bool NativeWrite(NativeFile file, const void* data, uint32_t count, uint32_t* written);

void NativeClose(NativeFile file);

// Heap blocks of the file access classes (the process heap on Windows).
void* NativeAlloc(uint32_t bytes);
void NativeFree(void* block);

// Test seam: when set, NativeWrite calls this instead of the system.
using NativeWriteHook = bool (*)(NativeFile file, const void* data, uint32_t count,
                                 uint32_t* written);
void SetNativeWriteHookForTesting(NativeWriteHook hook);

}  // namespace qb
