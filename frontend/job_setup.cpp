#include "frontend/job_setup.h"

#include <shlwapi.h>

#include <cstring>

#include "support/html_scanner.h"
#include "support/mapped_file_view.h"

namespace qb {
namespace {

constexpr char kDefaultStartPage[] = "overview-summary.html";
constexpr char kAboutPageName[] = "about_quillbinder.html";

void CopyField(char (&field)[kPathCapacity], const char* text) {
  lstrcpynA(field, text ? text : "", kPathCapacity);
}

JobSetup Refuse(SetupFailure failure, std::string text) {
  JobSetup result;
  result.failure = failure;
  result.error = std::move(text);
  return result;
}

// Names the worker writes and deletes beside the output: a compiled file of the same name
// would be removed by the clean-up after the compiler wrote it.
bool IsTemporaryFileName(const char* name) {
  const char* ext = PathFindExtensionA(name);
  return lstrcmpiA(ext, ".hhp") == 0 || lstrcmpiA(ext, ".hhc") == 0 ||
         lstrcmpiA(ext, ".hhk") == 0 || lstrcmpiA(name, kAboutPageName) == 0;
}

}  // namespace

bool ValidateIndexFile(ConversionJob& job, std::string* error) {
  MappedFileView view;
  if (!view.Open(job.SourceIndexPath)) {
    if (error) *error = std::string("Cannot open '") + job.SourceIndexPath + "'.";
    view.Close();
    return false;
  }
  CopyField(job.StartPage, kDefaultStartPage);
  HtmlScanner scanner(view.view);
  while (scanner.FindElement("FRAME", true)) {
    if (scanner.AttributeValue("name") == "classFrame") {
      CopyField(job.StartPage, scanner.AttributeValue("src").c_str());
      break;
    }
  }
  view.Close();
  return true;
}

JobSetup FillConversionJob(const char* indexPath, const char* outputName, const char* title,
                           HWND notifyWindow, ConversionJob& job) {
  char index[kPathCapacity];
  char name[kPathCapacity];
  char caption[kPathCapacity];
  CopyField(index, indexPath);
  CopyField(name, outputName);
  CopyField(caption, title);

  if (PathFindFileNameA(name) != name)
    return Refuse(SetupFailure::OutputName, "Output file name cannot contain path");
  if (name[0] == 0) return Refuse(SetupFailure::OutputName, "Please enter an output file name.");
  if (IsTemporaryFileName(name))
    return Refuse(SetupFailure::OutputName,
                  std::string("Output file name '") + name +
                      "' is the name of a temporary file that is deleted after the "
                      "conversion. Please choose another name.");

  // The output goes where index.html is; a cut path would name a different file.
  const size_t folderLength = static_cast<size_t>(PathFindFileNameA(index) - index);
  if (folderLength + std::strlen(name) > kPathCapacity - 1)
    return Refuse(SetupFailure::OutputName,
                  std::string("Output path too long: '") + std::string(index, folderLength) +
                      name + "'.");
  char outputPath[kPathCapacity];
  std::memcpy(outputPath, index, folderLength);
  lstrcpynA(outputPath + folderLength, name, kPathCapacity - static_cast<int>(folderLength));

  // The compiled file replaces what it is named after; the page it is made from must
  // not be that file.
  if (lstrcmpiA(outputPath, index) == 0)
    return Refuse(SetupFailure::OutputName,
                  std::string("Output file name '") + name +
                      "' is the Javadoc page the help file is made from. Please choose "
                      "another name.");

  char derived[kPathCapacity];
  if (!DeriveTempName(outputPath, ".hhp", derived) ||
      !DeriveTempName(outputPath, ".hhc", derived) ||
      !DeriveTempName(outputPath, ".hhk", derived) ||
      !DeriveSiblingName(outputPath, kAboutPageName, derived))
    return Refuse(SetupFailure::OutputName,
                  std::string("Output path too long for the temporary files: '") + outputPath +
                      "'.");

  std::memset(&job, 0, sizeof job);
  job.Control = JobRun;
  job.NotifyWindow = notifyWindow;
  CopyField(job.SourceIndexPath, index);
  CopyField(job.OutputPath, outputPath);
  CopyField(job.Title, caption);

  std::string error;
  if (!ValidateIndexFile(job, &error)) return Refuse(SetupFailure::IndexFile, error);
  return JobSetup();
}

}  // namespace qb
