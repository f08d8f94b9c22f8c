// The binary keyword index as the viewer reads it: what an index file says (nesting,
// repeated keywords, see-also entries, pages with fragments). The order of the keywords and
// the blocks they fill: microsoft_reference_test, against Microsoft's own files.
#include <gtest/gtest.h>

#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

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

}  // namespace
}  // namespace hha::test
