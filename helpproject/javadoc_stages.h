// Stages 2 to 4 of a job on a non-classic javadoc tree: the worker's side of the
// portable readers (file names, reports, the cancel word).
#pragma once

#include <string>

#include "helpproject/javadoc_tree.h"

namespace qb {

// Looks at the job's tree; a classic tree keeps the job's start page, any other gets
// its own. False when index.html cannot be read (the tree is then taken as classic).
bool InspectJobTree(const char* sourceIndexPath, JavadocTree* tree);

// Write the .hhc and .hhk beside the output, as WriteContentsFile and WriteIndexFile
// do; false after a reported failure or a cancel.
bool WriteJavadocContentsFile(const JavadocTree& tree, const char* outputPath);
bool WriteJavadocIndexFile(const JavadocTree& tree, const char* outputPath);

// The value of the project's Language key: "0x411 Japanese".
std::string ProjectLanguage(const HelpLanguage& language);

}  // namespace qb
