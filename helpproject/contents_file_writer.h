// Writes the contents file (.hhc) from the Javadoc frame pages.
#pragma once

#include "support/buffered_file_writer.h"

namespace qb {

// True when the contents were written; false after a failure that has been reported.
bool WriteContentsFile(const char* startPage, const char* sourceIndexPath,
                       const char* outputPath);

// The steps of WriteContentsFile. `javadocFolder` ends with its separator (or is empty);
// list paths are relative to it and are reported in that relative form.
bool WriteOverviewEntries(const char* javadocFolder, BufferedFileWriter& writer);
void WritePackageEntry(const char* name, const char* local, BufferedFileWriter& writer);
void ClosePackageEntry(BufferedFileWriter& writer);
bool WriteClassEntries(const char* javadocFolder, const char* listPath,
                       BufferedFileWriter& writer);

}  // namespace qb
