#include "engine/job/conversion_job.h"

namespace qb {

ConversionJob RunningJob;

JobReports& PlatformJobReports();  // job_control_win.cpp / job_control_posix.cpp

namespace {
JobReports* g_installed = nullptr;
}

void InstallJobReports(JobReports* reports) { g_installed = reports; }

JobResult ReportProgress(int kind, ...) {
  JobReports& reports = g_installed ? *g_installed : PlatformJobReports();
  va_list args;
  va_start(args, kind);
  JobResult result = 0;
  if (kind == ProgressStatus) {
    const char* text = va_arg(args, const char*);
    result = reports.Status(text);
  } else if (kind == ProgressOutput) {
    result = reports.Output(args);
  } else {
    reports.Finished();
  }
  va_end(args);
  return result;
}

}  // namespace qb
