// Reading .hhp projects: options as Microsoft's compiler reads them, window lines, and a
// warning naming the line for everything that cannot be used.
#include <gtest/gtest.h>

#include "hha/core/project_reader.h"

namespace hha {
namespace {

TEST(ProjectReader, ReadsTheOptionsKeysCaseInsensitively) {
  std::vector<Warning> w;
  Project p = ReadProject(
      "; comment\r\n[options]\r\nCOMPATIBILITY=1.0\r\ncompiled file = out\\x.chm \r\n"
      "Contents File=a.hhc\r\nIndex file=a.hhk\r\nDefault Window=main\r\nDefault topic=s.html\r\n"
      "Display compile progress=Yes\r\nFull-text search=yes\r\nLanguage=0x407 German\r\n"
      "Title=T  - x\r\nBinary TOC=Yes\r\nBinary Index=No\r\nDefault Font=Arial,8,0\r\n"
      "Display compile notes=No\r\n",
      "p.hhp", w);
  EXPECT_TRUE(w.empty());
  EXPECT_TRUE(p.compatibility10);
  EXPECT_EQ(p.compiledFile, "out\\x.chm");
  EXPECT_EQ(p.contentsFile, "a.hhc");
  EXPECT_EQ(p.contentsFileLine, 5);
  EXPECT_EQ(p.indexFile, "a.hhk");
  EXPECT_EQ(p.defaultWindow, "main");
  EXPECT_EQ(p.defaultTopic, "s.html");
  EXPECT_TRUE(p.displayProgress);
  EXPECT_TRUE(p.fullTextSearch);
  EXPECT_EQ(p.lcid, 0x407u);
  EXPECT_EQ(p.title, "T  - x");
  EXPECT_TRUE(p.binaryToc);
  EXPECT_FALSE(p.binaryIndex);
  EXPECT_EQ(p.defaultFont, "Arial,8,0");
}

TEST(ProjectReader, DefaultsWhenOptionsAreAbsent) {
  std::vector<Warning> w;
  Project p = ReadProject("[FILES]\n", "p.hhp", w);
  EXPECT_FALSE(p.compatibility10);
  EXPECT_TRUE(p.binaryIndex);
  EXPECT_FALSE(p.fullTextSearch);
  EXPECT_EQ(p.lcid, 0x409u);
  EXPECT_TRUE(p.files.empty());
}

TEST(ProjectReader, ParsesTheSystemsWindowLineFieldByField) {
  std::vector<Warning> w;
  Project p = ReadProject(
      "[WINDOWS]\r\nmain=\"Guide, the title\",\"g.hhc\",\"g.hhk\",\"o.html\",\"h.html\","
      "\"about.html\",\"quillbinder\",,,0x63520,,0x4384e,[10,20,300,400],,,,,,,0\r\n",
      "p.hhp", w);
  ASSERT_TRUE(w.empty()) << w[0].text;
  ASSERT_EQ(p.windows.size(), 1u);
  const WindowDef& win = p.windows[0];
  EXPECT_EQ(win.name, "main");
  const std::pair<int, const char*> fields[] = {
      {kWinCaption, "Guide, the title"}, {kWinToc, "g.hhc"}, {kWinIndex, "g.hhk"}, {kWinDefaultFile, "o.html"},
      {kWinHome, "h.html"}, {kWinJump1Url, "about.html"}, {kWinJump1Text, "quillbinder"}, {kWinJump2Url, ""},
      {kWinNavStyle, "0x63520"}, {kWinNavWidth, ""}, {kWinButtons, "0x4384e"}, {kWinNotifyId, "0"}};
  for (const auto& [field, text] : fields) EXPECT_EQ(win.fields[field], text) << field;
  EXPECT_EQ(win.rect[0], 10);
  EXPECT_EQ(win.rect[3], 400);
}

TEST(ProjectReader, FilesKeepTheirLinesAndSeparators) {
  std::vector<Warning> w;
  Project p = ReadProject("[FILES]\r\nabout.html\r\n\r\npkg\\a.html\r\n  pkg/sub/c.html  \r\n", "p.hhp", w);
  ASSERT_EQ(p.files.size(), 3u);
  EXPECT_EQ(p.files[1].path, "pkg\\a.html");
  EXPECT_EQ(p.files[1].line, 4);
  EXPECT_EQ(p.files[2].path, "pkg/sub/c.html");
}

TEST(ProjectReader, EveryUnusableLineIsAWarningWithItsLine) {
  std::vector<Warning> w;
  Project p = ReadProject(
      "stray line\r\n[OPTIONS]\r\nno equals sign\r\nBinary TOC=Maybe\r\nColour=blue\r\n"
      "Language=English\r\n[WINDOWS]\r\nbroken=\"unclosed\r\nnumbers=\"a\",,,,,,,,,blue\r\n"
      "[TEXT POPUPS]\r\npopups.txt\r\n[FILES]\r\nok.html\r\n",
      "guide.hhp", w);
  std::vector<int> lines;
  for (const Warning& x : w) {
    lines.push_back(x.line);
    EXPECT_EQ(x.file, "guide.hhp");
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 3, 4, 5, 6, 8, 9, 10}));
  EXPECT_EQ(p.files.size(), 1u) << "reading goes on after bad lines";
  EXPECT_TRUE(p.windows.empty());
}

// Microsoft's compiler sees these lines as comments; a project for both must stay quiet there.
TEST(ProjectReader, OwnOptionsAreCommentLinesOfTheOptionsSection) {
  std::vector<Warning> w;
  Project p = ReadProject("[OPTIONS]\r\n; quillbinder: Viewer-Safe Pages = yes\r\n", "p.hhp", w);
  EXPECT_TRUE(w.empty());
  EXPECT_TRUE(p.viewerSafePages);
  p = ReadProject("[OPTIONS]\r\n;quillbinder:Viewer-safe pages=Yes\r\n"
                  ";quillbinder: Viewer-safe pages=No\r\n[FILES]\r\n;quillbinder: Viewer-safe pages=Yes\r\n",
                  "p.hhp", w);
  EXPECT_TRUE(w.empty());
  EXPECT_FALSE(p.viewerSafePages) << "the last line in [OPTIONS] counts, other sections' are comments";
  p = ReadProject("[OPTIONS]\r\n;quillbinder: Viewer-safe pages=Maybe\r\n;quillbinder: Colour=blue\r\n"
                  ";quillbinder comment without a colon\r\n", "p.hhp", w);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].line, 2);
  EXPECT_EQ(w[1].line, 3);
  EXPECT_FALSE(p.viewerSafePages);
}

TEST(ProjectReader, NumbersAreDecimalOrHex) {
  uint32_t v = 0;
  EXPECT_TRUE(ParseNumber("0x4384e", &v));
  EXPECT_EQ(v, 0x4384Eu);
  EXPECT_TRUE(ParseNumber("250", &v));
  EXPECT_EQ(v, 250u);
  EXPECT_FALSE(ParseNumber("12px", &v));
  EXPECT_FALSE(ParseNumber("", &v));
}

}  // namespace
}  // namespace hha
