#include "engine/about_page.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "engine/conversion_job.h"
#include "support/buffered_file_writer.h"

namespace qb {

bool WriteAboutPage(const char* outputPath) {
  char path[kPathCapacity];
  if (!DeriveSiblingName(outputPath, kAboutPageName, path)) {
    // Never cut into another name: report the whole path that does not fit.
    std::string whole(outputPath, static_cast<const char*>(PathFindFileNameA(outputPath)));
    ReportProgress(ProgressOutput, "Cannot create '%s'.", (whole + kAboutPageName).c_str());
    return false;
  }

  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(105), "text");
  DWORD size = found ? SizeofResource(nullptr, found) : 0;
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* text = loaded ? LockResource(loaded) : nullptr;

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
  if (DeriveSiblingName(outputPath, kAboutPageName, path)) DeleteFileA(path);
  return true;
}

}  // namespace qb
