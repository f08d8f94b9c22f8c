// The few operating-system file calls that the file access classes need, so that their
// logic builds and is tested on Windows and natively alike.
#pragma once

#include <cstdint>
#include <string>

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

// True when the path names any file-system entry (a file or a folder).
bool NativeFileExists(const char* path);
// Deletes a file; false when it could not be deleted.
bool NativeDeleteFile(const char* path);
// True when two paths name the same file as the system compares names: case-insensitive
// on Windows (lstrcmpiA), byte for byte elsewhere.
bool NativeSamePath(const char* a, const char* b);

// Natively a path may be written the Windows way, and the writers do: '\\' separates
// like '/' (so a name holding a backslash cannot be reached). This is the path as the
// system takes it: on Windows unchanged.
std::string NativePath(const char* path);

// Heap blocks of the file access classes (the process heap on Windows).
void* NativeAlloc(uint32_t bytes);
void NativeFree(void* block);
// Serves every thread of the process from one heap. glibc gives each thread that
// allocates a heap of its own, and what a thread frees stays in its heap: the help
// compiler's page indexer then peaked ~2.5 MiB higher than with one heap, for no
// measurable speed. Call at a program's start, before its threads allocate. Windows
// has one process heap: nothing to do.
void NativeShareOneHeap();

// Test seam: when set, NativeWrite calls this instead of the system.
using NativeWriteHook = bool (*)(NativeFile file, const void* data, uint32_t count,
                                 uint32_t* written);
void SetNativeWriteHookForTesting(NativeWriteHook hook);

}  // namespace qb
