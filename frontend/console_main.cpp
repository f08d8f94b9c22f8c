// quillbinder-cli: the same conversion as the dialog's "Go", for build scripts and build
// servers. It fills the job through the dialog's own checks and runs the same worker;
// console_runner_{win,posix}.cpp deliver its reports here.
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/console_runner.h"
#include "frontend/job_setup.h"
#include "resources/version.h"
#include "support/native_file.h"

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

// Prints the worker's reports: the status as one line rewritten in place on a console,
// plain lines when the output goes to a file or a pipe.
class Reporter : public qb::ConsoleReportSink {
 public:
  Reporter() : onConsole_(qb::OutputIsConsole()) {}

  void Status(const char* text) override {
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
  void Output(const std::string& text) override {
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

// The compiler writes a new file and moves it into place, so a file written during this
// run differs from the one found before it in time or size.
bool WrittenDuringRun(const qb::FileStamp& before, const qb::FileStamp& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.written != after.written || before.size != after.size;
}

int Fail(const std::string& reason, int code) {
  std::fprintf(stderr, "quillbinder-cli: %s\n", reason.c_str());
  return code;
}

qb::ConversionJob g_job;  // the worker copies it at its start

int Convert(const char* indexPath, const char* outputName, const char* title) {
  Reporter reporter;
  qb::ConsoleJobRunner runner(reporter);
  std::string error;
  if (!runner.Open(&error)) return Fail(error, kExitFailed);

  qb::ConversionJob& job = g_job;
  qb::JobSetup setup = qb::FillConversionJob(indexPath, outputName, title, runner.window(), job);
  if (setup.failure == qb::SetupFailure::OutputName) return Fail(setup.error, kExitUsage);
  if (setup.failure != qb::SetupFailure::None) return Fail(setup.error, kExitFailed);

  if (!runner.LoadCompiler(&error)) return Fail(error, kExitFailed);

  qb::FileStamp before = qb::StampOf(job.OutputPath);
  bool cancelled = false;
  if (!runner.Run(job, &cancelled, &error)) return Fail(error, kExitFailed);
  reporter.Finish();

  if (cancelled) return Fail("cancelled by user", kExitFailed);
  if (!WrittenDuringRun(before, qb::StampOf(job.OutputPath))) {
    std::string last = reporter.lastOutput();
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
  qb::NativeShareOneHeap();
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
  return Convert(argv[1], argv[2], argc == 4 ? argv[3] : "");
}
