// The worker thread of a conversion: the stage sequence on RunningJob, and the callbacks
// through which the help compiler's messages and progress become the job's reports.
#pragma once

#include "job/conversion_job.h"
#include "helpproject/conversion_report.h"

namespace qb {

// The thread's entry; `param` is the caller's ConversionJob, copied into RunningJob at
// once. Returns 0.
unsigned QB_STDCALL ConversionWorker(void* param);

// Runs the stages on RunningJob; returns 0 (outcomes are told through reports only).
int RunStages();

// True for the status texts that open a stage (as opposed to the texts within one).
bool IsStageStatus(const char* text);

// The report of the last job, complete once its worker has ended; read it only then.
const ConversionReport& RunningReport();

// Callbacks handed to the help compiler: a message becomes an output line (shown
// literally); a progress text a status line, or 0 (stop) when the job was cancelled.
int QB_STDCALL OnCompilerMessage(const char* text);
int QB_STDCALL OnCompilerProgress(const char* text);

}  // namespace qb
