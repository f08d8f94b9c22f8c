#include "tests/engine/progress_recorder.h"

#include <process.h>

#include "engine/conversion_worker.h"
#include "engine/job/window_reports.h"

#include <cstring>

#include "tests/common/test_util.h"

namespace qb::test {

namespace {
const char kClassName[] = "QbProgressRecorder";

void RegisterOnce(WNDPROC proc) {
  static bool done = false;
  if (done) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  done = true;
}
}  // namespace

ProgressRecorder::ProgressRecorder() {
  RegisterOnce(&Proc);
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

LRESULT CALLBACK ProgressRecorder::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<ProgressRecorder*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_JOB_PROGRESS && self) return self->OnProgress(wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT ProgressRecorder::OnProgress(WPARAM kind, LPARAM args) {
  ProgressEvent e;
  e.kind = static_cast<int>(kind);
  e.at = std::chrono::steady_clock::now();
  e.afterFinished = finishedCount_ > 0;
  if (kind == ProgressStatus) e.text = ProgressStatusText(args);
  if (kind == ProgressOutput) e.text = FormatProgressOutput(args);
  if (kind == ProgressFinished) ++finishedCount_;
  events_.push_back(e);
  if (onEvent && kind != ProgressFinished) onEvent(events_.back());
  return kind == ProgressStatus ? 1 : 0;
}

std::vector<std::string> ProgressRecorder::Texts(int kind) const {
  std::vector<std::string> out;
  for (const auto& e : events_)
    if (e.kind == kind) out.push_back(e.text);
  return out;
}

bool ProgressRecorder::Run(ConversionJob& job, DWORD timeoutMs) {
  job.NotifyWindow = window_;
  unsigned id = 0;
  worker_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ConversionWorker, &job, 0, &id));
  workerThreadId_ = id;
  if (!worker_) return false;
  DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < timeoutMs) {
    DWORD r = MsgWaitForMultipleObjects(1, &worker_, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (r == WAIT_OBJECT_0) ended = true;
    if (ended && finished()) break;
  }
  // Anything still queued after the end would be a report after "finished".
  DWORD drainStart = GetTickCount();
  while (GetTickCount() - drainStart < 100) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  return ended && finished();
}

ConversionJob MakeJob(const std::string& folder, const std::string& outputName,
                      const std::string& title, const std::string& startPage) {
  ConversionJob job;
  std::memset(&job, 0, sizeof job);
  lstrcpynA(job.SourceIndexPath, (folder + "\\index.html").c_str(), kPathCapacity);
  lstrcpynA(job.OutputPath, (folder + "\\" + outputName).c_str(), kPathCapacity);
  lstrcpynA(job.Title, title.c_str(), kPathCapacity);
  lstrcpynA(job.StartPage, startPage.c_str(), kPathCapacity);
  job.Control = 0;
  return job;
}

void MakeMinimalJavadoc(const std::string& folder, const std::string& compiledPath,
                        const std::string& projectPath) {
  WriteFile(folder + "\\index.html",
            "<HTML><FRAMESET><FRAME src=\"overview-summary.html\" name=\"classFrame\">"
            "</FRAMESET></HTML>\r\n");
  WriteFile(folder + "\\overview-frame.html", "<HTML><BODY></BODY></HTML>\r\n");
  WriteFile(folder + "\\overview-summary.html", "<HTML><BODY>Overview</BODY></HTML>\r\n");
  WriteFile(projectPath, "[OPTIONS]\r\nCompiled file=" + compiledPath + "\r\n");
}

}  // namespace qb::test
