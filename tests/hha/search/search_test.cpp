// Full-text search and topic titles of compiled files, as python3-chm finds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"
#include "tests/hha/search/search_reader.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

std::string Compiled(const TempDir& dir, const FileMap& pages, const std::string& language) {
  WriteTree(dir.path(), pages);
  std::string names;
  for (const auto& [name, bytes] : pages) names += name + "\r\n";
  qb::test::WriteFile(dir / "p.hhp", Project(names, "Language=" + language + "\r\nFull-text search=Yes\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_TRUE(run.ok) << run.AllMessages();
  return dir / "out.chm";
}

std::string InternalFile(const std::string& chm, const char* name) {
  bool ok = false;
  return ReadWithChmlib(chm, &ok)[name + 1];  // the readers' names have no leading "/"
}

const FileMap kEnglish = {
    {"a.html",
     "<html><head><title>\r\n  First   &amp;\r\n  Foremost </title>\r\n"
     "<style>p { stylewordonly: 1 }</style></head>\r\n"
     "<body class=\"page\" onload=\"attrwordonly()\">\r\n<p>The Zebrafinch sings "
     "Hash<b>Map</b> na&iuml;ve caf&#233; &lt;generic&gt; size_t 1.8.16 can't</p>\r\n"
     "<script>var scriptwordonly = 1;</script><!-- commentwordonly -->\r\n"
     "shared</body></html>\r\n"},
    {"b.html",
     "<html><head><title>Second page</title></head><body bgcolor=\"white\">"
     "<table><tr><td>Okapi</td><td>shared</td></tr></table></body></html>"},
    {"sub/c.html",
     "<HTML><HEAD><TITLE>Third</TITLE></HEAD><BODY>Narwhal shared " + std::string(99, 'q') + " " +
         std::string(100, 'r') + " afterlong</BODY></HTML>"},
};

// Words as the viewer breaks and folds a query: tags split, entities (named: Windows-1252;
// numeric) decoded, accents go, '_' is a letter, a number keeps its dots, an apostrophe
// between letters goes; title words count, attributes, styles, scripts and comments do
// not; 99 characters is the longest word, and a longer one ends the page's words, as in
// Microsoft's compiler.
TEST(FullTextSearch, BodyWordsFindExactlyTheirPageWithTitles) {
  TempDir dir;
  const std::string chm = Compiled(dir, kEnglish, "0x409 English (United States)");
  const SearchHits a = {{"First & Foremost", "a.html"}}, b = {{"Second page", "b.html"}},
                   c = {{"Third", "sub/c.html"}}, none;
  const std::map<std::string, SearchHits> expected = {
      {"zebrafinch", a}, {"ZEBRAFINCH", a}, {"okapi", b}, {"narwhal", c}, {"hashmap", none}, {"hash", a},
      {"map", a}, {"naive", a}, {"cafe", a}, {"size_t", a}, {"1.8.16", a}, {"cant", a}, {"generic", a},
      {std::string(99, 'q'), c}, {std::string(100, 'r'), none}, {"afterlong", none}, {"stylewordonly", none},
      {"attrwordonly", none}, {"scriptwordonly", none}, {"commentwordonly", none}, {"foremost", a}};
  std::vector<std::string> words = {"shared"};
  for (const auto& [word, hits] : expected) words.push_back(word);
  SearchRun r = SearchWithPyChm(chm, words);
  ASSERT_TRUE(r.ok) << r.log;
  EXPECT_TRUE(r.searchable);
  for (const auto& [word, hits] : expected) EXPECT_EQ(r.hits[word], hits) << word;
  EXPECT_EQ(r.hits["shared"].size(), 3u);
}

TEST(FullTextSearch, SystemAndWindowFlagsFollowTheOption) {
  for (bool search : {true, false}) {
    SCOPED_TRACE(search ? "search on" : "search off");
    TempDir dir;
    WriteTree(dir.path(), kEnglish);
    qb::test::WriteFile(dir / "p.hhp",
                        "[OPTIONS]\r\nCompiled file=out.chm\r\nDefault Window=main\r\n"
                        "Full-text search=" + std::string(search ? "Yes" : "No") +
                            "\r\n\r\n[WINDOWS]\r\nmain=\"T\",,,\"a.html\",,,,,,0x20,,,,,,,,,,0\r\n"
                            "\r\n[FILES]\r\na.html\r\nb.html\r\n");
    CompileRun run = Compile(dir / "p.hhp");
    ASSERT_TRUE(run.ok) << run.AllMessages();
    const std::string chm = dir / "out.chm";
    const auto records = SystemRecords({{"#SYSTEM", InternalFile(chm, "/#SYSTEM")}});
    const auto r4 = std::find_if(records.begin(), records.end(), [](const auto& r) { return r.first == 4; });
    ASSERT_TRUE(r4 != records.end());
    EXPECT_EQ(Le32(r4->second, 8), search ? 1u : 0u) << "full-text flag";
    const std::string windows = InternalFile(chm, "/#WINDOWS");
    ASSERT_GE(windows.size(), 8u + 0x14);
    EXPECT_EQ(Le32(windows, 8 + 0x10), search ? 0x420u : 0x20u) << "search tab bit";
    // Without search, an empty $FIftiMain as Microsoft's compiler writes it; readers that
    // take it for a search index find nothing in it.
    EXPECT_EQ(InternalFile(chm, "/$FIftiMain").empty(), !search);
    EXPECT_EQ(InternalFile(chm, "/#IDXHDR").size(), 4096u);
    SearchRun r = SearchWithPyChm(chm, {"okapi"});
    ASSERT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.hits["okapi"].empty(), !search);
  }
}

}  // namespace
}  // namespace hha::test
