#include "frontend/centered_message_box.h"

namespace qb {
namespace {

constexpr int kCaptionCapacity = 260;

struct HookRecord {
  HHOOK hook = nullptr;
  bool removed = false;
};

// The hook procedure gets no user argument; the record is found through the installing
// thread, which is the only thread the hook runs on.
thread_local HookRecord* t_hookRecord = nullptr;

LRESULT CALLBACK CenteringHook(int code, WPARAM wParam, LPARAM lParam) {
  HookRecord* record = t_hookRecord;
  HHOOK hook = record ? record->hook : nullptr;
  if (record && code == HCBT_ACTIVATE && !record->removed) {
    CenterWindow(reinterpret_cast<HWND>(wParam), nullptr);
    UnhookWindowsHookEx(hook);
    record->removed = true;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

POINT CenteredPosition(const RECT& windowRect, const RECT& target, const RECT& area) {
  const LONG w = windowRect.right - windowRect.left;
  const LONG h = windowRect.bottom - windowRect.top;
  // C++ division truncates toward zero, which is the rounding the placement is defined by.
  LONG x = (target.left + target.right) / 2 - w / 2;
  LONG y = (target.top + target.bottom) / 2 - h / 2;
  if (x < area.left)
    x = area.left;
  else if (x + w > area.right)
    x = area.right - w;
  if (y < area.top)
    y = area.top;
  else if (y + h > area.bottom)
    y = area.bottom - h;
  return POINT{x, y};
}

void CaptionFromModulePath(const char* modulePath, char* out, int capacity) {
  const char* name = modulePath;
  for (const char* p = modulePath; *p; ++p)
    if (*p == '\\') name = p + 1;
  const char* dot = nullptr;
  for (const char* p = name; *p; ++p)
    if (*p == '.') dot = p;
  int length = dot ? static_cast<int>(dot - name) : lstrlenA(name);
  // lstrcpynA counts the terminator in its limit.
  int limit = length + 1 < capacity ? length + 1 : capacity;
  lstrcpynA(out, name, limit);
}

void CenterWindow(HWND window, HWND centreOver) {
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  const bool child = (style & WS_CHILD) != 0;
  if (!centreOver) centreOver = child ? GetParent(window) : GetWindow(window, GW_OWNER);

  RECT rcWindow;
  GetWindowRect(window, &rcWindow);
  RECT area;
  RECT target;
  if (!child) {
    if (centreOver) {
      const LONG overStyle = GetWindowLongA(centreOver, GWL_STYLE);
      if (!(overStyle & WS_VISIBLE) || (overStyle & WS_MINIMIZE)) centreOver = nullptr;
    }
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    if (centreOver)
      GetWindowRect(centreOver, &target);
    else
      target = area;
  } else {
    HWND parent = GetParent(window);
    GetClientRect(parent, &area);
    GetClientRect(centreOver, &target);
    MapWindowPoints(centreOver, parent, reinterpret_cast<POINT*>(&target), 2);
  }
  const POINT at = CenteredPosition(rcWindow, target, area);
  SetWindowPos(window, nullptr, at.x, at.y, -1, -1,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CenteredMessageBox(const char* text, UINT flags) {
  char path[kCaptionCapacity] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, kCaptionCapacity);
  if (length >= kCaptionCapacity) path[kCaptionCapacity - 1] = 0;
  char caption[kCaptionCapacity];
  CaptionFromModulePath(path, caption, kCaptionCapacity);

  HookRecord record;
  HookRecord* outer = t_hookRecord;  // a box opened from inside another box's modal loop
  t_hookRecord = &record;
  record.hook = SetWindowsHookExA(WH_CBT, &CenteringHook, nullptr, GetCurrentThreadId());
  record.removed = record.hook == nullptr;
  int result = MessageBoxA(GetActiveWindow(), text, caption, flags);
  // A box that failed before it was ever activated leaves the hook in place.
  if (!record.removed) UnhookWindowsHookEx(record.hook);
  t_hookRecord = outer;
  return result;
}

}  // namespace qb
