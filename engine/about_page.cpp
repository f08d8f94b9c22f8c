#include "engine/about_page.h"

#include <string>

#include "job/conversion_job.h"
#include "resources/text_resources.h"
#include "support/buffered_file_writer.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace qb {

bool WriteAboutPage(const char* outputPath) {
  char path[kPathCapacity];
  if (!DeriveSiblingName(outputPath, kAboutPageName, path)) {
    // Never cut into another name: report the whole path that does not fit.
    std::string whole(outputPath, FindFileName(outputPath));
    ReportProgress(ProgressOutput, "Cannot create '%s'.", (whole + kAboutPageName).c_str());
    return false;
  }

  const char* text = nullptr;
  uint32_t size = 0;
  LoadTextResource(kAboutPageResource, &text, &size);

  BufferedFileWriter writer(BufferedFileWriter::kDefaultCapacity);
  if (!writer.Open(path)) {
    writer.Close();
    ReportProgress(ProgressOutput, "Cannot create '%s'.", path);
    return false;
  }
  bool ok = text != nullptr && writer.Append(text, size);
  if (!writer.Close() || !ok) {
    ReportProgress(ProgressOutput, "Cannot write '%s'.", path);
    return false;
  }
  return true;
}

bool DeleteAboutPage(const char* outputPath) {
  char path[kPathCapacity];
  if (DeriveSiblingName(outputPath, kAboutPageName, path)) NativeDeleteFile(path);
  return true;
}

}  // namespace qb
