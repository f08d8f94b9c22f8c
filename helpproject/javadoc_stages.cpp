#include "helpproject/javadoc_stages.h"

#include <cstdio>

#include "job/conversion_job.h"
#include "job/temp_names.h"
#include "helpproject/javadoc_sitemaps.h"
#include "resources/product.h"
#include "support/path_names.h"

namespace qb {
namespace {

class JobReporter : public StageReporter {
 public:
  void Status(const std::string& text) override { ReportProgress(ProgressStatus, text.c_str()); }
  void Output(const std::string& line) override {
    ReportProgress(ProgressOutput, "%s", line.c_str());
  }
  bool Cancelled() override { return TestJobCancel(); }
};

bool TempName(const char* outputPath, const char* extension, std::string* out) {
  char path[kPathCapacity];
  if (!DeriveTempName(outputPath, extension, path)) {
    std::string whole(outputPath, static_cast<const char*>(FindExtension(outputPath)));
    ReportProgress(ProgressOutput, "Cannot open '%s'.", (whole + extension).c_str());
    return false;
  }
  *out = path;
  return true;
}

}  // namespace

bool InspectJobTree(const char* sourceIndexPath, JavadocTree* tree) {
  return InspectJavadocTree(sourceIndexPath, tree);
}

bool WriteJavadocContentsFile(const JavadocTree& tree, const char* outputPath) {
  std::string path;
  if (!TempName(outputPath, ".hhc", &path)) return false;
  JobReporter reporter;
  return WriteJavadocContents(tree, path, kProductHomepage, reporter);
}

bool WriteJavadocIndexFile(const JavadocTree& tree, const char* outputPath) {
  std::string path;
  if (!TempName(outputPath, ".hhk", &path)) return false;
  JobReporter reporter;
  return WriteJavadocIndex(tree, path, kProductHomepage, reporter);
}

std::string ProjectLanguage(const HelpLanguage& language) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%x ", language.lcid);
  return number + std::string(language.name);
}

}  // namespace qb
