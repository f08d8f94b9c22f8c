// quillbinder-cli: the same conversion as the dialog's "Go", for build scripts and build
// servers. It fills the job through the dialog's own checks and runs the same worker;
// console_runner_{win,posix}.cpp deliver its reports here.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/conversion_worker.h"
#include "frontend/console_runner.h"
#include "frontend/job_setup.h"
#include "resources/version.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace {

constexpr char kVersion[] = QB_VERSION_TEXT;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStrict = 3;

const char kUsage[] =
    "Usage: quillbinder-cli [options] <path to index.html> <output file name> [title]\n"
    "       quillbinder-cli [options] -o <help file> <path to index.html> [title]\n"
    "\n"
    "Converts a Javadoc folder into one compiled HTML Help file (.chm), written into the\n"
    "folder of index.html under the given name (a bare file name), or where -o says.\n"
    "\n"
    "  -o, --output PATH  write the help file to PATH (its folder must exist); the\n"
    "                     project files are still made, for the time of the run, next to\n"
    "                     the pages\n"
    "  --report FILE      write the conversion report to FILE as JSON\n"
    "  --strict           exit with 3 when pages or anchors that the documentation\n"
    "                     comments link to are missing\n"
    "  --keep-project     keep the .hhp, .hhc, .hhk and about page next to the pages\n"
    "  --quiet            print nothing but a failure's reason (on standard error)\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "\n"
    "Exit codes: 0 the help file was written, 1 the conversion failed or was cancelled\n"
    "(Ctrl+C), 2 bad arguments, 3 the help file was written but --strict found missing\n"
    "targets.\n";

struct Options {
  std::string indexPath;
  std::string outputName;  // the bare name beside the pages; empty with -o
  std::string outputPath;  // -o, as given
  std::string title;
  std::string reportPath;
  bool strict = false;
  bool keepProject = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// False with the reason on a usage error.
bool ParseArguments(int argc, char** argv, Options* options, std::string* error) {
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = "option '" + arg + "' needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(&options->outputPath)) return false;
      if (options->outputPath.empty()) {
        *error = "option '" + arg + "' needs a value";
        return false;
      }
    } else if (arg.rfind("--output=", 0) == 0) {
      options->outputPath = arg.substr(9);
    } else if (arg == "--report") {
      if (!value(&options->reportPath)) return false;
    } else if (arg.rfind("--report=", 0) == 0) {
      options->reportPath = arg.substr(9);
    } else if (arg == "--strict") {
      options->strict = true;
    } else if (arg == "--keep-project") {
      options->keepProject = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options->quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (options->help || options->version) return true;
  const bool moved = !options->outputPath.empty();
  const size_t needed = moved ? 1 : 2;
  if (positional.size() < needed || positional.size() > needed + 1) {
    *error = "";
    return false;
  }
  options->indexPath = positional[0];
  if (!moved) options->outputName = positional[1];
  if (positional.size() > needed) options->title = positional[needed];
  return true;
}

// Prints the worker's reports. On a terminal the status and the share done are one line
// rewritten in place; into a file or a pipe go the stage statuses and a line per tenth
// of the work, not the compiler's status per page.
class Reporter : public qb::ConsoleReportSink {
 public:
  explicit Reporter(bool quiet) : onConsole_(qb::OutputIsConsole()), quiet_(quiet) {}

  void Status(const char* text) override {
    if (quiet_) return;
    status_ = text;
    if (onConsole_) {
      ShowLine();
    } else if (qb::IsStageStatus(text)) {
      std::printf("%s\n", text);
      std::fflush(stdout);
    }
  }

  void Percent(int percent) override {
    if (quiet_) return;
    percent_ = percent;
    if (onConsole_) {
      ShowLine();
    } else if (percent / 10 > lastTenth_) {
      lastTenth_ = percent / 10;
      std::printf("%d%% done\n", lastTenth_ * 10);
      std::fflush(stdout);
    }
  }

  // Output texts come as they were made: compiler messages end with "\r\n", the
  // stages' own messages with nothing. Each becomes whole lines.
  void Output(const std::string& text) override {
    if (!text.empty()) lastOutput_ = text;
    if (quiet_) return;
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
    if (onConsole_ && !status_.empty()) ShowLine();
  }

  void Finish() {
    ClearStatus();
    status_.clear();
  }
  const std::string& lastOutput() const { return lastOutput_; }

 private:
  void ShowLine() {
    char head[16];
    std::snprintf(head, sizeof head, "[%3d%%] ", percent_ < 0 ? 0 : percent_);
    std::string line = head + status_;
    if (line.size() > 78) line.resize(78);
    std::printf("\r%-78s", line.c_str());
    std::fflush(stdout);
    statusShown_ = true;
  }
  void ClearStatus() {
    if (!statusShown_) return;
    std::printf("\r%-78s\r", "");
    statusShown_ = false;
  }

  bool onConsole_ = false;
  bool quiet_ = false;
  bool statusShown_ = false;
  int percent_ = -1;
  int lastTenth_ = 0;
  std::string status_;
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

// The folder of `path` (with its separator), or empty.
std::string FolderOf(const std::string& path) {
  const char* name = qb::FindFileName(path.c_str());
  return path.substr(0, static_cast<size_t>(name - path.c_str()));
}

// -o: the folder must exist and take a new file; tried with a file made and removed at
// once, so that nothing is left when it cannot.
bool CheckOutputFolder(const std::string& outputPath, std::string* error) {
  const std::string folder = FolderOf(outputPath);
  if (!qb::NativeFileExists((folder + ".").c_str())) {
    *error = "cannot write '" + outputPath + "': the folder '" + folder + "' does not exist";
    return false;
  }
  const std::string probe = outputPath + ".~probe";
  if (qb::NativeFileExists(probe.c_str())) return true;
  qb::NativeFile file = qb::NoFile();
  if (!qb::NativeCreateForWrite(probe.c_str(), &file)) {
    *error = "cannot write '" + outputPath + "': the folder '" + folder +
             "' cannot be written to (read-only?)";
    return false;
  }
  qb::NativeClose(file);
  qb::NativeDeleteFile(probe.c_str());
  return true;
}

bool WriteText(const std::string& path, const std::string& text) {
  qb::NativeFile file = qb::NoFile();
  if (!qb::NativeCreateForWrite(qb::FullPath(path.c_str()).c_str(), &file)) return false;
  uint32_t written = 0;
  bool ok = qb::NativeWrite(file, text.data(), static_cast<uint32_t>(text.size()), &written) &&
            written == text.size();
  qb::NativeClose(file);
  return ok;
}

int Convert(const Options& options) {
  Reporter reporter(options.quiet);
  qb::ConsoleJobRunner runner(reporter);
  std::string error;
  if (!runner.Open(&error)) return Fail(error, kExitFailed);

  const std::string indexPath = qb::FullPath(options.indexPath.c_str());
  std::string compiledPath, outputName = options.outputName;
  if (!options.outputPath.empty()) {
    compiledPath = qb::FullPath(options.outputPath.c_str());
    outputName = qb::FindFileName(compiledPath.c_str());
    if (outputName.empty()) return Fail("'" + options.outputPath + "' names no file", kExitUsage);
    if (compiledPath.size() > qb::kPathCapacity - 1)
      return Fail("output path too long: '" + compiledPath + "'", kExitUsage);
    if (qb::NativeSamePath(compiledPath.c_str(), indexPath.c_str()))
      return Fail("the help file cannot replace the page it is made from", kExitUsage);
  }

  qb::ConversionJob& job = g_job;
  qb::JobSetup setup = qb::FillConversionJob(indexPath.c_str(), outputName.c_str(),
                                             options.title.c_str(), runner.window(), job);
  if (setup.failure == qb::SetupFailure::OutputName) return Fail(setup.error, kExitUsage);
  if (setup.failure != qb::SetupFailure::None) return Fail(setup.error, kExitFailed);
  if (!compiledPath.empty()) {
    if (!CheckOutputFolder(compiledPath, &error)) return Fail(error, kExitFailed);
    qb::CopyCut(job.CompiledPath, qb::kPathCapacity, compiledPath.c_str());
  }
  qb::CopyCut(job.Title, qb::kPathCapacity, qb::ProjectTitle(job.Title, job).c_str());
  job.KeepProject = options.keepProject ? 1 : 0;

  if (!runner.LoadCompiler(&error)) return Fail(error, kExitFailed);

  const char* helpFile = qb::CompiledFileOf(job);
  qb::FileStamp before = qb::StampOf(helpFile);
  bool cancelled = false;
  if (!runner.Run(job, &cancelled, &error)) return Fail(error, kExitFailed);
  reporter.Finish();

  if (cancelled) return Fail("cancelled by user", kExitFailed);
  if (!WrittenDuringRun(before, qb::StampOf(helpFile))) {
    std::string last = reporter.lastOutput();
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    return Fail(std::string("the help file '") + helpFile + "' was not written" +
                    (last.empty() ? "" : " (" + last + ")"),
                kExitFailed);
  }
  if (!options.quiet) std::printf("Wrote %s\n", helpFile);
  const qb::ConversionReport& report = qb::RunningReport();
  if (!options.reportPath.empty() && !WriteText(options.reportPath, qb::ReportJson(report)))
    return Fail("cannot write the report '" + options.reportPath + "'", kExitFailed);
  if (options.strict && report.StrictFindings() > 0)
    return Fail(std::to_string(report.StrictFindings()) +
                    " links of the documentation lead to missing pages or anchors (--strict)",
                kExitStrict);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  qb::NativeShareOneHeap();
  Options options;
  std::string error;
  if (!ParseArguments(argc, argv, &options, &error)) {
    if (!error.empty()) std::fprintf(stderr, "quillbinder-cli: %s\n", error.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (options.version) {
    std::printf("quillbinder-cli %s\n", kVersion);
    return kExitOk;
  }
  return Convert(options);
}
