// The binary keyword index as the viewer reads it: what an index file says (nesting,
// repeated keywords, see-also entries, pages with fragments) and, on a real split Javadoc
// index, every keyword in alphabetical order whatever order the index files came in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

namespace fs = std::filesystem;
using qb::test::TempDir;

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

std::string Entry(const std::string& name, const std::string& local, const std::string& extra = "") {
  return "<LI> <OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" value=\"" + name + "\">\r\n" +
         (local.empty() ? "" : "<param name=\"Local\" value=\"" + local + "\">\r\n") + extra + "</OBJECT>\r\n";
}

TEST(BinaryIndex, KeepsNestingRepeatsAndSeeAlsoOfTheIndexFile) {
  TempDir dir;
  FileMap files;
  for (const char* page : {"a.html", "b.html", "c.html"})
    files[page] = std::string("<html><head><title>") + page + "</title></head><body>text</body></html>";
  files["p.hhp"] = "[OPTIONS]\r\nCompiled file=p.chm\r\nIndex file=p.hhk\r\nDefault topic=a.html\r\n"
                   "Language=0x409\r\n\r\n[FILES]\r\na.html\r\nb.html\r\nc.html\r\n";
  files["p.hhk"] = "<HTML><BODY><UL>\r\n" + Entry("zeta", "c.html") + Entry("Alpha", "b.html") +
                   "<UL>\r\n" + Entry("child", "a.html#part") + "</UL>\r\n" + Entry("zeta", "a.html") +
                   Entry("Alpha", "a.html") + Entry("beta", "", "<param name=\"See Also\" value=\"Alpha\">\r\n") +
                   "</UL></BODY></HTML>\r\n";
  WriteTree(dir.path(), files);
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  bool ok = false;
  const FileMap chm = ReadWithChmlib(dir / "p.chm", &ok);
  ASSERT_TRUE(ok);
  const BinaryIndexView index = BinaryIndex(chm);
  ASSERT_TRUE(index.present);
  ASSERT_EQ(index.keywords.size(), 4u);
  const KeywordView &alpha = index.keywords[0], &child = index.keywords[1], &beta = index.keywords[2],
                    &zeta = index.keywords[3];
  EXPECT_EQ(Narrow(alpha.text), "Alpha");
  EXPECT_EQ(alpha.topicUrls, (std::vector<std::string>{"b.html", "a.html"})) << "repeats merged in file order";
  EXPECT_EQ(Narrow(child.text), "Alpha, child");
  EXPECT_EQ(child.depth, 1);
  EXPECT_EQ(child.lastPart, 7u);
  EXPECT_EQ(child.topicUrls, (std::vector<std::string>{"a.html#part"})) << "a fragment is a topic of its own";
  EXPECT_EQ(Narrow(beta.text), "beta");
  EXPECT_TRUE(beta.topicUrls.empty());
  EXPECT_EQ(Narrow(beta.seeAlso), "Alpha");
  EXPECT_EQ(Narrow(zeta.text), "zeta");
  EXPECT_EQ(zeta.topicUrls, (std::vector<std::string>{"c.html", "a.html"}));
}

// A keyword longer than a block is cut to fit one.
TEST(BinaryIndex, LongKeywordsAreCutToFitABlock) {
  TempDir dir;
  WriteTree(dir.path(), {{"a.html", "<title>A</title>x"},
                         {"p.hhk", "<UL>" + Entry(std::string(3000, 'k'), "a.html") + Entry("small", "a.html") + "</UL>"},
                         {"p.hhp", "[OPTIONS]\r\nCompiled file=p.chm\r\nIndex file=p.hhk\r\n\r\n[FILES]\r\na.html\r\n"}});
  ASSERT_TRUE(Compile(dir / "p.hhp").ok);
  bool ok = false;
  const FileMap chm = ReadWithChmlib(dir / "p.chm", &ok);
  ASSERT_TRUE(ok);
  const BinaryIndexView index = BinaryIndex(chm);
  ASSERT_EQ(index.keywords.size(), 2u);
  EXPECT_LT(index.keywords[0].text.size(), 1024u);
  EXPECT_EQ(Narrow(index.keywords[1].text), "small");
}

// Keywords of a split Javadoc index, read from its pages: link target and bold text of
// each <DT>.
std::vector<std::pair<std::string, std::string>> JavadocKeywords(const fs::path& indexFolder,
                                                                 const std::vector<std::string>& pages) {
  static const std::regex kEntry("<DT><A HREF=\"([^\"]*)\"[^>]*><B>([^<]*)</B>", std::regex::icase);
  std::vector<std::pair<std::string, std::string>> keywords;
  for (const std::string& page : pages) {
    const std::string text = qb::test::ReadFile((indexFolder / page).string());
    for (std::sregex_iterator it(text.begin(), text.end(), kEntry), end; it != end; ++it) {
      std::string href = (*it)[1].str();
      if (href.compare(0, 3, "../") == 0) href = href.substr(3);
      keywords.emplace_back((*it)[2].str(), href);
    }
  }
  return keywords;
}

TEST(BinaryIndex, SplitJavadocIndexIsInAlphabeticalOrderAndComplete) {
  const std::string data = qb::test::TestDataDir();
  TempDir dir;
  const fs::path root = fs::path(dir.path()) / "jdom";
  if (data.empty() || !qb::test::CopyTree(data + "/A-jdom-1.1.3", root.string()))
    QB_SKIP_OR_FAIL("A-jdom-1.1.3 is not in the shared test data");
  // The index pages in the order Windows lists them: index-1, index-10, ..., index-2.
  std::vector<std::string> pages;
  for (auto& e : fs::directory_iterator(root / "index-files")) pages.push_back(e.path().filename().string());
  std::sort(pages.begin(), pages.end());
  const auto keywords = JavadocKeywords(root / "index-files", pages);
  ASSERT_GT(keywords.size(), 500u);
  std::string hhk = "<HTML><BODY><UL>\r\n", list;
  for (const auto& [name, local] : keywords) hhk += Entry(name, local);
  hhk += "</UL></BODY></HTML>\r\n";
  qb::test::WriteFile((root / "p.hhk").string(), hhk);
  qb::test::WriteFile((root / "p.hhp").string(),
                      "[OPTIONS]\r\nCompiled file=p.chm\r\nIndex file=p.hhk\r\nDefault topic=overview-summary.html\r\n"
                      "Language=0x409\r\n");
  CompileRun run = Compile((root / "p.hhp").string());
  ASSERT_TRUE(run.ok) << run.AllMessages();
  bool ok = false;
  const FileMap chm = ReadWithChmlib((root / "p.chm").string(), &ok);
  ASSERT_TRUE(ok);
  const BinaryIndexView index = BinaryIndex(chm);
  std::set<std::string> stored, expected;
  for (const auto& k : index.keywords) stored.insert(Narrow(k.text));
  for (const auto& k : keywords) expected.insert(k.first);
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(stored.size(), index.keywords.size()) << "repeated keywords are merged";
  // Alphabetical by first letter, letter case aside (the split files came B after V).
  char previous = 0;
  int wrong = 0;
  for (const auto& k : index.keywords) {
    const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(k.text[0])));
    if (!std::isalpha(static_cast<unsigned char>(first))) continue;
    if (first < previous && ++wrong <= 3) ADD_FAILURE() << Narrow(k.text) << " after a keyword starting with " << previous;
    previous = first;
  }
  EXPECT_EQ(wrong, 0);
  // Every keyword leads to its pages.
  for (const auto& k : index.keywords) EXPECT_FALSE(k.topicUrls.empty()) << Narrow(k.text);
}

}  // namespace
}  // namespace hha::test
