// The dialog's layout and resources, the homepage link and the centred message box, on
// real windows.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frontend/centered_message_box.h"
#include "frontend/hyperlink_control.h"
#include "frontend/main_dialog.h"
#include "resources/product.h"
#include "resources/resource_ids.h"
#include "resources/version.h"
#include "tests/frontend/box_answerer.h"
#include "tests/frontend/gui_test_support.h"

namespace qb {
namespace {

using test::BoxAnswerer;

RECT WorkArea() {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}
void ExpectCentredOn(const RECT& window, const RECT& target) {
  const LONG w = window.right - window.left, h = window.bottom - window.top;
  EXPECT_EQ(window.left, (target.left + target.right) / 2 - w / 2);
  EXPECT_EQ(window.top, (target.top + target.bottom) / 2 - h / 2);
}

// Not the template's rectangles (those are the .rc's business): what the code relies on.
TEST(DialogLayout, HasEveryControlTheCodeUsesAndStartsHiddenAndCentred) {
  test::InitCommonControlsOnce();
  MainDialog dialog;
  HWND window = dialog.Create(GetModuleHandleA(nullptr));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(test::WindowText(GetDlgItem(window, IDC_VERSION)), QB_VERSION_TEXT);
  EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_OUTPUT), GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) << "the start-up code shows it";
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
  RECT rect;
  GetWindowRect(window, &rect);
  ExpectCentredOn(rect, WorkArea());
  DestroyWindow(window);
}

std::vector<std::string> g_opened;
INT_PTR g_shellResult = 42;

HINSTANCE WINAPI FakeShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                  LPCSTR directory, INT show) {
  EXPECT_EQ(owner, nullptr);
  EXPECT_EQ(parameters, nullptr);
  EXPECT_EQ(directory, nullptr);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  g_opened.push_back(std::string(verb) + " " + file);
  return reinterpret_cast<HINSTANCE>(g_shellResult);
}

const char kSettingsKey[] = "Software\\Microsoft\\Internet Explorer\\Settings";

// The browser's colour values in this prefix's registry, removed again at the end.
struct RegistryColours {
  ~RegistryColours() {
    for (const char* name : {"Anchor Color", "Anchor Color Visited"})
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettingsKey, name);
  }
  void Set(const char* name, DWORD type, const void* value, size_t size) {
    RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, name, type, value, static_cast<DWORD>(size));
  }
};

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::InitCommonControlsOnce();
    g_opened.clear();
    g_shellResult = 42;
    HyperLinkControl::SetShellExecuteForTesting(&FakeShellExecute);
  }
  void TearDown() override {
    HyperLinkControl::SetShellExecuteForTesting(nullptr);
    if (IsWindow(window)) DestroyWindow(window);
  }
  void OpenDialog() {
    window = dialog.Create(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    link = GetDlgItem(window, IDC_HOMEPAGE);
  }
  void Mouse(UINT message, LONG x, LONG y) {
    SendMessageA(link, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
  }
  // Pixels of `colour` in the control as it paints itself.
  int CountPixels(COLORREF colour) {
    RECT client;
    GetClientRect(link, &client);
    HDC screen = GetDC(link), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x) count += GetPixel(memory, x, y) == colour;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(link, screen);
    return count;
  }

  MainDialog dialog;
  HWND window = nullptr;
  HWND link = nullptr;
};

TEST_F(LinkTest, NamesTheHomepageAndShowsItsUrlAsTooltip) {
  OpenDialog();
  const HyperLinkControl& control = dialog.link();
  EXPECT_STREQ(control.label(), "quillbinder Homepage");
  EXPECT_TRUE(GetWindowLongA(link, GWL_STYLE) & SS_NOTIFY);
  EXPECT_FALSE(GetWindowLongA(link, GWL_STYLE) & WS_TABSTOP);
  EXPECT_EQ(SendMessageA(link, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);

  ASSERT_TRUE(IsWindow(control.tooltip()));
  EXPECT_EQ(SendMessageA(control.tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  char text[256] = "";
  TOOLINFOA tool = {};
  tool.cbSize = 44;
  tool.hwnd = link;
  tool.uId = 1;
  tool.lpszText = text;
  ASSERT_TRUE(SendMessageA(control.tooltip(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_STREQ(text, kProductHomepage);

  // The tooltip goes with the window.
  HWND tooltip = control.tooltip();
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(tooltip));
  EXPECT_EQ(dialog.link().window(), nullptr);
}

TEST_F(LinkTest, ClickOnTheTextOpensTheHomepage) {
  OpenDialog();
  const RECT r = dialog.link().linkRect();
  EXPECT_EQ(dialog.link().linkColour(), COLORREF(0x00FF0000)) << "blue when the system names no colour";
  ASSERT_GT(CountPixels(dialog.link().linkColour()), 0);
  Mouse(WM_LBUTTONDOWN, r.right / 2, r.bottom / 2);
  EXPECT_EQ(GetFocus(), link);
  EXPECT_EQ(GetCapture(), link);
  Mouse(WM_LBUTTONUP, r.right / 2, r.bottom / 2);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(g_opened, std::vector<std::string>{std::string("open ") + kProductHomepage});
  EXPECT_TRUE(dialog.link().visited());
  EXPECT_GT(CountPixels(dialog.link().visitedColour()), 0);
  EXPECT_EQ(CountPixels(dialog.link().linkColour()), 0);
  // A second open keeps the visited colour.
  Mouse(WM_LBUTTONDOWN, 1, 1);
  Mouse(WM_LBUTTONUP, 1, 1);
  EXPECT_EQ(g_opened.size(), 2u);
  EXPECT_EQ(CountPixels(dialog.link().linkColour()), 0);
}

TEST_F(LinkTest, CoversJustTheTextAndDisabledIsGrey) {
  OpenDialog();
  const RECT r = dialog.link().linkRect();
  RECT client;
  GetClientRect(link, &client);
  ASSERT_LT(r.right + 2, client.right) << "the label is narrower than its control";
  const LONG off = r.right + 2;  // inside the control, right of the text
  Mouse(WM_LBUTTONDOWN, off, 2);
  EXPECT_NE(GetCapture(), link);
  EXPECT_NE(GetFocus(), link);
  Mouse(WM_LBUTTONUP, off, 2);
  Mouse(WM_LBUTTONDOWN, 2, 2);  // on the text, released off it
  Mouse(WM_LBUTTONUP, off, 2);
  Mouse(WM_LBUTTONDOWN, off, 2);  // off the text, released on it
  Mouse(WM_LBUTTONUP, 2, 2);
  EXPECT_TRUE(g_opened.empty());
  EXPECT_FALSE(dialog.link().visited());
  EnableWindow(link, FALSE);  // grey when disabled
  EXPECT_GT(CountPixels(GetSysColor(COLOR_GRAYTEXT)), 0);
  EXPECT_EQ(CountPixels(dialog.link().linkColour()), 0);
}

TEST_F(LinkTest, EnterAndSpaceOpenOtherKeysDoNotAndAFailedOpenLeavesItUnvisited) {
  OpenDialog();
  SendMessageA(link, WM_CHAR, 'a', 0);
  SendMessageA(link, WM_CHAR, '\t', 0);
  EXPECT_TRUE(g_opened.empty());
  g_shellResult = 2;  // file not found
  SendMessageA(link, WM_CHAR, 13, 0);
  EXPECT_EQ(g_opened.size(), 1u);
  EXPECT_FALSE(dialog.link().visited());
  g_shellResult = 33;
  SendMessageA(link, WM_CHAR, 32, 0);
  EXPECT_EQ(g_opened.size(), 2u);
  EXPECT_TRUE(dialog.link().visited());
}

// The browser's colours: values that parse and fit the 12-byte buffer, of a string type,
// replace the defaults (blue, purple); anything else keeps them.
TEST_F(LinkTest, ColoursComeFromTheBrowserSettingsWhenUsable) {
  struct Case {
    const char *link, *visited;
    DWORD visitedType;
    COLORREF linkColour, visitedColour;
  } cases[] = {
      {"255,0,0", "0, 128, 0", REG_EXPAND_SZ, 0x000000FF, 0x00008000},
      {"255, 255, 255", nullptr, REG_DWORD, 0x00FF0000, 0x00800080},  // 13 characters: too long
      {"255,255,255", "0,0", REG_SZ, 0x00FFFFFF, 0x00800080},         // 11 fit; "0,0" does not parse
  };
  for (const Case& c : cases) {
    RegistryColours colours;
    const DWORD number = 0x00112233;
    colours.Set("Anchor Color", REG_SZ, c.link, strlen(c.link) + 1);
    if (c.visitedType == REG_DWORD)
      colours.Set("Anchor Color Visited", REG_DWORD, &number, 4);
    else
      colours.Set("Anchor Color Visited", c.visitedType, c.visited, strlen(c.visited) + 1);
    MainDialog fresh;  // colours are read when the link is set up
    HWND shown = fresh.Create(GetModuleHandleA(nullptr));
    ASSERT_NE(shown, nullptr);
    ShowWindow(shown, SW_SHOW);
    link = GetDlgItem(shown, IDC_HOMEPAGE);
    EXPECT_EQ(fresh.link().linkColour(), c.linkColour) << c.link;
    EXPECT_EQ(fresh.link().visitedColour(), c.visitedColour) << c.link;
    if (&c == &cases[0]) {  // and painted so
      EXPECT_GT(CountPixels(c.linkColour), 0) << c.link;
      SendMessageA(link, WM_CHAR, ' ', 0);
      EXPECT_GT(CountPixels(c.visitedColour), 0) << c.link;
    }
    DestroyWindow(shown);
  }
}

class BoxTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (owner) DestroyWindow(owner);
  }
  HWND MakeOwner(int x, int y, int w, int h, bool visible) {
    owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0),
                            x, y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return owner;
  }
  BoxAnswerer answerer;
  HWND owner = nullptr;
};

TEST_F(BoxTest, IsCentredInTheWorkAreaWithoutActiveWindowAndOverItsActiveOwnerEveryTime) {
  SetActiveWindow(nullptr);
  ASSERT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(CenteredMessageBox("Hello", MB_SETFOREGROUND), IDOK);
  MakeOwner(100, 80, 601, 401, true);
  SetActiveWindow(owner);
  ASSERT_EQ(GetActiveWindow(), owner);
  RECT ownerRect;
  GetWindowRect(owner, &ownerRect);
  answerer.Queue(IDYES);
  answerer.Queue(IDNO);
  EXPECT_EQ(CenteredMessageBox("Sure?", MB_YESNO), IDYES);
  EXPECT_EQ(CenteredMessageBox("Really?", MB_YESNO), IDNO);
  ASSERT_EQ(answerer.Texts(), (std::vector<std::string>{"Hello", "Sure?", "Really?"}));
  EXPECT_EQ(answerer.boxes()[0].caption, test::ProgramName());
  EXPECT_EQ(answerer.boxes()[0].owner, nullptr);
  ExpectCentredOn(answerer.boxes()[0].rect, WorkArea());
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(answerer.boxes()[i].owner, owner);
    ExpectCentredOn(answerer.boxes()[i].rect, ownerRect);
  }
}

TEST_F(BoxTest, CenterWindowIgnoresHiddenAndMinimisedOwners) {
  HWND subject = CreateWindowExA(0, "STATIC", "s", WS_POPUP | WS_VISIBLE, 0, 0, 121, 61,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  MakeOwner(50, 60, 300, 200, false);
  CenterWindow(subject, owner);
  RECT rect;
  GetWindowRect(subject, &rect);
  ExpectCentredOn(rect, WorkArea());

  ShowWindow(owner, SW_SHOWNOACTIVATE);
  RECT ownerRect;
  GetWindowRect(owner, &ownerRect);
  CenterWindow(subject, owner);
  GetWindowRect(subject, &rect);
  ExpectCentredOn(rect, ownerRect);

  ShowWindow(owner, SW_MINIMIZE);
  CenterWindow(subject, owner);
  GetWindowRect(subject, &rect);
  ExpectCentredOn(rect, WorkArea());
  DestroyWindow(subject);
}

}  // namespace
}  // namespace qb
