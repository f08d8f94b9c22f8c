// Projects written to harm: files that lead out of the project folder through symbolic
// links, and projects that would exhaust the machine or the help file's readers. Each is
// refused with a message that says why; nothing outside the project reaches the .chm.
#include <gtest/gtest.h>

#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

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

// A project beyond a limit (lowered for the test, but for the sitemap's) is refused,
// saying which limit, and leaves no file; within the limit it compiles.
TEST(HostileInput, ProjectsBeyondALimitAreRefused) {
  CompileLimits section, files, links, standard;
  section.sectionBytes = 1000;
  files.files = 5;
  links.linkDepth = 10;
  const FileMap pages = {{"big.html", std::string(1001, 'a')}, {"a.html", std::string(600, 'a')},
                         {"b.html", std::string(600, 'b')}};
  FileMap six, chain, deep = {{"a.html", "<p>a</p>"}}, wide = deep;
  for (int i = 0; i < 6; ++i) six["p" + std::to_string(i) + ".html"] = "x";
  // Each page links to the next, as a generator that never stops would write them.
  for (int i = 0; i < 12; ++i)
    chain["c" + std::to_string(i) + ".html"] = "<a href=\"c" + std::to_string(i + 1) + ".html\">next</a>";
  for (int i = 0; i < 3000; ++i) {
    deep["toc.hhc"] += "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"a.html\"></OBJECT>\n";
    wide["toc.hhc"] += "<ul><li><object type=\"text/sitemap\"></object></ul>";  // lists that close again
  }
  struct Case {
    const char* refusal;  // "" when it compiles
    const CompileLimits& limits;
    const FileMap& tree;
    std::string files, options;
  } cases[] = {
      {"more than the 1,000 bytes a help file's section holds", section, pages, "big.html\r\n", ""},
      {"more than the 1,000 bytes a help file's section holds", section, pages, "a.html\r\nb.html\r\n", ""},
      {"", section, pages, "a.html\r\n", ""},
      {"reaches more than 5 files", files, six, "p0.html\r\np1.html\r\np2.html\r\np3.html\r\np4.html\r\np5.html\r\n", ""},
      {"\"c11.html\" is reached through more than 10 links in a row", links, chain, "c0.html\r\n", ""},
      {"", links, chain, "c2.html\r\n", ""},
      {"its lists nest 3,000 levels deep, more than the 100", standard, deep, "a.html\r\n", "Contents file=toc.hhc\r\n"},
      {"", standard, wide, "a.html\r\n", "Contents file=toc.hhc\r\n"},
  };
  for (const Case& c : cases) {
    Limits limits(c.limits);
    TempDir dir;
    WriteTree(dir.path(), c.tree);
    qb::test::WriteFile(dir / "p.hhp", Project(c.files, c.options));
    CompileRun run = Compile(dir / "p.hhp");
    const std::string messages = run.AllMessages();
    EXPECT_EQ(run.ok, !*c.refusal) << c.files << messages;
    if (!*c.refusal) continue;
    EXPECT_NE(messages.find(c.refusal), std::string::npos) << messages;
    EXPECT_NE(messages.find("; the project is refused."), std::string::npos) << messages;
    EXPECT_FALSE(qb::test::FileExists(dir / "out.chm")) << c.files;
  }
}

}  // namespace
}  // namespace hha::test
