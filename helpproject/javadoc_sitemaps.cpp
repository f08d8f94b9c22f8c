#include "helpproject/javadoc_sitemaps.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "helpproject/javadoc_contents.h"
#include "helpproject/javadoc_index.h"
#include "helpproject/sitemap_frame.h"
#include "support/ascii.h"
#include "support/buffered_file_writer.h"
#include "support/html_reader.h"
#include "support/mapped_file_view.h"

namespace qb {
namespace {

const char kObjectOpen[] = "<LI><OBJECT type=\"text/sitemap\">\r\n";
const char kObjectClose[] = "\t</OBJECT>\r\n";

class Output {
 public:
  explicit Output(uint32_t codePage) : codePage_(codePage) {}
  bool Open(const std::string& path) { return writer_.Open(path.c_str()); }
  bool Close() { return writer_.Close(); }
  void Raw(const std::string& text) {
    writer_.Append(text.data(), static_cast<uint32_t>(text.size()));
  }
  // UTF-8 text, escaped and put into the code page.
  std::string Name(const std::string& text) const {
    return FromUtf8ForSitemap(EscapeText(text), codePage_);
  }
  static std::string EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
      }
    }
    return out;
  }

 private:
  uint32_t codePage_;
  BufferedFileWriter writer_;
};

class ContentsWriter : public ContentsVisitor {
 public:
  ContentsWriter(Output& out, StageReporter& reporter) : out_(out), reporter_(reporter) {}
  void BeginGroup(const std::string& name, const std::string& local, bool) override {
    out_.Raw(std::string(kObjectOpen) + "\t<param name=\"Name\" value=\"" + out_.Name(name) +
             "\">\r\n\t<param name=\"Local\" value=\"" + SitemapTarget(local) +
             "\">\r\n\t<param name=\"ImageNumber\" value=\"\">\r\n" + kObjectClose +
             "\t<UL>\r\n");
  }
  void EndGroup() override { out_.Raw("</UL>\r\n"); }
  void Type(const std::string& name, const std::string& local, bool interfaceLike) override {
    out_.Raw(std::string(kObjectOpen) + "\t<param name=\"Name\" value=\"" + out_.Name(name) +
             "\">\r\n\t<param name=\"Local\" value=\"" + SitemapTarget(local) +
             "\">\r\n\t<param name=\"ImageNumber\" value=\"" + (interfaceLike ? "17" : "11") +
             "\">\r\n" + kObjectClose);
  }
  void Missing(const std::string& page) override {
    reporter_.Output("Cannot open '" + page + "'.");
  }
  bool Cancelled() override { return reporter_.Cancelled(); }

 private:
  Output& out_;
  StageReporter& reporter_;
};

void WriteIndexEntry(Output& out, const std::string& keyword, const std::string& context,
                     const std::string& target) {
  std::string name = out.Name(keyword);
  if (!context.empty()) name += "   [" + out.Name(context) + "]";
  out.Raw(std::string(kObjectOpen) + "\t<param name=\"Name\" value=\"" + name +
          "\">\r\n\t<param name=\"Local\" value=\"" + SitemapTarget(target) + "\">\r\n" +
          kObjectClose);
}

// Without index pages (-noindex): the contents' modules, packages and types.
class ContentsKeywords : public ContentsVisitor {
 public:
  ContentsKeywords(Output& out, StageReporter& reporter) : out_(out), reporter_(reporter) {}
  void BeginGroup(const std::string& name, const std::string& local, bool) override {
    groups_.push_back(name);
    if (!local.empty()) WriteIndexEntry(out_, name, std::string(), local);
  }
  void EndGroup() override {
    if (!groups_.empty()) groups_.pop_back();
  }
  void Type(const std::string& name, const std::string& local, bool) override {
    WriteIndexEntry(out_, name, groups_.empty() ? std::string() : groups_.back(), local);
  }
  void Missing(const std::string&) override {}  // told by the contents already
  bool Cancelled() override { return reporter_.Cancelled(); }

 private:
  Output& out_;
  StageReporter& reporter_;
  std::vector<std::string> groups_;
};

// The pages of the last run's split index: index-1.html and the pages its letter bar
// links, in number order (a folder listing would bring stale pages and put index-10
// before index-2).
std::vector<int> SplitIndexPages(const std::string& folder) {
  std::vector<int> numbers;
  MappedFileView view;
  if (!view.Open((folder + "index-files/index-1.html").c_str())) {
    view.Close();
    return numbers;
  }
  std::set<int> found = {1};
  HtmlReader reader(std::string_view(view.view, view.size));
  HtmlTag tag;
  while (reader.NextStartTag("a", &tag)) {
    std::string href;
    if (!tag.Attribute("href", &href)) continue;
    size_t slash = href.find_last_of('/');
    std::string name = slash == std::string::npos ? href : href.substr(slash + 1);
    if (name.compare(0, 6, "index-") != 0) continue;
    char* end = nullptr;
    long n = std::strtol(name.c_str() + 6, &end, 10);
    if (end == name.c_str() + 6 || std::string(end) != ".html" || n < 1 || n > 100000) continue;
    found.insert(static_cast<int>(n));
  }
  view.Close();
  for (int n : found)
    if (FileExists(folder + "index-files/index-" + std::to_string(n) + ".html"))
      numbers.push_back(n);
  return numbers;
}

// Reads one index page into the output; false when it cannot be read or on a cancel.
bool WriteIndexPage(const JavadocTree& tree, const std::string& relative, bool inSubfolder,
                    Output& out, StageReporter& reporter) {
  MappedFileView view;
  if (!view.Open((tree.folder + relative).c_str())) {
    view.Close();
    reporter.Output("Cannot open '" + relative + "'.");
    return false;
  }
  const std::string fileName = relative.substr(relative.find_last_of('/') + 1);
  char letter = '\0';
  bool cancelled = false;
  ReadIndexTerms(std::string_view(view.view, view.size), tree.pageCodePage, inSubfolder,
                 [&](const IndexTerm& term) {
                   if (reporter.Cancelled()) {
                     cancelled = true;
                     return false;
                   }
                   std::string keyword = out.Name(term.keyword);
                   const char first = AsciiUpper(keyword.empty() ? '\0' : keyword[0]);
                   if (first != letter) {
                     letter = first;
                     reporter.Status("Creating index file from " + fileName +
                                     ", letter: " + std::string(1, letter).c_str());
                   }
                   WriteIndexEntry(out, term.keyword, term.context, term.target);
                   return true;
                 });
  view.Close();
  return !cancelled;
}

}  // namespace

std::string SitemapTarget(const std::string& link) {
  size_t hash = link.find('#');
  if (hash == std::string::npos) return Output::EscapeText(link);
  return Output::EscapeText(link.substr(0, hash)) + "#" +
         Output::EscapeText(PercentDecode(link.substr(hash + 1)));
}

bool WriteJavadocContents(const JavadocTree& tree, const std::string& contentsPath,
                          const char* homepage, StageReporter& reporter) {
  Output out(tree.language.codePage);
  if (!out.Open(contentsPath)) {
    out.Close();
    reporter.Output("Cannot open '" + contentsPath + "'.");
    return false;
  }
  out.Raw(ContentsHeader(homepage));
  ContentsWriter writer(out, reporter);
  bool ok = WalkJavadocContents(tree, writer);
  out.Raw(kContentsFooter);
  if (!out.Close()) {
    reporter.Output("Cannot write '" + contentsPath + "'.");
    return false;
  }
  return ok;
}

bool WriteJavadocIndex(const JavadocTree& tree, const std::string& indexPath,
                       const char* homepage, StageReporter& reporter) {
  Output out(tree.language.codePage);
  if (!out.Open(indexPath)) {
    out.Close();
    reporter.Output("Cannot open '" + indexPath + "'.");
    return false;
  }
  out.Raw(IndexHeader(homepage));
  bool ok = true;
  if (FileExists(tree.folder + "index-all.html")) {
    ok = WriteIndexPage(tree, "index-all.html", false, out, reporter);
  } else {
    std::vector<int> pages = SplitIndexPages(tree.folder);
    for (size_t i = 0; ok && i < pages.size(); ++i)
      ok = WriteIndexPage(tree, "index-files/index-" + std::to_string(pages[i]) + ".html", true,
                          out, reporter);
    if (pages.empty()) {
      ContentsKeywords keywords(out, reporter);
      ok = WalkJavadocContents(tree, keywords);
    }
  }
  out.Raw(kIndexFooter);
  if (!out.Close()) {
    reporter.Output("Cannot write '" + indexPath + "'.");
    return false;
  }
  return ok;
}

}  // namespace qb
