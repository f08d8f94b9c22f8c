// The conversion job, the worker's reports to its window, and the cancel/pause word.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "support/path_join.h"

namespace qb {

// Copied whole, by value: the dialog fills one and the worker copies it at once.
struct ConversionJob {
  char SourceIndexPath[kPathCapacity];
  char OutputPath[kPathCapacity];
  char Title[kPathCapacity];
  char StartPage[kPathCapacity];
  volatile LONG Control;  // the JobControl word while the job runs
  HWND NotifyWindow;
  // Set by the worker before the project is written: the JavadocGeneration of the tree
  // (0, classic, until then). Later stages read it to treat non-classic pages.
  int Generation;
};

enum JobControl : LONG {
  JobRun = 0,
  JobCancel = 1,
  JobPause = 2,
};

constexpr UINT WM_JOB_PROGRESS = WM_USER + 10;

enum ProgressKind : WPARAM {
  ProgressStatus = 0,    // one text; sent; the receiver returns 1
  ProgressOutput = 1,    // a printf format and its arguments; sent; the receiver returns 0
  ProgressFinished = 2,  // no arguments; posted; the last report of a job
};

// The job the worker runs. Only the worker writes it (its first step); the dialog
// touches only its Control word, through SetJobControl.
extern ConversionJob RunningJob;

// Sends (kinds 0 and 1) or posts (kind 2) WM_JOB_PROGRESS to RunningJob.NotifyWindow,
// with lParam = the address of the arguments that follow the kind. Returns the
// receiver's result for sent kinds (0 when the window is gone), 0 for kind 2.
LRESULT ReportProgress(int kind, ...);

// Stores the value in the JobControl word and returns it; wakes a paused worker.
LONG SetJobControl(LONG value);

// The worker's test point: waits while the word is JobPause, then returns whether it
// is JobCancel.
bool TestJobCancel();

// Receiver side of WM_JOB_PROGRESS: the status text of a kind 0 report, and the
// formatted line of a kind 1 report (whole, however long it is).
const char* ProgressStatusText(LPARAM lParam);
std::string FormatProgressOutput(LPARAM lParam);

// The thread's entry; `param` is the dialog's ConversionJob. Returns 0.
unsigned __stdcall ConversionWorker(void* param);

// Runs the stages on RunningJob; returns 0 (outcomes are told through reports only).
int RunStages();

// Callbacks handed to the help compiler.
int __stdcall OnCompilerMessage(const char* text);
int __stdcall OnCompilerProgress(const char* text);

// Temporary file names derived from an output path (extension replaced as the shell's
// PathFindExtensionA finds it). False when the result would not fit in 259 characters;
// `out` then holds an empty string.
bool DeriveTempName(const char* outputPath, const char* extension, char (&out)[kPathCapacity]);
// The folder of outputPath plus `fileName`; false (and an empty string) when too long.
bool DeriveSiblingName(const char* outputPath, const char* fileName,
                       char (&out)[kPathCapacity]);

}  // namespace qb
