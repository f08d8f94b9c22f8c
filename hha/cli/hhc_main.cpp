// quillbinder-hhc: compiles an .hhp project into a .chm from the command line.
// Exit code 0 when the .chm was written, 1 otherwise (Microsoft's hhc.exe returns 1 on
// success; scripts calling ours need not know that quirk).
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "hha/core/compiler.h"
#include "support/native_file.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// Messages end in "\r\n" for the dialog; a console in text mode adds its own CR.
void Print(const std::string& text) {
  std::string t = text;
  if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) t.replace(t.size() - 2, 2, "\n");
  std::fputs(t.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  qb::NativeShareOneHeap();
  hha::CompileSettings settings;
  bool timing = false;
  std::string project;
  bool usage = false, help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fast") settings.fast = true;
    else if (arg == "--viewer-safe-pages") settings.viewerSafePages = true;
    else if (arg == "--timing") timing = true;
    else if (arg == "--help" || arg == "-h") help = true;
    else if (project.empty() && !arg.empty() && arg.rfind("--", 0) != 0) project = arg;
    else usage = true;
  }
  if (help || usage || project.empty()) {
    std::fputs("usage: quillbinder-hhc [--fast] [--viewer-safe-pages] [--timing] project.hhp\n"
               "Compiles an HTML Help project into the .chm file that it names.\n"
               "  --fast               compress for speed over size (about 1% larger)\n"
               "  --viewer-safe-pages  put every HTML page in treated for the HTML Help\n"
               "                       viewer: newest document mode, no scripts, no search\n"
               "                       box, a static header (the files on disk stay as\n"
               "                       they are)\n"
               "  --timing             tell how long the compile waited for the compressor and the indexer\n",
               help ? stdout : stderr);
    return 1;
  }
  // Ctrl+C stops the compile cleanly: no half-written .chm is left behind.
  std::signal(SIGINT, OnInterrupt);
  hha::CompileCallbacks callbacks;
  callbacks.message = Print;
  callbacks.progress = [](const std::string&) { return g_interrupted == 0; };
  try {
    hha::CompileStats stats;
    const bool ok = hha::CompileProject(project, callbacks, &stats, 0, settings);
    if (ok && timing) {
      std::printf("Waited %llu ms for the compressor; its workers were idle %llu ms.\n",
                  static_cast<unsigned long long>(stats.compressorWaitMs),
                  static_cast<unsigned long long>(stats.compressorIdleMs));
      std::printf("Waited %llu ms for the indexer; it was idle %llu ms.\n",
                  static_cast<unsigned long long>(stats.indexerWaitMs),
                  static_cast<unsigned long long>(stats.indexerIdleMs));
    }
    return ok ? 0 : 1;
  } catch (const std::exception&) {
    Print("Error: the compiler ran out of memory.\r\n");
    return 1;
  }
}
