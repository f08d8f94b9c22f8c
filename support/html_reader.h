// Tolerant reading of HTML as javadoc of any generation writes it: tags in any case,
// attributes in any order, quoted with " or ' or not at all, comments skipped. Not a
// parser either: no tree, no nesting; just tags found in text order, and the text
// between them with entities decoded. Portable; no system calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qb {

struct HtmlTag {
  const char* start = nullptr;  // the '<'
  const char* end = nullptr;    // one past the '>' (the text's end for an unclosed tag)
  std::string_view name;        // as written, without the '/' of an end tag
  bool closing = false;         // "</name>"

  // Case-insensitive comparison with a lower-case name.
  bool Is(std::string_view lowerName) const;
  // The raw value of an attribute (entities not decoded), found case-insensitively.
  // False when the tag has no such attribute; a bare attribute gives an empty value.
  bool Attribute(std::string_view lowerName, std::string* value) const;
};

// Walks the tags of [begin, end). Never reads outside that range and needs no NUL.
class HtmlReader {
 public:
  HtmlReader(const char* begin, const char* end) : begin_(begin), cursor_(begin), end_(end) {}
  explicit HtmlReader(std::string_view text)
      : HtmlReader(text.data(), text.data() + text.size()) {}

  // The next tag at or after the cursor; comments, doctype and processing instructions
  // are passed over. A '<' not followed by a name (or '/' and a name) is text. False
  // at the end; the cursor then rests at the end.
  bool NextTag(HtmlTag* tag);
  // The next start tag (not an end tag) with the given lower-case name.
  bool NextStartTag(std::string_view lowerName, HtmlTag* tag);

  const char* cursor() const { return cursor_; }
  void set_cursor(const char* at) { cursor_ = at < begin_ ? begin_ : at > end_ ? end_ : at; }
  const char* end() const { return end_; }

 private:
  const char* begin_;
  const char* cursor_;
  const char* end_;
};

// Case-insensitive search of an ASCII `needle` (not empty) in `hay`; npos when absent.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);

// The text of an HTML fragment (UTF-8): tags removed, character references decoded to
// UTF-8, "&#8203;" (the zero-width space javadoc puts into long names) and
// other zero-width characters dropped, runs of white space folded to one blank and
// trimmed. An unknown or unterminated reference stays as written.
std::string HtmlFragmentText(std::string_view fragment);

// Decodes the character reference at text[at] (a '&'): a number, or one of the names
// pages use. Returns the bytes it spans with the character in *c; 0 when it is none
// (no ';', an unknown name, a number past U+10FFFF).
size_t DecodeReference(std::string_view text, size_t at, char32_t* c);

// Appends the UTF-8 form of a code point (invalid ones as U+FFFD).
void AppendUtf8(std::string& out, char32_t c);

// Decodes %XX escapes; a '%' not followed by two hex digits stays.
std::string PercentDecode(std::string_view text);

}  // namespace qb
