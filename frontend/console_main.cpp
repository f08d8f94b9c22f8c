// quillbinder-cli: the same conversion as the dialog's "Go", for build scripts and build
// servers. It fills the job through the dialog's own checks, runs the same worker, and
// receives its reports in a message-only window.
#include <windows.h>
#include <objbase.h>

#include <process.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/conversion_job.h"
#include "engine/help_compiler.h"
#include "frontend/job_setup.h"
#include "resources/version.h"
#include "support/scoped_win.h"

namespace {

constexpr char kVersion[] = QB_VERSION_TEXT;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: quillbinder-cli <path to index.html> <output file name> [title]\n"
    "\n"
    "Converts a Javadoc folder into one compiled HTML Help file (.chm), written into the\n"
    "folder of index.html under the given name. The name is a bare file name.\n"
    "\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Exit codes: 0 the help file was written, 1 the conversion failed or was cancelled\n"
    "(Ctrl+C), 2 bad arguments.\n";

volatile LONG g_cancelRequested = 0;
qb::ConversionJob g_job;  // the worker copies it at its start

// Runs on a thread of its own: ask the worker to stop and let it finish its clean-up.
// The job record is marked first, so a Ctrl+C that comes before the worker has copied
// it is carried into the copy instead of being overwritten by it.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&g_cancelRequested, 1);
  InterlockedExchange(&g_job.Control, qb::JobCancel);
  qb::SetJobControl(qb::JobCancel);
  return TRUE;
}

// Prints the worker's reports: the status as one line rewritten in place on a console,
// plain lines when the output goes to a file or a pipe.
class Reporter {
 public:
  Reporter() {
    DWORD mode = 0;
    onConsole_ = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
  }

  void Status(const char* text) {
    if (onConsole_) {
      std::string line = text;
      if (line.size() > 78) line.resize(78);
      std::printf("\r%-78s", line.c_str());
      statusShown_ = true;
    } else {
      std::printf("%s\n", text);
    }
    std::fflush(stdout);
  }

  // Output texts come as they were made: compiler messages end with "\r\n", the
  // stages' own messages with nothing. Each becomes whole lines.
  void Output(const std::string& text) {
    ClearStatus();
    std::string lines;
    lines.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      lines += text[i];
    }
    if (lines.empty() || lines.back() != '\n') lines += '\n';
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
    if (!text.empty()) lastOutput_ = text;
  }

  void Finish() { ClearStatus(); }
  const std::string& lastOutput() const { return lastOutput_; }

 private:
  void ClearStatus() {
    if (!statusShown_) return;
    std::printf("\r%-78s\r", "");
    statusShown_ = false;
  }

  bool onConsole_ = false;
  bool statusShown_ = false;
  std::string lastOutput_;
};

struct Session {
  Reporter reporter;
  bool finished = false;
};

LRESULT CALLBACK ReportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != qb::WM_JOB_PROGRESS)
    return DefWindowProcA(window, message, wParam, lParam);
  auto* session = reinterpret_cast<Session*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (wParam) {
    case qb::ProgressStatus:
      session->reporter.Status(qb::ProgressStatusText(lParam));
      return 1;  // a 0 here would stop the compiler
    case qb::ProgressOutput:
      session->reporter.Output(qb::FormatProgressOutput(lParam));
      return 0;
    case qb::ProgressFinished:
      session->finished = true;
      return 0;
    default:
      return 0;
  }
}

HWND CreateReportWindow(Session* session) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &ReportWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuillbinderConsoleReports";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(session));
  return window;
}

struct FileStamp {
  bool exists = false;
  FILETIME written = {};
  uint64_t size = 0;
};

FileStamp StampOf(const char* path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path, GetFileExInfoStandard, &data) &&
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    stamp.exists = true;
    stamp.written = data.ftLastWriteTime;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  return stamp;
}

// The compiler writes a new file and moves it into place, so a file written during this
// run differs from the one found before it in time or size.
bool WrittenDuringRun(const FileStamp& before, const FileStamp& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return CompareFileTime(&before.written, &after.written) != 0 || before.size != after.size;
}

int Fail(const std::string& reason, int code) {
  std::fprintf(stderr, "quillbinder-cli: %s\n", reason.c_str());
  return code;
}

int Convert(const char* indexPath, const char* outputName, const char* title) {
  Session session;
  HWND window = CreateReportWindow(&session);
  if (!window) return Fail("cannot create the report window", kExitFailed);

  qb::ConversionJob& job = g_job;
  qb::JobSetup setup = qb::FillConversionJob(indexPath, outputName, title, window, job);
  if (setup.failure == qb::SetupFailure::OutputName) return Fail(setup.error, kExitUsage);
  if (setup.failure != qb::SetupFailure::None) return Fail(setup.error, kExitFailed);

  if (qb::LoadHelpCompiler() != 0)
    return Fail("the help compiler library hha.dll was not found beside the program "
                "or has no entry HHA_CompileHHP",
                kExitFailed);

  FileStamp before = StampOf(job.OutputPath);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  unsigned threadId = 0;
  qb::ScopedHandle worker(reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, &qb::ConversionWorker, &job, 0, &threadId)));
  if (!worker) {
    qb::UnloadHelpCompiler();
    return Fail("cannot start the conversion thread", kExitFailed);
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
  session.reporter.Finish();
  qb::UnloadHelpCompiler();
  DestroyWindow(window);

  if (InterlockedCompareExchange(&g_cancelRequested, 0, 0))
    return Fail("cancelled by user", kExitFailed);
  if (!WrittenDuringRun(before, StampOf(job.OutputPath))) {
    std::string last = session.reporter.lastOutput();
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    return Fail(std::string("the help file '") + job.OutputPath + "' was not written" +
                    (last.empty() ? "" : " (" + last + ")"),
                kExitFailed);
  }
  std::printf("Wrote %s\n", job.OutputPath);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("quillbinder-cli %s\n", kVersion);
    return kExitOk;
  }
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-' && argv[i][1] == '-') {
      std::fprintf(stderr, "quillbinder-cli: unknown option '%s'\n", argv[i]);
      std::fputs(kUsage, stderr);
      return kExitUsage;
    }
  }
  if (argc < 3 || argc > 4) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  CoInitialize(nullptr);
  int code = Convert(argv[1], argv[2], argc == 4 ? argv[3] : "");
  CoUninitialize();
  return code;
}
