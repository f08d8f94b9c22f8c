// Which files go in: the project's own files and everything their local links reach.
#include <gtest/gtest.h>

#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

struct Built {
  CompileRun run;
  FileMap files;  // as chmlib reads them back
};

Built Build(const FileMap& tree, const std::string& project) {
  TempDir dir;
  WriteTree(dir.path(), tree);
  qb::test::WriteFile(dir / "p.hhp", project);
  Built b;
  b.run = Compile(dir / "p.hhp");
  bool ok = false;
  if (b.run.ok) b.files = ReadWithChmlib(dir / "out.chm", &ok);
  return b;
}

bool Has(const Built& b, const std::string& name) { return b.files.count(name) != 0; }

// Fragments, queries and foreign schemes are not files.
TEST(LinkFollowing, HrefSrcCssUrlAndImportAreFollowedTransitively) {
  Built b = Build({{"start.html", "<LINK REL=stylesheet HREF=css/main.css><img src='img/a.png'>"
                                  "<a href=\"next.html\">n</a><div style=\"background: url(img/s.png)\">"},
                   {"next.html", "<a href=\"deeper/last.html\">l</a><a href=\"#top\">t</a><a href=\"b.html#sec\">b</a>"
                                 "<a href=\"c.html?x=1&amp;y=2\">c</a><a href=\"http://example.invalid/d.html\">d</a>"
                                 "<a href=\"mailto:someone@example.invalid\">m</a><a href=\"javascript:void(0)\">j</a>"
                                 "<a href=\"//example.invalid/e.html\">e</a><a href=\"ms-its:other.chm::/f.html\">f</a>"
                                 "<a href=\"../outside.html\">o</a><a href=\"sp%20ace.html\">s</a>"},
                   {"b.html", "b"}, {"c.html", "c"}, {"sp ace.html", "s"},
                   {"deeper/last.html", "<script src=\"../js/x.js\"></script>"},
                   {"js/x.js", "var s = '<a href=\"never.html\">';"},
                   {"css/main.css", "@import \"more.css\";\nh1 { background: url( \"../img/h.png\" ) }"},
                   {"css/more.css", "/* url(commented.png) */ p { background: url(dot.gif) }"},
                   {"css/dot.gif", "GIF"}, {"img/a.png", "A"}, {"img/s.png", "S"}, {"img/h.png", "H"},
                   {"unlinked.html", "x"}},
                  Project("start.html\r\n"));
  ASSERT_TRUE(b.run.ok) << b.run.AllMessages();
  for (const char* f : {"start.html", "next.html", "deeper/last.html", "js/x.js", "css/main.css",
                        "css/more.css", "css/dot.gif", "img/a.png", "img/s.png", "img/h.png", "b.html", "c.html",
                        "sp ace.html"})
    EXPECT_TRUE(Has(b, f)) << f;
  EXPECT_FALSE(Has(b, "unlinked.html"));
  EXPECT_EQ(b.run.stats.warnings, 0) << "script text, CSS comments, web links and links out of the folder:\n"
                                     << b.run.AllMessages();
}

TEST(LinkFollowing, NamesMatchIgnoringCaseAndKeepTheirFirstReferencesCase) {
  Built b = Build({{"Index.html", "<a href=\"PKG/CLASS.HTML\">c</a><a href=\"pkg/class.html\">again</a>"},
                   {"Pkg/Class.html", "<a href=\"../index.HTML\">back</a>"}},
                  Project("index.html\r\n"));
  ASSERT_TRUE(b.run.ok) << b.run.AllMessages();
  EXPECT_TRUE(Has(b, "index.html"));
  EXPECT_TRUE(Has(b, "PKG/CLASS.HTML"));
  int pages = 0;
  for (const auto& [name, bytes] : b.files)
    pages += name.find(".html") != std::string::npos || name.find(".HTML") != std::string::npos;
  EXPECT_EQ(pages, 2) << "each page once";
}

TEST(LinkFollowing, SitemapLocalsDefaultTopicAndWindowFilesAreIncluded) {
  Built b = Build({{"toc.hhc", "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\">"
                               "<param name=\"Local\" value=\"pkg/a.html#anchor\"></OBJECT>"
                               "<a href=\"not-followed.html\">"},
                   {"idx.hhk", "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"K\">"
                               "<PARAM NAME=\"local\" VALUE=\"pkg\\k.html\"></OBJECT>"},
                   {"pkg/a.html", "a"}, {"pkg/k.html", "k"}, {"start.html", "s"},
                   {"home.html", "h"}, {"jump.html", "j"}, {"not-followed.html", "n"}},
                  "[OPTIONS]\r\nCompiled file=out.chm\r\nContents file=toc.hhc\r\nIndex file=idx.hhk\r\n"
                  "Default topic=start.html\r\n\r\n[WINDOWS]\r\n"
                  "w=\"T\",,,,\"home.html\",\"jump.html\",\"Jump\",,,0x20\r\n\r\n[FILES]\r\n");
  ASSERT_TRUE(b.run.ok) << b.run.AllMessages();
  for (const char* f : {"toc.hhc", "idx.hhk", "pkg/a.html", "pkg/k.html", "start.html", "home.html", "jump.html"})
    EXPECT_TRUE(Has(b, f)) << f;
  EXPECT_FALSE(Has(b, "not-followed.html")) << "sitemaps contribute their Local values only";
}

TEST(LinkFollowing, EachMissingFileIsReportedOnceWithFileAndLine) {
  Built b = Build({{"a.html", "line 1\n<a href=\"gone.html\">\n<img src=\"gone.html\">"},
                   {"b.html", "<a href=\"Gone.html\">"}},
                  Project("a.html\r\nb.html\r\nnot-there.html\r\n"));
  ASSERT_TRUE(b.run.ok) << b.run.AllMessages();
  const std::string all = b.run.AllMessages();
  EXPECT_NE(all.find("Warning: a.html, line 2: \"gone.html\" does not exist"), std::string::npos) << all;
  EXPECT_NE(all.find("Warning: p.hhp, line 7: \"not-there.html\" does not exist"), std::string::npos) << all;
  EXPECT_EQ(b.run.stats.warnings, 2) << all;
  for (const auto& m : b.run.messages) EXPECT_EQ(m.substr(m.size() - 2), "\r\n");
}

}  // namespace
}  // namespace hha::test
