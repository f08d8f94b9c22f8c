// Javadoc trees for the tests of the non-classic readers, generated at test time by the
// JDK's javadoc, and what javadoc's own lists say a tree holds.
#pragma once

#include <string>
#include <vector>

#include "tests/common/test_util.h"

namespace qb::test {

// Writes the sources (relative name -> text, UTF-8) into `root`/src and runs javadoc
// there with `arguments` (its output folder is `root`/`name`). False when it failed;
// `log` gets its output.
bool GenerateJavadoc(const std::string& root, const std::string& name,
                     const std::vector<std::pair<std::string, std::string>>& sources,
                     const std::string& arguments, std::string* log);

// What javadoc's own files of a tree name.
struct JavadocLists {
  std::vector<std::string> packageSummaries;  // listed packages that have a summary page
  std::vector<std::string> types;             // rows of allclasses-index/-frame, resolved
  bool hasTypeList = false;
  size_t indexTerms = 0;                      // <dt> terms of the last run's index pages
  bool hasIndexPages = false;
};
JavadocLists ReadJavadocLists(const std::string& tree);

// An HTML-escaped sitemap value, unescaped (&amp; &lt; &gt; &quot; only).
std::string Unescape(std::string value);

}  // namespace qb::test
