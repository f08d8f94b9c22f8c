#include "frontend/job_setup.h"

#include <cstring>

#include "job/temp_names.h"
#include "support/html_scanner.h"
#include "support/mapped_file_view.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace qb {
namespace {

constexpr char kDefaultStartPage[] = "overview-summary.html";

void CopyField(char (&field)[kPathCapacity], const char* text) {
  CopyCut(field, kPathCapacity, text ? text : "");
}

JobSetup Refuse(SetupFailure failure, std::string text) {
  JobSetup result;
  result.failure = failure;
  result.error = std::move(text);
  return result;
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
                           JobWindow notifyWindow, ConversionJob& job) {
  char index[kPathCapacity];
  char name[kPathCapacity];
  char caption[kPathCapacity];
  CopyField(index, indexPath);
  CopyField(name, outputName);
  CopyField(caption, title);

  if (FindFileName(name) != name)
    return Refuse(SetupFailure::OutputName, "Output file name cannot contain path");
  if (name[0] == 0) return Refuse(SetupFailure::OutputName, "Please enter an output file name.");
  if (IsTemporaryFileName(name))
    return Refuse(SetupFailure::OutputName,
                  std::string("Output file name '") + name +
                      "' is the name of a temporary file that is deleted after the "
                      "conversion. Please choose another name.");

  // The output goes where index.html is; a cut path would name a different file.
  const size_t folderLength = static_cast<size_t>(FindFileName(index) - index);
  if (folderLength + std::strlen(name) > kPathCapacity - 1)
    return Refuse(SetupFailure::OutputName,
                  std::string("Output path too long: '") + std::string(index, folderLength) +
                      name + "'.");
  char outputPath[kPathCapacity];
  std::memcpy(outputPath, index, folderLength);
  CopyCut(outputPath + folderLength, kPathCapacity - folderLength, name);

  // The compiled file replaces what it is named after; the page it is made from must
  // not be that file.
  if (NativeSamePath(outputPath, index))
    return Refuse(SetupFailure::OutputName,
                  std::string("Output file name '") + name +
                      "' is the Javadoc page the help file is made from. Please choose "
                      "another name.");

  char derived[kPathCapacity];
  bool fits = DeriveSiblingName(outputPath, kAboutPageName, derived);
  for (const char* extension : kTemporaryExtensions)
    fits = fits && DeriveTempName(outputPath, extension, derived);
  if (!fits)
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
