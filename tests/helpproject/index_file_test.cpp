#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/conversion_job.h"
#include "helpproject/index_file_writer.h"
#include "support/buffered_file_writer.h"
#include "support/directory_search.h"
#include "tests/common/test_util.h"
#include "tests/helpproject/writer_test_support.h"

namespace qb {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

constexpr char kFooter[] = "</UL>\r\n</BODY>\r\n</HTML>";

std::string Term(const std::string& keywordLink, const std::string& rest) {
  return "<DT>" + keywordLink + rest + "\r\n";
}

class IndexFileTest : public ::testing::Test {
 protected:
  bool Write(const std::function<void()>& whilePumping = nullptr) {
    std::string output = dir / "guide.chm";
    return recorder.RunStage([&] { return WriteIndexFile(output.c_str()); },
                          whilePumping);
  }
  std::string Index() { return ReadFile(dir / "guide.hhk"); }
  bool EndsWithFooter(const std::string& text) {
    return text.size() >= sizeof kFooter - 1 &&
           text.compare(text.size() - (sizeof kFooter - 1), std::string::npos, kFooter) == 0;
  }

  // Whether the system's search of index-files returns `a` before `b`.
  bool SearchedBefore(const std::string& a, const std::string& b) {
    FindData data;
    SearchHandle search = BeginSearch((dir / "index-files/*").c_str(), &data);
    bool before = false;
    if (search != NoSearch()) {
      while (data.cFileName != b && !(before = data.cFileName == a) && ContinueSearch(search, &data)) {
      }
      EndSearch(search);
    }
    return before;
  }

  TempDir dir;
  test::ProgressRecorder recorder;
};

TEST_F(IndexFileTest, SingleFileIndex) {
  WriteFile(dir / "index-all.html",
            "<HTML><BODY>\r\n<A NAME=\"_A_\"><!-- --></A><H2><B>A</B></H2>\r\n<DL>\r\n" +
            Term("<A HREF=\"org/demo/Alpha.html\"><B>Alpha</B></A>",
                 " - Class in <A HREF=\"org/demo/package-summary.html\">org.demo</A>\r\n<DD>First.") +
            Term("<A HREF=\"org/demo/Alpha.html#add(int)\"><B>add(int)</B></A>",
                 " - Method in class org.demo.<A HREF=\"org/demo/Alpha.html\" "
                 "title=\"class in org.demo\">Alpha</A>") +
            Term("<A HREF=\"../outside/Up.html\">Up</A>",
                 " - Class in <A HREF=\"x.html\"><I>outside</I></A>") +
            Term("<A HREF=\"org/demo/package-summary.html\"><B>org.demo</B></A>",
                 " - package org.demo<DD>&nbsp;") +
            Term("<A HREF=\"org/demo/Alpha.html#_x\"><B>_x</B></A>",
                 " - Variable in class org.demo.<A HREF=\"org/demo/Alpha.html\">Alpha</A>") +
            Term("<A HREF=\"org/demo/Caf\xc3\xa9.html\"><B>Caf\xc3\xa9</B></A>",
                 " - Class in <A HREF=\"org/demo/package-summary.html\">org.\xe9" "demo</A>") +
            Term("<A HREF=\"org/demo/Beta.html\"><B><I>nested</I></B></A>",
                 " - Interface in <A HREF=\"org/demo/package-summary.html\">org.demo</A>") +
            Term("<A HREF=\"org/demo/Raw.html\">x <I>raw</I></A>",
                 " - Class in <A HREF=\"org/demo/package-summary.html\">org.demo</A>") +
            Term("<A HREF=\"org/demo/Alpha.html#g\"><B>g</B></A>", " - last, linking nowhere") +
            "</DL>\r\n</BODY></HTML>\r\n");
  // index-all.html wins over index-files.
  WriteFile(dir / "index-files/index-1.html", Term("<A HREF=\"n.html\">Never</A>", " <A HREF=\"c\">C</A>"));
  ASSERT_TRUE(Write());
  EXPECT_EQ(Index(), test::Expected("index_single.hhk"));
  const std::string lead = "Creating index file from index-all.html, letter: ";
  EXPECT_EQ(recorder.Texts(ProgressStatus), (Strings{lead + "A", lead + "U", lead + "O", lead + "_",
                                                      lead + "C", lead, lead + "X", lead + "G"}));
  EXPECT_TRUE(recorder.Texts(ProgressOutput).empty());
}

// Also pins the join of search results: ".DS_Store" once became "index-files.DS_Store".
TEST_F(IndexFileTest, SplitIndexReadsEveryPlainFileOfIndexFiles) {
  WriteFile(dir / "index-files/index-1.html",
            Term("<A HREF=\"../org/demo/Alpha.html\"><B>Alpha</B></A>",
                 " - Class in <A HREF=\"../org/demo/package-summary.html\">org.demo</A>") +
            Term("<A HREF=\"../../top.html\">top</A>", " - Page in <A HREF=\"../x.html\">X</A>"));
  WriteFile(dir / "index-files/index-2.html",
            Term("<A HREF=\"../org/demo/package-summary.html\"><B>org.demo</B></A>",
                 " - package org.demo") +
            Term("<A HREF=\"../org/demo/Alpha.html#m()\"><B>m()</B></A>",
                 " - Method in class org.demo.<A HREF=\"../org/demo/Alpha.html\">Alpha</A>"));
  WriteFile(dir / "index-files/.DS_Store", std::string("\0\0\0\1Bud1", 8));
  WriteFile(dir / "index-files/._index-1.html", std::string("\0\5\26\7\0\2", 6));
  WriteFile(dir / "index-files/sub/index-3.html",
            Term("<A HREF=\"a.html\">Never</A>", " - <A HREF=\"b.html\">b</A>"));
  ASSERT_TRUE(Write());
  EXPECT_TRUE(recorder.Texts(ProgressOutput).empty());

  bool oneFirst = SearchedBefore("index-1.html", "index-2.html");
  EXPECT_EQ(Index(), test::Expected(oneFirst ? "index_split_1_2.hhk" : "index_split_2_1.hhk"));
  const std::string lead = "Creating index file from index-";
  Strings one = {lead + "1.html, letter: A", lead + "1.html, letter: T"};
  Strings two = {lead + "2.html, letter: O", lead + "2.html, letter: M"};
  Strings expected = oneFirst ? one : two;
  for (const auto& s : oneFirst ? two : one) expected.push_back(s);
  EXPECT_EQ(recorder.Texts(ProgressStatus), expected);
}

TEST_F(IndexFileTest, NoIndexPagesGiveHeaderAndFooterOnly) {
  test::MakeDirs(dir / "index-files/empty-sub");
  ASSERT_TRUE(Write());
  EXPECT_TRUE(recorder.events().empty());
  EXPECT_EQ(Index(), test::Expected("index_empty.hhk"));
  // An index-all.html that cannot be opened is reported by its relative name.
  WriteFile(dir / "index-all.html", "");
  EXPECT_FALSE(Write());
  EXPECT_EQ(recorder.Texts(ProgressOutput), Strings{"Cannot open 'index-all.html'."});
  EXPECT_EQ(Index(), test::Expected("index_empty.hhk"));
}

TEST_F(IndexFileTest, LongTargetIsWrittenWholeAndKeywordCut) {
  const std::string keyword(3000, 'k'), target = "p/A.html#" + std::string(4000, 'm'), context(2000, 'c');
  WriteFile(dir / "index-all.html",
            Term("<A HREF=\"" + target + "\">" + keyword + "</A>", " - in <A HREF=\"p/A.html\">" + context + "</A>") +
            Term("<A HREF=\"n.html\">next</A>", " - in <A HREF=\"c.html\">C</A>"));
  ASSERT_TRUE(Write());
  auto entries = test::ParseSitemap(Index());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, keyword.substr(0, 259) + "   [" + context + "]");
  EXPECT_EQ(entries[0].local, target);
  EXPECT_EQ(entries[1].name, "next   [C]");
  EXPECT_TRUE(EndsWithFooter(Index()));
}

TEST_F(IndexFileTest, UnreadablePageEndsTheIndex) {
  WriteFile(dir / "index-files/index-0.html", "");  // an empty page cannot be opened
  WriteFile(dir / "index-files/index-1.html",
            Term("<A HREF=\"../a.html\">a</A>", " <A HREF=\"c\">C</A>"));
  EXPECT_FALSE(Write());
  EXPECT_EQ(recorder.Texts(ProgressOutput),
            Strings{"Cannot open '" + (dir / "index-files/index-0.html") + "'."});
  std::string index = Index();
  EXPECT_TRUE(EndsWithFooter(index));
  bool emptyFirst = SearchedBefore("index-0.html", "index-1.html");
  EXPECT_EQ(index.find("value=\"a   [C]\"") == std::string::npos, emptyFirst);
}

class IndexCancelTest : public IndexFileTest {
 protected:
  void SetUp() override {
    std::string page;
    for (char c : std::string("ABCD"))
      page += Term(std::string("<A HREF=\"") + c + ".html\">" + c + "</A>",
                   " - in <A HREF=\"p.html\">p</A>");
    WriteFile(dir / "index-all.html", page);
    // Pause while the letter B is shown: the worker then stops at the next keyword.
    recorder.onEvent = [this](const test::ProgressEvent& e) {
      if (e.text == "Creating index file from index-all.html, letter: B") {
        SetJobControl(JobPause);
        pausedAt = std::chrono::steady_clock::now();
        paused = true;
      }
    };
  }
  std::function<void()> ReleaseWith(JobWord value) {
    return [this, value] {
      if (paused && std::chrono::steady_clock::now() - pausedAt.load() > std::chrono::milliseconds(200)) {
        paused = false;
        SetJobControl(value);
      }
    };
  }
  // Set on the worker's thread natively, read on the test's.
  std::atomic<bool> paused{false};
  std::atomic<std::chrono::steady_clock::time_point> pausedAt{};
};

TEST_F(IndexCancelTest, CancelDropsTheKeywordJustReadAndKeepsTheFooter) {
  EXPECT_FALSE(Write(ReleaseWith(JobCancel)));
  EXPECT_TRUE(recorder.Texts(ProgressOutput).empty());
  std::string index = Index();
  for (char c : std::string("BCD"))
    EXPECT_EQ(index.find(std::string("value=\"") + c + "   [p]\"") != std::string::npos, c == 'B') << c;
  EXPECT_TRUE(EndsWithFooter(index));
}

TEST_F(IndexCancelTest, ResumeAfterPauseWritesEverything) {
  EXPECT_TRUE(Write(ReleaseWith(JobRun)));
  std::string index = Index();
  EXPECT_NE(index.find("value=\"D   [p]\""), std::string::npos);
  EXPECT_TRUE(EndsWithFooter(index));
}

// The status line holds at most 259 characters: a long page name gives way.
TEST(IndexStatusLine, LongPageNameIsCutToFit) {
  // Only a short folder leaves room for a name longer than the line allows.
  std::string tmp = test::HostPath("/tmp");
  if (!test::FileExists(tmp)) QB_SKIP_OR_FAIL("no " + tmp);
  std::string folder = tmp + test::kSep + "qbhp" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
  std::string name = "index-" + std::string(225, 'n') + ".html";
  std::string page = folder + test::kSep + name;
  ASSERT_LE(page.size(), 259u);
  WriteFile(page, Term("<A HREF=\"q.html\">q</A>", " <A HREF=\"c\">C</A>"));
  test::ProgressRecorder recorder;
  BufferedFileWriter writer;
  std::string out = folder + test::kSep + "out.hhk";
  ASSERT_TRUE(writer.Open(out.c_str()));
  EXPECT_TRUE(recorder.RunStage([&] { return ScanIndexPage("", page.c_str(), true, writer); }));
  writer.Close();
  std::string expected = "Creating index file from " + name.substr(0, 223) + ", letter: Q";
  EXPECT_EQ(expected.size(), 259u);
  EXPECT_EQ(recorder.Texts(ProgressStatus), Strings{expected});
  std::remove(page.c_str());
  std::remove(out.c_str());
  std::filesystem::remove(folder);
}

}  // namespace
}  // namespace qb
