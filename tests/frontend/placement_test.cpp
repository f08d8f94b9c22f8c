// The pure rules of the front-end: centring arithmetic, the box caption, the browser's
// colour strings and the hand cursor's planes.
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "frontend/centered_message_box.h"
#include "frontend/hyperlink_control.h"

namespace qb {
namespace {

RECT Rect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

TEST(CenteredPosition, CentresTruncatingTowardZeroAndStaysInsideTheArea) {
  struct Case {
    const char* what;
    RECT window, target, area;
    LONG x, y;
  } cases[] = {
      // (101 + 400) / 2 - 201 / 2 and 301 / 2 - 101 / 2: half pixels lost toward zero.
      {"odd sums", Rect(0, 0, 201, 101), Rect(101, 0, 400, 301), Rect(0, 0, 1280, 1024), 150, 100},
      // A monitor left of and above the primary one: (-1001 + -100) / 2 = -550, not -551.
      {"negative", Rect(0, 0, 101, 51), Rect(-1001, -301, -100, -100), Rect(-2000, -2000, 2000, 2000),
       -550 - 50, -200 - 25},
      {"off right and bottom", Rect(0, 0, 300, 200), Rect(800, 600, 1200, 900), Rect(0, 0, 1000, 700), 700, 500},
      {"off left and top", Rect(0, 0, 300, 200), Rect(-400, -300, 100, 100), Rect(0, 0, 1000, 700), 0, 0},
      {"task bar at the top", Rect(0, 0, 100, 100), Rect(0, 0, 200, 40), Rect(0, 30, 1280, 1000), 50, 30},
      {"larger than the area", Rect(0, 0, 1000, 900), Rect(10, 20, 810, 620), Rect(10, 20, 810, 620), 10, 20},
  };
  for (const Case& c : cases) {
    const POINT p = CenteredPosition(c.window, c.target, c.area);
    EXPECT_EQ(p.x, c.x) << c.what;
    EXPECT_EQ(p.y, c.y) << c.what;
  }
}

TEST(BoxCaption, IsTheFileNameWithoutItsExtensionCutToItsBuffer) {
  struct Case {
    const char* path;
    int capacity;
    const char* caption;
  } cases[] = {{"C:\\Tools\\tool.exe", 260, "tool"}, {"C:\\a.b\\tool.beta.exe", 260, "tool.beta"},
               {"C:\\a.b\\tool", 260, "tool"},       {"tool.exe", 260, "tool"},
               {"", 260, ""},                            {"C:\\x\\abcdefgh.exe", 5, "abcd"}};
  for (const Case& c : cases) {
    char out[260] = "?";
    CaptionFromModulePath(c.path, out, c.capacity);
    EXPECT_STREQ(out, c.caption) << c.path;
  }
}

TEST(LinkColour, ParsesThreeComponentsKeepingTheirLowBitsAndRefusesIncompleteOnes) {
  struct Case {
    const char* text;
    bool ok;
    COLORREF colour;
  } cases[] = {
      {"255,0,0", true, 0x000000FF}, {"0, 0, 255", true, 0x00FF0000}, {"1,2,3", true, 0x00030201},
      {"300,-2,1", true, 0x0001FE2C}, {"1,2,3,4", true, 0x00030201},
      {"x,,7", true, 0x00070000},  // components without digits count as 0
      {"0,0,-1", true, 0x00FF0000},  // only the first two are checked for -1
      {"", false, 0}, {"0", false, 0}, {"0,0", false, 0}, {"0,0,", false, 0}, {",", false, 0},
      {"-1,0,0", false, 0}, {"0,-1,0", false, 0},
  };
  for (const Case& c : cases) {
    char buffer[64];
    lstrcpynA(buffer, c.text, sizeof buffer);
    COLORREF colour = 0x12345678;
    EXPECT_EQ(ParseColour(buffer, &colour), c.ok) << c.text;
    EXPECT_EQ(colour, c.ok ? c.colour : 0x12345678u) << c.text;
  }
}

enum Pixel { Transparent, Black, White };

Pixel At(const unsigned char* andPlane, const unsigned char* xorPlane, int column, int row,
         int rowBytes = 4) {
  const int byte = row * rowBytes + column / 8;
  const int bit = 0x80 >> (column % 8);
  const bool a = (andPlane[byte] & bit) != 0;
  const bool x = (xorPlane[byte] & bit) != 0;
  EXPECT_FALSE(a && x) << column << "," << row;  // would invert the screen
  return a ? Transparent : (x ? White : Black);
}

// On a 150% or 200% screen the hand is made larger, so that it matches the system's
// pointers there: the same design, the fingertip at the hot spot.
TEST(HandCursor, FingertipIsAtTheHotSpotAtEverySizeAndTheRestIsClear) {
  unsigned char and32[128], xor32[128];
  BuildHandCursorPlanes(and32, xor32);
  for (int row = 0; row < 32; ++row)
    for (int column = row < 22 ? 17 : 0; column < 32; ++column)
      EXPECT_EQ(At(and32, xor32, column, row), Transparent) << column << "," << row;
  EXPECT_EQ(HandCursorHotSpotX(32), 5);
  EXPECT_EQ(At(and32, xor32, 5, 1), White);
  for (int size : {32, 40, 48, 64}) {
    const int rowBytes = HandCursorRowBytes(size);
    EXPECT_EQ(rowBytes % 2, 0) << size;  // CreateCursor takes rows of whole words
    std::vector<unsigned char> andPlane(rowBytes * size), xorPlane(rowBytes * size);
    BuildHandCursorPlanes(andPlane.data(), xorPlane.data(), size);
    const int hot = HandCursorHotSpotX(size);
    EXPECT_EQ(At(andPlane.data(), xorPlane.data(), hot, 0, rowBytes), Black) << size;
    EXPECT_EQ(At(andPlane.data(), xorPlane.data(), hot - 1, 0, rowBytes), Transparent) << size;
    if (size != 64) continue;
    for (int row = 0; row < 64; ++row)
      for (int column = 0; column < 64; ++column)
        ASSERT_EQ(At(andPlane.data(), xorPlane.data(), column, row, rowBytes),
                  At(and32, xor32, column / 2, row / 2)) << column << "," << row;
  }
}

}  // namespace
}  // namespace qb
