// Filling a job from the dialog's inputs: which names are refused, how OutputPath is
// formed, and the start page found in index.html.
#include <windows.h>

#include <algorithm>
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
  // No extension and an empty title are accepted.
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

// Each path the job derives must fit in 259 characters, or the name is refused, not cut.
TEST_F(JobSetupTest, NamesWhosePathsWouldNotFitAreRefused) {
  struct Case {
    size_t folder;  // characters of the folder part, the separator included
    std::string name;
    bool ok;
  } cases[] = {
      {230, std::string(25, 'n') + ".chm", true},    // the output path: exactly 259
      {230, std::string(25, 'n') + "x.chm", false},  // 260
      {230, std::string(25, 'n'), true},             // no extension: the project's 259
      {230, std::string(27, 'n'), false},            // ... 261
      {245, "a.chm", false},                         // the about page's 267
  };
  for (const Case& c : cases) {
    std::string folder = dir.path() + "\\";
    while (folder.size() < c.folder)
      folder += std::string(std::max<size_t>(std::min<size_t>(c.folder - folder.size(), 60), 2) - 1, 'd') + "\\";
    ASSERT_EQ(folder.size(), c.folder);
    WriteFile(folder + "index.html", kFrameset);
    JobSetup setup = Fill(c.name, folder + "index.html");
    EXPECT_EQ(setup.failure, c.ok ? SetupFailure::None : SetupFailure::OutputName) << c.name;
    if (c.ok) EXPECT_EQ(std::string(job.OutputPath), folder + c.name);
    if (!c.ok) EXPECT_NE(setup.error.find(c.name), std::string::npos) << setup.error;
  }
}

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
