#include "support/html_reader.h"

#include <cstring>
#include "support/ascii.h"

namespace qb {
namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_' || c == ':' || c == '.';
}

// One past the '>' that ends the tag opened at `p` (a quoted '>' does not end it), or
// `end` when it is never closed.
const char* TagEnd(const char* p, const char* end) {
  char quote = 0;
  for (; p < end; ++p) {
    if (quote) {
      if (*p == quote) quote = 0;
    } else if (*p == '"' || *p == '\'') {
      // Only a quote that opens a value counts; a stray one in a broken tag would
      // otherwise swallow the rest of the page.
      if (p[-1] == '=' || IsHtmlSpace(p[-1])) quote = *p;
    } else if (*p == '>') {
      return p + 1;
    }
  }
  return end;
}

struct Named {
  const char* name;
  char32_t code;
};

// The references javadoc writes, and the Latin-1 letters that translated trees use.
const Named kEntities[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"nbsp", 0xA0},     {"copy", 0xA9},     {"reg", 0xAE},
    {"trade", 0x2122},  {"hellip", 0x2026}, {"mdash", 0x2014},  {"ndash", 0x2013},
    {"laquo", 0xAB},    {"raquo", 0xBB},    {"auml", 0xE4},     {"ouml", 0xF6},
    {"uuml", 0xFC},     {"Auml", 0xC4},     {"Ouml", 0xD6},     {"Uuml", 0xDC},
    {"szlig", 0xDF},    {"eacute", 0xE9},   {"egrave", 0xE8},   {"agrave", 0xE0},
    {"ccedil", 0xE7},   {"middot", 0xB7},   {"rarr", 0x2192},   {"larr", 0x2190},
    {"zwsp", 0x200B},
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

size_t DecodeReference(std::string_view text, size_t at, char32_t* c) {
  size_t semi = text.find(';', at);
  if (semi == std::string_view::npos || semi - at > 12 || semi == at + 1) return 0;
  std::string_view body = text.substr(at + 1, semi - at - 1);
  if (body[0] == '#') {
    uint32_t value = 0;
    bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    size_t i = hex ? 2 : 1;
    if (i >= body.size()) return 0;
    for (; i < body.size(); ++i) {
      int d = hex ? HexValue(body[i]) : (body[i] >= '0' && body[i] <= '9' ? body[i] - '0' : -1);
      if (d < 0) return 0;
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      if (value > 0x10FFFF) return 0;
    }
    *c = value;
    return semi - at + 1;
  }
  for (const Named& e : kEntities)
    if (body == e.name) {
      *c = e.code;
      return semi - at + 1;
    }
  return 0;
}

namespace {

bool IsZeroWidth(char32_t c) { return c == 0x200B || c == 0x200C || c == 0x200D || c == 0xFEFF; }

}  // namespace

bool HtmlTag::Is(std::string_view lowerName) const { return EqualsLowerAscii(name, lowerName); }

bool HtmlTag::Attribute(std::string_view lowerName, std::string* value) const {
  const char* p = name.data() + name.size();
  const char* stop = end;
  if (stop > p && stop[-1] == '>') --stop;
  while (p < stop) {
    while (p < stop && (IsHtmlSpace(*p) || *p == '/')) ++p;
    const char* key = p;
    while (p < stop && !IsHtmlSpace(*p) && *p != '=' && *p != '>' && *p != '/') ++p;
    std::string_view attribute(key, static_cast<size_t>(p - key));
    if (attribute.empty()) {
      if (p < stop) ++p;  // a stray character such as a lone '='
      continue;
    }
    while (p < stop && IsHtmlSpace(*p)) ++p;
    const char* valueStart = p;
    const char* valueEnd = p;
    if (p < stop && *p == '=') {
      ++p;
      while (p < stop && IsHtmlSpace(*p)) ++p;
      if (p < stop && (*p == '"' || *p == '\'')) {
        char quote = *p++;
        valueStart = p;
        while (p < stop && *p != quote) ++p;
        valueEnd = p;
        if (p < stop) ++p;
      } else {
        valueStart = p;
        while (p < stop && !IsHtmlSpace(*p)) ++p;
        valueEnd = p;
      }
    }
    if (EqualsLowerAscii(attribute, lowerName)) {
      value->assign(valueStart, valueEnd);
      return true;
    }
  }
  return false;
}

bool HtmlReader::NextTag(HtmlTag* tag) {
  const char* p = cursor_;
  while (p < end_) {
    const void* lt = std::memchr(p, '<', static_cast<size_t>(end_ - p));
    if (!lt) break;
    p = static_cast<const char*>(lt);
    if (end_ - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
      std::string_view rest(p + 4, static_cast<size_t>(end_ - p - 4));
      size_t close = rest.find("-->");
      p = close == std::string_view::npos ? end_ : p + 4 + close + 3;
      continue;
    }
    if (end_ - p >= 2 && (p[1] == '!' || p[1] == '?')) {
      p = TagEnd(p + 1, end_);
      continue;
    }
    const char* n = p + 1;
    bool closing = n < end_ && *n == '/';
    if (closing) ++n;
    const char* nameEnd = n;
    while (nameEnd < end_ && IsNameChar(*nameEnd)) ++nameEnd;
    if (nameEnd == n || !((*n >= 'a' && *n <= 'z') || (*n >= 'A' && *n <= 'Z'))) {
      ++p;
      continue;
    }
    tag->start = p;
    tag->name = std::string_view(n, static_cast<size_t>(nameEnd - n));
    tag->closing = closing;
    tag->end = TagEnd(nameEnd, end_);
    cursor_ = tag->end;
    return true;
  }
  cursor_ = end_;
  return false;
}

bool HtmlReader::NextStartTag(std::string_view lowerName, HtmlTag* tag) {
  while (NextTag(tag))
    if (!tag->closing && tag->Is(lowerName)) return true;
  return false;
}

size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  if (needle.empty() || needle.size() > hay.size()) return std::string_view::npos;
  const char first = AsciiLower(needle[0]);
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (AsciiLower(hay[i]) != first) continue;
    size_t k = 1;
    while (k < needle.size() && AsciiLower(hay[i + k]) == AsciiLower(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string HtmlFragmentText(std::string_view fragment) {
  std::string out;
  out.reserve(fragment.size());
  bool pendingSpace = false;
  auto put = [&](const char* data, size_t n) {
    if (pendingSpace && !out.empty()) out += ' ';
    pendingSpace = false;
    out.append(data, n);
  };
  HtmlReader reader(fragment);
  size_t i = 0;
  while (i < fragment.size()) {
    char c = fragment[i];
    if (c == '<') {
      reader.set_cursor(fragment.data() + i);
      HtmlTag tag;
      if (reader.NextTag(&tag) && tag.start == fragment.data() + i) {
        i = static_cast<size_t>(tag.end - fragment.data());
        continue;
      }
      // Not a tag (or a comment): a comment is skipped whole, a bare '<' is text.
      if (fragment.compare(i, 4, "<!--") == 0) {
        size_t close = fragment.find("-->", i + 4);
        i = close == std::string_view::npos ? fragment.size() : close + 3;
        continue;
      }
    }
    if (IsHtmlSpace(c)) {
      pendingSpace = true;
      ++i;
      continue;
    }
    if (c == '&') {
      char32_t code = 0;
      size_t n = DecodeReference(fragment, i, &code);
      if (n) {
        i += n;
        if (IsZeroWidth(code)) continue;
        if (code == 0xA0 || code == ' ' || code == '\t' || code == '\n' || code == '\r') {
          pendingSpace = true;
          continue;
        }
        std::string encoded;
        AppendUtf8(encoded, code);
        put(encoded.data(), encoded.size());
        continue;
      }
    }
    // U+200B as UTF-8 bytes in the page itself.
    if (fragment.compare(i, 3, "\xE2\x80\x8B") == 0) {
      i += 3;
      continue;
    }
    put(&fragment[i], 1);
    ++i;
  }
  return out;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace qb
