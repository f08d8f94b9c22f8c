#include "frontend/hyperlink_control.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qb {
namespace {

const char kObjectProperty[] = "qb.HyperLinkControl";
const char kSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";
constexpr int kColourBuffer = 12;  // "255,255,255" and its terminator
constexpr UINT kToolInfoSize = 44;  // the layout without the trailing reserved pointer

HyperLinkControl::ShellExecuteFunction g_shellExecute = &ShellExecuteA;

// Rows 0-21, columns 0-16 of the hand; everything else is transparent.
const char* const kHandRows[] = {
    ".....BB..........", "....BWWB.........", "....BWWB.........", "....BWWB.........",
    "....BWWB.........", "....BWWBBB.......", "....BWWBWWBBB....", "....BWWBWWBWWBB..",
    "....BWWBWWBWWBWB.", "BBB.BWWBWWBWWBWWB", "BWWBBWWWWWWWWBWWB", "BWWWBWWWWWWWWWWWB",
    ".BWWBWWWWWWWWWWWB", "..BWBWWWWWWWWWWWB", "..BWWWWWWWWWWWWWB", "...BWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWB.", "....BWWWWWWWWWWB.", "....BWWWWWWWWWWB.", ".....BWWWWWWWWB..",
    ".....BWWWWWWWWB..", ".....BBBBBBBBBB..",
};

char* CopyString(const char* text) {
  char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(lstrlenA(text)) + 1));
  if (copy) lstrcpyA(copy, text);
  return copy;
}

// One component up to the next ','; advances `text` past it. -1 is the marker of a bad
// component in the browser's own reader, so it is refused here too.
bool TakeComponent(char*& text, int* value) {
  if (*text == 0) return false;
  char* p = text;
  while (*p && *p != ',') p = CharNextA(p);
  if (*p != ',') return false;
  *p = 0;
  *value = std::atoi(text);
  text = p + 1;
  return *value != -1;
}

bool ReadColour(HKEY key, const char* valueName, char* buffer, COLORREF* colour) {
  DWORD type = 0;
  DWORD size = kColourBuffer;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (size > 0 && buffer[size - 1] != 0) return false;
  if (size == 0) buffer[0] = 0;
  return ParseColour(buffer, colour);
}

}  // namespace

bool ParseColour(char* text, COLORREF* colour) {
  int red = 0, green = 0;
  if (!TakeComponent(text, &red) || !TakeComponent(text, &green)) return false;
  if (*text == 0) return false;
  int blue = std::atoi(text);
  *colour = static_cast<COLORREF>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
  return true;
}

int HandCursorRowBytes(int size) { return (size + 15) / 16 * 2; }  // rows are whole words

int HandCursorHotSpotX(int size) { return (5 * size + 31) / 32; }

void BuildHandCursorPlanes(unsigned char* andPlane, unsigned char* xorPlane, int size) {
  const int rowBytes = HandCursorRowBytes(size);
  std::memset(andPlane, 0xFF, static_cast<size_t>(rowBytes * size));
  std::memset(xorPlane, 0x00, static_cast<size_t>(rowBytes * size));
  for (int row = 0; row < size; ++row) {
    const int designRow = row * 32 / size;
    if (designRow >= 22) break;
    for (int column = 0; column < size; ++column) {
      const int designColumn = column * 32 / size;
      if (designColumn >= 17) break;
      const char pixel = kHandRows[designRow][designColumn];
      if (pixel == '.') continue;
      const int byte = row * rowBytes + column / 8;
      const unsigned char bit = static_cast<unsigned char>(0x80 >> (column % 8));
      andPlane[byte] &= static_cast<unsigned char>(~bit);
      if (pixel == 'W') xorPlane[byte] |= bit;
    }
  }
}

void HyperLinkControl::SetShellExecuteForTesting(ShellExecuteFunction function) {
  g_shellExecute = function ? function : &ShellExecuteA;
}

HyperLinkControl::~HyperLinkControl() {
  std::free(label_);
  std::free(url_);
}

bool HyperLinkControl::SetUrl(const char* url) {
  std::free(url_);
  url_ = CopyString(url);
  if (!url_) return false;
  if (!label_) ComputeLinkRect();
  if (IsWindow(tooltip_)) {
    SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
    AddTool();
  }
  return true;
}

bool HyperLinkControl::SetLabel(const char* text) {
  std::free(label_);
  label_ = CopyString(text);
  if (!label_) return false;
  ComputeLinkRect();
  if (window_) SetWindowTextA(window_, label_);
  return true;
}

bool HyperLinkControl::Attach(HWND window) {
  SetPropA(window, kObjectProperty, this);
  SetLastError(0);
  LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC,
                                        reinterpret_cast<LONG_PTR>(&HyperLinkControl::Procedure));
  if (previous == 0 && GetLastError() != 0) {
    RemovePropA(window, kObjectProperty);
    return false;
  }
  previousProc_ = reinterpret_cast<WNDPROC>(previous);
  window_ = window;
  SetUp();
  return true;
}

void HyperLinkControl::SetUp() {
  char className[8];
  if (GetClassNameA(window_, className, sizeof className) > 0 &&
      lstrcmpiA(className, "static") == 0) {
    LONG style = GetWindowLongA(window_, GWL_STYLE);
    if (!(style & SS_NOTIFY)) SetWindowLongA(window_, GWL_STYLE, style | SS_NOTIFY);
    switch (style & 0xFF) {
      case SS_ICON: case SS_BLACKRECT: case SS_GRAYRECT: case SS_WHITERECT:
      case SS_BLACKFRAME: case SS_GRAYFRAME: case SS_WHITEFRAME: case SS_OWNERDRAW:
      case SS_BITMAP: case SS_ENHMETAFILE:
        drawsOwnText_ = false;
        break;
      default:
        break;
    }
  }

  HINSTANCE instance = GetModuleHandleA(nullptr);
  // The design is 32 pixels at 96 DPI; the program is DPI-aware, so on a 150% or 200%
  // screen Windows shows the cursor as made, and the hand grows with the screen's DPI.
  const int size = std::max(32, MulDiv(32, GetDeviceCaps(ScopedWindowDC(nullptr).get(),
                                                         LOGPIXELSY), 96));
  std::vector<unsigned char> andPlane(static_cast<size_t>(HandCursorRowBytes(size) * size));
  std::vector<unsigned char> xorPlane(andPlane.size());
  BuildHandCursorPlanes(andPlane.data(), xorPlane.data(), size);
  cursor_.reset(CreateCursor(instance, HandCursorHotSpotX(size), 0, size, size,
                             andPlane.data(), xorPlane.data()));

  if (drawsOwnText_) {
    normalFont_ = reinterpret_cast<HFONT>(SendMessageA(GetParent(window_), WM_GETFONT, 0, 0));
    if (!normalFont_) normalFont_ = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    if (normalFont_ && !linkFont_) {
      LOGFONTA font;
      std::memset(&font, 0, sizeof font);
      GetObjectA(normalFont_, sizeof font, &font);
      font.lfUnderline = TRUE;
      linkFont_.reset(CreateFontIndirectA(&font));
    }
  }

  tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);

  if (!label_) {
    int length = GetWindowTextLengthA(window_);
    if (length >= 1) {
      char* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
      if (text && GetWindowTextA(window_, text, length + 1) != 0) SetLabel(text);
      std::free(text);
    }
  }

  ComputeLinkRect();

  if (url_) {
    if (IsWindow(tooltip_)) {
      SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
      AddTool();
    }
  } else if (label_) {
    SetUrl(label_);
  }

  if (drawsOwnText_) ReadRegistryColours();
}

void HyperLinkControl::AddTool() {
  TOOLINFOA tool;
  std::memset(&tool, 0, sizeof tool);
  tool.cbSize = kToolInfoSize;
  tool.uFlags = 0;
  tool.hwnd = window_;
  tool.uId = 1;
  tool.rect = linkRect_;
  tool.hinst = GetModuleHandleA(nullptr);
  tool.lpszText = url_;
  tool.lParam = 0;
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperLinkControl::ReadRegistryColours() {
  // Read access only: asking for write access fails for users who may only read the key,
  // and their colours would be lost.
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return;
  ScopedRegistryKey key(opened);
  char buffer[kColourBuffer];
  std::memset(buffer, 0, sizeof buffer);
  COLORREF colour;
  if (ReadColour(key.get(), "Anchor Color", buffer, &colour)) linkColour_ = colour;
  if (ReadColour(key.get(), "Anchor Color Visited", buffer, &colour)) visitedColour_ = colour;
}

UINT HyperLinkControl::TextAlignment() const {
  LONG style = GetWindowLongA(window_, GWL_STYLE);
  if (style & SS_CENTER) return DT_CENTER;
  if (style & SS_RIGHT) return DT_RIGHT;
  return DT_LEFT;
}

bool HyperLinkControl::ComputeLinkRect() {
  if (!window_ || (!label_ && !url_)) return false;
  RECT client;
  GetClientRect(window_, &client);
  linkRect_ = client;
  if (!drawsOwnText_) return true;
  ScopedWindowDC dc(window_);
  const UINT alignment = TextAlignment();
  {
    ScopedSelection font(dc.get(), linkFont_.get());
    DrawTextA(dc.get(), ShownText(), -1, &linkRect_, alignment | DT_CALCRECT | DT_WORDBREAK);
  }
  if (alignment == DT_CENTER)
    OffsetRect(&linkRect_, (client.right - linkRect_.right) / 2, 0);
  else if (alignment == DT_RIGHT)
    OffsetRect(&linkRect_, client.right - linkRect_.right, 0);
  return true;
}

bool HyperLinkControl::OpenLink() {
  HINSTANCE result = g_shellExecute(nullptr, "open", url_, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<UINT_PTR>(result) <= 32) return false;
  visited_ = true;
  InvalidateRect(window_, nullptr, TRUE);
  return true;
}

bool HyperLinkControl::InLinkRect(LPARAM lParam) const {
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return PtInRect(&linkRect_, point) != FALSE;
}

void HyperLinkControl::Paint(HDC given) {
  PAINTSTRUCT paint;
  HDC dc = given ? given : BeginPaint(window_, &paint);
  RECT client;
  GetClientRect(window_, &client);
  HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(
      GetParent(window_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
      reinterpret_cast<LPARAM>(window_)));
  if (brush) FillRect(dc, &client, brush);
  SetBkMode(dc, TRANSPARENT);
  COLORREF colour = !IsWindowEnabled(window_) ? GetSysColor(COLOR_GRAYTEXT)
                    : visited_                 ? visitedColour_
                                               : linkColour_;
  COLORREF previousColour = SetTextColor(dc, colour);
  {
    ScopedSelection font(dc, linkFont_ ? linkFont_.get() : normalFont_);
    RECT rect = linkRect_;
    DrawTextA(dc, ShownText(), -1, &rect, TextAlignment() | DT_WORDBREAK);
    if (GetFocus() == window_) DrawFocusRect(dc, &linkRect_);
  }
  SetTextColor(dc, previousColour);
  if (!given) EndPaint(window_, &paint);
}

LRESULT HyperLinkControl::PassOn(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(previousProc_, window_, message, wParam, lParam);
}

LRESULT CALLBACK HyperLinkControl::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* self = static_cast<HyperLinkControl*>(GetPropA(window, kObjectProperty));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT HyperLinkControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= 0x20A && IsWindow(tooltip_)) {
    MSG relay = {window_, message, wParam, lParam, 0, {0, 0}};
    SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (!drawsOwnText_) return PassOn(message, wParam, lParam);
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (!drawsOwnText_) return PassOn(message, wParam, lParam);
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_MOUSEMOVE:
      if (url_ && InLinkRect(lParam)) {
        SetCursor(cursor_.get());
        return 0;
      }
      return PassOn(message, wParam, lParam);
    case WM_SETCURSOR: {
      POINT point;
      GetCursorPos(&point);
      ScreenToClient(window_, &point);
      if (url_ && PtInRect(&linkRect_, point)) return TRUE;
      return PassOn(message, wParam, lParam);
    }
    case WM_LBUTTONDOWN:
      if (InLinkRect(lParam)) {
        SetFocus(window_);
        SetCapture(window_);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window_) {
        ReleaseCapture();
        if (InLinkRect(lParam)) OpenLink();
      }
      return 0;
    case WM_CHAR:
      if (wParam == 13 || wParam == 32) OpenLink();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    case WM_ENABLE:
      InvalidateRect(window_, nullptr, TRUE);
      UpdateWindow(window_);
      return 0;
    case WM_SETFONT:
      normalFont_ = reinterpret_cast<HFONT>(wParam);
      if (lParam) {
        InvalidateRect(window_, nullptr, TRUE);
        UpdateWindow(window_);
      }
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(normalFont_);
    case WM_UPDATEUISTATE:
      return 0;
    case WM_DESTROY:
      if (IsWindow(tooltip_)) DestroyWindow(tooltip_);
      tooltip_ = nullptr;
      return PassOn(message, wParam, lParam);
    case WM_NCDESTROY: {
      HWND window = window_;
      LRESULT result = PassOn(message, wParam, lParam);
      if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) ==
          &HyperLinkControl::Procedure)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
      RemovePropA(window, kObjectProperty);
      window_ = nullptr;
      return result;
    }
    default:
      return PassOn(message, wParam, lParam);
  }
}

}  // namespace qb
