// Formatting of generated entries, shared by the contents and index writers.
#pragma once

#include "support/buffered_file_writer.h"

namespace qb {

// Formats `format` by printf rules for its only conversions, "%s" (and "%%"), and
// appends the result with one Append. There is no cap on the result's length: an entry
// cut at a fixed size would leave an attribute unclosed and corrupt the lines after it,
// so an over-long entry is written whole. Returns the result of the append.
bool AppendEntry(BufferedFileWriter& writer, const char* format, ...);

// Appends a NUL-terminated text with one Append.
bool AppendText(BufferedFileWriter& writer, const char* text);

}  // namespace qb
