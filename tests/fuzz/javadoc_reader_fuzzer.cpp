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
#include "tests/fuzz/fuzz_check.h"

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

  // Folded text has no blank at either end and no two in a row.
  const std::string text = qb::HtmlFragmentText(page);
  Check(text.empty() || (text.front() != ' ' && text.back() != ' '));
  Check(text.find("  ") == std::string::npos);
  const std::string decoded = qb::PercentDecode(page);
  Check(decoded.size() <= size);
  Check(page.find('%') != std::string_view::npos || decoded == page);
  std::string lang;
  if (qb::DeclaredLanguage(page, &lang)) Check(lang.size() <= size);
  const std::string charset = qb::DeclaredCharset(page);
  Check(charset.size() <= size);
  qb::CodePageOfCharset(charset);
  for (bool inSubfolder : {false, true})
    qb::ReadIndexTerms(page, size && data[0] & 1 ? qb::kUtf8CodePage : 932u, inSubfolder,
                       [&](const qb::IndexTerm& term) {
                         Check(term.target.size() <= size);
                         // A byte becomes at most a 3-byte character (U+FFFD included).
                         Check(term.keyword.size() <= 3 * size && term.context.size() <= 3 * size);
                         // A character that 1252 cannot hold becomes "&#N;": at most 10 bytes
                         // for the 3 or 4 it took.
                         Check(qb::FromUtf8ForSitemap(term.keyword, 1252).size() <= 4 * term.keyword.size());
                         return true;
                       });
  return 0;
}
