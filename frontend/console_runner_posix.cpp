// The console program natively: the worker's reports are delivered on its own thread
// (the main thread only waits for it), SIGINT and SIGTERM cancel, and the help compiler
// is our compiler's core, linked in.
#include "frontend/console_runner.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/conversion_worker.h"
#include "engine/help_compiler.h"
#include "helpproject/javadoc_tree.h"
#include "support/native_file.h"
#include "support/text_encoding.h"

namespace qb {
namespace {

volatile sig_atomic_t g_cancelRequested = 0;
ConversionJob* g_pendingJob = nullptr;  // the record the worker is handed

// Only atomic stores: safe in a signal handler. The job record is marked first, so a
// cancel that comes before the worker has copied it is carried into the copy.
void OnSignal(int) {
  g_cancelRequested = 1;
  if (g_pendingJob) __atomic_store_n(&g_pendingJob->Control, JobCancel, __ATOMIC_SEQ_CST);
  SetJobControl(JobCancel);
}

class SinkReports : public JobReports {
 public:
  explicit SinkReports(ConsoleReportSink& sink) : sink_(sink) {}
  JobResult Status(const char* text) override {
    sink_.Status(text);
    return 1;  // a 0 here would stop the compiler
  }
  JobResult Output(va_list formatAndArgs) override {
    sink_.Output(FormatReportOutput(formatAndArgs));
    return 0;
  }
  void Finished() override {}
  void Percent(int percent) override { sink_.Percent(percent); }

 private:
  ConsoleReportSink& sink_;
};

}  // namespace

ConsoleJobRunner::ConsoleJobRunner(ConsoleReportSink& sink) : sink_(sink) {}

ConsoleJobRunner::~ConsoleJobRunner() {
  if (compilerLoaded_) UnloadHelpCompiler();
}

bool ConsoleJobRunner::Open(std::string*) { return true; }

JobWindow ConsoleJobRunner::window() const { return nullptr; }

bool ConsoleJobRunner::LoadCompiler(std::string* error) {
  if (LoadHelpCompiler() != 0) {
    *error = "the help compiler could not be set up";
    return false;
  }
  compilerLoaded_ = true;
  return true;
}

bool ConsoleJobRunner::Run(ConversionJob& job, bool* cancelled, std::string* error) {
  SinkReports reports(sink_);
  InstallJobReports(&reports);
  g_pendingJob = &job;
  struct sigaction action = {}, oldInt = {}, oldTerm = {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);

  bool started = true;
  try {
    std::thread worker(&ConversionWorker, &job);
    worker.join();  // "finished" comes before the worker's clean-up; this waits for both
  } catch (const std::system_error&) {
    started = false;
  }

  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  g_pendingJob = nullptr;
  InstallJobReports(nullptr);
  if (!started) {
    *error = "cannot start the conversion thread";
    return false;
  }
  *cancelled = g_cancelRequested != 0;
  return true;
}

bool OutputIsConsole() { return ::isatty(STDOUT_FILENO) != 0; }

FileStamp StampOf(const char* path) {
  FileStamp stamp;
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    stamp.exists = true;
    stamp.written = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                    static_cast<uint64_t>(st.st_mtim.tv_nsec);
    stamp.size = static_cast<uint64_t>(st.st_size);
  }
  return stamp;
}

std::string FullPath(const char* path) {
  std::string whole = path;
  if (whole.empty() || whole[0] != '/') {
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size())) whole = std::string(cwd.data()) + "/" + whole;
  }
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= whole.size()) {
    size_t end = whole.find('/', at);
    if (end == std::string::npos) end = whole.size();
    const std::string part = whole.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string ProjectTitle(const char* title, const ConversionJob& job) {
  JavadocTree tree;
  InspectJavadocTree(job.SourceIndexPath, &tree);
  return FromUtf8Replacing(title, tree.language.codePage);
}

}  // namespace qb
