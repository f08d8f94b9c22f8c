// Writes the keyword index (.hhk) from the Javadoc index pages.
#pragma once

namespace qb {

// True when the index was written; false after a reported failure or a cancel.
bool WriteIndexFile(const char* outputPath);

}  // namespace qb
