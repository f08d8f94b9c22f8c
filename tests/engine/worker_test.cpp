#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/conversion_worker.h"
#include "job/conversion_job.h"
#include "engine/help_compiler.h"
#include "resources/product.h"
#include "tests/common/test_util.h"
#include "tests/engine/progress_recorder.h"

namespace qb {
namespace {

using test::FileExists;
using test::ProgressEvent;
using test::ProgressRecorder;
using test::TempDir;
using Strings = std::vector<std::string>;

const Strings kStageStatuses = {"Creating temporary files", "Creating project file",
                                "Creating contents file", "Creating index file",
                                "Compiling with help compiler"};

class WorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(LoadHelpCompiler(), 0) << "stand-in hha.dll"; }
  static void TearDownTestSuite() { UnloadHelpCompiler(); }

  void SetUp() override {
    SetEnvironmentVariableA("QB_STANDIN_SLOW", nullptr);
    folder = dir.path();
    compiled = folder + "\\guide.chm";
    project = folder + "\\guide.hhp";
    test::MakeMinimalJavadoc(folder, compiled, project);
    job = test::MakeJob(folder, "guide.chm");
  }

  void ExpectTemporaryFilesGone() {
    for (const char* name : {"guide.hhp", "guide.hhc", "guide.hhk", "about_quillbinder.html"})
      EXPECT_FALSE(FileExists(folder + "\\" + name)) << name;
  }

  // The reports after the last stage status, in order, as "kind:text".
  void ExpectEndsWith(const Strings& tail) {
    Strings all;
    for (const auto& e : recorder.events())
      all.push_back(std::to_string(e.kind) + ":" + e.text);
    ASSERT_GE(all.size(), tail.size());
    EXPECT_EQ(Strings(all.end() - tail.size(), all.end()), tail);
  }

  static void ExpectFinishedLastAndOnce(const ProgressRecorder& recorder) {
    ASSERT_FALSE(recorder.events().empty());
    EXPECT_EQ(recorder.events().back().kind, ProgressFinished);
    EXPECT_EQ(recorder.finishedCount(), 1);
    for (const auto& e : recorder.events()) EXPECT_FALSE(e.afterFinished) << e.text;
  }

  bool HasOutput(const std::string& text) const {
    const Strings outputs = recorder.Texts(ProgressOutput);
    return std::find(outputs.begin(), outputs.end(), text) != outputs.end();
  }

  TempDir dir;
  std::string folder, compiled, project;
  ConversionJob job;
  ProgressRecorder recorder;
};

TEST_F(WorkerTest, SuccessfulRunReportsEveryStageWritesTheAboutPageAndCleansUp) {
  test::WriteFile(folder + "\\about_quillbinder.html", "an older page");
  std::string about;
  recorder.onEvent = [&](const ProgressEvent& e) {
    if (e.text == "Creating project file") about = test::ReadFile(folder + "\\about_quillbinder.html");
  };
  ASSERT_TRUE(recorder.Run(job));
  Strings expected = kStageStatuses;
  expected.insert(expected.end(), {"step 1", "step 2", "step 3"});
  EXPECT_EQ(recorder.Texts(ProgressStatus), expected);

  Strings outputs = recorder.Texts(ProgressOutput);
  ASSERT_GT(outputs.size(), 4u);
  // The report's summary follows the compiler's messages.
  for (size_t i = 4; i < outputs.size(); ++i) EXPECT_EQ(outputs[i].rfind("Report: ", 0), 0u) << outputs[i];
  EXPECT_EQ(outputs[0], "stand-in: compiling " + project + "\r\n");
  // The compiler runs on the worker thread and sees the block's size.
  EXPECT_EQ(outputs[1], "stand-in: options 308, thread " +
                            std::to_string(recorder.workerThreadId()) + "\r\n");
  // A message full of conversion characters is shown as it came.
  EXPECT_EQ(outputs[2], "stand-in: 100% done, %s %d %n\r\n");
  EXPECT_EQ(outputs[3], "stand-in: wrote " + compiled + "\r\n");
  ExpectFinishedLastAndOnce(recorder);
  EXPECT_TRUE(FileExists(compiled));
  ExpectTemporaryFilesGone();
  // The about page as the resource's source has it, the homepages filled in.
  std::string page = test::ReadFile(test::SourceDir() + "\\resources\\about_page.html.in");
  for (const auto& [name, value] : {std::pair<std::string, const char*>{"@QB_HOMEPAGE_EN@", kProductHomepageEnglish},
                                    {"@QB_HOMEPAGE@", kProductHomepage}})
    page.replace(page.find(name), name.size(), value);
  EXPECT_EQ(about, page);
}

// The about page cannot be made: a folder in its place, or (past the job's own checks) a
// name too long beside the output, the message then longer than 259 characters and whole.
TEST_F(WorkerTest, FailingFirstStageStopsButStillDeletesEveryTemporaryFile) {
  const std::string deep = folder + "\\" + std::string(255 - folder.size() - 1 - 6, 'n');
  for (const std::string& at : {folder, deep}) {
    ConversionJob run = test::MakeJob(at, "guide.chm");
    if (at == folder) test::MakeDirs(folder + "\\about_quillbinder.html");
    for (const char* name : {"guide.hhp", "guide.hhc", "guide.hhk"}) test::WriteFile(at + "\\" + name, "old");
    ProgressRecorder reports;
    ASSERT_TRUE(reports.Run(run));
    EXPECT_EQ(reports.Texts(ProgressStatus), Strings({"Creating temporary files"}));
    EXPECT_EQ(reports.Texts(ProgressOutput), Strings({"Cannot create '" + at + "\\about_quillbinder.html'."}));
    ExpectFinishedLastAndOnce(reports);
    for (const char* name : {"guide.chm", "guide.hhp", "guide.hhc", "guide.hhk"})
      EXPECT_FALSE(FileExists(at + "\\" + name)) << at << name;
  }
  RemoveDirectoryA((folder + "\\about_quillbinder.html").c_str());
}

struct CancelPoint {
  const char* at;        // the start of the report during which the user confirms the cancel
  Strings lastStatuses;  // statuses that still come after it
  Strings tail;          // the last reports as "kind:text", @ for the help file's path
};

class CancelTest : public WorkerTest, public ::testing::WithParamInterface<CancelPoint> {};

TEST_P(CancelTest, CancelTakesEffectAtTheNextTestPoint) {
  const CancelPoint& p = GetParam();
  const std::string at = p.at;
  recorder.onEvent = [&](const ProgressEvent& e) {
    if (e.text.rfind(at, 0) == 0) SetJobControl(JobCancel);
  };
  ASSERT_TRUE(recorder.Run(job));
  Strings statuses = recorder.Texts(ProgressStatus);
  auto it = std::find(statuses.begin(), statuses.end(), at);
  if (at.rfind("stand-in", 0) != 0) {
    ASSERT_NE(it, statuses.end());
    EXPECT_EQ(Strings(it + 1, statuses.end()), p.lastStatuses);
  }
  Strings tail = p.tail;
  for (std::string& t : tail)
    if (t.find('@') != std::string::npos) t.replace(t.find('@'), 1, compiled);
  tail.insert(tail.end(), {"1:Cancelled by user", "2:"});
  ExpectEndsWith(tail);
  ExpectFinishedLastAndOnce(recorder);
  ExpectTemporaryFilesGone();
  // Only a cancel after the compiler returned leaves its help file.
  EXPECT_EQ(FileExists(compiled), at == "stand-in: wrote");
}

INSTANTIATE_TEST_SUITE_P(
    Points, CancelTest,
    ::testing::Values(
        // No test point between the about page and the project file.
        CancelPoint{"Creating temporary files", {"Creating project file"}, {}},
        CancelPoint{"Creating project file", {}, {}}, CancelPoint{"Creating contents file", {}, {}},
        CancelPoint{"Creating index file", {}, {}}, CancelPoint{"Compiling with help compiler", {}, {}},
        // The compiler stops without its next text; a cancel after it returned still counts.
        CancelPoint{"step 1", {}, {"1:stand-in: stopped at step 2\r\n"}},
        CancelPoint{"stand-in: wrote", {}, {"1:stand-in: wrote @\r\n"}}));

// The dialog's side of a pause: set the word to 2, ask, then store the answer and resume.
class PauseTest : public WorkerTest,
                  public ::testing::WithParamInterface<std::tuple<const char*, LONG>> {};

TEST_P(PauseTest, PausedWorkerWaitsForTheAnswerAndActsOnIt) {
  std::string at = std::get<0>(GetParam());
  LONG answer = std::get<1>(GetParam());
  std::chrono::steady_clock::time_point released;
  std::thread releaser;
  recorder.onEvent = [&](const ProgressEvent& e) {
    if (e.text != at) return;
    SetJobControl(JobPause);
    HANDLE worker = recorder.workerThread();
    releaser = std::thread([&released, worker, answer] {
      Sleep(150);
      released = std::chrono::steady_clock::now();
      SetJobControl(answer);
      ResumeThread(worker);  // harmless: the worker does not suspend itself
    });
  };
  ASSERT_TRUE(recorder.Run(job));
  releaser.join();
  // Nothing is reported between the pause and the release.
  const auto& ev = recorder.events();
  size_t i = 0;
  while (i < ev.size() && ev[i].text != at) ++i;
  ASSERT_LT(i + 1, ev.size());
  EXPECT_GE(ev[i + 1].at, released) << "the worker went on while paused";
  if (answer == JobCancel) {
    ExpectEndsWith({"1:Cancelled by user", "2:"});
    EXPECT_FALSE(HasOutput("stand-in: wrote " + compiled + "\r\n"));
  } else {
    EXPECT_FALSE(HasOutput("Cancelled by user"));
    EXPECT_TRUE(FileExists(compiled));
  }
  ExpectFinishedLastAndOnce(recorder);
}

INSTANTIATE_TEST_SUITE_P(Points, PauseTest,
                         ::testing::Combine(::testing::Values("Creating contents file",
                                                              "Creating index file", "step 2"),
                                            ::testing::Values(LONG{JobRun}, LONG{JobCancel})));

TEST_F(WorkerTest, MissingCompilerLibraryIsAnInternalError) {
  UnloadHelpCompiler();
  ASSERT_TRUE(recorder.Run(job));
  ExpectEndsWith({"1:Internal error calling HHA.DLL", "2:"});
  ExpectTemporaryFilesGone();
  ASSERT_EQ(LoadHelpCompiler(), 0);
}

TEST_F(WorkerTest, NextJobWaitsForTheEarlierWorkerToFinishItsCleanUp) {
  // Two workers on the same record, started back to back: each sees its own job whole.
  ConversionJob second = test::MakeJob(folder, "other.chm");
  test::WriteFile(folder + "\\other.hhp", "[OPTIONS]\r\nCompiled file=" + folder + "\\other.chm\r\n");
  ProgressRecorder secondRecorder;
  job.NotifyWindow = recorder.window();
  HANDLE first = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ConversionWorker, &job, 0, nullptr));
  // The second starts once the first holds the slot (its first report comes from inside
  // it); otherwise the two could take it in either order.
  auto pumpUntil = [](const std::function<bool()>& done, HANDLE thread) {
    for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < 20000;) {
      MsgWaitForMultipleObjects(thread ? 1 : 0, &thread, FALSE, 20, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  };
  pumpUntil([&] { return !recorder.events().empty(); }, nullptr);
  ASSERT_FALSE(recorder.events().empty());
  ASSERT_TRUE(secondRecorder.Run(second));  // its pumping takes the first one's reports too
  // Pumping still, so that a first worker that did not finish does not hang on its reports.
  pumpUntil([&] { return WaitForSingleObject(first, 0) == WAIT_OBJECT_0; }, first);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  CloseHandle(first);
  ExpectFinishedLastAndOnce(recorder);
  ExpectFinishedLastAndOnce(secondRecorder);
  EXPECT_TRUE(FileExists(compiled));
  EXPECT_TRUE(FileExists(folder + "\\other.chm"));
  EXPECT_FALSE(FileExists(folder + "\\other.hhp"));
  ExpectTemporaryFilesGone();
}

}  // namespace
}  // namespace qb
