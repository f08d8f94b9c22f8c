#include "tests/frontend/gui_test_support.h"

#include <commctrl.h>

namespace qb::test {

void InitCommonControlsOnce() {
  static const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_PROGRESS_CLASS};
  static const bool done = InitCommonControlsEx(&controls);
  (void)done;
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(window, &text[0], length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::string ProgramName() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of('\\') + 1);
  return name.substr(0, name.find_last_of('.'));
}

bool PumpUntil(HWND dialog, const std::function<bool()>& done, DWORD timeoutMs, int* quitCode) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        if (quitCode) *quitCode = static_cast<int>(message.wParam);
        continue;
      }
      if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace qb::test
