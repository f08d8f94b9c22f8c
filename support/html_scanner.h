// Forward scanning of one page's text for the exact byte patterns in which Javadoc writes
// its frame and index pages. Not an HTML parser: no nesting, comments, entities or case
// folding. Portable; no system calls.
#pragma once

#include <string>

namespace qb {

// Works in place on a NUL-terminated text (a MappedFileView image) that the caller keeps
// alive and unchanged while the scanner is used. No search ever looks past the first NUL.
// Positions are pointers into that text; "none" is nullptr.
struct HtmlScanner {
  // Longest tag name that FindElement uses whole ("</" + name + ">" fits 21 bytes); a
  // longer one is cut to this length.
  static constexpr size_t kMaxTagName = 17;
  // Longest attribute name that AttributeValue uses whole; a longer one is cut.
  static constexpr size_t kMaxAttributeName = 15;

  const char* cursor;                  // where the next element or term search begins
  const char* elementStart = nullptr;  // the "<" of the last element found
  const char* elementEnd = nullptr;    // first byte of that element's end marker
  std::string href;                    // of the last link that NextLink found
  std::string text;                    // content of that link, markup included

  // `page` must not be null.
  explicit HtmlScanner(const char* page) : cursor(page) {}

  // Finds "<" + name + " " from the cursor, then its end marker: ">" when
  // `openingTagOnly`, otherwise "</" + name + ">". True when both were found; the cursor
  // then rests on the end marker. A miss leaves the cursor where it was.
  bool FindElement(const char* name, bool openingTagOnly);

  // The bytes between `name="` and the next double quote, both within the last element
  // found; empty when either is missing (or no element was found).
  std::string AttributeValue(const char* name) const;

  // The bytes between the end of the start tag and the end marker; empty when there are
  // none (always so after a search with `openingTagOnly`).
  std::string ElementText() const;

  // The next "A" element: sets `href` and `text` and returns true. A miss returns false
  // and keeps the previous link's values.
  bool NextLink();

  // Moves the cursor onto the next "<DT>" (not past it, so a second call without another
  // search between finds the same term). False when there is none.
  bool NextDefinitionTerm();
};

}  // namespace qb
