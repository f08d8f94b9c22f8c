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

// Runs each writer into `folder` (the about page too when `about`): each must fail and
// report its own file with `what`.
void CheckStages(const std::string& folder, bool about, const std::string& what) {
  const std::string index = folder + test::kSep + "index.html", output = folder + test::kSep + "guide.chm";
  const std::pair<const char*, std::function<bool()>> stages[] = {
      {"about_quillbinder.html", [&] { return WriteAboutPage(output.c_str()); }},
      {"guide.hhp", [&] { return WriteProjectFile(index.c_str(), output.c_str(), "T", "overview-summary.html"); }},
      {"guide.hhc", [&] { return WriteContentsFile("overview-summary.html", index.c_str(), output.c_str()); }},
      {"guide.hhk", [&] { return WriteIndexFile(output.c_str()); }},
  };
  for (const auto& [file, run] : stages) {
    if (!about && file == stages[0].first) continue;
    test::ProgressRecorder recorder;
    EXPECT_FALSE(recorder.RunStage(run)) << file;
    EXPECT_EQ(recorder.Texts(ProgressOutput),
              std::vector<std::string>{what + " '" + folder + test::kSep + file + "'."});
  }
}

TEST(WriteFailure, EveryStageReportsItsFileAndFails) {
  const char* dir = std::getenv("QB_FULL_DISK_DIR");
  if (!dir || !*dir) QB_SKIP_OR_FAIL("no /dev/full fixture (QB_FULL_DISK_DIR)");
  CheckStages(test::HostPath(dir), true, "Cannot write");
}

// A file that cannot even be made (its folder is missing) is reported by its path.
TEST(WriteFailure, UncreatableFilesAreReportedByTheirPath) {
  test::TempDir dir;
  CheckStages(dir / "none", false, "Cannot open");
}

}  // namespace
}  // namespace qb
