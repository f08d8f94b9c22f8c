// The pure rules of the front-end: centring arithmetic, the box caption, the browser's
// colour strings and the hand cursor's planes.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frontend/centered_message_box.h"
#include "frontend/hyperlink_control.h"

namespace qb {
namespace {

RECT Rect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

POINT Place(const RECT& window, const RECT& target, const RECT& area) {
  return CenteredPosition(window, target, area);
}

// ---- Centring --------------------------------------------------------------------------

TEST(CenteredPosition, CentresOverTheTarget) {
  POINT p = Place(Rect(0, 0, 200, 100), Rect(100, 100, 500, 400), Rect(0, 0, 1280, 1024));
  EXPECT_EQ(p.x, 200);  // 300 - 100
  EXPECT_EQ(p.y, 200);  // 250 - 50
}

TEST(CenteredPosition, OddSumsAndSizesLoseTheirHalfPixelTowardZero) {
  // Centre (101 + 400) / 2 = 250, width 201 / 2 = 100; centre 301 / 2 = 150, 101 / 2 = 50.
  POINT p = Place(Rect(0, 0, 201, 101), Rect(101, 0, 400, 301), Rect(0, 0, 1280, 1024));
  EXPECT_EQ(p.x, 150);
  EXPECT_EQ(p.y, 100);
}

TEST(CenteredPosition, NegativeCoordinatesTruncateTowardZero) {
  // A monitor left of and above the primary one: (-1001 + -100) / 2 = -550 (not -551).
  RECT area = Rect(-2000, -2000, 2000, 2000);
  POINT p = Place(Rect(0, 0, 101, 51), Rect(-1001, -301, -100, -100), area);
  EXPECT_EQ(p.x, -550 - 50);
  EXPECT_EQ(p.y, -200 - 25);
}

TEST(CenteredPosition, IsPushedInsideTheAreaAtTheNearerEdge) {
  RECT area = Rect(0, 0, 1000, 700);
  // Owner hanging off the right and bottom edges.
  POINT p = Place(Rect(0, 0, 300, 200), Rect(800, 600, 1200, 900), area);
  EXPECT_EQ(p.x, 1000 - 300);
  EXPECT_EQ(p.y, 700 - 200);
  // Off the left and top edges.
  p = Place(Rect(0, 0, 300, 200), Rect(-400, -300, 100, 100), area);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
}

TEST(CenteredPosition, AreaWithAnOffsetOrigin) {
  RECT area = Rect(0, 30, 1280, 1000);  // a task bar at the top
  POINT p = Place(Rect(0, 0, 100, 100), Rect(0, 0, 200, 40), area);
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 30);
}

TEST(CenteredPosition, WindowLargerThanTheAreaAlignsWithItsLeftAndTop) {
  RECT area = Rect(10, 20, 810, 620);
  POINT p = Place(Rect(0, 0, 1000, 900), area, area);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
}

// ---- Caption ---------------------------------------------------------------------------

std::string Caption(const char* path, int capacity = 260) {
  char out[260] = "?";
  CaptionFromModulePath(path, out, capacity);
  return out;
}

TEST(BoxCaption, IsTheFileNameWithoutItsExtension) {
  EXPECT_EQ(Caption("C:\\Tools\\tool.exe"), "tool");
  EXPECT_EQ(Caption("C:\\a.b\\tool.beta.exe"), "tool.beta");
  EXPECT_EQ(Caption("C:\\a.b\\tool"), "tool");
  EXPECT_EQ(Caption("tool.exe"), "tool");
  EXPECT_EQ(Caption(""), "");
}

TEST(BoxCaption, IsCutToItsBuffer) {
  EXPECT_EQ(Caption("C:\\x\\abcdefgh.exe", 5), "abcd");
}

// ---- Link colours ----------------------------------------------------------------------

bool Parse(const std::string& text, COLORREF* colour) {
  char buffer[64];
  lstrcpynA(buffer, text.c_str(), sizeof buffer);
  return ParseColour(buffer, colour);
}

TEST(LinkColour, ParsesRedGreenBlueIntoColorref) {
  COLORREF c = 0;
  ASSERT_TRUE(Parse("255,0,0", &c));
  EXPECT_EQ(c, 0x000000FFu);
  ASSERT_TRUE(Parse("0, 0, 255", &c));
  EXPECT_EQ(c, 0x00FF0000u);
  ASSERT_TRUE(Parse("1,2,3", &c));
  EXPECT_EQ(c, 0x00030201u);
}

TEST(LinkColour, KeepsTheLowEightBitsAndIgnoresExtraComponents) {
  COLORREF c = 0;
  ASSERT_TRUE(Parse("300,-2,1", &c));
  EXPECT_EQ(c, 0x0001FE2Cu);
  ASSERT_TRUE(Parse("1,2,3,4", &c));
  EXPECT_EQ(c, 0x00030201u);
  ASSERT_TRUE(Parse("x,,7", &c));  // components without digits count as 0
  EXPECT_EQ(c, 0x00070000u);
}

TEST(LinkColour, RejectsIncompleteStringsAndMinusOne) {
  COLORREF c = 0x12345678;
  for (const char* bad : {"", "0", "0,0", "0,0,", ",", "-1,0,0", "0,-1,0"}) {
    EXPECT_FALSE(Parse(bad, &c)) << bad;
  }
  EXPECT_EQ(c, 0x12345678u);
  EXPECT_TRUE(Parse("0,0,-1", &c));  // only the first two are checked for -1
}

// ---- Hand cursor -----------------------------------------------------------------------

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

TEST(HandCursor, FingertipIsAtTheHotSpotAndTheRestIsClear) {
  unsigned char andPlane[128], xorPlane[128];
  BuildHandCursorPlanes(andPlane, xorPlane);
  EXPECT_EQ(At(andPlane, xorPlane, 5, 0), Black);
  EXPECT_EQ(At(andPlane, xorPlane, 6, 0), Black);
  EXPECT_EQ(At(andPlane, xorPlane, 4, 0), Transparent);
  EXPECT_EQ(At(andPlane, xorPlane, 7, 0), Transparent);
  EXPECT_EQ(At(andPlane, xorPlane, 5, 1), White);
  for (int row = 0; row < 32; ++row)
    for (int column = 17; column < 32; ++column)
      EXPECT_EQ(At(andPlane, xorPlane, column, row), Transparent);
  for (int row = 22; row < 32; ++row)
    for (int column = 0; column < 17; ++column)
      EXPECT_EQ(At(andPlane, xorPlane, column, row), Transparent);
}

TEST(HandCursor, RowsReadLeftToRightWithTheHighBitFirst) {
  unsigned char andPlane[128], xorPlane[128];
  BuildHandCursorPlanes(andPlane, xorPlane);
  // Row 9 is "BBB.BWWBWWBWWBWWB": the thumb's top meets the fingers.
  const char* row9 = "BBB.BWWBWWBWWBWWB";
  for (int column = 0; column < 17; ++column) {
    Pixel expected = row9[column] == '.' ? Transparent : row9[column] == 'B' ? Black : White;
    EXPECT_EQ(At(andPlane, xorPlane, column, 9), expected) << column;
  }
  // The palm's bottom edge, row 21: black from column 5 to 14.
  for (int column = 0; column < 17; ++column)
    EXPECT_EQ(At(andPlane, xorPlane, column, 21),
              column >= 5 && column <= 14 ? Black : Transparent) << column;
}

// On a 150% or 200% screen the hand is made larger, so that it matches the system's
// pointers there.
TEST(HandCursor, LargerSizesKeepTheDesignAndTheFingertipAtTheHotSpot) {
  unsigned char and32[128], xor32[128];
  BuildHandCursorPlanes(and32, xor32);
  EXPECT_EQ(HandCursorHotSpotX(32), 5);
  for (int size : {40, 48, 64}) {
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
