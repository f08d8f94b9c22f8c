// The tolerant page reader on any bytes: the tag walk with its attributes, fragment
// text, the index term rule, the charset and lang lookups. The page is copied into a
// block of exactly its size (no terminator), so any read past the end is an overrun
// that the address sanitizer catches. Checks what must hold for any input: tags lie
// inside the text, in order, and the walk ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "helpproject/javadoc_index.h"
#include "support/html_reader.h"
#include "support/text_encoding.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> block(new char[size ? size : 1]);
  if (size) std::memcpy(block.get(), data, size);
  const char* begin = block.get();
  const char* end = begin + size;
  std::string_view page(begin, size);

  qb::HtmlReader reader(begin, end);
  qb::HtmlTag tag;
  const char* last = begin;
  size_t tags = 0;
  while (reader.NextTag(&tag)) {
    Check(tag.start >= last && tag.start < tag.end && tag.end <= end);
    Check(tag.name.data() > tag.start && tag.name.data() + tag.name.size() <= tag.end);
    last = tag.end;
    std::string value;
    for (const char* name : {"href", "name", "src", "class", "lang", "x"})
      if (tag.Attribute(name, &value)) Check(value.size() <= size);
    Check(++tags <= size);
  }

  qb::HtmlFragmentText(page);
  qb::PercentDecode(page);
  std::string lang;
  qb::DeclaredLanguage(page, &lang);
  qb::CodePageOfCharset(qb::DeclaredCharset(page));
  for (bool inSubfolder : {false, true})
    qb::ReadIndexTerms(page, size && data[0] & 1 ? qb::kUtf8CodePage : 932u, inSubfolder,
                       [&](const qb::IndexTerm& term) {
                         qb::FromUtf8ForSitemap(term.keyword, 1252);
                         return true;
                       });
  return 0;
}
