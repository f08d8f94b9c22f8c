// Records every report of a job in order, and runs the worker or one stage while it
// takes them: on Windows through a real window on the test's thread (WM_JOB_PROGRESS),
// natively through installed JobReports on the worker's thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "job/conversion_job.h"

namespace qb::test {

struct ProgressEvent {
  int kind;
  std::string text;  // status text, or the formatted output line
  std::chrono::steady_clock::time_point at;
  bool afterFinished;
};

class ProgressRecorder {
 public:
  ProgressRecorder();
  ~ProgressRecorder();
  ProgressRecorder(const ProgressRecorder&) = delete;
  ProgressRecorder& operator=(const ProgressRecorder&) = delete;
  JobWindow window() const { return window_; }

  // Called for each report while the worker waits for it (kinds 0 and 1), so a test can
  // act at an exact point of the sequence.
  std::function<void(const ProgressEvent&)> onEvent;

  const std::vector<ProgressEvent>& events() const { return events_; }
  std::vector<std::string> Texts(int kind) const;
  bool finished() const { return finishedCount_ > 0; }
  int finishedCount() const { return finishedCount_; }

  // Starts ConversionWorker on `job` (NotifyWindow is set here) and takes its reports
  // until the worker has posted "finished" and ended, then a little longer to catch
  // strays. False on timeout.
  bool Run(ConversionJob& job, unsigned timeoutMs = 20000);
  // The worker thread of Run: its id and its handle (Windows).
  unsigned long workerThreadId() const { return workerThreadId_; }
  void* workerThread() const { return worker_; }

  // Runs `stage` on a second thread as the worker would (RunningJob reports here, the
  // cancel word starts at JobRun) until it returns. `whilePumping`, if given, is called
  // on this thread every few milliseconds meanwhile.
  bool RunStage(const std::function<bool()>& stage,
                const std::function<void()>& whilePumping = nullptr);

  // Records one report as its receiver gets it; returns the receiver's result.
  JobResult Record(int kind, const std::string& text);

 private:
  // Makes RunningJob's reports come here, and ends that again.
  void Attach();
  void Detach();
  // Takes the reports that wait for this thread for up to `ms` milliseconds.
  void Pump(unsigned ms);

  JobWindow window_ = nullptr;
  void* worker_ = nullptr;              // the worker thread's handle (Windows)
  unsigned long workerThreadId_ = 0;
  std::unique_ptr<JobReports> reports_;  // installed while a run lasts (natively)
  std::vector<ProgressEvent> events_;
  int finishedCount_ = 0;
};

// A job for a Javadoc folder: index.html in `folder`, output `outputName` beside it.
ConversionJob MakeJob(const std::string& folder, const std::string& outputName,
                      const std::string& title = "Title",
                      const std::string& startPage = "overview-summary.html");

// The smallest Javadoc folder the stages accept, with a project file whose "Compiled
// file" line names `compiledPath` (the project stage replaces it once it is written).
void MakeMinimalJavadoc(const std::string& folder, const std::string& compiledPath,
                        const std::string& projectPath);

}  // namespace qb::test
