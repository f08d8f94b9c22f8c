#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "job/conversion_job.h"
#include "job/temp_names.h"

namespace qb {
namespace {

// Thousands of pause/release rounds race the worker's test point against the dialog's
// release; a lost release would leave the worker waiting for ever.
TEST(JobControl, PauseAndReleaseRoundsNeverHang) {
  constexpr int kRounds = 5000;
  RunningJob.Control = JobRun;
  static std::atomic<bool> stop, sawCancel;
  static std::atomic<long> tests;
  stop = sawCancel = false;
  tests = 0;
  struct Worker {
    static DWORD WINAPI Body(void*) {
      while (!stop.load()) {
        if (TestJobCancel()) {
          sawCancel = true;
          return 0;
        }
        tests.fetch_add(1);
      }
      return 0;
    }
  };
  // The dialog resumes the worker too after each answer; that must stay harmless.
  HANDLE self = CreateThread(nullptr, 0, &Worker::Body, nullptr, 0, nullptr);
  ASSERT_NE(self, nullptr);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    SetJobControl(JobPause);
    if (i % 7 == 0) std::this_thread::yield();
    SetJobControl(JobRun);
    ResumeThread(self);
  }
  // Finish with a pause answered by a cancel.
  SetJobControl(JobPause);
  Sleep(1);
  SetJobControl(JobCancel);
  ResumeThread(self);
  for (int i = 0; i < 1000 && !sawCancel; ++i) Sleep(10);
  stop = true;
  ASSERT_TRUE(sawCancel) << "the worker is stuck in a pause";
  WaitForSingleObject(self, 10000);
  CloseHandle(self);
  EXPECT_GT(tests.load(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  RunningJob.Control = JobRun;
}

TEST(TempNames, ExtensionIsReplacedWhereTheShellFindsIt) {
  const char* const cases[][3] = {{"C:\\api\\guide.chm", ".hhp", "C:\\api\\guide.hhp"},
                                  {"C:\\api\\guide", ".hhc", "C:\\api\\guide.hhc"},
                                  {"C:\\api\\my.guide.chm", ".hhk", "C:\\api\\my.guide.hhk"},
                                  {"C:\\my.api\\guide", ".hhp", "C:\\my.api\\guide.hhp"}};
  char out[kPathCapacity];
  for (const auto& c : cases) {
    ASSERT_TRUE(DeriveTempName(c[0], c[1], out)) << c[0];
    EXPECT_STREQ(out, c[2]);
  }
  ASSERT_TRUE(DeriveSiblingName("C:\\api\\guide.chm", "about_quillbinder.html", out));
  EXPECT_STREQ(out, "C:\\api\\about_quillbinder.html");
}

TEST(TempNames, NamesThatWouldNotFitAreRefusedNotCut) {
  std::string path = "C:\\" + std::string(250, 'a') + "\\x.c";  // 256 characters
  char out[kPathCapacity];
  EXPECT_TRUE(DeriveTempName(path.c_str(), ".hh", out));     // 257
  EXPECT_FALSE(DeriveTempName(path.c_str(), ".hhpxxx", out));  // 260
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(DeriveSiblingName(path.c_str(), "about_quillbinder.html", out));
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace qb
