// The real main dialog, created from the program's resources on the test's thread and
// driven through its controls while the worker runs beside the stand-in hha.dll.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/help_compiler.h"
#include "frontend/main_dialog.h"
#include "resources/resource_ids.h"
#include "tests/common/test_util.h"
#include "tests/engine/progress_recorder.h"
#include "tests/frontend/box_answerer.h"
#include "tests/frontend/gui_test_support.h"

namespace qb {
namespace {

using test::BoxAnswerer;
using test::FileExists;
using test::TempDir;

const char kCancelQuestion[] = "Do you really want to cancel?";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::InitCommonControlsOnce();
    ASSERT_EQ(LoadHelpCompiler(), 0) << "the stand-in hha.dll beside the test";
  }
  static void TearDownTestSuite() { UnloadHelpCompiler(); }

  void SetUp() override {
    SetEnvironmentVariableA("QB_STANDIN_SLOW", nullptr);
    folder = dir.path();
    compiled = folder + "\\guide.chm";
    test::MakeMinimalJavadoc(folder, compiled, folder + "\\guide.hhp");
    window = dialog.Create(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
  }

  void TearDown() override {
    // Never leave a worker behind for the next test.
    if (dialog.workerThread() != INVALID_HANDLE_VALUE) {
      answerer.Queue(IDYES);
      if (IsWindow(window)) SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
      PumpUntil([&] { return dialog.workerThread() == INVALID_HANDLE_VALUE; });
    }
  }

  std::string Text(int id) const { return test::WindowText(GetDlgItem(window, id)); }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }
  void Fill(const std::string& index, const std::string& name, const std::string& title = "T") {
    SetDlgItemTextA(window, IDC_INDEX_PATH, index.c_str());
    SetDlgItemTextA(window, IDC_OUTPUT_NAME, name.c_str());
    SetDlgItemTextA(window, IDC_TITLE, title.c_str());
  }
  void Click(int id) { SendDlgItemMessageA(window, id, BM_CLICK, 0, 0); }

  // Pumps as the program's loop does, the dialog's keyboard handling first.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 60000) {
    return test::PumpUntil(window, done, timeoutMs, &quitCode);
  }
  bool WaitFinished() {
    return PumpUntil([&] {
      return Text(IDC_STATUS) == "Finished" && dialog.workerThread() == INVALID_HANDLE_VALUE;
    });
  }
  void ExpectIdle(bool idle = true) {
    for (int id : {IDC_INDEX_PATH, IDC_BROWSE, IDC_OUTPUT_NAME, IDC_TITLE, IDOK})
      EXPECT_EQ(Enabled(id), idle) << id;
    EXPECT_TRUE(Enabled(IDCANCEL));
    EXPECT_EQ(Text(IDCANCEL), idle ? "Exit" : "Cancel");
    EXPECT_EQ(dialog.workerThread() == INVALID_HANDLE_VALUE, idle);
  }
  // Starts a slow job and pumps until the compiler is under way.
  void StartSlowJob() {
    SetEnvironmentVariableA("QB_STANDIN_SLOW", "1");
    Fill(folder + "\\index.html", "guide.chm");
    Click(IDOK);
    ExpectIdle(false);
    ASSERT_TRUE(PumpUntil([&] { return Text(IDC_STATUS).rfind("step ", 0) == 0; }));
  }

  TempDir dir;
  std::string folder;
  std::string compiled;
  BoxAnswerer answerer;
  MainDialog dialog;
  HWND window = nullptr;
  int quitCode = -1;
};

std::vector<std::string> g_opened;
INT_PTR g_shellResult = 42;

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
  g_opened.push_back(std::string(verb) + " " + file);
  return reinterpret_cast<HINSTANCE>(g_shellResult);
}

struct ShellSeam {
  ShellSeam() { MainDialog::SetShellExecuteForTesting(&FakeShellExecute); }
  ~ShellSeam() { MainDialog::SetShellExecuteForTesting(nullptr); }
};

TEST_F(DialogTest, GoRunsTheJobWithLiveProgressItsLastLineOpensTheHelpFileAndEnterInAFieldRunsTheNext) {
  ShellSeam seam;
  ExpectIdle();
  SetDlgItemTextA(window, IDC_OUTPUT, "left from before");
  Fill(folder + "\\index.html", "guide.chm");
  Click(IDOK);
  ExpectIdle(false);
  ASSERT_TRUE(WaitFinished());
  ExpectIdle();
  const std::string output = Text(IDC_OUTPUT);
  EXPECT_FALSE(Contains(output, "left from before"));
  // The compiler went through all its progress steps: each status report returned 1.
  EXPECT_TRUE(Contains(output, "stand-in: wrote " + compiled)) << output;
  // The compiler's text travels as an argument, never as a format.
  EXPECT_TRUE(Contains(output, "stand-in: 100% done, %s %d %n\r\n")) << output;
  EXPECT_FALSE(Contains(output, "Cancelled by user"));
  // The report's summary closes the output, each line its own, and the bar is full.
  EXPECT_TRUE(Contains(output, "\r\nReport: start page ")) << output;
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_PROGRESS, PBM_GETPOS, 0, 0), 100);
  EXPECT_TRUE(FileExists(compiled));
  EXPECT_FALSE(FileExists(folder + "\\guide.hhp"));
  EXPECT_TRUE(answerer.boxes().empty());

  // The last line names the help file and opens it on a double click or Enter.
  const size_t lastLine = output.rfind("\r\n") + 2;
  ASSERT_TRUE(Contains(output.substr(lastLine), compiled)) << output;

  HWND box = GetDlgItem(window, IDC_OUTPUT);
  auto doubleClick = [&](size_t character) {
    const LRESULT at = SendMessageA(box, EM_POSFROMCHAR, character, 0);
    const LPARAM point = MAKELPARAM(LOWORD(at) + 2, HIWORD(at) + 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      SendMessageA(box, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, point);
  };
  // The line before is not the help file's.
  doubleClick(output.rfind("\r\n", lastLine - 3) + 2);
  EXPECT_TRUE(g_opened.empty());
  doubleClick(lastLine);
  EXPECT_EQ(g_opened, std::vector<std::string>{"open " + compiled});

  // Enter on that line opens it too, and starts no new job.
  SetFocus(box);
  SendMessageA(box, EM_SETSEL, lastLine + 1, lastLine + 1);
  PostMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
  PumpUntil([&] { return g_opened.size() == 2; }, 5000);
  EXPECT_EQ(g_opened, (std::vector<std::string>{"open " + compiled, "open " + compiled}));
  EXPECT_EQ(dialog.workerThread(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Text(IDC_OUTPUT), output);

  // A viewer that cannot be started is said so.
  g_shellResult = SE_ERR_NOASSOC;
  doubleClick(lastLine);
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{"Cannot open '" + compiled + "'."});

  // A folder deep enough that the compiler's "compiling <project>" line is ~280 characters:
  // shown whole.
  std::string deep = folder;
  while (deep.size() < 235) deep += "\\" + std::string(40, 'p');
  deep = deep.substr(0, 235);
  if (deep.back() == '\\') deep.back() = 'q';
  test::MakeMinimalJavadoc(deep, deep + "\\g.chm", deep + "\\g.hhp");
  Fill(deep + "\\index.html", "g.chm");
  SetDlgItemTextA(window, IDC_STATUS, "");
  SetFocus(GetDlgItem(window, IDC_TITLE));
  PostMessageA(GetDlgItem(window, IDC_TITLE), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitFinished());
  const std::string line = "stand-in: compiling " + deep + "\\g.hhp\r\n";
  ASSERT_GT(line.size(), 259u);
  EXPECT_TRUE(Contains(Text(IDC_OUTPUT), line)) << Text(IDC_OUTPUT);
  EXPECT_TRUE(FileExists(deep + "\\g.chm"));
}

// The dialog's two ways of refusing, a bad name (the output box kept) and an index page
// that cannot be opened (cleared); which names and pages are refused is job_setup_test's.
TEST_F(DialogTest, BadInputsAreRefusedInABoxOfTheDialogBeforeAnyJob) {
  const std::string absent = folder + "\\absent\\index.html";
  struct Case {
    std::string index, name, box, output;
  } cases[] = {
      {folder + "\\index.html", "sub\\guide.chm", "Output file name cannot contain path", "kept"},
      {absent, "guide.chm", "Cannot open '" + absent + "'.", ""},
  };
  SetForegroundWindow(window);
  SetActiveWindow(window);
  for (const Case& c : cases) {
    answerer.Clear();
    SetDlgItemTextA(window, IDC_OUTPUT, "kept");
    Fill(c.index, c.name);
    Click(IDOK);
    ASSERT_EQ(answerer.Texts(), std::vector<std::string>{c.box});
    EXPECT_EQ(answerer.boxes()[0].caption, test::ProgramName());
    EXPECT_EQ(answerer.boxes()[0].owner, window);
    EXPECT_EQ(Text(IDC_OUTPUT), c.output);
    ExpectIdle();
    EXPECT_EQ(Text(IDC_STATUS), "<file name>");
  }
  EXPECT_TRUE(FileExists(folder + "\\guide.hhp"));  // no worker ran its clean-up
}

OPENFILENAMEA g_seenOpen;
std::string g_seenFilter;
const char* g_chosen = nullptr;

BOOL WINAPI FakeOpen(OPENFILENAMEA* open) {
  g_seenOpen = *open;
  g_seenFilter.assign(open->lpstrFilter, 0, 0);
  for (const char* p = open->lpstrFilter; *p; p += lstrlenA(p) + 1) g_seenFilter += p + std::string("|");
  if (!g_chosen) return FALSE;
  lstrcpynA(open->lpstrFile, g_chosen, static_cast<int>(open->nMaxFile));
  return TRUE;
}

struct OpenSeam {
  OpenSeam() { MainDialog::SetOpenFileDialogForTesting(&FakeOpen); }
  ~OpenSeam() { MainDialog::SetOpenFileDialogForTesting(nullptr); }
};

TEST_F(DialogTest, BrowseSuggestsTheChmNameAndLeavesTheTitleOrChangesNothingWhenCancelled) {
  OpenSeam seam;
  Fill("", "", "My title");
  g_chosen = "C:\\docs\\api\\index.html";
  Click(IDC_BROWSE);
  EXPECT_EQ(Text(IDC_INDEX_PATH), "C:\\docs\\api\\index.html");
  EXPECT_EQ(Text(IDC_OUTPUT_NAME), "index.chm");
  EXPECT_EQ(Text(IDC_TITLE), "My title");
  EXPECT_EQ(g_seenOpen.hwndOwner, window);
  EXPECT_EQ(g_seenFilter, "javadoc (index.html)|index.html|");
  EXPECT_EQ(g_seenOpen.nMaxFile, 260u);
  EXPECT_EQ(g_seenOpen.nMaxFileTitle, 256u);
  EXPECT_EQ(g_seenOpen.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_ENABLESIZING |
                                                 OFN_HIDEREADONLY | OFN_ENABLEHOOK));
  EXPECT_NE(g_seenOpen.lpfnHook, nullptr);

  g_chosen = "C:\\a.b\\frames";
  Click(IDC_BROWSE);
  EXPECT_EQ(Text(IDC_OUTPUT_NAME), "frames.chm");
  // Cancelled, the dialog changes nothing.
  g_chosen = nullptr;
  Click(IDC_BROWSE);
  EXPECT_EQ(Text(IDC_INDEX_PATH), "C:\\a.b\\frames");
  EXPECT_EQ(Text(IDC_OUTPUT_NAME), "frames.chm");
}

// An HDROP as the file manager hands one over: wide names, the list ended by an empty one.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += std::wstring(path.begin(), path.end()) + L'\0';
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  CopyMemory(drop + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);  // the receiver frees it (DragFinish)
}

TEST_F(DialogTest, DroppedFolderOrIndexPageFillsThePath) {
  // Without it the file manager refuses to drop onto the window at all.
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  struct Case {
    std::vector<std::string> dropped;
    std::string nameBefore, path, name;
  } cases[] = {
      {{folder}, "", folder + "\\index.html", "index.chm"},
      {{folder + "\\index.html", folder + "\\guide.hhp"}, "mine.chm", folder + "\\index.html",
       "mine.chm"},
  };
  for (const Case& c : cases) {
    Fill("", c.nameBefore);
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(c.dropped)), 0);
    EXPECT_EQ(Text(IDC_INDEX_PATH), c.path) << c.dropped[0];
    EXPECT_EQ(Text(IDC_OUTPUT_NAME), c.name) << c.dropped[0];
  }  // the path filled is the one the Go test converts
}

enum class Leave { Exit, Escape, CloseBox };

void Press(HWND window, Leave how) {
  switch (how) {
    case Leave::Exit:
      SendDlgItemMessageA(window, IDCANCEL, BM_CLICK, 0, 0);
      break;
    case Leave::Escape:
      SetFocus(GetDlgItem(window, IDC_INDEX_PATH));
      PostMessageA(GetDlgItem(window, IDC_INDEX_PATH), WM_KEYDOWN, VK_ESCAPE, 0);
      break;
    case Leave::CloseBox:
      SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
}

class LeaveTest : public DialogTest, public ::testing::WithParamInterface<Leave> {};

TEST_P(LeaveTest, WhenIdleEndsTheProgramWithCodeZero) {
  SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // other commands keep their default
  EXPECT_TRUE(IsIconic(window));
  Press(window, GetParam());
  EXPECT_TRUE(PumpUntil([&] { return quitCode != -1; }, 10000));
  EXPECT_EQ(quitCode, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(answerer.boxes().empty());
}

TEST_P(LeaveTest, WhileRunningAsksPausesTheWorkerAndNoLetsTheJobGoOn) {
  StartSlowJob();
  std::string statusWhenAsked;
  DWORD asked = 0;
  answerer.Queue(IDNO, [&] {
    if (!asked) {
      asked = GetTickCount();
      statusWhenAsked = Text(IDC_STATUS);
    }
    // The worker is paused: the status line stands still while the box is open.
    EXPECT_EQ(Text(IDC_STATUS), statusWhenAsked);
    return GetTickCount() - asked > 300;
  });
  Press(window, GetParam());
  ASSERT_TRUE(PumpUntil([&] { return !answerer.boxes().empty(); }));
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{kCancelQuestion});
  EXPECT_FALSE(dialog.cancelInProgress());
  ASSERT_TRUE(WaitFinished());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(quitCode, -1);
  EXPECT_FALSE(Contains(Text(IDC_OUTPUT), "Cancelled by user"));
  EXPECT_TRUE(Contains(Text(IDC_OUTPUT), "stand-in: wrote")) << Text(IDC_OUTPUT);
  EXPECT_TRUE(FileExists(compiled));
  ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(AllThreeWays, LeaveTest,
                         ::testing::Values(Leave::Exit, Leave::Escape, Leave::CloseBox));

TEST_F(DialogTest, CancelConfirmedEndsWithCancelledByUser) {
  StartSlowJob();
  answerer.Queue(IDYES);
  Click(IDCANCEL);
  EXPECT_EQ(answerer.Texts(), std::vector<std::string>{kCancelQuestion});
  EXPECT_TRUE(dialog.cancelInProgress());
  // Before "finished" arrives a further press only asks for patience.
  Click(IDCANCEL);
  EXPECT_EQ(answerer.Texts(), (std::vector<std::string>{kCancelQuestion,
                                                        "Please wait. Cancel is in progress"}));
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(Text(IDC_STATUS), "Finished");
  const std::string output = Text(IDC_OUTPUT);
  EXPECT_EQ(output.substr(output.size() - 17), "Cancelled by user") << output;
  EXPECT_TRUE(Contains(Text(IDC_OUTPUT), "stand-in: stopped at step"));
  EXPECT_FALSE(FileExists(compiled));
  ExpectIdle();
  EXPECT_EQ(answerer.boxes().size(), 2u);
}

TEST_F(DialogTest, JobEndingWhileTheQuestionIsOpenReturnsToIdle) {
  Fill(folder + "\\index.html", "guide.chm");
  Click(IDOK);
  HANDLE worker = dialog.workerThread();
  ASSERT_NE(worker, INVALID_HANDLE_VALUE);
  // Serve the worker's sent reports only (PM_NOREMOVE), so that its posted "finished"
  // stays queued until the question's own loop takes it.
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
    if (MsgWaitForMultipleObjects(1, &worker, FALSE, 50, QS_SENDMESSAGE) == WAIT_OBJECT_0) break;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  answerer.Queue(IDYES, [&] { return Text(IDC_STATUS) == "Finished"; });
  Click(IDCANCEL);
  ASSERT_EQ(answerer.Texts(), std::vector<std::string>{kCancelQuestion});
  ExpectIdle();
  EXPECT_FALSE(Contains(Text(IDC_OUTPUT), "Cancelled by user"));
  EXPECT_TRUE(FileExists(compiled));
  // The late "Yes" changed nothing: the next Exit ends the program.
  Click(IDCANCEL);
  EXPECT_TRUE(PumpUntil([&] { return quitCode != -1; }, 10000));
  EXPECT_EQ(quitCode, 0);
  EXPECT_EQ(answerer.boxes().size(), 1u);
}

}  // namespace
}  // namespace qb
