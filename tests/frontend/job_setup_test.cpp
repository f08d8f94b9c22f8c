// Filling a job from the dialog's inputs: which names are refused, how OutputPath is
// formed, and the start page found in index.html.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "frontend/job_setup.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

using test::TempDir;
using test::WriteFile;

const char kFrameset[] =
    "<HTML><FRAMESET><FRAME src=\"allclasses-frame.html\" name=\"packageFrame\">"
    "<FRAME src=\"com/acme/package-summary.html\" name=\"classFrame\"></FRAMESET></HTML>\r\n";

class JobSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { index = dir / "index.html"; }

  JobSetup Fill(const std::string& name, const std::string& indexPath,
                const std::string& title = "The API") {
    return FillConversionJob(indexPath.c_str(), name.c_str(), title.c_str(), notify, job);
  }
  JobSetup Fill(const std::string& name) { return Fill(name, index); }

  TempDir dir;
  std::string index;
  HWND notify = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
  ConversionJob job = {};
};

TEST_F(JobSetupTest, FillsEveryFieldFromTheInputs) {
  WriteFile(index, kFrameset);
  job.Control = 7;
  JobSetup setup = Fill("guide.chm");
  ASSERT_EQ(setup.failure, SetupFailure::None) << setup.error;
  EXPECT_EQ(setup.error, "");
  EXPECT_EQ(std::string(job.SourceIndexPath), index);
  EXPECT_EQ(std::string(job.OutputPath), dir / "guide.chm");
  EXPECT_EQ(std::string(job.Title), "The API");
  EXPECT_EQ(std::string(job.StartPage), "com/acme/package-summary.html");
  EXPECT_EQ(job.Control, 0);
  EXPECT_EQ(job.NotifyWindow, notify);
}

TEST_F(JobSetupTest, OutputNameWithoutExtensionIsAccepted) {
  WriteFile(index, kFrameset);
  ASSERT_EQ(Fill("guide").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.OutputPath), dir / "guide");
}

TEST_F(JobSetupTest, EmptyTitleIsAccepted) {
  WriteFile(index, kFrameset);
  ASSERT_EQ(Fill("guide.chm", index, "").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.Title), "");
}

// ---- Output names refused before anything is read -------------------------------------

TEST_F(JobSetupTest, OutputNameHoldingAPathIsRefused) {
  WriteFile(index, kFrameset);
  for (const char* name : {"sub\\guide.chm", "sub/guide.chm", "C:guide.chm", "..\\guide.chm"}) {
    JobSetup setup = Fill(name);
    EXPECT_EQ(setup.failure, SetupFailure::OutputName) << name;
    EXPECT_EQ(setup.error, "Output file name cannot contain path") << name;
  }
}

TEST_F(JobSetupTest, PathIsRefusedEvenWhenIndexIsMissing) {
  JobSetup setup = Fill("a\\b.chm", dir / "missing.html");
  EXPECT_EQ(setup.error, "Output file name cannot contain path");
}

TEST_F(JobSetupTest, EmptyOutputNameIsRefused) {
  WriteFile(index, kFrameset);
  JobSetup setup = Fill("");
  EXPECT_EQ(setup.failure, SetupFailure::OutputName);
  EXPECT_FALSE(setup.error.empty());
}

// Pins the fault where the worker's clean-up deleted the compiled file because it had a
// temporary file's name (api.hhk was compiled, then deleted, and the status read
// "Finished").
TEST_F(JobSetupTest, TemporaryFileNamesAreRefusedIgnoringCase) {
  WriteFile(index, kFrameset);
  for (const char* name : {"api.hhk", "api.hhp", "api.hhc", "API.HHK", "Api.HhP", "x.y.hhc",
                           "about_quillbinder.html", "About_Quillbinder.HTML"}) {
    JobSetup setup = Fill(name);
    EXPECT_EQ(setup.failure, SetupFailure::OutputName) << name;
    EXPECT_NE(setup.error.find(name), std::string::npos) << setup.error;
  }
}

// The compiled file would replace the index.html it is made from.
TEST_F(JobSetupTest, NameOfTheIndexPageItselfIsRefused) {
  WriteFile(index, kFrameset);
  for (const char* name : {"index.html", "INDEX.HTML"}) {
    JobSetup setup = Fill(name);
    EXPECT_EQ(setup.failure, SetupFailure::OutputName) << name;
  }
  EXPECT_EQ(Fill("index.chm").failure, SetupFailure::None);
}

TEST_F(JobSetupTest, NamesMerelyResemblingTemporaryOnesAreAccepted) {
  WriteFile(index, kFrameset);
  for (const char* name : {"api.hhk.chm", "hhp", "api.hhpx", "about_quillbinder.htm",
                           "my_about_quillbinder.html"}) {
    EXPECT_EQ(Fill(name).failure, SetupFailure::None) << name;
  }
}

// A folder part of `length` characters (the separator included) under the scratch folder.
std::string FolderOfLength(const std::string& base, size_t length) {
  std::string folder = base + "\\";
  while (folder.size() < length) {
    size_t part = std::min<size_t>(length - folder.size(), 60);
    if (part < 2) part = 2;
    folder += std::string(part - 1, 'd') + "\\";
  }
  return folder;
}

TEST_F(JobSetupTest, OutputPathThatWouldNotFitIsRefusedNotCut) {
  // The folder part is 230 characters; index.html and the about page fit after it.
  std::string folder = FolderOfLength(dir.path(), 230);
  ASSERT_EQ(folder.size(), 230u);
  std::string deepIndex = folder + "index.html";
  WriteFile(deepIndex, kFrameset);

  std::string fits(259 - 230 - 4, 'n');  // with ".chm": exactly 259 characters
  JobSetup ok = Fill(fits + ".chm", deepIndex);
  EXPECT_EQ(ok.failure, SetupFailure::None) << ok.error;
  EXPECT_EQ(std::string(job.OutputPath).size(), 259u);

  JobSetup tooLong = Fill(fits + "x.chm", deepIndex);
  EXPECT_EQ(tooLong.failure, SetupFailure::OutputName);
  EXPECT_NE(tooLong.error.find(fits + "x.chm"), std::string::npos) << tooLong.error;
}

TEST_F(JobSetupTest, TemporaryNamesThatWouldNotFitAreRefused) {
  std::string folder = FolderOfLength(dir.path(), 230);
  ASSERT_EQ(folder.size(), 230u);
  std::string deepIndex = folder + "index.html";
  WriteFile(deepIndex, kFrameset);
  // No extension: the project name appends ".hhp" and would need 261 characters.
  std::string name(257 - 230, 'n');
  EXPECT_EQ(Fill(name.substr(2), deepIndex).failure, SetupFailure::None);
  JobSetup setup = Fill(name, deepIndex);
  EXPECT_EQ(setup.failure, SetupFailure::OutputName);
  EXPECT_FALSE(setup.error.empty());
}

TEST_F(JobSetupTest, AboutPageNameThatWouldNotFitIsRefused) {
  // 245 + "about_quillbinder.html" = 267, while the output path itself fits.
  std::string folder = FolderOfLength(dir.path(), 245);
  ASSERT_EQ(folder.size(), 245u);
  std::string deepIndex = folder + "index.html";
  WriteFile(deepIndex, kFrameset);
  JobSetup setup = Fill("a.chm", deepIndex);
  EXPECT_EQ(setup.failure, SetupFailure::OutputName);
}

// ---- index.html -----------------------------------------------------------------------

TEST_F(JobSetupTest, EmptyIndexPathCannotBeOpened) {
  JobSetup setup = Fill("guide.chm", "");
  EXPECT_EQ(setup.failure, SetupFailure::IndexFile);
  EXPECT_EQ(setup.error, "Cannot open ''.");
}

TEST_F(JobSetupTest, MissingOrEmptyIndexCannotBeOpened) {
  std::string missing = dir / "nothing-here.html";
  EXPECT_EQ(Fill("guide.chm", missing).error, "Cannot open '" + missing + "'.");
  WriteFile(index, "");
  EXPECT_EQ(Fill("guide.chm").error, "Cannot open '" + index + "'.");
}

TEST_F(JobSetupTest, LowerCaseFrameTagsGiveTheOverviewPage) {
  WriteFile(index, "<html><frameset><frame src=\"x.html\" name=\"classFrame\"></frameset>");
  ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.StartPage), "overview-summary.html");
}

TEST_F(JobSetupTest, NoClassFrameGivesTheOverviewPage) {
  WriteFile(index, "<FRAME src=\"a.html\" name=\"packageFrame\"><FRAME src=\"b.html\" "
                   "name=\"classframe\">");
  ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.StartPage), "overview-summary.html");
}

TEST_F(JobSetupTest, ClassFrameWithoutSrcGivesAnEmptyStartPage) {
  WriteFile(index, "<FRAME src=\"a.html\" name=\"packageFrame\"><FRAME name=\"classFrame\">"
                   "<FRAME src=\"c.html\" name=\"other\">");
  ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.StartPage), "");
}

TEST_F(JobSetupTest, FirstClassFrameWins) {
  WriteFile(index, "<FRAME src=\"one.html\" name=\"classFrame\"><FRAME src=\"two.html\" "
                   "name=\"classFrame\">");
  ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.StartPage), "one.html");
}

TEST_F(JobSetupTest, LongFrameSourceIsCutTo259Characters) {
  std::string src(300, 's');
  WriteFile(index, "<FRAME src=\"" + src + "\" name=\"classFrame\">");
  ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.StartPage), src.substr(0, 259));
}

}  // namespace
}  // namespace qb
