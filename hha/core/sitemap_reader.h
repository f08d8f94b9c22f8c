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
// character references &amp; &lt; &gt; &quot; &apos;, numeric ones below 0x80 and the
// Latin-1 names (each the byte of its character, read in the project's code page)
// decoded; others stay as written.
std::vector<SitemapEntry> ReadSitemap(const std::string& text);

// The byte a Latin-1 character reference names (&Agrave; is 0xC0), 0 for other names.
// Microsoft's sitemap editor writes every byte of a non-1252 project this way
// (&Agrave;&eth; for the cp1251 bytes of "Ар"), and its compiler reads the byte back in
// the project's code page; &Dstrok; is its name for 0xD0.
char Latin1ByteOfName(const std::string& name);

}  // namespace hha

namespace hha {

// For each entry of a contents file, the offset its record would have in #TOCIDX, the
// binary contents: records of 20 bytes (28 with children) from 0x1000, a level's
// siblings together, levels breadth first, no record across a 4096-byte block.
// Microsoft's compiler writes these into #TOPICS even when it writes no #TOCIDX.
std::vector<uint32_t> ContentsOffsets(const std::vector<SitemapEntry>& entries);

}  // namespace hha
