// Binding to the help compiler: on Windows the library hha.dll and its entry
// HHA_CompileHHP; natively our compiler's core, called directly.
#pragma once

#include <cstdint>

#include "job/job_platform.h"

namespace qb {

// The fourth argument of HHA_CompileHHP; only the size member is set.
struct CompileOptions {
  uint32_t size;
  uint8_t reserved[304];
};
static_assert(sizeof(CompileOptions) == 308, "the compiler checks the block's size");

using CompilerCallback = int(QB_STDCALL*)(const char* text);
using CompileEntry = int(QB_STDCALL*)(const char* projectPath, CompilerCallback onMessage,
                                     CompilerCallback onProgress, CompileOptions* options);

// 0: loaded and resolved; -2: the library could not be loaded; -3: it has no entry
// HHA_CompileHHP (it is freed again). The current directory is not searched. Natively
// there is nothing to load: always 0.
int LoadHelpCompiler();
void UnloadHelpCompiler();
// -1 when no library is loaded; otherwise 0 once the compiler has returned.
int CompileProject(const char* projectPath);

// Test seam: the bare library name that LoadHelpCompiler loads ("hha.dll"); Windows.
void SetHelpCompilerLibraryNameForTesting(const char* bareName);

}  // namespace qb
