#include "engine/conversion_worker.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "engine/about_page.h"
#include "engine/help_compiler.h"
#include "job/temp_names.h"
#include "helpproject/contents_file_writer.h"
#include "helpproject/conversion_report.h"
#include "helpproject/index_file_writer.h"
#include "helpproject/javadoc_stages.h"
#include "helpproject/project_file_writer.h"
#include "support/ascii.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace qb {
namespace {

// Held for a worker's whole run, clean-up included. A worker whose join timed out may
// still be deleting its temporary files; the next worker waits here before it takes
// over RunningJob, so neither the record nor same-named fresh files change under it.
std::mutex g_workerSlot;

ConversionReport g_report;

// Shares of the job, in percent, at which its parts begin: the files are written
// quickly, the pages are read once by the link check and once more, with compression,
// by the compiler, which takes most of the time.
constexpr int kPercentProject = 2, kPercentContents = 4, kPercentIndex = 8,
              kPercentLinks = 10, kPercentCompile = 25, kPercentCompiled = 98;

int g_lastPercent = -1;
uint64_t g_compiledFiles = 0;   // files the compiler has said it compiles
std::string g_lastCompiling;    // the text of its last "Compiling " status

void ReportPercent(int percent) {
  if (percent > 100) percent = 100;
  if (percent <= g_lastPercent) return;
  g_lastPercent = percent;
  ReportProgress(ProgressPercent, percent);
}

int Share(int from, int to, uint64_t done, uint64_t total) {
  if (total == 0) return from;
  if (done > total) done = total;
  return from + static_cast<int>((to - from) * done / total);
}

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

const char* GenerationName(JavadocGeneration generation) {
  switch (generation) {
    case JavadocGeneration::kFramesLower: return "frames";
    case JavadocGeneration::kIframes: return "iframes";
    case JavadocGeneration::kFrameless: return "frameless";
    default: return "classic";
  }
}

std::string StartReason(const JavadocTree& tree, const ConversionJob& job) {
  if (tree.generation == JavadocGeneration::kFrameless)
    return std::strcmp(job.StartPage, "index.html") == 0
               ? "index.html is the overview"
               : "the page that index.html redirects to";
  std::string page;
  ReadFilePrefix(job.SourceIndexPath, 1 << 20, &page);
  return page.find("classFrame") != std::string::npos
             ? "the page of index.html's classFrame frame"
             : "index.html names no classFrame frame: the default";
}

// The report's reading of the tree, before the compiler reads it again.
bool CheckTree(const JavadocTree& tree, const ConversionJob& job) {
  const uint64_t start = NowMs();
  ConversionReport& r = g_report;
  r.generation = GenerationName(tree.generation);
  r.lcid = tree.language.lcid;
  r.languageName = tree.language.name;
  r.codePage = tree.language.codePage;
  r.startPage = job.StartPage;
  r.startReason = StartReason(tree, job);
  r.helpFile = CompiledFileOf(job);
  CountTreeLists(tree, &r);
  CompareListWithFolders(tree, &r);
  bool cancelled = false;
  CheckLinks(tree, kAboutPageName, &r, [&](uint64_t done, uint64_t total) {
    if (TestJobCancel()) {
      cancelled = true;
      return false;
    }
    ReportPercent(Share(kPercentLinks, kPercentCompile, done, total));
    return true;
  });
  r.milliseconds += NowMs() - start;
  return !cancelled;
}

void ReportSummary(const ConversionJob& job) {
  const uint64_t start = NowMs();
  char contents[kPathCapacity], index[kPathCapacity];
  if (DeriveTempName(job.OutputPath, ".hhc", contents) &&
      DeriveTempName(job.OutputPath, ".hhk", index))
    CountSitemaps(contents, index, /*countReferences=*/job.Generation != 0, &g_report);
  g_report.milliseconds += NowMs() - start;
  for (const std::string& line : SummaryLines(g_report))
    ReportProgress(ProgressOutput, "%s\r\n", line.c_str());
}

void DeleteTemporaryFiles(const char* outputPath) {
  char name[kPathCapacity];
  for (const char* extension : kTemporaryExtensions)
    if (DeriveTempName(outputPath, extension, name)) NativeDeleteFile(name);
  DeleteAboutPage(outputPath);
}

// A classic reading of a page that is no Javadoc index fails on its first frame page;
// the user is better told what the page lacks.
bool LooksLikeJavadoc(const char* indexPath) {
  char sibling[kPathCapacity];
  for (const char* name : {"overview-frame.html", "package-list", "element-list"})
    if (DeriveSiblingName(indexPath, name, sibling) && NativeFileExists(sibling)) return true;
  std::string page;
  if (!ReadFilePrefix(indexPath, 1 << 20, &page)) return true;  // its own message comes later
  for (char& c : page) c = AsciiLower(c);
  return page.find("<frame") != std::string::npos || page.find("<iframe") != std::string::npos;
}

}  // namespace

int RunStages() {
  ConversionJob& job = RunningJob;

  ReportProgress(ProgressStatus, "Creating temporary files");
  if (!WriteAboutPage(job.OutputPath)) return 0;

  // Trees that the classic reading finds no frame in (JDK 7 and later) get their own
  // start page and readers; classic trees keep everything the job setup found.
  JavadocTree tree;
  InspectJobTree(job.SourceIndexPath, &tree);
  job.Generation = static_cast<int>(tree.generation);
  const bool classic = tree.classic();
  if (classic && !LooksLikeJavadoc(job.SourceIndexPath)) {
    ReportProgress(ProgressOutput, "%s: not a Javadoc index page: no frames, no list file",
                   job.SourceIndexPath);
    return 0;
  }
  if (!classic) CopyCut(job.StartPage, kPathCapacity, tree.startPage.c_str());

  ReportPercent(kPercentProject);
  ReportProgress(ProgressStatus, "Creating project file");
  if (!WriteProjectFile(job.SourceIndexPath, job.OutputPath, job.Title, job.StartPage,
                        ProjectLanguage(tree.language).c_str(), /*listRootPages=*/!classic,
                        /*viewerSafePages=*/!classic, job.CompiledPath))
    return 0;
  if (TestJobCancel()) return 0;

  ReportPercent(kPercentContents);
  ReportProgress(ProgressStatus, "Creating contents file");
  if (classic ? !WriteContentsFile(job.StartPage, job.SourceIndexPath, job.OutputPath)
              : !WriteJavadocContentsFile(tree, job.OutputPath))
    return 0;
  if (TestJobCancel()) return 0;

  ReportPercent(kPercentIndex);
  ReportProgress(ProgressStatus, "Creating index file");
  if (classic ? !WriteIndexFile(job.OutputPath) : !WriteJavadocIndexFile(tree, job.OutputPath))
    return 0;
  if (TestJobCancel()) return 0;


  ReportPercent(kPercentLinks);
  ReportProgress(ProgressStatus, "Compiling with help compiler");
  if (!CheckTree(tree, job)) return 0;
  ReportPercent(kPercentCompile);
  char project[kPathCapacity];
  DeriveTempName(job.OutputPath, ".hhp", project);
  if (CompileProject(project) != 0) {
    ReportProgress(ProgressOutput, "Internal error calling HHA.DLL");
    return 0;
  }
  // Held back while the compiler ran; shown grouped even after a cancel.
  for (const std::string& line : WarningLines(g_report))
    ReportProgress(ProgressOutput, "%s\r\n", line.c_str());
  if (TestJobCancel()) return 0;
  ReportSummary(job);
  ReportPercent(100);
  return 0;
}

unsigned QB_STDCALL ConversionWorker(void* param) {
  std::lock_guard<std::mutex> slot(g_workerSlot);
  RunningJob = *static_cast<const ConversionJob*>(param);
  g_report = ConversionReport();
  g_lastPercent = -1;
  g_compiledFiles = 0;
  g_lastCompiling.clear();
  ReportPercent(0);

  RunStages();
  if (TestJobCancel()) ReportProgress(ProgressOutput, "Cancelled by user");

  // Past the post the dialog may start the next job; the clean-up works on its own copy.
  char outputPath[kPathCapacity];
  CopyCut(outputPath, kPathCapacity, RunningJob.OutputPath);
  const bool keep = RunningJob.KeepProject != 0;
  ReportProgress(ProgressFinished);
  if (!keep) DeleteTemporaryFiles(outputPath);
  return 0;
}

const ConversionReport& RunningReport() { return g_report; }

bool IsStageStatus(const char* text) {
  for (const char* stage : {"Creating temporary files", "Creating project file",
                            "Creating contents file", "Creating index file",
                            "Compiling with help compiler"})
    if (std::strcmp(text, stage) == 0) return true;
  return false;
}

int QB_STDCALL OnCompilerMessage(const char* text) {
  if (TakeCompilerMessage(text, &g_report)) return 0;
  return static_cast<int>(ReportProgress(ProgressOutput, "%s", text));
}

int QB_STDCALL OnCompilerProgress(const char* text) {
  if (TestJobCancel()) return 0;
  // Our compiler tells each file it takes in as "Compiling NAME" (a large one more than
  // once); the tree's files are what it can take in.
  if (std::strncmp(text, "Compiling ", 10) == 0 && g_lastCompiling != text) {
    g_lastCompiling = text;
    ++g_compiledFiles;
    ReportPercent(Share(kPercentCompile, kPercentCompiled, g_compiledFiles, g_report.filesInTree));
  }
  return static_cast<int>(ReportProgress(ProgressStatus, text));
}

}  // namespace qb
