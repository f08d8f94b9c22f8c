// Projects written to harm: files that lead out of the project folder through symbolic
// links, and projects that would exhaust the machine or the help file's readers. Each is
// refused with a message that says why; nothing outside the project reaches the .chm.
#include <gtest/gtest.h>

#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

std::string Project(const std::string& files, const std::string& options = "") {
  return "[OPTIONS]\r\nCompiled file=out.chm\r\n" + options + "\r\n[FILES]\r\n" + files;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Limits lowered for one test, restored whatever happens.
class Limits {
 public:
  explicit Limits(const CompileLimits& l) : limits_(l) { SetCompileLimitsForTesting(&limits_); }
  ~Limits() { SetCompileLimitsForTesting(nullptr); }

 private:
  CompileLimits limits_;
};

TEST(HostileInput, SymbolicLinksOutOfTheProjectAreRefusedLikeDotDotPaths) {
  TempDir outside, dir;
  qb::test::WriteFile(outside / "passwd", "root:x:0:0:secret");
  qb::test::WriteFile(outside / "more/style.css", "p { color: red }");
  qb::test::WriteFile(dir / "page.html",
                      "<link rel=stylesheet href=\"ext/style.css\"><a href=\"sub/link.html\">l</a>"
                      "<a href=\"alias.html\">a</a><a href=\"leak.html\">p</a>");
  qb::test::MakeDirs(dir / "sub");
  if (!qb::test::MakeSymlink(outside / "passwd", dir / "sub/link.html", false) ||
      !qb::test::MakeSymlink(outside / "more", dir / "ext", true) ||
      !qb::test::MakeSymlink(outside / "passwd", dir / "leak.html", false) ||
      !qb::test::MakeSymlink(dir / "page.html", dir / "alias.html", false))
    GTEST_SKIP() << "this system cannot make symbolic links";
  qb::test::WriteFile(dir / "p.hhp", Project("page.html\r\nsub/link.html\r\n../outside.html\r\n"));

  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  const std::string messages = run.AllMessages();
  EXPECT_EQ(Count(messages, "is outside the project folder; left out"), 4u) << messages;
  for (const char* refused :
       {"\"sub/link.html\"", "\"ext/style.css\"", "\"leak.html\"", "\"../outside.html\""})
    EXPECT_NE(messages.find(refused), std::string::npos) << refused << "\n" << messages;
  // page.html and the link to it that stays inside.
  EXPECT_EQ(run.stats.pages, 2u) << messages;
  EXPECT_EQ(run.stats.otherFiles, 0u) << messages;
#ifndef _WIN32
  bool ok = false;
  FileMap files = ReadWithChmlib(dir / "out.chm", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(files.count("alias.html"), 1u);
  for (const auto& [name, bytes] : files)
    EXPECT_EQ(bytes.find("secret"), std::string::npos) << name;
#endif
}

#ifndef _WIN32
TEST(HostileInput, SymbolicLinkToEtcPasswdInFilesIsRefused) {
  TempDir dir;
  qb::test::WriteFile(dir / "index.html", "<p>x</p>");
  qb::test::MakeDirs(dir / "sub");
  ASSERT_TRUE(qb::test::MakeSymlink("/etc/passwd", dir / "sub/link.html", false));
  qb::test::WriteFile(dir / "p.hhp", Project("index.html\r\nsub/link.html\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  EXPECT_NE(run.AllMessages().find("\"sub/link.html\" is outside the project folder; left out"),
            std::string::npos)
      << run.AllMessages();
  bool ok = false;
  FileMap files = ReadWithChmlib(dir / "out.chm", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(files.count("sub/link.html"), 0u);
}

TEST(HostileInput, AFolderLinkToItselfEndsWhereTheSystemStopsResolving) {
  TempDir dir;
  qb::test::WriteFile(dir / "page.html", "<a href=\"loop/page.html\">again</a>");
  ASSERT_TRUE(qb::test::MakeSymlink(".", dir / "loop", true));
  qb::test::WriteFile(dir / "p.hhp", Project("page.html\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_TRUE(run.ok) << run.AllMessages();
  EXPECT_LT(run.stats.pages, 100u);
}
#endif

TEST(HostileInput, APageLargerThanTheSectionIsRefused) {
  Limits limits({/*sectionBytes=*/1000});
  TempDir dir;
  qb::test::WriteFile(dir / "big.html", std::string(1001, 'a'));
  qb::test::WriteFile(dir / "a.html", std::string(600, 'a'));
  qb::test::WriteFile(dir / "b.html", std::string(600, 'b'));
  for (const char* files : {"big.html\r\n", "a.html\r\nb.html\r\n"}) {
    qb::test::WriteFile(dir / "p.hhp", Project(files));
    CompileRun run = Compile(dir / "p.hhp");
    EXPECT_FALSE(run.ok) << files;
    EXPECT_NE(run.AllMessages().find("more than the 1,000 bytes a help file's section holds; "
                                     "the project is refused."),
              std::string::npos)
        << run.AllMessages();
    EXPECT_FALSE(qb::test::FileExists(dir / "out.chm"));
  }
  qb::test::WriteFile(dir / "p.hhp", Project("a.html\r\n"));
  EXPECT_TRUE(Compile(dir / "p.hhp").ok);
}

TEST(HostileInput, MoreFilesThanTheDirectoryAllowsAreRefused) {
  CompileLimits l;
  l.files = 5;
  Limits limits(l);
  TempDir dir;
  std::string files;
  for (int i = 0; i < 6; ++i) {
    qb::test::WriteFile(dir / ("p" + std::to_string(i) + ".html"), "x");
    files += "p" + std::to_string(i) + ".html\r\n";
  }
  qb::test::WriteFile(dir / "p.hhp", Project(files));
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.AllMessages().find(
                "p.hhp, line 10: the project reaches more than 5 files, more than a help file's "
                "directory may hold; the project is refused."),
            std::string::npos)
      << run.AllMessages();
}

TEST(HostileInput, ALinkChainThatDoesNotEndIsRefused) {
  CompileLimits l;
  l.linkDepth = 10;
  Limits limits(l);
  TempDir dir;
  // Each page links to the next, as a generator that never stops would write them.
  for (int i = 0; i < 12; ++i)
    qb::test::WriteFile(dir / ("c" + std::to_string(i) + ".html"),
                        "<a href=\"c" + std::to_string(i + 1) + ".html\">next</a>");
  qb::test::WriteFile(dir / "p.hhp", Project("c0.html\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.AllMessages().find("c10.html, line 1: \"c11.html\" is reached through more than "
                                   "10 links in a row from the project's files; the project is "
                                   "refused."),
            std::string::npos)
      << run.AllMessages();
  // The same chain within the limit compiles.
  qb::test::WriteFile(dir / "p.hhp", Project("c2.html\r\n"));
  EXPECT_TRUE(Compile(dir / "p.hhp").ok);
}

TEST(HostileInput, ASitemapNestedThousandsDeepIsRefused) {
  TempDir dir;
  qb::test::WriteFile(dir / "a.html", "<p>a</p>");
  std::string deep;
  for (int i = 0; i < 3000; ++i)
    deep += "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"a.html\"></OBJECT>\n";
  qb::test::WriteFile(dir / "toc.hhc", "<HTML><BODY>" + deep + "</BODY></HTML>");
  qb::test::WriteFile(dir / "p.hhp", Project("a.html\r\n", "Contents file=toc.hhc\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.AllMessages().find("Error: toc.hhc: its lists nest 3,000 levels deep, more than "
                                   "the 100 a help file's readers are given; the project is "
                                   "refused."),
            std::string::npos)
      << run.AllMessages();
  // Lists that close again do not add up.
  std::string wide;
  for (int i = 0; i < 3000; ++i) wide += "<ul><li><object type=\"text/sitemap\"></object></ul>";
  qb::test::WriteFile(dir / "toc.hhc", wide);
  EXPECT_TRUE(Compile(dir / "p.hhp").ok);
}

}  // namespace
}  // namespace hha::test
