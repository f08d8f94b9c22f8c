#include "engine/help_compiler.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "engine/conversion_worker.h"
#include "support/scoped_win.h"

namespace qb {
namespace {

// The program unloads the library as it ends, and a worker whose join timed out may
// still be inside the compiler then: freeing the code under it would crash it. A library
// let go while a compile runs is kept until the last compile has returned.
std::mutex g_lock;
ScopedModule g_library;
CompileEntry g_entry = nullptr;
int g_compilesInside = 0;
std::vector<ScopedModule> g_retired;
const char* g_libraryName = "hha.dll";

// Under g_lock.
void LetGoOfLibrary() {
  g_entry = nullptr;
  if (g_compilesInside > 0)
    g_retired.push_back(std::move(g_library));
  else
    g_library.reset();
}

}  // namespace

void SetHelpCompilerLibraryNameForTesting(const char* bareName) { g_libraryName = bareName; }

int LoadHelpCompiler() {
  std::lock_guard<std::mutex> lock(g_lock);
  LetGoOfLibrary();
  // With the bare name the usual search order applies, so the copy beside the program
  // wins; only the current directory goes, or a planted hha.dll in a downloaded
  // documentation folder would be loaded into the program. SetDllDirectoryA("") is the
  // documented way; some Windows-compatible loaders ignore an empty string, so for the
  // load itself the current directory is also the program's own folder.
  SetDllDirectoryA("");
  char previous[MAX_PATH];
  DWORD kept = GetCurrentDirectoryA(MAX_PATH, previous);
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  bool moved = false;
  if (kept > 0 && kept < MAX_PATH && length > 0 && length < MAX_PATH) {
    *PathFindFileNameA(program) = 0;
    moved = SetCurrentDirectoryA(program) != FALSE;
  }
  g_library.reset(LoadLibraryA(g_libraryName));
  if (moved) SetCurrentDirectoryA(previous);
  if (!g_library) return -2;
  g_entry = reinterpret_cast<CompileEntry>(
      reinterpret_cast<void*>(GetProcAddress(g_library.get(), "HHA_CompileHHP")));
  if (!g_entry) {
    g_library.reset();
    return -3;
  }
  return 0;
}

void UnloadHelpCompiler() {
  std::lock_guard<std::mutex> lock(g_lock);
  LetGoOfLibrary();
}

int CompileProject(const char* projectPath) {
  CompileEntry entry;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_library || !g_entry) return -1;
    entry = g_entry;
    ++g_compilesInside;
  }
  CompileOptions options;
  std::memset(&options, 0, sizeof options);
  options.size = sizeof options;
  // Balanced only when it took: a failed initialisation must not be undone.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  entry(projectPath, &OnCompilerMessage, &OnCompilerProgress, &options);
  if (SUCCEEDED(com)) CoUninitialize();
  std::lock_guard<std::mutex> lock(g_lock);
  if (--g_compilesInside == 0) g_retired.clear();
  return 0;
}

}  // namespace qb
