// The program's entry: COM and common controls, the help compiler library, the main
// dialog and its message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "engine/help_compiler.h"
#include "frontend/centered_message_box.h"
#include "frontend/main_dialog.h"

namespace {

const char kCompilerMissing[] =
    "Microsoft Help Compiler (hha.dll) not found or not compatile with this software.\r\n"
    "Please install Microsoft HTML Help Workshop from "
    "https://learn.microsoft.com/en-us/previous-versions/windows/desktop/htmlhelp/"
    "microsoft-html-help-downloads";

int Run() {
  if (qb::LoadHelpCompiler() != 0) {
    qb::CenteredMessageBox(kCompilerMissing, MB_SETFOREGROUND);
    return 0;
  }
  int exitCode = 0;
  {
    qb::MainDialog dialog;  // its window is gone by now; the object goes after the unload
    HWND window = dialog.Create(GetModuleHandleA(nullptr));
    if (window) {
      ShowWindow(window, SW_SHOW);
      MSG message;
      for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == -1) continue;
        if (got == 0) {
          exitCode = static_cast<int>(message.wParam);
          break;
        }
        if (IsWindow(window) && IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    qb::UnloadHelpCompiler();
  }
  return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  int exitCode = Run();
  CoUninitialize();
  return exitCode;
}
