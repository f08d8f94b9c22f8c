#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "job/conversion_job.h"
#include "hha/core/project_reader.h"
#include "helpproject/project_file_writer.h"
#include "resources/text_resources.h"
#include "tests/common/test_util.h"
#include "tests/helpproject/writer_test_support.h"

namespace qb {
namespace {

using test::CrLfLines;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr char kFilesHeading[] = "[FILES]\r\nabout_quillbinder.html\r\n";

class ProjectFileTest : public ::testing::Test {
 protected:
  bool Write(const std::string& outputName, const std::string& title = "Guide",
             const std::string& startPage = "overview-summary.html", bool viewerSafePages = false) {
    std::string index = dir.path() + "\\index.html";
    std::string output = dir.path() + "\\" + outputName;
    return test::RunStage(recorder, [&] {
      return WriteProjectFile(index.c_str(), output.c_str(), title.c_str(), startPage.c_str(),
                              kDefaultProjectLanguage, false, viewerSafePages);
    });
  }

  // The listed files after the about page: their order is the platform's search order.
  std::multiset<std::string> ListedFiles(const std::string& project) {
    size_t at = project.find(kFilesHeading);
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) return {};
    auto lines = CrLfLines(project.substr(at + sizeof kFilesHeading - 1));
    return std::multiset<std::string>(lines.begin(), lines.end());
  }

  // The file with its list sorted, so that it compares byte for byte whatever the order.
  std::string WithSortedList(const std::string& project) {
    size_t at = project.find(kFilesHeading);
    if (at == std::string::npos) return project;
    size_t rest = at + sizeof kFilesHeading - 1;
    auto lines = CrLfLines(project.substr(rest));
    std::sort(lines.begin(), lines.end());
    std::string out = project.substr(0, rest);
    for (const auto& line : lines) out += line + "\r\n";
    // CrLfLines drops the final empty line; a missing final CR LF must still show.
    if (project.size() < 2 || project.compare(project.size() - 2, 2, "\r\n") != 0)
      out += "<no final line end>";
    return out;
  }

  TempDir dir;
  test::ProgressRecorder recorder;
};

TEST(ProjectTemplateResource, IsTheTemplateWithoutTerminator) {
  const char* data = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(LoadTextResource(kProjectTemplateResource, &data, &size));
  EXPECT_EQ(std::string(data, size), ReadFile(test::SourceDir() + "\\resources\\project_template.hhp"));
}

TEST_F(ProjectFileTest, WorkedExampleByteForByte) {
  for (const char* page : {"index.html", "overview-summary.html", "allclasses-frame.html",
                           "pkg/a.html", "pkg/package-frame.html", "pkg/sub/c.html",
                           "index-files/index-1.html"})
    WriteFile(dir / page, "<HTML></HTML>\r\n");
  ASSERT_TRUE(Write("guide.chm"));
  EXPECT_TRUE(recorder.events().empty());
  std::string project = ReadFile(dir / "guide.hhp");
  EXPECT_EQ(WithSortedList(project), test::Expected("project_worked_example.hhp", dir.path()));
}

// Index-Files lies in another folder than index-files: the file system may ignore case.
TEST_F(ProjectFileTest, ListsHtmlFilesOfSubfoldersOnly) {
  for (const char* page : {"top.html", "pkg/a.html", "pkg/b.htm", "pkg/c.HTML", "pkg/d.html.bak",
                           "pkg/index-files/skipped.html", "other/Index-Files/kept.html",
                           "index-files/index-1.html", "deep/er/still/e.html", "empty/.keep"})
    WriteFile(dir / page, "x");
  ASSERT_TRUE(Write("guide.chm"));
  std::multiset<std::string> expected = {"pkg\\a.html", "other\\Index-Files\\kept.html",
                                         "deep\\er\\still\\e.html"};
  EXPECT_EQ(ListedFiles(ReadFile(dir / "guide.hhp")), expected);
}

// Pins the join of a search result with its folder: a leading dot is part of the name.
TEST_F(ProjectFileTest, DotNamesKeepTheirSeparator) {
  WriteFile(dir / "pkg/._a.html", "x");
  WriteFile(dir / "pkg/.html", "x");
  ASSERT_TRUE(Write("guide.chm"));
  std::multiset<std::string> expected = {"pkg\\._a.html", "pkg\\.html"};
  EXPECT_EQ(ListedFiles(ReadFile(dir / "guide.hhp")), expected);
}

TEST_F(ProjectFileTest, FolderWithoutSubfoldersListsOnlyTheAboutPage) {
  WriteFile(dir / "index.html", "x");
  WriteFile(dir / "overview-summary.html", "x");
  ASSERT_TRUE(Write("guide.chm"));
  std::string project = ReadFile(dir / "guide.hhp");
  EXPECT_EQ(project.substr(project.size() - 33), "[FILES]\r\nabout_quillbinder.html\r\n");
}

TEST_F(ProjectFileTest, NamesFollowTheOutputName) {
  ASSERT_TRUE(Write("guide"));
  auto lines = CrLfLines(ReadFile(dir / "guide.hhp"));
  ASSERT_GE(lines.size(), 15u);
  EXPECT_EQ(lines[2], "Compiled file=" + dir.path() + "\\guide");
  EXPECT_EQ(lines[3], "Contents file=guide.hhc");
  EXPECT_EQ(lines[4], "Index file=guide.hhk");

  ASSERT_TRUE(Write("my.guide.chm"));
  lines = CrLfLines(ReadFile(dir / "my.guide.hhp"));
  ASSERT_GE(lines.size(), 15u);
  EXPECT_EQ(lines[3], "Contents file=my.guide.hhc");
  EXPECT_EQ(lines[4], "Index file=my.guide.hhk");
  EXPECT_EQ(lines[14].rfind("main=\"Guide  - Generated by quillbinder\",\"my.guide.hhc\",", 0), 0u);
}

TEST_F(ProjectFileTest, EmptyTitleLeavesTheSuffixInBothPlaces) {
  ASSERT_TRUE(Write("guide.chm", "", "a/b/package-summary.html"));
  auto lines = CrLfLines(ReadFile(dir / "guide.hhp"));
  ASSERT_GE(lines.size(), 15u);
  EXPECT_EQ(lines[6], "Default topic=a/b/package-summary.html");
  EXPECT_EQ(lines[11], "Title=  - Generated by quillbinder");
  EXPECT_EQ(lines[14].rfind("main=\"  - Generated by quillbinder\",\"guide.hhc\",\"guide.hhk\",", 0),
            0u);
}

// Microsoft's compiler takes the line for a comment; ours reads it as its own option.
TEST_F(ProjectFileTest, ViewerSafePagesAreAskedForInOneCommentLine) {
  WriteFile(dir / "pkg/a.html", "x");
  ASSERT_TRUE(Write("guide.chm"));
  std::string plain = ReadFile(dir / "guide.hhp");
  ASSERT_TRUE(Write("guide.chm", "Guide", "overview-summary.html", true));
  std::string safe = ReadFile(dir / "guide.hhp");
  const std::string title = "Title=Guide  - Generated by quillbinder\r\n";
  ASSERT_NE(plain.find(title), std::string::npos);
  EXPECT_EQ(safe, plain.insert(plain.find(title) + title.size(), ";quillbinder: Viewer-safe pages=Yes\r\n"));
  std::vector<hha::Warning> warnings;
  EXPECT_TRUE(hha::ReadProject(safe, "guide.hhp", warnings).viewerSafePages);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(ProjectFileTest, OverwritesAnExistingProject) {
  WriteFile(dir / "guide.hhp", std::string(5000, 'z'));
  ASSERT_TRUE(Write("guide.chm"));
  std::string project = ReadFile(dir / "guide.hhp");
  EXPECT_EQ(project.find('z'), std::string::npos);
  EXPECT_EQ(project.substr(0, 11), "[OPTIONS]\r\n");
}

}  // namespace
}  // namespace qb
