// The recorder natively: installed JobReports take the reports on the worker's thread,
// which waits for each as it would for the window.
#include "tests/engine/progress_recorder.h"

#include <thread>

#include "engine/conversion_worker.h"

namespace qb::test {
namespace {

class RecordingReports : public JobReports {
 public:
  explicit RecordingReports(ProgressRecorder& recorder) : recorder_(recorder) {}
  JobResult Status(const char* text) override { return recorder_.Record(ProgressStatus, text); }
  JobResult Output(va_list formatAndArgs) override {
    return recorder_.Record(ProgressOutput, FormatReportOutput(formatAndArgs));
  }
  void Finished() override { recorder_.Record(ProgressFinished, ""); }

 private:
  ProgressRecorder& recorder_;
};

}  // namespace

ProgressRecorder::ProgressRecorder() : reports_(new RecordingReports(*this)) {}

ProgressRecorder::~ProgressRecorder() = default;

bool ProgressRecorder::Run(ConversionJob& job, unsigned) {
  Attach();
  std::thread worker(&ConversionWorker, &job);
  worker.join();
  Detach();
  return finished();
}

void ProgressRecorder::Attach() { InstallJobReports(reports_.get()); }

void ProgressRecorder::Detach() { InstallJobReports(nullptr); }

// The reports come on the worker's own thread: there is only time to let pass.
void ProgressRecorder::Pump(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace qb::test
