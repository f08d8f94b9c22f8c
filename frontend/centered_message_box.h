// Message boxes captioned with the program's name and centred over their owner, and the
// centring rule that also places the main dialog.
#pragma once

#include <windows.h>

namespace qb {

// MessageBoxA owned by the active window, with flags passed through unchanged; the box
// is moved once, at its first activation, by a hook that lives only for this call.
int CenteredMessageBox(const char* text, UINT flags);

// Moves `window` (no resize, activation or Z-order change) over the centre of
// `centreOver`, or of the parent (child windows) / owner (top-level) when it is null,
// kept inside the work area or the parent's client area.
void CenterWindow(HWND window, HWND centreOver);

// The arithmetic of CenterWindow: the top-left corner for a window of `windowRect`'s size
// centred on `target` and then pushed inside `area`, left and top edges winning.
POINT CenteredPosition(const RECT& windowRect, const RECT& target, const RECT& area);

// The caption for a program stored at `modulePath`: its last component cut before that
// component's last '.'. Written into `out` (capacity bytes, cut to fit).
void CaptionFromModulePath(const char* modulePath, char* out, int capacity);

}  // namespace qb
