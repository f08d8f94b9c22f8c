// The fixed lines around the entries of a contents (.hhc) and an index (.hhk) file,
// shared by the classic writers and those of newer javadoc trees so that both give files
// of one kind.
#pragma once

#include <string>

namespace qb {

// Ends with "<P><UL>" and its line end; `homepage` goes into the header comment.
std::string ContentsHeader(const char* homepage);
constexpr const char kContentsFooter[] = "</UL>\r\n</BODY>\r\n</HTML>\r\n";

// Each list continues the line before it: the first entry the header's "<UL>", and the
// file ends on its last tag.
std::string IndexHeader(const char* homepage);
constexpr const char kIndexFooter[] = "</UL>\r\n</BODY>\r\n</HTML>";

}  // namespace qb
