#include "helpproject/index_file_writer.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "job/conversion_job.h"
#include "job/temp_names.h"
#include "helpproject/entry_format.h"
#include "helpproject/sitemap_frame.h"
#include "resources/product.h"
#include "support/ascii.h"
#include "support/file_finder.h"
#include "support/html_scanner.h"
#include "support/mapped_file_view.h"
#include "support/native_file.h"
#include "support/path_join.h"
#include "support/path_names.h"

namespace qb {
namespace {

constexpr size_t kMaxKeywordLength = kPathCapacity - 1;

const char kEntry[] =
    "<LI><OBJECT type=\"text/sitemap\">\r\n"
    "\t<param name=\"Name\" value=\"%s   [%s]\">\r\n"
    "\t<param name=\"Local\" value=\"%s\">\r\n"
    "\t</OBJECT>\r\n";

// A term whose description links nowhere (Javadoc's package terms) has no context.
const char kEntryWithoutContext[] =
    "<LI><OBJECT type=\"text/sitemap\">\r\n"
    "\t<param name=\"Name\" value=\"%s\">\r\n"
    "\t<param name=\"Local\" value=\"%s\">\r\n"
    "\t</OBJECT>\r\n";

// A keyword wrapped in one element loses its tags; one not starting with "<" stays.
void StripKeywordMarkup(std::string& keyword) {
  if (keyword.empty() || keyword[0] != '<') return;
  size_t close = keyword.find('>');
  if (close == std::string::npos) return;
  size_t open = keyword.find('<', close + 1);
  if (open == std::string::npos) return;
  keyword = keyword.substr(close + 1, open - close - 1);
}

void ReportLetter(const char* fileName, char letter) {
  static const char kLead[] = "Creating index file from ";
  static const char kMiddle[] = ", letter: ";
  // The page name gives way so that the letter is always shown.
  constexpr size_t kRoom = kPathCapacity - 1 - (sizeof kLead - 1) - (sizeof kMiddle - 1) - 1;
  char line[kPathCapacity];
  char letterText[2] = {letter, '\0'};
  std::snprintf(line, sizeof line, "%s%.*s%s%s", kLead, static_cast<int>(kRoom), fileName,
                kMiddle, letterText);
  ReportProgress(ProgressStatus, line);
}

}  // namespace

bool ScanIndexPage(const char* folder, const char* path, bool inSubfolder,
                   BufferedFileWriter& writer) {
  const char* fileName = FindFileName(path);
  char openPath[kPathCapacity];
  MappedFileView view;
  if (!JoinPath(openPath, kPathCapacity, folder, path) || !view.Open(openPath)) {
    ReportProgress(ProgressOutput, "Cannot open '%s'.", path);
    view.Close();
    return false;
  }

  bool ok = true;
  {
    HtmlScanner scanner(view.view);
    char letter = '\0';
    while (scanner.NextDefinitionTerm() && scanner.NextLink()) {
      if (TestJobCancel()) {
        ok = false;
        break;
      }
      std::string target = scanner.href;
      std::string keyword = scanner.text;
      if (keyword.size() > kMaxKeywordLength) keyword.resize(kMaxKeywordLength);

      // The context is the next link of this term only: a link past the next "<DT>" is
      // that term's keyword.
      const char* nextTerm = std::strstr(scanner.cursor, "<DT>");
      const char* resume = scanner.cursor;
      bool hasContext = scanner.NextLink() && (!nextTerm || scanner.elementStart < nextTerm);
      if (!hasContext) scanner.cursor = resume;

      StripKeywordMarkup(keyword);
      const char first = AsciiUpper(keyword.c_str()[0]);
      if (first != letter) {
        letter = first;
        ReportLetter(fileName, letter);
      }
      if (inSubfolder && target.compare(0, 3, "../") == 0) target.erase(0, 3);

      if (hasContext)
        AppendEntry(writer, kEntry, keyword.c_str(), scanner.text.c_str(), target.c_str());
      else
        AppendEntry(writer, kEntryWithoutContext, keyword.c_str(), target.c_str());
    }
  }
  view.Close();
  return ok;
}

bool WriteIndexFile(const char* outputPath) {
  char indexPath[kPathCapacity];
  BufferedFileWriter writer(BufferedFileWriter::kDefaultCapacity);
  if (!OpenSitemapFile(outputPath, ".hhk", indexPath, writer)) return false;
  char javadocFolder[kPathCapacity];
  CopyCut(javadocFolder, kPathCapacity, outputPath);
  *FindFileName(javadocFolder) = '\0';

  AppendText(writer, IndexHeader(kProductHomepage).c_str());

  bool ok = true;
  char allPath[kPathCapacity];
  JoinPath(allPath, kPathCapacity, javadocFolder, "index-all.html");
  if (NativeFileExists(allPath)) {
    ok = ScanIndexPage(javadocFolder, "index-all.html", false, writer);
  } else {
    char indexFolder[kPathCapacity];
    CopyCut(indexFolder, kPathCapacity, outputPath);
    ReplaceFileName(indexFolder, kPathCapacity, "index-files");
    FileFinder finder;
    JoinPath(finder.pattern, kPathCapacity, indexFolder, "*");
    while (ok && finder.Next()) {
      char page[kPathCapacity];
      JoinFolderEntry(page, kPathCapacity, indexFolder, finder.findData.cFileName);
      ok = ScanIndexPage("", page, true, writer);
    }
    finder.Close();
  }

  AppendText(writer, kIndexFooter);
  if (!writer.Close()) {
    ReportProgress(ProgressOutput, "Cannot write '%s'.", indexPath);
    return false;
  }
  return ok;
}

}  // namespace qb
