#include "support/html_scanner.h"

#include <cstring>

namespace qb {
namespace {

// Copies at most `limit` bytes of `s` and terminates; `out` holds limit + 1 bytes.
size_t CopyCut(char* out, const char* s, size_t limit) {
  size_t n = 0;
  while (n < limit && s[n]) {
    out[n] = s[n];
    ++n;
  }
  out[n] = '\0';
  return n;
}

// First occurrence of `pattern` (not empty) that begins at or before `lastStart`, or
// nullptr. A match may run past `lastStart`; comparing stops at the text's NUL, which
// matches no pattern byte.
const char* FindStartingBy(const char* from, const char* lastStart, const char* pattern) {
  for (const char* p = from; p <= lastStart && *p; ++p) {
    size_t k = 0;
    while (pattern[k] && p[k] == pattern[k]) ++k;
    if (!pattern[k]) return p;
  }
  return nullptr;
}

}  // namespace

bool HtmlScanner::FindElement(const char* name, bool openingTagOnly) {
  char open[1 + kMaxTagName + 2];
  open[0] = '<';
  size_t n = CopyCut(open + 1, name, kMaxTagName);
  open[1 + n] = ' ';
  open[2 + n] = '\0';

  const char* start = std::strstr(cursor, open);
  if (!start) {
    elementStart = nullptr;
    return false;
  }
  elementStart = start;

  const char* end;
  if (openingTagOnly) {
    end = std::strchr(start, '>');
  } else {
    char close[2 + kMaxTagName + 2];
    close[0] = '<';
    close[1] = '/';
    std::memcpy(close + 2, open + 1, n);
    close[2 + n] = '>';
    close[3 + n] = '\0';
    end = std::strstr(start, close);
  }
  if (!end) {
    elementEnd = nullptr;
    return false;
  }
  elementEnd = end;
  cursor = end;
  return true;
}

std::string HtmlScanner::AttributeValue(const char* name) const {
  if (!elementStart || !elementEnd) return std::string();
  char key[kMaxAttributeName + 3];
  size_t n = CopyCut(key, name, kMaxAttributeName);
  key[n] = '=';
  key[n + 1] = '"';
  key[n + 2] = '\0';

  const char* at = FindStartingBy(elementStart, elementEnd, key);
  if (!at) return std::string();
  const char* value = at + n + 2;
  // Everything up to elementEnd is text (it was found by a search from elementStart), so
  // this stays inside the image; a value that starts past elementEnd has no closing quote
  // inside the element.
  if (value > elementEnd) return std::string();
  const void* quote = std::memchr(value, '"', static_cast<size_t>(elementEnd - value) + 1);
  if (!quote) return std::string();
  return std::string(value, static_cast<const char*>(quote));
}

std::string HtmlScanner::ElementText() const {
  if (!elementStart || !elementEnd) return std::string();
  const void* gt =
      std::memchr(elementStart, '>', static_cast<size_t>(elementEnd - elementStart) + 1);
  if (!gt) return std::string();
  const char* from = static_cast<const char*>(gt) + 1;
  if (from >= elementEnd) return std::string();
  return std::string(from, elementEnd);
}

bool HtmlScanner::NextLink() {
  if (!FindElement("A", false)) return false;
  href = AttributeValue("HREF");
  text = ElementText();
  return true;
}

bool HtmlScanner::NextDefinitionTerm() {
  const char* term = std::strstr(cursor, "<DT>");
  if (!term) return false;
  cursor = term;
  return true;
}

}  // namespace qb
