// A real window on the test's thread that records every WM_JOB_PROGRESS in order, and a
// runner that starts the worker on a job and pumps messages until it has finished.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/job/conversion_job.h"

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
  HWND window() const { return window_; }

  // Called for each report while the worker waits for it (kinds 0 and 1), so a test can
  // act at an exact point of the sequence.
  std::function<void(const ProgressEvent&)> onEvent;

  const std::vector<ProgressEvent>& events() const { return events_; }
  std::vector<std::string> Texts(int kind) const;
  bool finished() const { return finishedCount_ > 0; }
  int finishedCount() const { return finishedCount_; }

  // Starts ConversionWorker on `job` (NotifyWindow is set here), pumps messages until
  // the worker has posted "finished" and ended, then a little longer to catch strays.
  // False on timeout.
  bool Run(ConversionJob& job, DWORD timeoutMs = 20000);
  DWORD workerThreadId() const { return workerThreadId_; }
  HANDLE workerThread() const { return worker_; }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnProgress(WPARAM kind, LPARAM args);

  HWND window_ = nullptr;
  HANDLE worker_ = nullptr;
  DWORD workerThreadId_ = 0;
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
