// The fixed lines around the entries of a contents (.hhc) and an index (.hhk) file,
// shared by the classic writers and those of newer javadoc trees so that both give files
// of one kind.
#pragma once

#include <string>

#include "support/buffered_file_writer.h"
#include "support/path_join.h"

namespace qb {

// Ends with "<P><UL>" and its line end; `homepage` goes into the header comment.
std::string ContentsHeader(const char* homepage);
constexpr const char kContentsFooter[] = "</UL>\r\n</BODY>\r\n</HTML>\r\n";

// Each list continues the line before it: the first entry the header's "<UL>", and the
// file ends on its last tag.
std::string IndexHeader(const char* homepage);
constexpr const char kIndexFooter[] = "</UL>\r\n</BODY>\r\n</HTML>";

// Forms the contents or index file's name (`extension` in place of the output's) into
// `path` and opens it for `writer`. On failure reports "Cannot open '%s'." with the name
// as far as it could be formed, closes the writer and returns false.
bool OpenSitemapFile(const char* outputPath, const char* extension, char (&path)[kPathCapacity],
                     BufferedFileWriter& writer);

}  // namespace qb
