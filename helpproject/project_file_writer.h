// Writes the HTML Help project (.hhp) from resource 104.
#pragma once

namespace qb {

// True when the project file was written completely; failures are reported first.
bool WriteProjectFile(const char* sourceIndexPath, const char* outputPath, const char* title,
                      const char* startPage);

}  // namespace qb
