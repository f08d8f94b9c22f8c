// A static text control turned into a web link: underlined in the browser's link colour,
// a pointing hand over the text, the URL as tooltip, opened with the shell's "open".
#pragma once

#include <windows.h>

#include "support/scoped_win.h"

namespace qb {

class HyperLinkControl {
 public:
  HyperLinkControl() = default;
  ~HyperLinkControl();
  HyperLinkControl(const HyperLinkControl&) = delete;
  HyperLinkControl& operator=(const HyperLinkControl&) = delete;

  bool SetUrl(const char* url);
  bool SetLabel(const char* text);
  // Subclasses `window` and sets the link up; false (nothing changed) when the window
  // procedure cannot be replaced.
  bool Attach(HWND window);
  bool OpenLink();

  HWND window() const { return window_; }
  const char* url() const { return url_; }
  const char* label() const { return label_; }
  const RECT& linkRect() const { return linkRect_; }
  COLORREF linkColour() const { return linkColour_; }
  COLORREF visitedColour() const { return visitedColour_; }
  bool visited() const { return visited_; }
  HWND tooltip() const { return tooltip_; }
  HCURSOR cursor() const { return cursor_.get(); }

  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  // Test seam: what OpenLink calls instead of ShellExecuteA (null restores it).
  static void SetShellExecuteForTesting(ShellExecuteFunction function);

 private:
  static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT PassOn(UINT message, WPARAM wParam, LPARAM lParam);
  void SetUp();
  void AddTool();
  void ReadRegistryColours();
  bool ComputeLinkRect();
  UINT TextAlignment() const;
  const char* ShownText() const { return label_ ? label_ : url_; }
  void Paint(HDC given);
  bool InLinkRect(LPARAM lParam) const;

  HWND window_ = nullptr;
  WNDPROC previousProc_ = &DefWindowProcA;
  char* label_ = nullptr;
  char* url_ = nullptr;
  ScopedCursor cursor_;
  ScopedFont linkFont_;  // made from the dialog's font at set-up; always this control's
  HFONT normalFont_ = nullptr;
  RECT linkRect_ = {0, 0, 0, 0};
  HWND tooltip_ = nullptr;
  COLORREF linkColour_ = 0x00FF0000;
  COLORREF visitedColour_ = 0x00800080;
  bool drawsOwnText_ = true;
  bool visited_ = false;
};

// "r,g,b" as the browser stores its link colours; modifies `text`. False when invalid.
bool ParseColour(char* text, COLORREF* colour);

// The hand cursor's planes (AND, then XOR), `size` by `size` pixels of the 32x32 design
// (each pixel repeated or left out evenly), rows of HandCursorRowBytes(size) bytes.
void BuildHandCursorPlanes(unsigned char* andPlane, unsigned char* xorPlane, int size = 32);
int HandCursorRowBytes(int size);
// The hot spot's column at `size`: the first one that shows the design's fingertip.
int HandCursorHotSpotX(int size);

}  // namespace qb
