// Times the reading of a non-classic javadoc tree (detection, contents, index) and
// reports the process's peak memory. Portable, so it runs natively as well as under
// Wine. Usage: javadoc_benchmark <index.html> [runs] [output folder]
// The .hhc and .hhk are written to the output folder (default: beside index.html).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "helpproject/javadoc_sitemaps.h"
#include "helpproject/javadoc_tree.h"

namespace {

class QuietReporter : public qb::StageReporter {
 public:
  void Status(const std::string&) override {}
  void Output(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
  bool Cancelled() override { return false; }
};

double PeakMegabytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize / 1048576.0;
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
#endif
}

const char* GenerationName(qb::JavadocGeneration g) {
  switch (g) {
    case qb::JavadocGeneration::kClassic: return "classic";
    case qb::JavadocGeneration::kFramesLower: return "frames (JDK 7-8)";
    case qb::JavadocGeneration::kIframes: return "iframes (JDK 9-10)";
    case qb::JavadocGeneration::kFrameless: return "frameless (JDK 11+)";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: javadoc_benchmark <index.html> [runs] [output folder]\n");
    return 2;
  }
  int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string index = argv[1];
  qb::JavadocTree tree;
  if (!qb::InspectJavadocTree(index, &tree)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::string out = argc > 3 ? std::string(argv[3]) + "/" : tree.folder;
  std::printf("generation: %s, start page: %s, language: 0x%x (code page %u)\n",
              GenerationName(tree.generation), tree.startPage.c_str(), tree.language.lcid,
              tree.language.codePage);
  if (tree.classic()) return 0;
  QuietReporter reporter;
  double best = 1e9;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    qb::JavadocTree again;
    qb::InspectJavadocTree(index, &again);
    bool ok = qb::WriteJavadocContents(again, out + "bench.hhc", "https://quillbinder.org/",
                                       reporter) &&
              qb::WriteJavadocIndex(again, out + "bench.hhk", "https://quillbinder.org/",
                                    reporter);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) return 1;
    if (seconds < best) best = seconds;
    std::printf("run %d: %.3f s\n", run + 1, seconds);
  }
  std::printf("best: %.3f s, peak memory: %.1f MB\n", best, PeakMegabytes());
  return 0;
}
