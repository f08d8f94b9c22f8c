// The program's one modeless dialog: the inputs, "Go", live progress, cancel and exit.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "engine/job/conversion_job.h"
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

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handled(LRESULT result);

  BOOL OnInitDialog();
  void OnBrowse();
  void OnGo();
  void OnExitOrCancel();
  bool OnSysCommand(WPARAM command);
  LRESULT OnJobProgress(WPARAM kind, LPARAM arguments);
  void JoinWorker();
  void EnableInputs(bool enable);
  void AppendOutput(const char* text);
  void StartWorker();

  HWND window_ = nullptr;
  ScopedHandleOrInvalid WorkerThread;  // INVALID_HANDLE_VALUE while no worker runs
  bool CancelInProgress = false;
  ConversionJob job_ = {};
  HyperLinkControl link_;
  // The window's icons; destroyed after the window (members go after the destructor).
  ScopedIcon bigIcon_;
  ScopedIcon smallIcon_;
};

}  // namespace qb
