// The recorder on Windows: a message-only window on the test's thread takes the
// worker's WM_JOB_PROGRESS while the test pumps messages.
#include "tests/engine/progress_recorder.h"

#include <windows.h>

#include <process.h>

#include "engine/conversion_worker.h"
#include "job/window_reports.h"

namespace qb::test {
namespace {

const char kClassName[] = "QbProgressRecorder";

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<ProgressRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg != WM_JOB_PROGRESS || !self) return DefWindowProcA(hwnd, msg, wp, lp);
  std::string text;
  if (wp == ProgressStatus) text = ProgressStatusText(lp);
  if (wp == ProgressOutput) text = FormatProgressOutput(lp);
  return self->Record(static_cast<int>(wp), text);
}

void Register() {  // a second registration fails, harmlessly
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

ProgressRecorder::ProgressRecorder() {
  Register();
  window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProgressRecorder::~ProgressRecorder() {
  if (worker_) {
    WaitForSingleObject(worker_, 10000);
    CloseHandle(worker_);
  }
  DestroyWindow(window_);
}

bool ProgressRecorder::Run(ConversionJob& job, unsigned timeoutMs) {
  job.NotifyWindow = window_;
  unsigned id = 0;
  worker_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ConversionWorker, &job, 0, &id));
  workerThreadId_ = id;
  if (!worker_) return false;
  HANDLE worker = worker_;
  DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < timeoutMs) {
    DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, 50, QS_ALLINPUT);
    PumpMessages();
    if (r == WAIT_OBJECT_0) ended = true;
    if (ended && finished()) break;
  }
  // Anything still queued after the end would be a report after "finished".
  DWORD drainStart = GetTickCount();
  while (GetTickCount() - drainStart < 100) {
    PumpMessages();
    Sleep(10);
  }
  return ended && finished();
}

void ProgressRecorder::Attach() { RunningJob.NotifyWindow = window_; }

void ProgressRecorder::Detach() {}

void ProgressRecorder::Pump(unsigned ms) {
  if (ms) MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  PumpMessages();
}

}  // namespace qb::test
