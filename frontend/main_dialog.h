// The program's one modeless dialog: the inputs, "Go", live progress, cancel and exit.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "job/conversion_job.h"
#include "frontend/hyperlink_control.h"
#include "support/scoped_win.h"

namespace qb {

class MainDialog {
 public:
  MainDialog() = default;
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Creates the dialog, hidden, from resource 101 of `instance`; null on failure.
  HWND Create(HINSTANCE instance);
  HWND window() const { return window_; }
  HANDLE workerThread() const { return WorkerThread.get(); }
  bool cancelInProgress() const { return CancelInProgress; }
  HyperLinkControl& link() { return link_; }

  using OpenFileFunction = BOOL(WINAPI*)(OPENFILENAMEA*);
  // Test seam: what "Browse..." calls instead of GetOpenFileNameA (null restores it).
  static void SetOpenFileDialogForTesting(OpenFileFunction function);

  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  // Test seam: what opening the finished help file calls instead of ShellExecuteA (null
  // restores it).
  static void SetShellExecuteForTesting(ShellExecuteFunction function);

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handled(LRESULT result);

  BOOL OnInitDialog();
  void OnBrowse();
  void OnDropFiles(HDROP drop);
  void SuggestOutputName(const char* indexPath);
  void OnGo();
  void OnExitOrCancel();
  bool OnSysCommand(WPARAM command);
  LRESULT OnJobProgress(WPARAM kind, LPARAM arguments);
  void JoinWorker();
  void EnableInputs(bool enable);
  void AppendOutput(const char* text);
  void StartWorker();
  void ShowHelpFileLine();
  bool CaretOnHelpFileLine() const;
  void OpenHelpFile();

  static LRESULT CALLBACK OutputBoxProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleOutputBoxMessage(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  ScopedHandleOrInvalid WorkerThread;  // INVALID_HANDLE_VALUE while no worker runs
  bool CancelInProgress = false;
  ConversionJob job_ = {};
  HyperLinkControl link_;
  WNDPROC outputBoxProc_ = &DefWindowProcA;  // the output box's own procedure
  WIN32_FILE_ATTRIBUTE_DATA outputBefore_ = {};  // the help file as the job found it
  bool outputExistedBefore_ = false;
  // The help file that the last job wrote, and where the output box's line naming it
  // starts; empty while the box shows no such line.
  std::string helpFile_;
  DWORD helpFileLineStart_ = 0;
  // The window's icons; destroyed after the window (members go after the destructor).
  ScopedIcon bigIcon_;
  ScopedIcon smallIcon_;
};

}  // namespace qb
