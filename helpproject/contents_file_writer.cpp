#include "helpproject/contents_file_writer.h"

#include <cstring>
#include <string>

#include "job/conversion_job.h"
#include "job/temp_names.h"
#include "helpproject/entry_format.h"
#include "helpproject/sitemap_frame.h"
#include "resources/product.h"
#include "support/html_scanner.h"
#include "support/mapped_file_view.h"
#include "support/native_file.h"
#include "support/path_join.h"
#include "support/path_names.h"

namespace qb {
namespace {

constexpr char kOverviewPage[] = "overview-summary.html";
// Javadoc's documentation of the unnamed package has no package folder and no name.
constexpr char kDefaultPackageName[] = "(default package)";
constexpr size_t kMaxNameLength = kPathCapacity - 1;

const char kTopEntry[] =
    "<LI><OBJECT type=\"text/sitemap\">\r\n"
    "\t<param name=\"Name\" value=\"%s\">\r\n"
    "\t<param name=\"Local\" value=\"%s\">\r\n"
    "\t<param name=\"ImageNumber\" value=\"\">\r\n"
    "\t</OBJECT>\r\n"
    "\t<UL>\r\n";

const char kClassEntry[] =
    "<LI><OBJECT type=\"text/sitemap\">\r\n"
    "\t<param name=\"Name\" value=\"%s\">\r\n"
    "\t<param name=\"Local\" value=\"%s%s\">\r\n"
    "\t<param name=\"ImageNumber\" value=\"%s\">\r\n"
    "\t</OBJECT>\r\n";

bool FileExistsIn(const char* folder, const char* name) {
  char path[kPathCapacity];
  return JoinPath(path, kPathCapacity, folder, name) && NativeFileExists(path);
}

// A class link's text with the one inline element around it (italics for interfaces,
// bold elsewhere) removed. A text too short for a start and an end tag loses only what
// its leading tag covers.
std::string ClassName(std::string text, bool* marked) {
  if (text.size() > kMaxNameLength) text.resize(kMaxNameLength);
  *marked = !text.empty() && text[0] == '<';
  if (!*marked) return text;
  if (text.size() >= 7) return text.substr(3, text.size() - 7);
  size_t close = text.find('>');
  return close == std::string::npos ? std::string() : text.substr(close + 1);
}

// The documentation of one package (or of the unnamed package) under one top entry.
bool WriteSinglePackage(const char* startPage, const char* javadocFolder,
                        BufferedFileWriter& writer) {
  const char* slash = std::strrchr(startPage, '/');
  std::string name, listPath;
  if (!slash) {
    name = kDefaultPackageName;
    listPath = FileExistsIn(javadocFolder, "package-frame.html") ? "package-frame.html"
                                                                 : "allclasses-frame.html";
  } else {
    std::string folderPart(startPage, slash);
    listPath = folderPart + "/package-frame.html";
    name = folderPart;
    for (char& c : name)
      if (c == '/') c = '.';
  }
  WritePackageEntry(name.c_str(), listPath.c_str(), writer);
  bool ok = WriteClassEntries(javadocFolder, listPath.c_str(), writer);
  ClosePackageEntry(writer);
  return ok;
}

}  // namespace

void WritePackageEntry(const char* name, const char* local, BufferedFileWriter& writer) {
  AppendEntry(writer, kTopEntry, name, local);
}

void ClosePackageEntry(BufferedFileWriter& writer) { AppendText(writer, "</UL>\r\n"); }

bool WriteClassEntries(const char* javadocFolder, const char* listPath,
                       BufferedFileWriter& writer) {
  const char* cut = listPath;
  for (const char* p = listPath; *p; ++p)
    if (*p == '/' || *p == '\\') cut = p + 1;
  std::string prefix(listPath, cut);

  char path[kPathCapacity];
  MappedFileView view;
  if (!JoinPath(path, kPathCapacity, javadocFolder, listPath) || !view.Open(path)) {
    ReportProgress(ProgressOutput, "Cannot open '%s'.", listPath);
    view.Close();
    return false;
  }
  {
    HtmlScanner scanner(view.view);
    while (scanner.NextLink()) {
      if (scanner.href.find("package-summary.html") != std::string::npos) continue;
      bool marked = false;
      std::string name = ClassName(scanner.text, &marked);
      AppendEntry(writer, kClassEntry, name.c_str(), prefix.c_str(), scanner.href.c_str(),
                  marked ? "17" : "11");
    }
  }
  view.Close();
  return true;
}

bool WriteOverviewEntries(const char* javadocFolder, BufferedFileWriter& writer) {
  char path[kPathCapacity];
  JoinPath(path, kPathCapacity, javadocFolder, "overview-frame.html");
  MappedFileView view;
  if (!view.Open(path)) {
    ReportProgress(ProgressOutput, "Cannot open '%s'.", path);
    view.Close();
    return false;
  }
  bool ok = true;
  {
    HtmlScanner scanner(view.view);
    while (ok && scanner.NextLink()) {
      // The scanner's strings change with the next link; the list page is read first.
      std::string href = scanner.href;
      WritePackageEntry(scanner.text.c_str(), href.c_str(), writer);
      ok = WriteClassEntries(javadocFolder, href.c_str(), writer);
      ClosePackageEntry(writer);
    }
  }
  view.Close();
  return ok;
}

bool WriteContentsFile(const char* startPage, const char* sourceIndexPath,
                       const char* outputPath) {
  char contentsPath[kPathCapacity];
  BufferedFileWriter writer(BufferedFileWriter::kDefaultCapacity);
  if (!OpenSitemapFile(outputPath, ".hhc", contentsPath, writer)) return false;
  char javadocFolder[kPathCapacity];
  CopyCut(javadocFolder, kPathCapacity, sourceIndexPath);
  *FindFileName(javadocFolder) = '\0';

  AppendText(writer, ContentsHeader(kProductHomepage).c_str());
  bool ok = std::strcmp(startPage, kOverviewPage) == 0
                ? WriteOverviewEntries(javadocFolder, writer)
                : WriteSinglePackage(startPage, javadocFolder, writer);
  AppendText(writer, kContentsFooter);
  if (!writer.Close()) {
    ReportProgress(ProgressOutput, "Cannot write '%s'.", contentsPath);
    return false;
  }
  return ok;
}

}  // namespace qb
