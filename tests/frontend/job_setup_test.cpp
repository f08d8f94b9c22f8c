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

TEST_F(JobSetupTest, OutputNameWithoutExtensionAndEmptyTitleAreAccepted) {
  WriteFile(index, kFrameset);
  ASSERT_EQ(Fill("guide", index, "").failure, SetupFailure::None);
  EXPECT_EQ(std::string(job.OutputPath), dir / "guide");
  EXPECT_EQ(std::string(job.Title), "");
}

// Refused before anything is read: a path, no name, a temporary file's name in any case
// (once compiled onto api.hhk, then deleted by the clean-up while the status read
// "Finished"), the index page itself. Names merely like those are accepted.
TEST_F(JobSetupTest, OutputNamesThatWouldHoldAPathOrBeDeletedAreRefused) {
  WriteFile(index, kFrameset);
  const char* const kPath = "Output file name cannot contain path";
  struct Case {
    const char* name;
    bool ok;
    std::string error;  // a part of the message
  } cases[] = {
      {"sub\\guide.chm", false, kPath}, {"sub/guide.chm", false, kPath}, {"C:guide.chm", false, kPath},
      {"..\\guide.chm", false, kPath},  {"", false, ""},
      {"api.hhk", false, "api.hhk"},    {"api.hhp", false, "api.hhp"},  {"api.hhc", false, "api.hhc"},
      {"API.HHK", false, "API.HHK"},    {"Api.HhP", false, "Api.HhP"},  {"x.y.hhc", false, "x.y.hhc"},
      {"about_quillbinder.html", false, "about_quillbinder.html"},
      {"About_Quillbinder.HTML", false, "About_Quillbinder.HTML"},
      {"index.html", false, ""},        {"INDEX.HTML", false, ""},      {"index.chm", true, ""},
      {"api.hhk.chm", true, ""},        {"hhp", true, ""},              {"api.hhpx", true, ""},
      {"about_quillbinder.htm", true, ""}, {"my_about_quillbinder.html", true, ""},
  };
  for (const Case& c : cases) {
    JobSetup setup = Fill(c.name);
    EXPECT_EQ(setup.failure, c.ok ? SetupFailure::None : SetupFailure::OutputName) << c.name;
    EXPECT_EQ(setup.error.empty(), c.ok) << c.name;
    EXPECT_NE(setup.error.find(c.error), std::string::npos) << c.name << ": " << setup.error;
  }
  EXPECT_EQ(Fill("a\\b.chm", dir / "missing.html").error, kPath) << "refused before the index is read";
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

TEST_F(JobSetupTest, EmptyMissingOrEmptyIndexCannotBeOpened) {
  WriteFile(index, "");
  for (const std::string& path : {std::string(), dir / "nothing-here.html", index}) {
    JobSetup setup = Fill("guide.chm", path);
    EXPECT_EQ(setup.failure, SetupFailure::IndexFile) << path;
    EXPECT_EQ(setup.error, "Cannot open '" + path + "'.");
  }
}

// The src of the first FRAME (upper case) named exactly "classFrame", cut to 259
// characters; without one, the overview page.
TEST_F(JobSetupTest, StartPageIsTheClassFramesSource) {
  const std::string src(300, 's');
  struct Case {
    std::string page, start;
  } cases[] = {
      {kFrameset, "com/acme/package-summary.html"},
      {"<html><frameset><frame src=\"x.html\" name=\"classFrame\"></frameset>", "overview-summary.html"},
      {"<FRAME src=\"a.html\" name=\"packageFrame\"><FRAME src=\"b.html\" name=\"classframe\">",
       "overview-summary.html"},
      {"<FRAME src=\"a.html\" name=\"packageFrame\"><FRAME name=\"classFrame\"><FRAME src=\"c.html\" name=\"other\">", ""},
      {"<FRAME src=\"one.html\" name=\"classFrame\"><FRAME src=\"two.html\" name=\"classFrame\">", "one.html"},
      {"<FRAME src=\"" + src + "\" name=\"classFrame\">", src.substr(0, 259)},
  };
  for (const Case& c : cases) {
    WriteFile(index, c.page);
    ASSERT_EQ(Fill("guide.chm").failure, SetupFailure::None) << c.page;
    EXPECT_EQ(std::string(job.StartPage), c.start) << c.page;
  }
}

}  // namespace
}  // namespace qb
