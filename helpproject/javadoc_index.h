// The terms of a javadoc index page of any generation (index-all.html or one page of
// index-files), read by a rule that needs no words of the page's language.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qb {

struct IndexTerm {
  std::string keyword;  // UTF-8 text
  std::string context;  // UTF-8 text; empty when the term names none
  std::string target;   // the keyword link's href, relative to the tree's root
};

// Calls `visit` for every <dt> term of `page` (bytes in `codePage`) that holds a link,
// in page order, until it returns false. `inSubfolder`: the page lies in index-files.
//  - the term runs from <dt to the first </dt>, <dd, <dt or </dl>;
//  - keyword: the first <a href>'s text, cut before "&lt;" (JDK 25 puts a type's
//    parameters inside the link);
//  - context: after the keyword link, the first " - " outside tags, then the text of
//    the first <a href> after it that is not inside <sup>; without one, the plain text
//    after " - ". Javadoc puts the link first in every locale.
void ReadIndexTerms(std::string_view page, uint32_t codePage, bool inSubfolder,
                    const std::function<bool(const IndexTerm&)>& visit);

}  // namespace qb
