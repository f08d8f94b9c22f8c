#include "frontend/main_dialog.h"

#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include <string>

#include "frontend/centered_message_box.h"
#include "engine/conversion_worker.h"
#include "engine/job/window_reports.h"
#include "frontend/job_setup.h"
#include "resources/product.h"
#include "resources/resource_ids.h"
#include "resources/version.h"

namespace qb {
namespace {

MainDialog::OpenFileFunction g_openFile = &GetOpenFileNameA;

// The Open dialog needs a hook procedure for OFN_ENABLEHOOK; it changes nothing.
UINT_PTR CALLBACK OpenFileHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

std::string ItemText(HWND dialog, int id) {
  char text[kPathCapacity] = "";
  GetDlgItemTextA(dialog, id, text, kPathCapacity);
  return text;
}

}  // namespace

void MainDialog::SetOpenFileDialogForTesting(OpenFileFunction function) {
  g_openFile = function ? function : &GetOpenFileNameA;
}

MainDialog::~MainDialog() {
  JoinWorker();
  if (IsWindow(window_)) DestroyWindow(window_);
}

HWND MainDialog::Create(HINSTANCE instance) {
  return CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, &DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<MainDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->window_ = window;
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<MainDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) self->window_ = nullptr;
  return self->HandleMessage(message, wParam, lParam);
}

INT_PTR MainDialog::Handled(LRESULT result) {
  SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != 0) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_BROWSE: OnBrowse(); return Handled(0);
        case IDOK: OnGo(); return Handled(0);
        case IDCANCEL: OnExitOrCancel(); return Handled(0);
        default: return FALSE;
      }
    case WM_SYSCOMMAND:
      if (!OnSysCommand(wParam)) return FALSE;
      return Handled(0);
    case WM_JOB_PROGRESS:
      // The result reaches the worker; 0 for a status report would stop the compiler.
      return Handled(OnJobProgress(wParam, lParam));
    default:
      return FALSE;
  }
}

BOOL MainDialog::OnInitDialog() {
  CenterWindow(window_, GetParent(window_));
  link_.SetUrl(kProductHomepage);
  link_.Attach(GetDlgItem(window_, IDC_HOMEPAGE));
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
  // Icons loaded without LR_SHARED belong to the program, which destroys them.
  bigIcon_.reset(static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
  smallIcon_.reset(static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  SetDlgItemTextA(window_, IDC_VERSION, QB_VERSION_TEXT);
  // The default limit (about 32 KB) would drop a large project's compiler messages.
  SendDlgItemMessageA(window_, IDC_OUTPUT, EM_SETLIMITTEXT, 0, 0);
  return TRUE;
}

void MainDialog::OnBrowse() {
  char file[kPathCapacity] = "";
  char fileTitle[256] = "";
  OPENFILENAMEA open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = window_;
  open.lpstrFilter = "javadoc (index.html)\0index.html\0";
  open.lpstrFile = file;
  open.nMaxFile = sizeof file;
  open.lpstrFileTitle = fileTitle;
  open.nMaxFileTitle = sizeof fileTitle;
  open.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
  open.lpfnHook = &OpenFileHook;
  if (!g_openFile(&open)) return;

  SetDlgItemTextA(window_, IDC_INDEX_PATH, file);
  char suggestion[kPathCapacity];
  lstrcpynA(suggestion, PathFindFileNameA(file), kPathCapacity);
  char* extension = PathFindExtensionA(suggestion);
  // Cut rather than overflow: the field is only a suggestion the user can edit.
  lstrcpynA(extension, ".chm", static_cast<int>(suggestion + kPathCapacity - extension));
  SetDlgItemTextA(window_, IDC_OUTPUT_NAME, suggestion);
}

void MainDialog::OnGo() {
  const std::string index = ItemText(window_, IDC_INDEX_PATH);
  const std::string name = ItemText(window_, IDC_OUTPUT_NAME);
  const std::string title = ItemText(window_, IDC_TITLE);
  JobSetup setup = FillConversionJob(index.c_str(), name.c_str(), title.c_str(), window_, job_);
  if (setup.failure != SetupFailure::OutputName) SetDlgItemTextA(window_, IDC_OUTPUT, "");
  if (setup.failure != SetupFailure::None) {
    CenteredMessageBox(setup.error.c_str(), MB_SETFOREGROUND);
    return;
  }
  EnableInputs(false);
  SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  CancelInProgress = false;
  StartWorker();
}

void MainDialog::StartWorker() {
  unsigned threadId = 0;
  uintptr_t thread = _beginthreadex(nullptr, 0, &ConversionWorker, &job_, 0, &threadId);
  if (thread == 0) {
    // No worker means no "finished" report: go back to Idle here.
    EnableInputs(true);
    CenteredMessageBox("Cannot start the conversion.", MB_SETFOREGROUND);
    return;
  }
  WorkerThread.reset(reinterpret_cast<HANDLE>(thread));
}

void MainDialog::OnExitOrCancel() {
  if (!WorkerThread) {
    DestroyWindow(window_);
    PostQuitMessage(0);
    return;
  }
  if (CancelInProgress) {
    CenteredMessageBox("Please wait. Cancel is in progress", MB_SETFOREGROUND);
    return;
  }
  SetJobControl(JobPause);
  const bool yes = CenteredMessageBox("Do you really want to cancel?", MB_YESNO) == IDYES;
  // The job may have finished while the question was open; it was joined then.
  if (!WorkerThread) {
    SetJobControl(JobCancel);
    return;
  }
  if (yes)
    CancelInProgress = SetJobControl(JobCancel) == JobCancel;
  else
    SetJobControl(JobRun);
  ResumeThread(WorkerThread.get());
}

bool MainDialog::OnSysCommand(WPARAM command) {
  if (command != SC_CLOSE) return false;
  OnExitOrCancel();
  return true;
}

LRESULT MainDialog::OnJobProgress(WPARAM kind, LPARAM arguments) {
  switch (kind) {
    case ProgressStatus:
      SetDlgItemTextA(window_, IDC_STATUS, ProgressStatusText(arguments));
      return 1;
    case ProgressOutput:
      // Whole, however long: the compiler's messages name long paths.
      AppendOutput(FormatProgressOutput(arguments).c_str());
      return 0;
    case ProgressPercent:
      SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(arguments), 0);
      return 0;
    case ProgressFinished:
      SetDlgItemTextA(window_, IDC_STATUS, "Finished");
      JoinWorker();
      EnableInputs(true);
      return 0;
    default:
      return 0;
  }
}

void MainDialog::JoinWorker() {
  if (!WorkerThread) return;
  SetJobControl(JobCancel);
  WaitForSingleObject(WorkerThread.get(), 1000);
  WorkerThread.reset();  // closed whether or not the thread has ended
}

void MainDialog::EnableInputs(bool enable) {
  for (int id : {IDC_INDEX_PATH, IDC_BROWSE, IDC_OUTPUT_NAME, IDC_TITLE, IDOK})
    EnableWindow(GetDlgItem(window_, id), enable);
  SetDlgItemTextA(window_, IDCANCEL, enable ? "Exit" : "Cancel");
}

void MainDialog::AppendOutput(const char* text) {
  HWND box = GetDlgItem(window_, IDC_OUTPUT);
  const LRESULT end = GetWindowTextLengthA(box);
  SendMessageA(box, EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageA(box, EM_SCROLLCARET, 0, 0);
  SendMessageA(box, EM_SETREADONLY, FALSE, 0);
  SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
  SendMessageA(box, EM_SETREADONLY, TRUE, 0);
}

}  // namespace qb
