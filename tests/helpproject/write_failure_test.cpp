// Each stage must notice a failed write: a full disk once gave truncated files and a
// stage that said it had succeeded. The fixture folder's temporary file names are
// symbolic links to /dev/full, made natively before the test starts.
#include <cstdlib>
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

  void ExpectCannotWrite(const std::string& name) {
    EXPECT_EQ(recorder.Texts(ProgressOutput),
              std::vector<std::string>{"Cannot write '" + folder + "\\" + name + "'."});
  }

  std::string folder, index, output;
  test::ProgressRecorder recorder;
};

TEST_F(WriteFailureTest, AboutPage) {
  EXPECT_FALSE(test::RunStage(recorder, [&] { return WriteAboutPage(output.c_str()); }));
  ExpectCannotWrite("about_quillbinder.html");
}

TEST_F(WriteFailureTest, ProjectFile) {
  EXPECT_FALSE(test::RunStage(recorder, [&] {
    return WriteProjectFile(index.c_str(), output.c_str(), "T", "overview-summary.html");
  }));
  ExpectCannotWrite("guide.hhp");
}

TEST_F(WriteFailureTest, ContentsFile) {
  EXPECT_FALSE(test::RunStage(recorder, [&] {
    return WriteContentsFile("overview-summary.html", index.c_str(), output.c_str());
  }));
  ExpectCannotWrite("guide.hhc");
}

TEST_F(WriteFailureTest, IndexFile) {
  EXPECT_FALSE(test::RunStage(recorder, [&] { return WriteIndexFile(output.c_str()); }));
  ExpectCannotWrite("guide.hhk");
}

}  // namespace
}  // namespace qb
