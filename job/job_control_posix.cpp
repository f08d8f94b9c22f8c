// The cancel word's pause natively, and the reports when nobody installed a receiver.
#include <chrono>
#include <thread>

#include "job/conversion_job.h"

namespace qb {
namespace {

class SilentReports : public JobReports {
 public:
  JobResult Status(const char*) override { return 1; }
  JobResult Output(va_list) override { return 0; }
  void Finished() override {}
};

JobWord ReadControl() { return __atomic_load_n(&RunningJob.Control, __ATOMIC_SEQ_CST); }

}  // namespace

JobReports& PlatformJobReports() {
  static SilentReports reports;
  return reports;
}

// A plain atomic store, so that a signal handler may cancel; the paused worker looks
// again at short intervals instead of being woken.
JobWord SetJobControl(JobWord value) {
  __atomic_store_n(&RunningJob.Control, value, __ATOMIC_SEQ_CST);
  return value;
}

bool TestJobCancel() {
  while (ReadControl() == JobPause) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return ReadControl() == JobCancel;
}

}  // namespace qb
