#include "job/conversion_job.h"

#include <cstdio>
#include <vector>

namespace qb {

ConversionJob RunningJob;

JobReports& PlatformJobReports();  // job_control_win.cpp / job_control_posix.cpp

namespace {
JobReports* g_installed = nullptr;
}

void InstallJobReports(JobReports* reports) { g_installed = reports; }

std::string FormatReportOutput(va_list formatAndArgs) {
  va_list args;
  va_copy(args, formatAndArgs);
  const char* format = va_arg(args, const char*);
  va_list measure;
  va_copy(measure, args);
  int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string line;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    line.assign(buffer.data(), static_cast<size_t>(needed));
  }
  va_end(args);
  return line;
}

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
  } else if (kind == ProgressPercent) {
    reports.Percent(va_arg(args, int));
  } else {
    reports.Finished();
  }
  va_end(args);
  return result;
}

}  // namespace qb
