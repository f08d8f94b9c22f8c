// Times stages 1 to 4 of a job (about page, project, contents, index) on one Javadoc
// folder and reports the process's peak memory. Usage: stages_benchmark <index.html>
// [runs]. Reports go nowhere (no window), as cheap as a dialog that drops them.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/about_page.h"
#include "job/conversion_job.h"
#include "job/temp_names.h"
#include "helpproject/contents_file_writer.h"
#include "helpproject/index_file_writer.h"
#include "helpproject/javadoc_stages.h"
#include "helpproject/project_file_writer.h"
#include "support/path_names.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// The start page as the dialog finds it: the src of the frame named classFrame.
void FindStartPage(const char* indexPath, char (&startPage)[qb::kPathCapacity]) {
  qb::CopyCut(startPage, qb::kPathCapacity, "overview-summary.html");
  FILE* f = std::fopen(indexPath, "rb");
  if (!f) return;
  static char page[1 << 16];
  size_t n = std::fread(page, 1, sizeof page - 1, f);
  std::fclose(f);
  page[n] = 0;
  for (char* at = std::strstr(page, "<FRAME "); at; at = std::strstr(at + 1, "<FRAME ")) {
    char* end = std::strchr(at, '>');
    char* name = std::strstr(at, "name=\"classFrame\"");
    char* src = std::strstr(at, "src=\"");
    if (!end || !name || name > end || !src || src > end) continue;
    char* close = std::strchr(src + 5, '"');
    std::string value(src + 5, close);
    qb::CopyCut(startPage, qb::kPathCapacity, value.c_str());
    return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: stages_benchmark <index.html> [runs]\n");
    return 2;
  }
  int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  qb::ConversionJob& job = qb::RunningJob;
  std::memset(&job, 0, sizeof job);
  qb::CopyCut(job.SourceIndexPath, qb::kPathCapacity, argv[1]);
  qb::CopyCut(job.OutputPath, qb::kPathCapacity, argv[1]);
  qb::ReplaceFileName(job.OutputPath, qb::kPathCapacity, "bench.chm");
  qb::CopyCut(job.Title, qb::kPathCapacity, "Benchmark");
  FindStartPage(argv[1], job.StartPage);

  double best[4] = {1e9, 1e9, 1e9, 1e9};
  const char* names[4] = {"about page", "project file", "contents file", "index file"};
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER t[5];
    QueryPerformanceCounter(&t[0]);
    bool ok = qb::WriteAboutPage(job.OutputPath);
    QueryPerformanceCounter(&t[1]);
    // As the worker: the tree is looked at before the project is written.
    qb::JavadocTree tree;
    qb::InspectJobTree(job.SourceIndexPath, &tree);
    if (!tree.classic()) qb::CopyCut(job.StartPage, qb::kPathCapacity, tree.startPage.c_str());
    ok = qb::WriteProjectFile(job.SourceIndexPath, job.OutputPath, job.Title, job.StartPage,
                              qb::ProjectLanguage(tree.language).c_str(), !tree.classic()) &&
         ok;
    QueryPerformanceCounter(&t[2]);
    ok = (tree.classic() ? qb::WriteContentsFile(job.StartPage, job.SourceIndexPath, job.OutputPath)
                         : qb::WriteJavadocContentsFile(tree, job.OutputPath)) &&
         ok;
    QueryPerformanceCounter(&t[3]);
    ok = (tree.classic() ? qb::WriteIndexFile(job.OutputPath)
                         : qb::WriteJavadocIndexFile(tree, job.OutputPath)) &&
         ok;
    QueryPerformanceCounter(&t[4]);
    if (!ok) {
      std::fprintf(stderr, "a stage failed\n");
      return 1;
    }
    for (int i = 0; i < 4; ++i) {
      double s = Seconds(t[i], t[i + 1]);
      if (s < best[i]) best[i] = s;
    }
  }
  double total = 0;
  for (int i = 0; i < 4; ++i) {
    std::printf("%-14s %8.1f ms (best of %d)\n", names[i], best[i] * 1000, runs);
    total += best[i];
  }
  std::printf("%-14s %8.1f ms\n", "stages 1-4", total * 1000);

  const char* exts[3] = {".hhp", ".hhc", ".hhk"};
  for (const char* ext : exts) {
    char name[qb::kPathCapacity];
    if (qb::DeriveTempName(job.OutputPath, ext, name)) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        std::printf("%s: %lu bytes\n", ext, data.nFileSizeLow);
      DeleteFileA(name);
    }
  }
  qb::DeleteAboutPage(job.OutputPath);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("peak working set %.1f MiB, peak private bytes %.1f MiB\n",
              memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);
  return 0;
}
