// hha.dll loaded by the system's own LoadHelpCompiler and called through CompileProject:
// its messages and status texts reach the worker's callbacks, which report them to the
// job's window in order, and a cancel stops the compile without touching the output.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "engine/conversion_worker.h"
#include "engine/help_compiler.h"
#include "job/window_reports.h"
#include "tests/engine/progress_recorder.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

class HhaDll : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(qb::LoadHelpCompiler(), 0) << "hha.dll beside the test program"; }
  void TearDown() override { qb::UnloadHelpCompiler(); }
  // Runs `call` on a worker thread as the job does, the reports taken by the recorder; the
  // job is cancelled at status text `cancelAt` (0: never).
  void AsTheWorker(const std::function<void()>& call, int cancelAt = 0) {
    int statuses = 0;
    recorder.onEvent = [&](const qb::test::ProgressEvent& e) {
      if (e.kind == qb::ProgressStatus && ++statuses == cancelAt) qb::SetJobControl(qb::JobCancel);
    };
    ASSERT_TRUE(recorder.RunStage([&] { return call(), true; }));
  }
  std::vector<std::string> Statuses() const { return recorder.Texts(qb::ProgressStatus); }
  qb::test::ProgressRecorder recorder;
};

void WriteProject(const TempDir& dir) {
  std::string files;
  for (int i = 0; i < 30; ++i) {
    qb::test::WriteFile(dir / ("p" + std::to_string(i) + ".html"),
                        "<html><body>" + std::string(20000, 'a' + i % 26) + "</body></html>");
    files += "p" + std::to_string(i) + ".html\r\n";
  }
  qb::test::WriteFile(dir / "p0.html", "<a href=\"gone.html\">");
  qb::test::WriteFile(dir / "guide.hhp", "[OPTIONS]\r\nCompiled file=" + (dir / "guide.chm") +
                                             "\r\nTitle=DLL\r\n\r\n[FILES]\r\n" + files);
}

TEST_F(HhaDll, MessagesAndStatusTextsArriveInOrder) {
  TempDir dir;
  WriteProject(dir);
  int result = -1;
  AsTheWorker([&] { result = qb::CompileProject((dir / "guide.hhp").c_str()); });
  ASSERT_EQ(result, 0);
  const std::vector<std::string> outputs = recorder.Texts(qb::ProgressOutput);
  ASSERT_GE(outputs.size(), 3u);
  EXPECT_EQ(outputs[0].compare(0, 10, "Compiling "), 0) << outputs[0];
  // The job holds warnings back, to show them grouped once the compiler is done.
  bool warned = false;
  for (const qb::WarningGroup& group : qb::RunningReport().warnings)
    for (const std::string& w : group.all)
      warned |= w.find("p0.html, line 1: \"gone.html\" does not exist") != std::string::npos;
  EXPECT_TRUE(warned);
  EXPECT_EQ(outputs[outputs.size() - 2].compare(0, 9, "Compiled "), 0);
  EXPECT_EQ(outputs.back().compare(0, 8, "Created "), 0);
  for (const auto& o : outputs) EXPECT_EQ(o.substr(o.size() - 2), "\r\n") << o;
  ASSERT_FALSE(recorder.events().empty());
  EXPECT_EQ(recorder.events().front().kind, static_cast<int>(qb::ProgressStatus)) << "a status comes before any work";
  EXPECT_TRUE(qb::test::FileExists(dir / "guide.chm"));
}

TEST_F(HhaDll, ACancelStopsTheCompileAndLeavesTheOldFile) {
  TempDir dir;
  WriteProject(dir);
  qb::test::WriteFile(dir / "guide.chm", "older");
  int result = -1;
  AsTheWorker([&] { result = qb::CompileProject((dir / "guide.hhp").c_str()); }, 3);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Statuses().size(), 3u) << "no status after the cancel";
  EXPECT_EQ(qb::test::ReadFile(dir / "guide.chm"), "older");
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir / "guide.chm.~*").c_str(), &data);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "a temporary file was left: " << data.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(HhaDll, TheEntryReturnsNonzeroOnlyWhenTheFileWasWritten) {
  TempDir dir;
  WriteProject(dir);
  using Entry = int(__stdcall*)(const char*, int(__stdcall*)(const char*),
                                int(__stdcall*)(const char*), void*);
  HMODULE m = GetModuleHandleA("hha.dll");
  ASSERT_NE(m, nullptr);
  auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m, "HHA_CompileHHP")));
  ASSERT_NE(entry, nullptr);
  uint8_t options[308] = {0x34, 0x01};
  int written = -1, missing = -1, bare = -1;
  AsTheWorker([&] {
    written = entry((dir / "guide.hhp").c_str(), &qb::OnCompilerMessage, &qb::OnCompilerProgress, options);
    missing = entry((dir / "none.hhp").c_str(), &qb::OnCompilerMessage, &qb::OnCompilerProgress, options);
    bare = entry((dir / "guide.hhp").c_str(), nullptr, nullptr, nullptr);
  });
  EXPECT_NE(written, 0);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(bare, 1) << "callbacks are optional";
}

}  // namespace
}  // namespace hha::test
