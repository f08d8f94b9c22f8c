// The dialog's layout and resources, the homepage link and the centred message box, on
// real windows.
#include <windows.h>
#include <commctrl.h>

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

// ---- Layout and resources --------------------------------------------------------------

struct Item {
  int id;  // 0 for the labels without an ID, found by their text
  const char* text;
  RECT dlu;
};

const Item kItems[] = {
    {IDOK, "Go", {225, 58, 50, 14}},
    {IDCANCEL, "Exit", {225, 143, 50, 14}},
    {0, "path to javadoc:", {7, 9, 54, 8}},
    {IDC_INDEX_PATH, "", {70, 7, 148, 14}},
    {IDC_BROWSE, "Browse...", {225, 7, 50, 14}},
    {0, "output filename:", {7, 25, 54, 8}},
    {IDC_OUTPUT_NAME, "", {70, 23, 148, 14}},
    {0, "Progress:", {7, 59, 32, 8}},
    {IDC_STATUS, "<file name>", {45, 59, 113, 8}},
    {IDC_PROGRESS, "", {162, 59, 54, 8}},
    {0, "Output:", {7, 78, 26, 8}},
    {IDC_OUTPUT, "", {37, 77, 180, 68}},
    {IDC_HOMEPAGE, "quillbinder Homepage", {38, 150, 88, 8}},
    {0, "title (caption text):", {7, 41, 62, 8}},
    {IDC_TITLE, "", {70, 39, 148, 14}},
    {0, "quillbinder version:", {37, 162, 71, 8}},
    {IDC_VERSION, QB_VERSION_TEXT, {113, 162, 49, 8}},
};

class DialogLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::InitCommonControlsOnce();
    window = dialog.Create(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);
  }
  MainDialog dialog;
  HWND window = nullptr;
};

TEST_F(DialogLayoutTest, ControlsSitWhereTheTemplateSaysInTemplateOrder) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetParent(c) == window) children.push_back(c);
  ASSERT_EQ(children.size(), sizeof kItems / sizeof kItems[0]);
  for (size_t i = 0; i < children.size(); ++i) {
    const Item& item = kItems[i];
    HWND child = children[i];
    if (item.id) {
      EXPECT_EQ(GetDlgCtrlID(child), item.id) << i;
    }
    EXPECT_EQ(test::WindowText(child), item.text) << i;
    // Position and size are converted one by one, as the dialog manager does.
    RECT expected = item.dlu;  // left, top, width, height
    MapDialogRect(window, &expected);
    RECT actual;
    GetWindowRect(child, &actual);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << item.text;
    EXPECT_EQ(actual.top, expected.top) << item.text;
    EXPECT_EQ(actual.right - actual.left, expected.right) << item.text;
    EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << item.text;
  }
}

TEST_F(DialogLayoutTest, DialogIsAHiddenPopupWithCaptionAndNoMinimizeBox) {
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_VISIBLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & DS_MODALFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(test::WindowText(window), "quillbinder");
  RECT client = {0, 0, 282, 177};
  MapDialogRect(window, &client);
  RECT actual;
  GetClientRect(window, &actual);
  EXPECT_EQ(actual.right, client.right);
  EXPECT_EQ(actual.bottom, client.bottom);
  EXPECT_EQ(GetDlgItemInt(window, 0, nullptr, FALSE), 0u);
}

TEST_F(DialogLayoutTest, TabOrderFollowsTheTemplate) {
  const int order[] = {IDOK, IDCANCEL, IDC_INDEX_PATH, IDC_BROWSE, IDC_OUTPUT_NAME,
                       IDC_OUTPUT, IDC_TITLE, IDOK};
  HWND at = GetDlgItem(window, IDOK);
  for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
    at = GetNextDlgTabItem(window, at, FALSE);
    EXPECT_EQ(GetDlgCtrlID(at), order[i]) << i;
  }
  const LONG outputStyle = GetWindowLongA(GetDlgItem(window, IDC_OUTPUT), GWL_STYLE);
  EXPECT_TRUE(outputStyle & ES_READONLY);
  EXPECT_TRUE(outputStyle & ES_MULTILINE);
  EXPECT_TRUE(outputStyle & WS_VSCROLL);
  EXPECT_EQ(SendDlgItemMessageA(window, IDOK, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON,
            DLGC_DEFPUSHBUTTON);
}

TEST_F(DialogLayoutTest, InitialisationSetsIconsAndCentresInTheWorkArea) {
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
  RECT area, rect;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(window, &rect);
  const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
  EXPECT_EQ(rect.left, (area.left + area.right) / 2 - w / 2);
  EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - h / 2);
}

TEST(ProgramResources, IconHasA32And16PixelImageOf16Colours) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC group = FindResourceA(self, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
  const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
  ASSERT_EQ(count, 2);
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
    EXPECT_EQ(entry[0], entry[1]);
    EXPECT_EQ(entry[2], 16) << "colour count";
    EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 4) << "bits per pixel";
    sizes.push_back(entry[0]);
  }
  EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

// ---- Hyperlink -------------------------------------------------------------------------

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

// Writes the browser's colour values into this prefix's registry and removes them again.
class RegistryColours {
 public:
  RegistryColours() {
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key_, nullptr);
  }
  ~RegistryColours() {
    RegDeleteValueA(key_, "Anchor Color");
    RegDeleteValueA(key_, "Anchor Color Visited");
    RegCloseKey(key_);
  }
  void Set(const char* name, const char* value, DWORD type = REG_SZ) {
    RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(lstrlenA(value) + 1));
  }
  void SetDword(const char* name, DWORD value) {
    RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
  }

 private:
  HKEY key_ = nullptr;
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
    HDC screen = GetDC(link);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    SelectObject(memory, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<size_t>(client.right * client.bottom));
    GetDIBits(memory, bitmap, 0, client.bottom, pixels.data(), &info, DIB_RGB_COLORS);
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    int count = 0;
    for (DWORD p : pixels)
      if ((p & 0x00FFFFFF) == wanted) ++count;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(link, screen);
    return count;
  }

  MainDialog dialog;
  HWND window = nullptr;
  HWND link = nullptr;
};

TEST_F(LinkTest, CoversJustTheTextAndShowsTheUrlAsTooltip) {
  OpenDialog();
  const HyperLinkControl& control = dialog.link();
  EXPECT_STREQ(control.url(), kProductHomepage);
  EXPECT_STREQ(control.label(), "quillbinder Homepage");
  RECT client;
  GetClientRect(link, &client);
  const RECT& r = control.linkRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_GT(r.right, 20);
  EXPECT_LT(r.right, client.right);  // the label is narrower than its control
  EXPECT_GT(r.bottom, 4);
  EXPECT_LE(r.bottom, client.bottom + 2);
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

  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(control.cursor(), &info));
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);

  // The tooltip goes with the window.
  HWND tooltip = control.tooltip();
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(tooltip));
  EXPECT_EQ(dialog.link().window(), nullptr);
}

TEST_F(LinkTest, ClickOnTheTextOpensTheHomepage) {
  OpenDialog();
  const RECT r = dialog.link().linkRect();
  EXPECT_EQ(CountPixels(0x00FF0000), CountPixels(dialog.link().linkColour()));
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

TEST_F(LinkTest, ClicksThatDoNotStartAndEndOnTheTextOpenNothing) {
  OpenDialog();
  const RECT r = dialog.link().linkRect();
  RECT client;
  GetClientRect(link, &client);
  ASSERT_LT(r.right + 2, client.right);
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
}

TEST_F(LinkTest, EnterAndSpaceOpenOtherKeysDoNot) {
  OpenDialog();
  SendMessageA(link, WM_CHAR, 'a', 0);
  SendMessageA(link, WM_CHAR, '\t', 0);
  EXPECT_TRUE(g_opened.empty());
  SendMessageA(link, WM_CHAR, 13, 0);
  SendMessageA(link, WM_CHAR, 32, 0);
  EXPECT_EQ(g_opened.size(), 2u);
}

TEST_F(LinkTest, FailedOpenLeavesTheLinkUnvisited) {
  OpenDialog();
  g_shellResult = 2;  // file not found
  SendMessageA(link, WM_CHAR, 13, 0);
  EXPECT_EQ(g_opened.size(), 1u);
  EXPECT_FALSE(dialog.link().visited());
  g_shellResult = 33;
  SendMessageA(link, WM_CHAR, 13, 0);
  EXPECT_TRUE(dialog.link().visited());
}

TEST_F(LinkTest, DisabledLinkIsGrey) {
  OpenDialog();
  EnableWindow(link, FALSE);
  EXPECT_GT(CountPixels(GetSysColor(COLOR_GRAYTEXT)), 0);
  EXPECT_EQ(CountPixels(dialog.link().linkColour()), 0);
}

TEST_F(LinkTest, ColoursComeFromTheBrowserSettings) {
  RegistryColours colours;
  colours.Set("Anchor Color", "255,0,0");
  colours.Set("Anchor Color Visited", "0, 128, 0", REG_EXPAND_SZ);
  OpenDialog();
  EXPECT_EQ(dialog.link().linkColour(), 0x000000FFu);
  EXPECT_EQ(dialog.link().visitedColour(), 0x00008000u);
  EXPECT_GT(CountPixels(0x000000FF), 0);
  SendMessageA(link, WM_CHAR, ' ', 0);
  EXPECT_GT(CountPixels(0x00008000), 0);
}

TEST_F(LinkTest, UnusableSettingsKeepTheDefaults) {
  RegistryColours colours;
  colours.Set("Anchor Color", "255, 255, 255");  // 13 characters: too long for the buffer
  colours.SetDword("Anchor Color Visited", 0x00112233);
  OpenDialog();
  EXPECT_EQ(dialog.link().linkColour(), 0x00FF0000u);
  EXPECT_EQ(dialog.link().visitedColour(), 0x00800080u);
}

TEST_F(LinkTest, ElevenCharacterValueFitsAndABadOneKeepsItsDefault) {
  RegistryColours colours;
  colours.Set("Anchor Color", "255,255,255");
  colours.Set("Anchor Color Visited", "0,0");
  OpenDialog();
  EXPECT_EQ(dialog.link().linkColour(), 0x00FFFFFFu);
  EXPECT_EQ(dialog.link().visitedColour(), 0x00800080u);
}

TEST_F(LinkTest, CentredStaticShiftsTheRectByHalfTheFreeWidth) {
  OpenDialog();
  const RECT left = dialog.link().linkRect();
  RECT client;
  GetClientRect(link, &client);
  RECT place;
  GetWindowRect(link, &place);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
  HWND centred = CreateWindowExA(0, "STATIC", "quillbinder Homepage",
                                 WS_CHILD | WS_VISIBLE | SS_CENTER, place.left, place.top + 40,
                                 client.right, client.bottom, window, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  HWND righted = CreateWindowExA(0, "STATIC", "quillbinder Homepage",
                                 WS_CHILD | WS_VISIBLE | SS_RIGHT, place.left, place.top + 60,
                                 client.right, client.bottom, window, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  HyperLinkControl centredLink, rightLink;
  ASSERT_TRUE(centredLink.Attach(centred));
  ASSERT_TRUE(rightLink.Attach(righted));
  const LONG width = left.right - left.left;
  EXPECT_EQ(centredLink.linkRect().left, (client.right - width) / 2);
  EXPECT_EQ(centredLink.linkRect().right - centredLink.linkRect().left, width);
  EXPECT_EQ(rightLink.linkRect().left, client.right - width);
  // A static whose text is its own address needs no SetUrl.
  EXPECT_STREQ(centredLink.url(), "quillbinder Homepage");
  DestroyWindow(centred);
  DestroyWindow(righted);
  EXPECT_EQ(centredLink.window(), nullptr);
}

TEST_F(LinkTest, LongTextWrapsAndOnlyItsAreaReacts) {
  OpenDialog();
  HWND narrow = CreateWindowExA(0, "STATIC", "one two three four five six seven",
                                WS_CHILD | WS_VISIBLE, 0, 0, 60, 80, window, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  SendMessageA(narrow, WM_SETFONT, SendMessageA(window, WM_GETFONT, 0, 0), FALSE);
  HyperLinkControl wrapped;
  ASSERT_TRUE(wrapped.SetUrl("https://example.org/"));
  ASSERT_TRUE(wrapped.Attach(narrow));
  const RECT r = wrapped.linkRect();
  EXPECT_GT(r.bottom, 2 * (dialog.link().linkRect().bottom - 2));  // several lines
  EXPECT_LT(r.bottom, 80);
  SendMessageA(narrow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 78));
  SendMessageA(narrow, WM_LBUTTONUP, 0, MAKELPARAM(2, 78));
  EXPECT_TRUE(g_opened.empty());
  SendMessageA(narrow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, r.bottom - 2));
  SendMessageA(narrow, WM_LBUTTONUP, 0, MAKELPARAM(2, r.bottom - 2));
  EXPECT_EQ(g_opened, std::vector<std::string>{"open https://example.org/"});
  DestroyWindow(narrow);
}

// ---- Centred message box ---------------------------------------------------------------

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
  static RECT WorkArea() {
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
  }
  static void ExpectCentredOn(const RECT& box, const RECT& target) {
    const LONG w = box.right - box.left, h = box.bottom - box.top;
    EXPECT_EQ(box.left, (target.left + target.right) / 2 - w / 2);
    EXPECT_EQ(box.top, (target.top + target.bottom) / 2 - h / 2);
  }
  BoxAnswerer answerer;
  HWND owner = nullptr;
};

TEST_F(BoxTest, WithoutActiveWindowIsCentredInTheWorkArea) {
  SetActiveWindow(nullptr);
  ASSERT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(CenteredMessageBox("Hello", MB_SETFOREGROUND), IDOK);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].text, "Hello");
  EXPECT_EQ(answerer.boxes()[0].caption, test::ProgramName());
  EXPECT_EQ(answerer.boxes()[0].owner, nullptr);
  ExpectCentredOn(answerer.boxes()[0].rect, WorkArea());
}

TEST_F(BoxTest, IsCentredOverItsActiveOwnerEveryTime) {
  MakeOwner(100, 80, 601, 401, true);
  SetActiveWindow(owner);
  ASSERT_EQ(GetActiveWindow(), owner);
  RECT ownerRect;
  GetWindowRect(owner, &ownerRect);
  answerer.Queue(IDYES);
  answerer.Queue(IDNO);
  EXPECT_EQ(CenteredMessageBox("Sure?", MB_YESNO), IDYES);
  EXPECT_EQ(CenteredMessageBox("Really?", MB_YESNO), IDNO);
  ASSERT_EQ(answerer.boxes().size(), 2u);
  for (const auto& box : answerer.boxes()) {
    EXPECT_EQ(box.owner, owner);
    ExpectCentredOn(box.rect, ownerRect);
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

TEST_F(BoxTest, ChildWindowIsCentredInItsParentsClientArea) {
  MakeOwner(40, 40, 500, 300, true);
  HWND child = CreateWindowExA(0, "STATIC", "c", WS_CHILD | WS_VISIBLE, 0, 0, 51, 21, owner,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  CenterWindow(child, nullptr);
  RECT client, rect;
  GetClientRect(owner, &client);
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, client.right / 2 - 51 / 2);
  EXPECT_EQ(rect.top, client.bottom / 2 - 21 / 2);
  EXPECT_EQ(rect.right - rect.left, 51);
}

}  // namespace
}  // namespace qb
