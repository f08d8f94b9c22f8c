// The recorder natively: installed JobReports take the reports on the worker's thread,
// which waits for each as it would for the window.
#include "tests/engine/progress_recorder.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine/conversion_worker.h"

namespace qb::test {
namespace {

class RecordingReports : public JobReports {
 public:
  explicit RecordingReports(ProgressRecorder& recorder) : recorder_(recorder) {}
  JobResult Status(const char* text) override { return recorder_.Record(ProgressStatus, text); }
  JobResult Output(va_list formatAndArgs) override {
    const char* format = va_arg(formatAndArgs, const char*);
    va_list measure;
    va_copy(measure, formatAndArgs);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (needed > 0) {
      std::vector<char> buffer(static_cast<size_t>(needed) + 1);
      std::vsnprintf(buffer.data(), buffer.size(), format, formatAndArgs);
      text.assign(buffer.data(), static_cast<size_t>(needed));
    }
    return recorder_.Record(ProgressOutput, text);
  }
  void Finished() override { recorder_.Record(ProgressFinished, ""); }

 private:
  ProgressRecorder& recorder_;
};

}  // namespace

ProgressRecorder::ProgressRecorder() : reports_(new RecordingReports(*this)) {}

ProgressRecorder::~ProgressRecorder() = default;

bool ProgressRecorder::Run(ConversionJob& job, unsigned) {
  InstallJobReports(reports_.get());
  std::thread worker(&ConversionWorker, &job);
  worker.join();
  InstallJobReports(nullptr);
  return finished();
}

bool ProgressRecorder::RunStage(const std::function<bool()>& stage,
                                const std::function<void()>& whilePumping) {
  InstallJobReports(reports_.get());
  SetJobControl(JobRun);
  std::atomic<bool> done{false};
  bool result = false;
  std::thread worker([&] {
    result = stage();
    done = true;
  });
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (whilePumping) whilePumping();
  }
  worker.join();
  InstallJobReports(nullptr);
  return result;
}

}  // namespace qb::test
