#include "tests/engine/progress_recorder.h"

#include <atomic>
#include <cstring>
#include <thread>

#include "support/path_names.h"
#include "tests/common/test_util.h"

namespace qb::test {

JobResult ProgressRecorder::Record(int kind, const std::string& text) {
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.at = std::chrono::steady_clock::now();
  e.afterFinished = finishedCount_ > 0;
  if (kind == ProgressFinished) ++finishedCount_;
  events_.push_back(e);
  if (onEvent && kind != ProgressFinished) onEvent(events_.back());
  return kind == ProgressStatus ? 1 : 0;
}

bool ProgressRecorder::RunStage(const std::function<bool()>& stage,
                                const std::function<void()>& whilePumping) {
  Attach();
  SetJobControl(JobRun);
  std::atomic<bool> done{false};
  bool result = false;
  std::thread worker([&] {
    result = stage();
    done = true;
  });
  while (!done) {
    Pump(20);
    if (whilePumping) whilePumping();
  }
  worker.join();
  Pump(0);
  Detach();
  return result;
}

std::vector<std::string> ProgressRecorder::Texts(int kind) const {
  std::vector<std::string> out;
  for (const auto& e : events_)
    if (e.kind == kind) out.push_back(e.text);
  return out;
}

ConversionJob MakeJob(const std::string& folder, const std::string& outputName,
                      const std::string& title, const std::string& startPage) {
  ConversionJob job;
  std::memset(&job, 0, sizeof job);
  CopyCut(job.SourceIndexPath, kPathCapacity, (folder + kSep + "index.html").c_str());
  CopyCut(job.OutputPath, kPathCapacity, (folder + kSep + outputName).c_str());
  CopyCut(job.Title, kPathCapacity, title.c_str());
  CopyCut(job.StartPage, kPathCapacity, startPage.c_str());
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
