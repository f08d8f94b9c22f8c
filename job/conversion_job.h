// The conversion job, the worker's reports, and the cancel/pause word: the lowest piece
// of the engine, which every stage reports through.
#pragma once

#include <cstdarg>
#include <string>

#include "job/job_platform.h"
#include "support/path_join.h"

namespace qb {

// Copied whole, by value: the dialog fills one and the worker copies it at once.
struct ConversionJob {
  char SourceIndexPath[kPathCapacity];
  char OutputPath[kPathCapacity];
  char Title[kPathCapacity];
  char StartPage[kPathCapacity];
  volatile JobWord Control;  // the JobControl word while the job runs
  JobWindow NotifyWindow;
  // Set by the worker before the project is written: the JavadocGeneration of the tree
  // (0, classic, until then). Later stages read it to treat non-classic pages.
  int Generation;
  // Where the help file goes when not beside the pages (the console program's -o); empty:
  // OutputPath. The temporary files stay derived from OutputPath either way.
  char CompiledPath[kPathCapacity];
  // Nonzero: the project, contents, index and about page are left for inspection.
  int KeepProject;
};

// The help file's path: CompiledPath, or OutputPath when that is empty.
inline const char* CompiledFileOf(const ConversionJob& job) {
  return job.CompiledPath[0] ? job.CompiledPath : job.OutputPath;
}

enum JobControl : JobWord {
  JobRun = 0,
  JobCancel = 1,
  JobPause = 2,
};

// WM_USER + 10: the message by which the Windows reports reach their window.
constexpr unsigned WM_JOB_PROGRESS = 0x0400 + 10;

enum ProgressKind : JobKindParam {
  ProgressStatus = 0,    // one text; sent; the receiver returns 1
  ProgressOutput = 1,    // a printf format and its arguments; sent; the receiver returns 0
  ProgressFinished = 2,  // no arguments; posted; the last report of a job
  ProgressPercent = 3,   // one int, 0-100, the share of the job done; sent; returns 0
};

// The job the worker runs. Only the worker writes it (its first step); the dialog
// touches only its Control word, through SetJobControl.
extern ConversionJob RunningJob;

// Where the running job's reports go. Status and Output are delivered before the call
// returns (the worker waits, so the reports stay in order and their texts valid);
// Finished is the last report of a job and is not waited for.
class JobReports {
 public:
  virtual ~JobReports() = default;
  // The new status line; the result goes back to the reporter (1: handled).
  virtual JobResult Status(const char* text) = 0;
  // `formatAndArgs` starts at a printf format, which its arguments follow.
  virtual JobResult Output(va_list formatAndArgs) = 0;
  virtual void Finished() = 0;
  // The share of the job done, 0-100, told when it changes.
  virtual void Percent(int) {}
};

// The line of a kind 1 report: `formatAndArgs` (as JobReports::Output gets it) formatted
// by printf rules, whole, however long it is.
std::string FormatReportOutput(va_list formatAndArgs);

// Sets where the reports of the jobs from now on go; nullptr restores the platform's
// own: on Windows WM_JOB_PROGRESS to RunningJob.NotifyWindow (sent for kinds 0 and 1
// with lParam = the address of the arguments that follow the kind, posted for kind 2),
// natively none (a status returns 1, an output line 0). Not while a job runs.
void InstallJobReports(JobReports* reports);

// Reports to the installed receiver: kind 0 with one text, kind 1 with a printf format
// and its arguments, kind 2 with nothing, kind 3 with one int. Returns the receiver's result for kinds 0 and
// 1 (0 when the Windows window is gone), 0 for kind 2.
JobResult ReportProgress(int kind, ...);

// Stores the value in the JobControl word and returns it; wakes a paused worker. Safe
// to call from a signal handler natively.
JobWord SetJobControl(JobWord value);

// The worker's test point: waits while the word is JobPause, then returns whether it
// is JobCancel.
bool TestJobCancel();

}  // namespace qb
