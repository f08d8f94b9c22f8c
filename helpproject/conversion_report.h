// What a conversion put into the help file, measured against what the tree says it
// holds: the tree's own lists (list file, all-classes page, index pages) beside the
// written contents and index, links and anchors that lead nowhere, packages that the
// list file and the folders disagree on, the help file's language, the start page, and
// the compiler's outcome with its warnings grouped. Portable; both programs build it
// the same way and show the same summary.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "helpproject/javadoc_tree.h"

namespace qb {

// Who wrote the page text that holds a link: javadoc's own markup, a documentation
// comment (a `<div class="block">`, or a page of a doc-files folder), or a tree whose
// markup does not tell (classic pages).
enum class LinkAuthor { kJavadoc, kUser, kUntold };

struct LinkProblem {
  std::string page;    // the page holding the link, relative to the tree, '/' separated
  int line = 0;        // 1-based
  std::string target;  // the link as written
  LinkAuthor author = LinkAuthor::kUntold;
};

// Problems of one kind with one key (the target's folder), counted; the first few kept.
struct ProblemGroup {
  std::string key;
  uint64_t count = 0;
  std::vector<LinkProblem> examples;
};

struct ProblemCount {
  uint64_t total = 0;
  uint64_t byAuthor[3] = {0, 0, 0};  // indexed by LinkAuthor
  std::vector<ProblemGroup> groups;  // largest first after Finish
};

// A compiler warning held back from the output and shown grouped by its text with the
// quoted parts masked.
struct WarningGroup {
  std::string pattern;           // the masked text
  std::vector<std::string> all;  // every warning of the group, whole
};

struct ConversionReport {
  static constexpr int kSchemaVersion = 1;

  // The tree's own lists; -1 when the tree has no such list.
  int64_t listedModules = -1, listedPackages = -1, listedTypes = -1, indexTerms = -1;
  // What the written contents and index hold.
  int64_t contentsModules = 0, contentsPackages = 0, contentsTypes = 0, indexEntries = 0;
  // From the compiler's closing message; -1 when it did not say.
  int64_t compiledPages = -1, compiledOtherFiles = -1;

  uint64_t filesInTree = 0, pagesChecked = 0, linksChecked = 0;
  ProblemCount missingFiles, missingAnchors;

  std::vector<std::string> listedWithoutPage;  // packages the list names, with no summary
  std::vector<std::string> unlistedAdded;      // summary folders not listed, linked from
                                               // the all-classes page: put into the contents

  std::string generation;  // "classic", "frames", "iframes", "frameless"
  uint16_t lcid = 0;
  std::string languageName;
  uint32_t codePage = 0;
  uint64_t characterReferences = 0;  // characters of names the code page cannot hold

  std::string startPage, startReason;
  std::string helpFile;
  std::vector<WarningGroup> warnings;
  uint64_t milliseconds = 0;  // spent on the report itself

  // Findings that --strict fails on: missing pages and anchors that documentation
  // comments point to (and those of trees that cannot tell who wrote a link).
  uint64_t StrictFindings() const;
};

// Reads the tree's list file, all-classes page and index pages.
void CountTreeLists(const JavadocTree& tree, ConversionReport* report);
// Reads the written .hhc and .hhk. `countReferences`: their names were converted from
// UTF-8 (the non-classic writers), so every numeric reference above 127 in them stands
// for a character that the code page could not hold; classic names are the pages' bytes.
void CountSitemaps(const std::string& contentsPath, const std::string& indexPath,
                   bool countReferences, ConversionReport* report);
// Packages that the list file names without a summary page, and package folders with a
// summary page that the all-classes page links into but the list file does not name.
void CompareListWithFolders(const JavadocTree& tree, ConversionReport* report);
// The package folders (relative, with their '/') that hold a summary page and types the
// all-classes page links to, but that the list file does not name: a renamed package or
// a run mixed into another. Empty without a list file.
std::vector<std::string> UnlistedPackageFolders(const JavadocTree& tree);
// Reads every page of the tree (but `skipName`, the about page) for links to missing
// files and fragments that their page does not define. `progress` gets pages read and
// the total after each page; false from it stops the check (the report is then partial).
void CheckLinks(const JavadocTree& tree, const char* skipName, ConversionReport* report,
                const std::function<bool(uint64_t done, uint64_t total)>& progress);
// Takes one compiler message. True when it was a warning, which the report keeps for
// the grouped lines; false when the caller shows it as it came.
bool TakeCompilerMessage(const std::string& text, ConversionReport* report);
// The grouped warning lines: the warning itself when it came once, else its pattern
// with the count and the first occurrence.
std::vector<std::string> WarningLines(const ConversionReport& report);
// A few lines that sum the report up, for the output box and the console.
std::vector<std::string> SummaryLines(const ConversionReport& report);
// The whole report as JSON (UTF-8), schema version kSchemaVersion.
std::string ReportJson(const ConversionReport& report);

}  // namespace qb
