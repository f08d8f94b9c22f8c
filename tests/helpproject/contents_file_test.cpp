#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/conversion_job.h"
#include "helpproject/contents_file_writer.h"
#include "tests/common/test_util.h"
#include "tests/helpproject/writer_test_support.h"

namespace qb {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

class ContentsFileTest : public ::testing::Test {
 protected:
  bool Write(const std::string& startPage) {
    std::string index = dir / "index.html";
    std::string output = dir / "guide.chm";
    return recorder.RunStage([&] {
      return WriteContentsFile(startPage.c_str(), index.c_str(), output.c_str());
    });
  }
  std::string Contents() { return ReadFile(dir / "guide.hhc"); }

  Strings Names() {
    Strings names;
    for (const auto& e : test::ParseSitemap(Contents())) names.push_back(e.name);
    return names;
  }

  // A package frame of the classic form: a heading link to the summary, then the classes.
  void WriteDemoTree() {
    WriteFile(dir / "overview-frame.html",
              "<HTML><BODY>\r\n"
              "<A HREF=\"allclasses-frame.html\" target=\"packageFrame\">All Classes</A>\r\n"
              "<A HREF=\"org/demo/package-frame.html\" target=\"packageFrame\">org.demo</A>\r\n"
              "<A HREF=\"org/demo/sub/package-frame.html\" target=\"packageFrame\">"
              "<B>org.demo.sub</B></A>\r\n</BODY></HTML>\r\n");
    WriteFile(dir / "allclasses-frame.html",
              "<A HREF=\"org/demo/Alpha.html\" title=\"class in org.demo\">Alpha</A>\r\n"
              "<A HREF=\"org/demo/Beta.html\" title=\"interface in org.demo\"><I>Beta</I></A>\r\n");
    WriteFile(dir / "org/demo/package-frame.html",
              "<A HREF=\"../../org/demo/package-summary.html\" target=\"classFrame\">org.demo</A>\r\n"
              "<A HREF=\"Alpha.html\" title=\"class in org.demo\" target=\"classFrame\">Alpha</A>\r\n"
              "<A HREF=\"Beta.html\" target=\"classFrame\"><I>Beta</I></A>\r\n"
              "<A HREF=\"Gamma.html\" target=\"classFrame\"><B>Gamma</B></A>\r\n"
              "<A NAME=\"top\"></A>\r\n"
              "<A HREF=\"Caf\xc3\xa9.html\">Caf\xc3\xa9 \xe9t\xe9</A>\r\n");
    WriteFile(dir / "org/demo/sub/package-frame.html",
              "<A HREF=\"package-summary.html\" target=\"classFrame\">org.demo.sub</A>\r\n"
              "<A HREF=\"Delta.html#inner\" target=\"classFrame\">Delta</A>\r\n"
              "<A HREF=\"../package-summary.html\">up</A>\r\n");
  }

  TempDir dir;
  test::ProgressRecorder recorder;
};

TEST_F(ContentsFileTest, OverviewGivesOneEntryPerFrameLink) {
  WriteDemoTree();
  ASSERT_TRUE(Write("overview-summary.html"));
  EXPECT_TRUE(recorder.events().empty());
  EXPECT_EQ(Contents(), test::Expected("contents_overview.hhc"));
}

TEST_F(ContentsFileTest, SinglePackageFromItsStartPage) {
  WriteDemoTree();  // the overview frame exists but is not read
  ASSERT_TRUE(Write("org/demo/package-summary.html"));
  EXPECT_EQ(Contents(), test::Expected("contents_single_package.hhc"));
}

TEST_F(ContentsFileTest, MissingListPageEndsTheContents) {
  WriteFile(dir / "overview-frame.html",
            "<A HREF=\"p1/package-frame.html\">p1</A><A HREF=\"p2/package-frame.html\">p2</A>"
            "<A HREF=\"p3/package-frame.html\">p3</A>");
  WriteFile(dir / "p1/package-frame.html", "<A HREF=\"One.html\">One</A>");
  WriteFile(dir / "p3/package-frame.html", "<A HREF=\"Three.html\">Three</A>");
  EXPECT_FALSE(Write("overview-summary.html"));
  EXPECT_EQ(recorder.Texts(ProgressOutput), Strings{"Cannot open 'p2/package-frame.html'."});
  EXPECT_EQ(Contents(), test::Expected("contents_missing_list.hhc"));
}

TEST_F(ContentsFileTest, MissingOverviewFrameLeavesHeaderAndFooter) {
  EXPECT_FALSE(Write("overview-summary.html"));
  EXPECT_EQ(recorder.Texts(ProgressOutput),
            Strings{"Cannot open '" + (dir / "overview-frame.html") + "'."});
  EXPECT_EQ(Contents(), test::Expected("contents_empty.hhc"));
}

// The unnamed package: the start page is a class page in the Javadoc folder itself.
TEST_F(ContentsFileTest, StartPageWithoutFolderIsTheDefaultPackage) {
  WriteFile(dir / "allclasses-frame.html",
            "<A HREF=\"Main.html\" title=\"class in \">Main</A>\r\n"
            "<A HREF=\"Tool_Plugin.html\" title=\"interface in \"><I>Tool_Plugin</I></A>\r\n");
  ASSERT_TRUE(Write("Main.html"));
  EXPECT_TRUE(recorder.events().empty());
  EXPECT_EQ(Contents(), test::Expected("contents_default_package.hhc"));

  WriteFile(dir / "package-frame.html", "<A HREF=\"Solo.html\">Solo</A>");
  ASSERT_TRUE(Write("Main.html"));
  EXPECT_EQ(test::ParseSitemap(Contents())[0].local, "package-frame.html");
  EXPECT_EQ(Names(), (Strings{"(default package)", "Solo"}));
}

TEST_F(ContentsFileTest, ShortMarkedTextsLoseOnlyTheirLeadingTag) {
  WriteFile(dir / "p/package-frame.html",
            "<A HREF=\"a\"><</A><A HREF=\"b\"><i></A><A HREF=\"c\"><b>ab</A><A HREF=\"d\"><abc</A>"
            "<A HREF=\"e\"><i></i></A><A HREF=\"f\"><i>x</i></A><A HREF=\"g\"><ix>yz</A>");
  ASSERT_TRUE(Write("p/package-summary.html"));
  EXPECT_EQ(Names(), (Strings{"p", "", "", "ab", "", "", "x", "yz"}));
  size_t marked = 0;
  for (const auto& e : test::ParseSitemap(Contents())) marked += e.image == "17";
  EXPECT_EQ(marked, 7u);
}

TEST_F(ContentsFileTest, LongEntriesAreWrittenWhole) {
  const std::string packageName(3000, 'P'), href(5000, 'h');
  WriteFile(dir / "overview-frame.html", "<A HREF=\"p/package-frame.html\">" + packageName + "</A>");
  WriteFile(dir / "p/package-frame.html", "<A HREF=\"" + href + "\"><I>" + std::string(4000, 'x') +
                                              "</I></A><A HREF=\"Next.html\">Next</A>");
  ASSERT_TRUE(Write("overview-summary.html"));
  auto entries = test::ParseSitemap(Contents());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, packageName);
  EXPECT_EQ(entries[0].local, "p/package-frame.html");
  // The name is cut to 259 before its tags go, so only the start tag is recognised.
  EXPECT_EQ(entries[1].name, std::string(259 - 7, 'x'));
  EXPECT_EQ(entries[1].local, "p/" + href);
  EXPECT_EQ(entries[1].image, "17");
  EXPECT_EQ(entries[2].local, "p/Next.html");
  EXPECT_EQ(Contents().substr(Contents().size() - 9), "</HTML>\r\n");
}

}  // namespace
}  // namespace qb
