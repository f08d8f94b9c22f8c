// hha.dll: serves HHA_CompileHHP, the entry through which HTML Help Workshop's compiler
// library is called, on top of our own compiler core.
//
// Contract kept: four arguments (project path, message callback, progress callback,
// options block), all work on the calling thread, both callbacks __stdcall and called
// only from that thread, a 0 from the progress callback stops the compile. Of the options
// block only its leading size member is looked at; nothing is written to it. The result
// is nonzero when the .chm was written, 0 on an error or a stop.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include "hha/core/compiler.h"

using HhaTextCallback = int(__stdcall*)(const char* text);

extern "C" int __stdcall HHA_CompileHHP(const char* projectPath, HhaTextCallback onMessage,
                                        HhaTextCallback onProgress, const void* options) {
  // The block belongs to the caller; its first DWORD is its size and nothing in it
  // changes how we compile, so reading the size is as far as we go.
  if (options) {
    uint32_t size = 0;
    std::memcpy(&size, options, sizeof size);
    (void)size;
  }
  if (!projectPath) {
    if (onMessage) onMessage("Error: no project file was given.\r\n");
    return 0;
  }
  hha::CompileCallbacks callbacks;
  if (onMessage) callbacks.message = [onMessage](const std::string& t) { onMessage(t.c_str()); };
  if (onProgress)
    callbacks.progress = [onProgress](const std::string& t) { return onProgress(t.c_str()) != 0; };
  // Every file's status, not one per 20 ms: the caller counts them for its progress.
  callbacks.progressIntervalMs = 0;
  try {
    return hha::CompileProject(projectPath, callbacks) ? 1 : 0;
  } catch (const std::exception&) {
    // Out of memory is the only way the core throws; the temporary file stays behind
    // only if the process dies, so tell the user what happened.
    if (onMessage) onMessage("Error: the compiler ran out of memory.\r\n");
    return 0;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
