// Javadoc of every modern generation compiled with viewer-safe pages and read back: each
// page asks for the newest document mode, has no script or search box, has the override
// stylesheet and says what it said before; the tree on disk is untouched; search works.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "hha/core/page_treatment.h"
#include "tests/hha/chm_test_support.h"
#include "tests/hha/search/search_reader.h"

namespace fs = std::filesystem;

namespace hha::test {
namespace {

using qb::test::TempDir;

constexpr char kMeta[] = "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The words a reader sees: no tags, comments, scripts or style sheets; runs of letters,
// digits and non-ASCII bytes, case folded.
std::vector<std::string> Words(const std::string& html) {
  std::vector<std::string> words;
  std::string word;
  const std::string lower = Lower(html);
  auto end = [&] {
    if (!word.empty()) words.push_back(Lower(word));
    word.clear();
  };
  for (size_t i = 0; i < html.size();) {
    size_t next = std::string::npos;
    if (html.compare(i, 4, "<!--") == 0) {
      next = html.find("-->", i);
      if (next != std::string::npos) next += 3;
    } else if (lower.compare(i, 7, "<script") == 0 || lower.compare(i, 6, "<style") == 0) {
      next = lower.find(lower.compare(i, 7, "<script") == 0 ? "</script" : "</style", i);
      if (next != std::string::npos) next = html.find('>', next) + 1;
    } else if (html[i] == '<' && i + 1 < html.size() &&
               (std::isalpha(static_cast<unsigned char>(html[i + 1])) || html[i + 1] == '/' ||
                html[i + 1] == '!')) {
      next = html.find('>', i);
      if (next != std::string::npos) ++next;
    }
    if (next != std::string::npos) {
      end();
      i = next;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(html[i++]);
    if (std::isalnum(c) || c >= 0x80) word += static_cast<char>(c);
    else end();
  }
  end();
  return words;
}

// What a treated page may have lost: whole "JavaScript is disabled on your browser."
// notices, and the words of search boxes and links ("SEARCH:&nbsp;").
std::string LostWordsProblem(const std::string& original, const std::string& treated) {
  const std::vector<std::string> before = Words(original), after = Words(treated);
  std::map<std::string, int> lost;
  size_t j = 0;
  for (const std::string& w : after) {
    while (j < before.size() && before[j] != w) ++lost[before[j++]];
    if (j == before.size()) return "\"" + w + "\" is new or out of order";
    ++j;
  }
  while (j < before.size()) ++lost[before[j++]];
  const int notices = lost["javascript"];
  for (const char* w : {"javascript", "is", "disabled", "on", "your", "browser"})
    if (lost[w] != notices) return "lost " + std::to_string(lost[w]) + " \"" + w + "\" for " + std::to_string(notices) + " notices";
  if (lost["nbsp"] > lost["search"]) return "lost \"nbsp\" outside a search box";
  for (const auto& [w, n] : lost)
    if (n > 0 && w != "search" && w != "nbsp" && w != "javascript" && w != "is" && w != "disabled" &&
        w != "on" && w != "your" && w != "browser")
      return "lost \"" + w + "\"";
  return "";
}

// The treated form of one page, checked against the page on disk.
std::string PageProblem(const std::string& name, const std::string& original, const std::string& treated) {
  const std::string lower = Lower(treated);
  const size_t head = lower.find("<head");
  if (head == std::string::npos || treated.compare(lower.find('>', head) + 1, sizeof kMeta - 1, kMeta) != 0)
    return "the meta is not the first element of <head>";
  if (lower.find("<script") != std::string::npos) return "a <script> is left";
  if (treated.find("nav-list-search") != std::string::npos || treated.find("navListSearch") != std::string::npos)
    return "the search box is left";
  for (size_t a = lower.find("<a "); a != std::string::npos; a = lower.find("<a ", a + 1)) {
    const std::string tag = lower.substr(a, lower.find('>', a) - a);
    const size_t href = tag.find("href=\"");
    if (href == std::string::npos) continue;
    std::string target = tag.substr(href + 6, tag.find('"', href + 6) - href - 6);
    while (target.compare(0, 3, "../") == 0) target.erase(0, 3);
    if (target.compare(0, 11, "search.html") == 0) return "a link to search.html is left: " + tag;
  }
  std::string href;
  for (char c : name)
    if (c == '/') href += "../";
  if (treated.find("href=\"" + href + kViewerStylesheetName + "\"") == std::string::npos)
    return "no link to the override stylesheet";
  return LostWordsProblem(original, treated);
}

struct Tree {
  std::string root;                  // the Javadoc folder; the project and help file go in it
  std::vector<std::string> pages;    // every .html, "/" separated
};

Tree ListPages(const std::string& root) {
  Tree t{root, {}};
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && e.path().extension() == ".html")
      t.pages.push_back(e.path().lexically_relative(root).generic_string());
  std::sort(t.pages.begin(), t.pages.end());
  return t;
}

// Compiles every page of the tree with viewer-safe pages and checks the help file.
void CompileAndCheck(const Tree& tree, FileMap* chmOut = nullptr) {
  std::string files;
  for (const std::string& p : tree.pages) files += p + "\r\n";
  qb::test::WriteFile(tree.root + "/p.hhp",
                      "[OPTIONS]\r\nCompiled file=help.chm\r\nDefault topic=index.html\r\n"
                      "Full-text search=Yes\r\n;quillbinder: Viewer-safe pages=Yes\r\nTitle=T\r\n\r\n"
                      "[FILES]\r\n" + files);
  const FileMap before = qb::test::FolderFiles(tree.root);
  CompileRun run = Compile(tree.root + "/p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  EXPECT_NE(run.AllMessages().find("Made " + std::to_string(tree.pages.size()) + " pages safe"),
            std::string::npos) << run.AllMessages();
  FileMap after = qb::test::FolderFiles(tree.root);
  after.erase("help.chm");
  EXPECT_TRUE(after == before) << "the tree on disk changed";

  bool ok = false;
  const FileMap chm = ReadWithChmlib(tree.root + "/help.chm", &ok);
  ASSERT_TRUE(ok);
  int bad = 0;
  for (const std::string& page : tree.pages) {
    auto it = chm.find(page);
    const std::string problem = it == chm.end() ? "not in the help file"
                                                : PageProblem(page, before.at(page), it->second);
    if (!problem.empty() && ++bad <= 5) ADD_FAILURE() << page << ": " << problem;
  }
  EXPECT_EQ(bad, 0) << "of " << tree.pages.size() << " pages";
  EXPECT_EQ(std::count_if(chm.begin(), chm.end(), [](const auto& f) { return f.second == kViewerStylesheet; }), 1);
  EXPECT_EQ(chm.count(kViewerStylesheetName), 1u);
  if (chmOut) *chmOut = chm;
}

// JDK 17 Javadoc of a small zoo: both packages hold several kinds, so their summaries
// have tabbed tables.
TEST(ViewerSafePages, GeneratedJdk17Tree) {
  TempDir dir;
  const FileMap sources = {
      {"src/zoo/animals/Animal.java",
       "package zoo.animals;\n/** Anything that hops like a quokka. */\npublic interface Animal {\n"
       "  /** How far a marsupial hops.\n   * @return metres */\n  int hop();\n}\n"},
      {"src/zoo/animals/Kangaroo.java",
       "package zoo.animals;\n/** A kangaroo from the wallabyfarm. */\npublic class Kangaroo implements Animal {\n"
       "  /** Creates one. */\n  public Kangaroo() {}\n  @Override public int hop() { return 9; }\n}\n"},
      {"src/zoo/animals/Diet.java", "package zoo.animals;\n/** What they eat. */\npublic enum Diet { GRASS, LEAVES }\n"},
      {"src/zoo/animals/Sighting.java",
       "package zoo.animals;\n/** Seen at dusk by the billabong. @param where place */\n"
       "public record Sighting(String where) {}\n"},
      {"src/zoo/keepers/Keeper.java",
       "package zoo.keepers;\n/** Feeds the animals of the eucalyptusgrove. */\npublic class Keeper {\n"
       "  /** Feeds. @param a the animal */\n  public void feed(zoo.animals.Animal a) {}\n}\n"},
      {"src/zoo/keepers/Shift.java", "package zoo.keepers;\n/** Morning or night. */\npublic enum Shift { EARLY, LATE }\n"},
  };
  WriteTree(dir.path(), sources);
  int rc = 0;
  const std::string log = RunCommand("cd '" + dir.path() + "' && javadoc -quiet -d doc -sourcepath src "
                                     "-subpackages zoo -windowtitle Zoo", &rc);
  if (rc == 127) QB_SKIP_OR_FAIL("javadoc is not installed");
  ASSERT_EQ(rc, 0) << log;
  FileMap chm;
  CompileAndCheck(ListPages(dir / "doc"), &chm);
  if (HasFailure()) return;

  SearchRun r = SearchWithPyChm(dir / "doc/help.chm", {"quokka", "wallabyfarm", "billabong", "eucalyptusgrove"});
  ASSERT_TRUE(r.ok) << r.log;
  const std::map<std::string, std::string> expected = {
      {"quokka", "zoo/animals/Animal.html"},
      {"wallabyfarm", "zoo/animals/Kangaroo.html"},
      {"billabong", "zoo/animals/Sighting.html"},
      {"eucalyptusgrove", "zoo/keepers/Keeper.html"}};
  for (const auto& [word, page] : expected) {
    bool found = false;
    for (const auto& [title, url] : r.hits[word]) found |= url == page;
    EXPECT_TRUE(found) << word << " does not find " << page;
  }
}

// Real trees: JDK 8 (frames), 9 (iframes), 10 (-html5, unnamed package), 11 (split
// index), 14 (one module), 21 (one package), 25 (one module).
class RealModernTree : public ::testing::TestWithParam<std::string> {};

TEST_P(RealModernTree, EveryPageIsTreated) {
  const std::string data = qb::test::TestDataDir();
  const fs::path source = fs::path(data).parent_path() / GetParam();
  if (data.empty() || !fs::is_directory(source)) QB_SKIP_OR_FAIL(GetParam() << " is not in the shared test data");
  TempDir dir;
  const std::string root = dir / "doc";
  ASSERT_TRUE(qb::test::CopyTree(source.string(), root));
  CompileAndCheck(ListPages(root));
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, RealModernTree,
                         ::testing::Values("testdata/E-jdom-2.0.6.1",
                                           "testdata-modern/J09-readmeestudo-iframes",
                                           "testdata-modern/J10-tictactoe-html5-unnamed",
                                           "testdata-modern/J11-asteroids-splitindex",
                                           "testdata-modern/J14-todolist-module",
                                           "testdata-modern/J21-which-single-package",
                                           "testdata-modern/J25-rhomu-module"),
                         [](const auto& info) {
                           const std::string tree = info.param.substr(info.param.find('/') + 1);
                           return tree.substr(0, tree.find('-'));
                         });

}  // namespace
}  // namespace hha::test
