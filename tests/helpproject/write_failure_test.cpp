// Each stage must notice a failed write: a full disk once gave truncated files and a
// stage that said it had succeeded. The fixture folder's temporary file names are
// symbolic links to /dev/full, made natively before the test starts.
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/about_page.h"
#include "job/conversion_job.h"
#include "helpproject/contents_file_writer.h"
#include "helpproject/index_file_writer.h"
#include "helpproject/project_file_writer.h"
#include "tests/common/test_util.h"
#include "tests/helpproject/writer_test_support.h"

namespace qb {
namespace {

class WriteFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("QB_FULL_DISK_DIR");
    if (!dir || !*dir) QB_SKIP_OR_FAIL("no /dev/full fixture (QB_FULL_DISK_DIR)");
    folder = test::HostPath(dir);
    index = folder + "\\index.html";
    output = folder + "\\guide.chm";
  }

  std::string folder, index, output;
};

TEST_F(WriteFailureTest, EveryStageReportsItsFileAndFails) {
  struct Stage {
    const char* file;
    std::function<bool()> run;
  } stages[] = {
      {"about_quillbinder.html", [&] { return WriteAboutPage(output.c_str()); }},
      {"guide.hhp", [&] { return WriteProjectFile(index.c_str(), output.c_str(), "T", "overview-summary.html"); }},
      {"guide.hhc", [&] { return WriteContentsFile("overview-summary.html", index.c_str(), output.c_str()); }},
      {"guide.hhk", [&] { return WriteIndexFile(output.c_str()); }},
  };
  for (const Stage& stage : stages) {
    test::ProgressRecorder recorder;
    EXPECT_FALSE(test::RunStage(recorder, stage.run)) << stage.file;
    EXPECT_EQ(recorder.Texts(ProgressOutput),
              std::vector<std::string>{"Cannot write '" + folder + "\\" + stage.file + "'."});
  }
}

// A file that cannot even be made (its folder is missing) is reported by its path.
TEST(WriteFailure, UncreatableFilesAreReportedByTheirPath) {
  test::TempDir dir;
  const std::string index = dir / "none/index.html", output = dir / "none/guide.chm";
  struct Stage {
    const char* file;
    std::function<bool()> run;
  } stages[] = {
      {"guide.hhp", [&] { return WriteProjectFile(index.c_str(), output.c_str(), "T", "overview-summary.html"); }},
      {"guide.hhc", [&] { return WriteContentsFile("overview-summary.html", index.c_str(), output.c_str()); }},
      {"guide.hhk", [&] { return WriteIndexFile(output.c_str()); }},
  };
  for (const Stage& stage : stages) {
    test::ProgressRecorder recorder;
    EXPECT_FALSE(test::RunStage(recorder, stage.run)) << stage.file;
    EXPECT_EQ(recorder.Texts(ProgressOutput),
              std::vector<std::string>{"Cannot open '" + (dir / "none") + test::kSep + stage.file + "'."});
  }
}

}  // namespace
}  // namespace qb
