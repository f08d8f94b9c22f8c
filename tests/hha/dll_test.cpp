// hha.dll loaded by the system's own LoadHelpCompiler and called through CompileProject:
// its messages and status texts reach the worker's callbacks, which report them to the
// job's window in order, and a cancel stops the compile without touching the output.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "engine/conversion_worker.h"
#include "engine/help_compiler.h"
#include "job/window_reports.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

struct Report {
  int kind;
  std::string text;
};
std::vector<Report> g_reports;
int g_cancelAtStatus = 0;

LRESULT CALLBACK ReportWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != qb::WM_JOB_PROGRESS) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (wParam == qb::ProgressStatus) {
    g_reports.push_back({0, qb::ProgressStatusText(lParam)});
    int statuses = 0;
    for (const Report& r : g_reports) statuses += r.kind == 0;
    if (g_cancelAtStatus && statuses == g_cancelAtStatus) qb::SetJobControl(qb::JobCancel);
    return 1;
  }
  if (wParam == qb::ProgressOutput) g_reports.push_back({1, qb::FormatProgressOutput(lParam)});
  return 0;
}

class HhaDll : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ReportWindow;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HhaDllTestReports";
    RegisterClassA(&wc);
    window_ = CreateWindowA("HhaDllTestReports", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(qb::LoadHelpCompiler(), 0) << "hha.dll beside the test program";
    std::memset(&qb::RunningJob, 0, sizeof qb::RunningJob);
    qb::RunningJob.NotifyWindow = window_;
    g_reports.clear();
    g_cancelAtStatus = 0;
  }
  void TearDown() override {
    qb::UnloadHelpCompiler();
    DestroyWindow(window_);
  }
  HWND window_ = nullptr;
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
  ASSERT_EQ(qb::CompileProject((dir / "guide.hhp").c_str()), 0);
  ASSERT_GE(g_reports.size(), 4u);
  std::vector<std::string> outputs;
  for (const Report& r : g_reports)
    if (r.kind == 1) outputs.push_back(r.text);
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
  EXPECT_EQ(g_reports.front().kind, 0) << "a status comes before any work";
  EXPECT_TRUE(qb::test::FileExists(dir / "guide.chm"));
}

TEST_F(HhaDll, ACancelStopsTheCompileAndLeavesTheOldFile) {
  TempDir dir;
  WriteProject(dir);
  qb::test::WriteFile(dir / "guide.chm", "older");
  g_cancelAtStatus = 3;
  ASSERT_EQ(qb::CompileProject((dir / "guide.hhp").c_str()), 0);
  int statuses = 0;
  for (const Report& r : g_reports) statuses += r.kind == 0;
  EXPECT_EQ(statuses, 3) << "no status after the cancel";
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
  EXPECT_NE(entry((dir / "guide.hhp").c_str(), &qb::OnCompilerMessage, &qb::OnCompilerProgress, options), 0);
  EXPECT_EQ(entry((dir / "none.hhp").c_str(), &qb::OnCompilerMessage, &qb::OnCompilerProgress, options), 0);
  EXPECT_EQ(entry((dir / "guide.hhp").c_str(), nullptr, nullptr, nullptr), 1) << "callbacks are optional";
}

}  // namespace
}  // namespace hha::test
