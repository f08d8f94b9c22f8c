// The help compiler: reads an .hhp project, gathers its files and writes the .chm.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hha {

struct CompileCallbacks {
  // One message for the user, ending in "\r\n" (callers show it as it comes).
  std::function<void(const std::string& text)> message;
  // A short status text, called at least every ~20 ms of work; false stops the compile
  // at once.
  std::function<bool(const std::string& status)> progress;
  // Least time between two status texts (milestones always come). 0 delivers every one,
  // which makes the sequence independent of the machine's speed (tests).
  uint64_t progressIntervalMs = 20;
};

struct CompileStats {
  uint64_t pages = 0;        // HTML files compiled
  uint64_t treatedPages = 0; // of them, treated for the HTML Help viewer
  uint64_t otherFiles = 0;   // everything else taken from the project folder
  uint64_t inputBytes = 0;   // their total size
  uint64_t outputBytes = 0;  // size of the .chm
  uint64_t milliseconds = 0;
  int warnings = 0;
  bool stopped = false;      // the progress callback asked to stop
  std::string outputPath;
};

// Compiles the project at `projectPath` (a platform path, ANSI on Windows) into the file
// its "Compiled file" names. The .chm is first written to a temporary file beside the
// target and moved into place only on success; on an error or a stop the temporary file
// is removed and an existing .chm stays as it was. Missing files and bad project lines
// are warnings, not failures. `threads` is the compressor's thread count (0 = one per
// core). With `viewerSafePages` every HTML page goes in treated for the HTML Help viewer
// (page_treatment.h), as when the project asks for it; the files on disk are only read.
// True when the .chm was written.
bool CompileProject(const std::string& projectPath, const CompileCallbacks& callbacks,
                    CompileStats* stats = nullptr, unsigned threads = 0,
                    bool viewerSafePages = false);

// "1,234,567": the way the summary prints sizes.
std::string WithThousands(uint64_t n);

}  // namespace hha
