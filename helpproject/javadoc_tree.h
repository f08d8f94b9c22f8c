// Which generation of javadoc wrote a tree, where its start page is, and which help-file
// language fits its pages. Portable; reads the tree through plain file calls.
//
// The classic frame test comes first and is the one the job setup applies, so every tree
// that the classic writers read stays on them; only trees without an upper-case
// classFrame frame are looked at further.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/text_encoding.h"

namespace qb {

enum class JavadocGeneration {
  kClassic,      // JDK 1.2-6 (and anything not recognised): upper-case frames
  kFramesLower,  // JDK 7-8: lower-case frameset
  kIframes,      // JDK 9-10: iframes
  kFrameless,    // JDK 11 and later
};

struct JavadocTree {
  JavadocGeneration generation = JavadocGeneration::kClassic;
  std::string folder;     // the folder of index.html, with its separator (or empty)
  std::string startPage;  // relative to `folder`, '/' separated; empty for classic trees
  uint32_t pageCodePage = kWesternCodePage;  // how the pages' bytes are read
  HelpLanguage language = DefaultHelpLanguage();

  bool classic() const { return generation == JavadocGeneration::kClassic; }
};

// Reads `indexPath` (index.html) and the files beside it. False when index.html cannot
// be read; the tree then stays classic.
bool InspectJavadocTree(const std::string& indexPath, JavadocTree* tree);

// One line of the list file (element-list, else package-list): the last run's packages,
// each under the module whose `module:` line came before it.
struct ListedPackage {
  std::string module;  // empty outside modules
  std::string name;    // empty for the unnamed package; "\0" for a module's own line
  bool StartsModule() const { return name.size() == 1 && name[0] == '\0'; }
};
// False when the tree has no list file.
bool ReadListFile(const std::string& folder, std::vector<ListedPackage>* packages);

// Small file helpers shared by the readers of a tree.
bool FileExists(const std::string& path);
// Up to `limit` bytes from the start of a file; false when it cannot be opened.
bool ReadFilePrefix(const std::string& path, size_t limit, std::string* out);
// "p/q/" + "../../p/q/X.html" -> "p/q/X.html"; false when the link leaves the root or
// is not a plain relative link.
bool ResolveTreeLink(std::string_view baseFolder, std::string_view link, std::string* out);

}  // namespace qb
