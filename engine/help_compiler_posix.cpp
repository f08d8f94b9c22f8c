// Natively the worker calls our compiler's core itself, with the callbacks and contract
// of HHA_CompileHHP as hha.dll serves it.
#include "engine/help_compiler.h"

#include <exception>
#include <string>

#include "engine/conversion_worker.h"
#include "hha/core/compiler.h"

namespace qb {
namespace {
bool g_loaded = false;
}

void SetHelpCompilerLibraryNameForTesting(const char*) {}

int LoadHelpCompiler() {
  g_loaded = true;
  return 0;
}

void UnloadHelpCompiler() { g_loaded = false; }

int CompileProject(const char* projectPath) {
  if (!g_loaded) return -1;
  hha::CompileCallbacks callbacks;
  callbacks.message = [](const std::string& text) { OnCompilerMessage(text.c_str()); };
  callbacks.progress = [](const std::string& text) {
    return OnCompilerProgress(text.c_str()) != 0;
  };
  callbacks.progressIntervalMs = 0;  // every file, so that the job can count them
  try {
    hha::CompileProject(projectPath, callbacks);
  } catch (const std::exception&) {
    OnCompilerMessage("Error: the compiler ran out of memory.\r\n");
  }
  return 0;
}

}  // namespace qb
