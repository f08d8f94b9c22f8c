// Message pumping and small window helpers for the tests that drive real windows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qb::test {

void InitCommonControlsOnce();
std::string WindowText(HWND window);
// The test program's file name without its extension (the message boxes' caption).
std::string ProgramName();

// Pumps the thread's messages as the program's loop does (IsDialogMessageA for `dialog`
// first) until `done` returns true or the time is up. A WM_QUIT stores its code in
// `*quitCode`.
bool PumpUntil(HWND dialog, const std::function<bool()>& done, DWORD timeoutMs, int* quitCode);

}  // namespace qb::test
