// The console program's Windows side: the worker reports to a message-only window on the
// main thread, Ctrl+C comes through a console control handler, and the help compiler is
// hha.dll beside the program.
#include "frontend/console_runner.h"

#include <windows.h>
#include <objbase.h>

#include <process.h>

#include "engine/conversion_worker.h"
#include "engine/help_compiler.h"
#include "job/window_reports.h"
#include "support/scoped_win.h"

namespace qb {
namespace {

volatile LONG g_cancelRequested = 0;
ConversionJob* g_pendingJob = nullptr;  // the record the worker is handed

// Runs on a thread of its own: ask the worker to stop and let it finish its clean-up.
// The job record is marked first, so a Ctrl+C that comes before the worker has copied
// it is carried into the copy instead of being overwritten by it.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&g_cancelRequested, 1);
  if (g_pendingJob) InterlockedExchange(&g_pendingJob->Control, JobCancel);
  SetJobControl(JobCancel);
  return TRUE;
}

struct Session {
  ConsoleReportSink* sink;
  bool finished = false;
};

LRESULT CALLBACK ReportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_JOB_PROGRESS) return DefWindowProcA(window, message, wParam, lParam);
  auto* session = reinterpret_cast<Session*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!session) return 0;
  switch (wParam) {
    case ProgressStatus:
      session->sink->Status(ProgressStatusText(lParam));
      return 1;  // a 0 here would stop the compiler
    case ProgressOutput:
      session->sink->Output(FormatProgressOutput(lParam));
      return 0;
    case ProgressPercent:
      session->sink->Percent(static_cast<int>(lParam));
      return 0;
    case ProgressFinished:
      session->finished = true;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

ConsoleJobRunner::ConsoleJobRunner(ConsoleReportSink& sink) : sink_(sink) {
  CoInitialize(nullptr);
}

ConsoleJobRunner::~ConsoleJobRunner() {
  if (compilerLoaded_) UnloadHelpCompiler();
  if (window_) DestroyWindow(static_cast<HWND>(window_));
  CoUninitialize();
}

bool ConsoleJobRunner::Open(std::string* error) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &ReportWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuillbinderConsoleReports";
  RegisterClassA(&wc);
  window_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  if (!window_) {
    *error = "cannot create the report window";
    return false;
  }
  return true;
}

JobWindow ConsoleJobRunner::window() const { return static_cast<HWND>(window_); }

bool ConsoleJobRunner::LoadCompiler(std::string* error) {
  if (LoadHelpCompiler() != 0) {
    *error =
        "the help compiler library hha.dll was not found beside the program "
        "or has no entry HHA_CompileHHP";
    return false;
  }
  compilerLoaded_ = true;
  return true;
}

bool ConsoleJobRunner::Run(ConversionJob& job, bool* cancelled, std::string* error) {
  HWND window = static_cast<HWND>(window_);
  Session session{&sink_};
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&session));
  g_pendingJob = &job;
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  unsigned threadId = 0;
  ScopedHandle worker(reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, &ConversionWorker, &job, 0, &threadId)));
  if (!worker) {
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    *error = "cannot start the conversion thread";
    return false;
  }

  MSG message;
  while (!session.finished && GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  // "Finished" comes before the worker's clean-up; wait for that too.
  WaitForSingleObject(worker.get(), INFINITE);
  worker.reset();
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  *cancelled = InterlockedCompareExchange(&g_cancelRequested, 0, 0) != 0;
  return true;
}

bool OutputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

FileStamp StampOf(const char* path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    stamp.exists = true;
    stamp.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  return stamp;
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::string(full, n) : std::string(path);
}

std::string ProjectTitle(const char* title, const ConversionJob&) { return title; }

}  // namespace qb
