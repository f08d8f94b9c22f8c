// The job's reports as window messages and the cancel word's pause, on Windows.
#include "job/conversion_job.h"
#include "job/window_reports.h"

namespace qb {

static_assert(WM_JOB_PROGRESS == WM_USER + 10, "the dialog and the worker share it");
// The receiver reads the arguments straight from the worker's stack, so this relies on
// the 32-bit calling convention where a va_list is a pointer to them.
static_assert(sizeof(void*) == 4, "WM_JOB_PROGRESS passes the x86 argument list itself");

namespace {

// Sends kinds 0 and 1, so the arguments on the worker's stack stay valid while the
// window reads them; posts kind 2.
class WindowReports : public JobReports {
 public:
  JobResult Status(const char* text) override {
    // lParam is the address of the argument list behind the kind: here the one text.
    return SendMessageA(RunningJob.NotifyWindow, WM_JOB_PROGRESS, ProgressStatus,
                        reinterpret_cast<LPARAM>(&text));
  }
  JobResult Output(va_list formatAndArgs) override {
    return SendMessageA(RunningJob.NotifyWindow, WM_JOB_PROGRESS, ProgressOutput,
                        reinterpret_cast<LPARAM>(formatAndArgs));
  }
  // Sent like the texts, so that it keeps its place among them.
  void Percent(int percent) override {
    SendMessageA(RunningJob.NotifyWindow, WM_JOB_PROGRESS, ProgressPercent, percent);
  }
  void Finished() override {
    PostMessageA(RunningJob.NotifyWindow, WM_JOB_PROGRESS, ProgressFinished, 0);
  }
};

// Wakes a paused worker whenever the word changes. Auto-reset with a single waiter: a
// release that lands between the worker's read of JobPause and its wait leaves the
// event set, so the wait returns at once and the word is read again.
HANDLE ControlChanged() {
  static HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return event;
}

LONG ReadControl() { return InterlockedCompareExchange(&RunningJob.Control, 0, 0); }

}  // namespace

JobReports& PlatformJobReports() {
  static WindowReports reports;
  return reports;
}

LONG SetJobControl(LONG value) {
  InterlockedExchange(&RunningJob.Control, value);
  SetEvent(ControlChanged());
  return value;
}

bool TestJobCancel() {
  // The worker never suspends itself: a ResumeThread that came before its
  // SuspendThread would be lost and the worker would hang for ever.
  while (ReadControl() == JobPause) WaitForSingleObject(ControlChanged(), INFINITE);
  return ReadControl() == JobCancel;
}

const char* ProgressStatusText(LPARAM lParam) {
  return *reinterpret_cast<const char* const*>(lParam);
}

std::string FormatProgressOutput(LPARAM lParam) {
  // On x86 a va_list is the plain address of the arguments.
  return FormatReportOutput(reinterpret_cast<va_list>(lParam));
}

}  // namespace qb
