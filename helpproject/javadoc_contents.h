// The contents of a non-classic javadoc tree: modules, packages and types, read from
// the list file (element-list / package-list), the package summaries (or the frame
// lists of JDK 7-10) and, for the kind of a type, the head of its class page. One pass:
// each page is read when its entries are due and released before the next.
#pragma once

#include <string>

#include "helpproject/javadoc_tree.h"

namespace qb {

// Receives the contents in order. Names are UTF-8 text; locals are paths relative to
// the tree's folder, '/' separated, as javadoc wrote them.
class ContentsVisitor {
 public:
  virtual ~ContentsVisitor() = default;
  // A module or package entry; the entries up to the matching EndGroup belong to it.
  virtual void BeginGroup(const std::string& name, const std::string& local, bool module) = 0;
  virtual void EndGroup() = 0;
  // `interfaceLike`: an interface or an annotation type (the image of interfaces).
  virtual void Type(const std::string& name, const std::string& local, bool interfaceLike) = 0;
  // A page that the list file promises and the tree does not hold (the job goes on).
  virtual void Missing(const std::string& page) = 0;
  // Asked between packages; true stops the walk.
  virtual bool Cancelled() { return false; }
};

// Walks the contents of a non-classic tree. False only when cancelled.
bool WalkJavadocContents(const JavadocTree& tree, ContentsVisitor& visitor);

// The name of the unnamed package's entry, as the classic contents name it.
extern const char kUnnamedPackageEntry[];

}  // namespace qb
