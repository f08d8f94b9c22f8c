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
  // How the page analysis (this thread) and the compressor's workers overlapped: time
  // this thread waited for compressed output, and time the workers had nothing to do.
  uint64_t compressorWaitMs = 0;
  uint64_t compressorIdleMs = 0;
  // The same for the thread that indexes the pages: time this thread waited for it
  // (its backlog full, or at the end), and time it had no page to index.
  uint64_t indexerWaitMs = 0;
  uint64_t indexerIdleMs = 0;
};

// What the caller asks beyond what the project says.
struct CompileSettings {
  // Compress for speed over size (about a third less compression time for about 1% more
  // bytes).
  bool fast = false;
  // Every HTML page goes in treated for the HTML Help viewer (page_treatment.h), as when
  // the project asks for it; the files on disk are only read.
  bool viewerSafePages = false;
};

// Compiles the project at `projectPath` (a platform path, ANSI on Windows) into the file
// its "Compiled file" names. The .chm is first written to a temporary file beside the
// target and moved into place only on success; on an error or a stop the temporary file
// is removed and an existing .chm stays as it was. Missing files and bad project lines
// are warnings, not failures. `threads` is the compressor's thread count (0 = one per
// core). True when the .chm was written.
bool CompileProject(const std::string& projectPath, const CompileCallbacks& callbacks,
                    CompileStats* stats = nullptr, unsigned threads = 0,
                    const CompileSettings& settings = CompileSettings());

// What one project may ask of the compiler. A project beyond any of them is refused
// with an error that says which, and nothing is written: each guards the machine (or
// the readers of the help file) against a hostile or broken project.
struct CompileLimits {
  // Bytes of all files together, and so of any one file. Files are read whole into
  // the memory of a 32-bit process, and the C library's file positions there are
  // signed 32-bit: 2 GiB - 1 is the most that fits both.
  uint64_t sectionBytes = 0x7FFFFFFF;
  // Distinct file names a project may reach, found or missing. Each costs a directory
  // entry and a few hundred bytes of bookkeeping; the largest Javadoc trees have
  // 30,000 pages, and a million keeps a 32-bit process well inside its memory.
  uint64_t files = 1000000;
  // Links followed one after the other from a file the project names. Javadoc reaches
  // every page within a dozen; only a generated trap goes on for thousands.
  uint32_t linkDepth = 10000;
  // Nested lists in a contents or index file. Readers build the tree one level per
  // list, often recursively; real contents go a few levels deep.
  uint32_t sitemapDepth = 100;
};

// Lets tests reach the limits with small inputs; nullptr restores the defaults above.
void SetCompileLimitsForTesting(const CompileLimits* limits);

// "1,234,567": the way the summary prints sizes.
std::string WithThousands(uint64_t n);

}  // namespace hha
