// The binary keyword index (/$WWKeywordLinks/BTree, Data, Map, Property): the index
// file's keywords as the viewer lists them, sorted in Windows' collation, each with the
// topic numbers it leads to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hha/core/sitemap_reader.h"

namespace hha {

struct Keyword {
  std::u16string text;   // sub-keywords flat: "parent, child"
  uint16_t depth = 0;    // 0 at the top level
  uint32_t lastPart = 0; // index of the last component's first character
  std::vector<uint32_t> topics;  // in .hhk order, repetitions kept
  std::u16string seeAlso;        // set for a "See Also" entry (then no topics)
};

// The keywords of an index file's entries (bytes in `codePage`), merged (one entry per
// distinct text, its topic lists joined in file order) and sorted as Windows sorts for
// `lcid`; the entries are freed before the sort. `topicOf` gives the topic number of a
// Local as written, or -1 when the help file does not hold it (that Local is left out).
std::vector<Keyword> ReadKeywords(std::vector<SitemapEntry> entries, uint32_t lcid,
                                  uint32_t codePage,
                                  const std::function<int64_t(const std::string&)>& topicOf);

// The four files, named from the root ("/$WWKeywordLinks/BTree", ...). Without keywords
// only Property is written (four zero bytes), as Microsoft's compiler does.
std::vector<std::pair<std::string, std::vector<uint8_t>>> BuildKeywordIndex(
    const std::vector<Keyword>& keywords, uint32_t lcid, uint32_t codePage);

}  // namespace hha
