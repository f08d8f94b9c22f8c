// The contents (.hhc) and index (.hhk) files of a non-classic javadoc tree, in the
// format, header, footer and entry shape of the classic writers, so that both paths
// give files of one kind. Names are written in the code page of the tree's help
// language; see FromUtf8ForSitemap for what a character outside it becomes.
#pragma once

#include <string>

#include "helpproject/javadoc_tree.h"

namespace qb {

// What the writers tell while they run; the program's worker turns these into its
// status and output lines.
class StageReporter {
 public:
  virtual ~StageReporter() = default;
  virtual void Status(const std::string& text) = 0;
  virtual void Output(const std::string& line) = 0;
  // Asked between entries; true ends the stage as failed.
  virtual bool Cancelled() = 0;
};

// `homepage` goes into the header comment. True when the file was written; false
// after a reported failure (the file could not be created or written) or a cancel. A
// page that the tree promises but does not hold is told and passed over.
bool WriteJavadocContents(const JavadocTree& tree, const std::string& contentsPath,
                          const char* homepage, StageReporter& reporter);
bool WriteJavadocIndex(const JavadocTree& tree, const std::string& indexPath,
                       const char* homepage, StageReporter& reporter);

// A link target as written into a sitemap: the path as javadoc wrote it, the fragment
// percent-decoded (a viewer that does not decode still finds "#<init>()"), then
// escaped for the sitemap.
std::string SitemapTarget(const std::string& link);

}  // namespace qb
