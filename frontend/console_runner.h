// What the console program needs of its system: a worker run whose reports reach this
// thread, a cancel on Ctrl+C, and a look at the output file before and after.
#pragma once

#include <cstdint>
#include <string>

#include "job/conversion_job.h"

namespace qb {

// Receives the worker's reports, one at a time, in the order they were made.
class ConsoleReportSink {
 public:
  virtual ~ConsoleReportSink() = default;
  virtual void Status(const char* text) = 0;
  // A kind 1 report, formatted whole.
  virtual void Output(const std::string& text) = 0;
  // The share of the job done, 0-100.
  virtual void Percent(int percent) = 0;
};

class ConsoleJobRunner {
 public:
  explicit ConsoleJobRunner(ConsoleReportSink& sink);
  ~ConsoleJobRunner();
  ConsoleJobRunner(const ConsoleJobRunner&) = delete;
  ConsoleJobRunner& operator=(const ConsoleJobRunner&) = delete;

  // Makes what the reports are delivered through; false with the reason when it cannot.
  bool Open(std::string* error);
  // The NotifyWindow of the job (a message-only window on Windows; none natively).
  JobWindow window() const;
  // Loads the help compiler; false with the reason when it cannot.
  bool LoadCompiler(std::string* error);
  // Runs the worker on `job` on a thread of its own until it has ended, clean-up
  // included, handing its reports to the sink. Ctrl+C meanwhile cancels the job and sets
  // *cancelled. False with the reason when the thread cannot be started.
  bool Run(ConversionJob& job, bool* cancelled, std::string* error);

 private:
  ConsoleReportSink& sink_;
  void* window_ = nullptr;
  bool compilerLoaded_ = false;
};

// True when standard output is a console (or terminal) rather than a file or a pipe.
bool OutputIsConsole();

// When and how large a file was last written; equal stamps mean the same file content
// as far as the compiler's move into place can tell.
struct FileStamp {
  bool exists = false;
  uint64_t written = 0;
  uint64_t size = 0;
};
FileStamp StampOf(const char* path);

// The path made absolute against the current folder, "." and ".." steps resolved, so
// that the job's paths mean the same to the compiler, whose folder is the project's.
std::string FullPath(const char* path);

// The title as the project file must hold it: natively the argument is UTF-8 and is
// converted into the code page of the tree's help-file language (a character it cannot
// hold becomes '?'); on Windows it already is in the code page the system gave it.
std::string ProjectTitle(const char* title, const ConversionJob& job);

}  // namespace qb
