#include "frontend/main_dialog.h"

#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include <string>

#include "frontend/centered_message_box.h"
#include "engine/conversion_worker.h"
#include "job/window_reports.h"
#include "frontend/job_setup.h"
#include "resources/product.h"
#include "resources/resource_ids.h"
#include "resources/version.h"

namespace qb {
namespace {

MainDialog::OpenFileFunction g_openFile = &GetOpenFileNameA;
MainDialog::ShellExecuteFunction g_shellExecute = &ShellExecuteA;

// Binds the output box to its dialog object while the box is subclassed.
const char kDialogProperty[] = "quillbinder.MainDialog";

// The Open dialog needs a hook procedure for OFN_ENABLEHOOK; it changes nothing.
UINT_PTR CALLBACK OpenFileHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

std::string ItemText(HWND dialog, int id) {
  char text[kPathCapacity] = "";
  GetDlgItemTextA(dialog, id, text, kPathCapacity);
  return text;
}

bool Stamp(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  return GetFileAttributesExA(path, GetFileExInfoStandard, data) != FALSE;
}

// The compiler writes a new file and moves it into place, so the help file a job wrote
// differs from the one it found in time or size.
bool Differ(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
  return CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) != 0 ||
         a.nFileSizeLow != b.nFileSizeLow || a.nFileSizeHigh != b.nFileSizeHigh;
}

}  // namespace

void MainDialog::SetOpenFileDialogForTesting(OpenFileFunction function) {
  g_openFile = function ? function : &GetOpenFileNameA;
}

void MainDialog::SetShellExecuteForTesting(ShellExecuteFunction function) {
  g_shellExecute = function ? function : &ShellExecuteA;
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
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return Handled(0);
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
  DragAcceptFiles(window_, TRUE);
  HWND box = GetDlgItem(window_, IDC_OUTPUT);
  SetPropA(box, kDialogProperty, this);
  outputBoxProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainDialog::OutputBoxProc)));
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
  SuggestOutputName(file);
}

void MainDialog::SuggestOutputName(const char* indexPath) {
  char suggestion[kPathCapacity];
  lstrcpynA(suggestion, PathFindFileNameA(indexPath), kPathCapacity);
  char* extension = PathFindExtensionA(suggestion);
  // Cut rather than overflow: the field is only a suggestion the user can edit.
  lstrcpynA(extension, ".chm", static_cast<int>(suggestion + kPathCapacity - extension));
  SetDlgItemTextA(window_, IDC_OUTPUT_NAME, suggestion);
}

// A Javadoc folder, or its index.html, dragged from the file manager. The path is put in
// the field as if typed: "Go" checks it as always.
void MainDialog::OnDropFiles(HDROP drop) {
  std::string path(DragQueryFileA(drop, 0, nullptr, 0), '\0');
  const UINT length = DragQueryFileA(drop, 0, &path[0], static_cast<UINT>(path.size() + 1));
  DragFinish(drop);
  // While a job runs its fields are locked, against drops as against typing.
  if (WorkerThread || length == 0) return;
  path.resize(length);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (path.back() != '\\') path += '\\';  // a drive's root comes with its backslash
    path += "index.html";
  }
  SetDlgItemTextA(window_, IDC_INDEX_PATH, path.c_str());
  // A name the user typed stays; an empty one gets what "Browse..." would suggest.
  if (ItemText(window_, IDC_OUTPUT_NAME).empty()) SuggestOutputName(path.c_str());
}

void MainDialog::OnGo() {
  const std::string index = ItemText(window_, IDC_INDEX_PATH);
  const std::string name = ItemText(window_, IDC_OUTPUT_NAME);
  const std::string title = ItemText(window_, IDC_TITLE);
  JobSetup setup = FillConversionJob(index.c_str(), name.c_str(), title.c_str(), window_, job_);
  if (setup.failure != SetupFailure::OutputName) {
    SetDlgItemTextA(window_, IDC_OUTPUT, "");
    helpFile_.clear();
  }
  if (setup.failure != SetupFailure::None) {
    CenteredMessageBox(setup.error.c_str(), MB_SETFOREGROUND);
    return;
  }
  outputExistedBefore_ = Stamp(job_.OutputPath, &outputBefore_);
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
    case ProgressFinished: {
      SetDlgItemTextA(window_, IDC_STATUS, "Finished");
      const bool cancelled = CancelInProgress;
      JoinWorker();
      WIN32_FILE_ATTRIBUTE_DATA after;
      if (!cancelled && Stamp(job_.OutputPath, &after) &&
          (!outputExistedBefore_ || Differ(outputBefore_, after)))
        ShowHelpFileLine();
      EnableInputs(true);
      return 0;
    }
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

// The box's last line names the help file the job wrote; the user opens it from there.
void MainDialog::ShowHelpFileLine() {
  char full[kPathCapacity];
  const DWORD length = GetFullPathNameA(job_.OutputPath, kPathCapacity, full, nullptr);
  helpFile_ = length > 0 && length < kPathCapacity ? full : job_.OutputPath;
  HWND box = GetDlgItem(window_, IDC_OUTPUT);
  // The stages' own messages come without a line break.
  const LRESULT lastLine = SendMessageA(box, EM_GETLINECOUNT, 0, 0) - 1;
  const LRESULT lastLineLength =
      SendMessageA(box, EM_LINELENGTH, SendMessageA(box, EM_LINEINDEX, lastLine, 0), 0);
  const std::string lineBreak = lastLineLength > 0 ? "\r\n" : "";
  helpFileLineStart_ = static_cast<DWORD>(GetWindowTextLengthA(box) + lineBreak.size());
  AppendOutput((lineBreak + "Help file: " + helpFile_ + " (double-click to open)").c_str());
}

// Where the caret is, not where a selection starts: a box entered with Tab has all its
// text selected and the caret at the end, on the help file's line.
bool MainDialog::CaretOnHelpFileLine() const {
  if (helpFile_.empty()) return false;
  DWORD start = 0, end = 0;
  SendDlgItemMessageA(window_, IDC_OUTPUT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  return end >= helpFileLineStart_;
}

void MainDialog::OpenHelpFile() {
  const INT_PTR result = reinterpret_cast<INT_PTR>(
      g_shellExecute(window_, "open", helpFile_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32)
    CenteredMessageBox(("Cannot open '" + helpFile_ + "'.").c_str(), MB_SETFOREGROUND);
}

LRESULT CALLBACK MainDialog::OutputBoxProc(HWND box, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = static_cast<MainDialog*>(GetPropA(box, kDialogProperty));
  if (!self) return DefWindowProcA(box, message, wParam, lParam);
  return self->HandleOutputBoxMessage(box, message, wParam, lParam);
}

LRESULT MainDialog::HandleOutputBoxMessage(HWND box, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  const WNDPROC own = outputBoxProc_;
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcA(own, box, message, wParam, lParam);
      // Enter on the help file's line is the box's, not the default button's.
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN &&
          CaretOnHelpFileLine())
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      // The edit control itself would pass Enter on to "Go".
      if (wParam == VK_RETURN && CaretOnHelpFileLine()) {
        OpenHelpFile();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r' && CaretOnHelpFileLine()) return 0;  // the Enter just handled
      break;
    case WM_LBUTTONDBLCLK: {
      // The box first puts the caret where the pointer is.
      const LRESULT result = CallWindowProcA(own, box, message, wParam, lParam);
      if (CaretOnHelpFileLine()) OpenHelpFile();
      return result;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
      RemovePropA(box, kDialogProperty);
      break;
    default:
      break;
  }
  return CallWindowProcA(own, box, message, wParam, lParam);
}

}  // namespace qb
