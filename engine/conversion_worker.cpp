#include "engine/conversion_worker.h"

#include <mutex>

#include "engine/about_page.h"
#include "engine/help_compiler.h"
#include "engine/job/temp_names.h"
#include "helpproject/contents_file_writer.h"
#include "helpproject/index_file_writer.h"
#include "helpproject/javadoc_stages.h"
#include "helpproject/project_file_writer.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace qb {
namespace {

// Held for a worker's whole run, clean-up included. A worker whose join timed out may
// still be deleting its temporary files; the next worker waits here before it takes
// over RunningJob, so neither the record nor same-named fresh files change under it.
std::mutex g_workerSlot;

void DeleteTemporaryFiles(const char* outputPath) {
  char name[kPathCapacity];
  for (const char* extension : kTemporaryExtensions)
    if (DeriveTempName(outputPath, extension, name)) NativeDeleteFile(name);
  DeleteAboutPage(outputPath);
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
  if (!classic) CopyCut(job.StartPage, kPathCapacity, tree.startPage.c_str());

  ReportProgress(ProgressStatus, "Creating project file");
  if (!WriteProjectFile(job.SourceIndexPath, job.OutputPath, job.Title, job.StartPage,
                        ProjectLanguage(tree.language).c_str(), /*listRootPages=*/!classic,
                        /*viewerSafePages=*/!classic))
    return 0;
  if (TestJobCancel()) return 0;

  ReportProgress(ProgressStatus, "Creating contents file");
  if (classic ? !WriteContentsFile(job.StartPage, job.SourceIndexPath, job.OutputPath)
              : !WriteJavadocContentsFile(tree, job.OutputPath))
    return 0;
  if (TestJobCancel()) return 0;

  ReportProgress(ProgressStatus, "Creating index file");
  if (classic ? !WriteIndexFile(job.OutputPath) : !WriteJavadocIndexFile(tree, job.OutputPath))
    return 0;
  if (TestJobCancel()) return 0;

  ReportProgress(ProgressStatus, "Compiling with help compiler");
  char project[kPathCapacity];
  DeriveTempName(job.OutputPath, ".hhp", project);
  if (CompileProject(project) != 0) ReportProgress(ProgressOutput, "Internal error calling HHA.DLL");
  return 0;
}

unsigned QB_STDCALL ConversionWorker(void* param) {
  std::lock_guard<std::mutex> slot(g_workerSlot);
  RunningJob = *static_cast<const ConversionJob*>(param);

  RunStages();
  if (TestJobCancel()) ReportProgress(ProgressOutput, "Cancelled by user");

  // Past the post the dialog may start the next job; the clean-up works on its own copy.
  char outputPath[kPathCapacity];
  CopyCut(outputPath, kPathCapacity, RunningJob.OutputPath);
  ReportProgress(ProgressFinished);
  DeleteTemporaryFiles(outputPath);
  return 0;
}

int QB_STDCALL OnCompilerMessage(const char* text) {
  return static_cast<int>(ReportProgress(ProgressOutput, "%s", text));
}

int QB_STDCALL OnCompilerProgress(const char* text) {
  if (TestJobCancel()) return 0;
  return static_cast<int>(ReportProgress(ProgressStatus, text));
}

}  // namespace qb
