// Writes the contents file (.hhc) from the Javadoc frame pages.
#pragma once

namespace qb {

// True when the contents were written; false after a failure that has been reported.
bool WriteContentsFile(const char* startPage, const char* sourceIndexPath,
                       const char* outputPath);

}  // namespace qb
