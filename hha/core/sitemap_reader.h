// The entries of a contents (.hhc) or index (.hhk) file: each <OBJECT type="text/sitemap">
// with its parameters and its depth in the <UL> nesting.
#pragma once

#include <string>
#include <vector>

namespace hha {

struct SitemapEntry {
  int depth = 0;                     // 0 at the top level
  std::vector<std::string> names;    // each "Name" in order (index: keyword, then titles)
  std::vector<std::string> locals;   // each "Local" in order, as written
  std::string seeAlso;               // "See Also", "" when not given
};

// Values are the raw bytes between the quotes, in the file's code page, with the
// character references &amp; &lt; &gt; &quot; &apos; and numeric ones below 0x80
// decoded; others stay as written.
std::vector<SitemapEntry> ReadSitemap(const std::string& text);

}  // namespace hha

namespace hha {

// For each entry of a contents file, the offset its record would have in #TOCIDX, the
// binary contents: records of 20 bytes (28 with children) from 0x1000, a level's
// siblings together, levels breadth first, no record across a 4096-byte block.
// Microsoft's compiler writes these into #TOPICS even when it writes no #TOCIDX.
std::vector<uint32_t> ContentsOffsets(const std::vector<SitemapEntry>& entries);

}  // namespace hha
