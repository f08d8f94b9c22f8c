// Writes the keyword index (.hhk) from the Javadoc index pages.
#pragma once

#include "support/buffered_file_writer.h"

namespace qb {

// True when the index was written; false after a reported failure or a cancel.
bool WriteIndexFile(const char* outputPath);

// Writes the entries of one index page. A relative `path` is opened in `folder` (give ""
// for a full path) and reported as given. `inSubfolder`: the page lies in index-files,
// so its targets are one level too deep. False after a reported failure or a cancel.
bool ScanIndexPage(const char* folder, const char* path, bool inSubfolder,
                   BufferedFileWriter& writer);

}  // namespace qb
