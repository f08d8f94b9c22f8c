// A forgiving reader of sitemap files: tags are found by '<' and '>' (quotes respected),
// so the HTML around the objects may be as loose as help authors write it.
#include "hha/core/sitemap_reader.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "support/ascii.h"

namespace hha {

// HTML's names of the Latin-1 characters 0xA0..0xFF, in byte order.
namespace {

constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

}  // namespace

char Latin1ByteOfName(const std::string& name) {
  if (name == "Dstrok") return static_cast<char>(0xD0);
  for (int k = 0; k < 96; ++k)
    if (name == kLatin1Names[k]) return static_cast<char>(0xA0 + k);
  return 0;
}

namespace {

// Where the lower-case `lower` first occurs in `s`, letters folded, from `from` on.
size_t FindFolded(std::string_view s, std::string_view lower, size_t from) {
  for (size_t at = from; at + lower.size() <= s.size(); ++at)
    if (qb::AsciiLower(s[at]) == lower[0] && qb::EqualsLowerAscii(s.substr(at, lower.size()), lower))
      return at;
  return std::string_view::npos;
}

// The value of attribute `name` (lower-case) in a tag's text ("" when absent). Searched
// in place: the Java SE index has 150,000 tags, and a folded copy of each per attribute
// was a third of the reading.
std::string Attribute(std::string_view tag, std::string_view name) {
  for (size_t at = FindFolded(tag, name, 0); at != std::string_view::npos; at = FindFolded(tag, name, at + 1)) {
    if (at > 0 && (std::isalnum(static_cast<unsigned char>(tag[at - 1])) || tag[at - 1] == '-')) continue;
    size_t i = at + name.size();
    while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      const size_t end = tag.find(tag[i], i + 1);
      return std::string(tag.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1));
    }
    size_t end = i;
    while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '>') ++end;
    return std::string(tag.substr(i, end - i));
  }
  return "";
}

std::string DecodeReferences(std::string s) {
  if (s.find('&') == std::string::npos) return s;
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    const size_t semi = s.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    const std::string name = s.substr(i + 1, semi - i - 1);
    char c = 0;
    if (name == "amp") c = '&';
    else if (name == "lt") c = '<';
    else if (name == "gt") c = '>';
    else if (name == "quot") c = '"';
    else if (name == "apos") c = '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      char* end = nullptr;
      const long v = std::strtol(name.c_str() + (hex ? 2 : 1), &end, hex ? 16 : 10);
      if (end && *end == 0 && v > 0 && v < 0x80) c = static_cast<char>(v);
    } else {
      c = Latin1ByteOfName(name);
    }
    if (!c) {
      out += s[i];
      continue;
    }
    out += c;
    i = semi;
  }
  return out;
}

}  // namespace

std::vector<SitemapEntry> ReadSitemap(const std::string& text) {
  std::vector<SitemapEntry> entries;
  int depth = 0;
  bool inObject = false;
  for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at)) {
    size_t end = at + 1;
    char quote = 0;
    for (; end < text.size(); ++end) {
      if (quote) {
        if (text[end] == quote) quote = 0;
      } else if (text[end] == '"' || text[end] == '\'') {
        // Quotes only open inside an attribute value, right after '='.
        size_t back = end;
        while (back > at && std::isspace(static_cast<unsigned char>(text[back - 1]))) --back;
        if (text[back - 1] == '=') quote = text[end];
      } else if (text[end] == '>') {
        break;
      }
    }
    const std::string_view tag = std::string_view(text).substr(at, end - at);
    at = end;
    size_t n = 1;
    const bool closing = n < tag.size() && tag[n] == '/';
    if (closing) ++n;
    const size_t nameStart = n;
    while (n < tag.size() && std::isalpha(static_cast<unsigned char>(tag[n]))) ++n;
    const std::string_view name = tag.substr(nameStart, n - nameStart);
    if (qb::EqualsLowerAscii(name, "ul")) {
      depth += closing ? -1 : 1;
      if (depth < 0) depth = 0;
    } else if (qb::EqualsLowerAscii(name, "object")) {
      if (closing) {
        inObject = false;
      } else if (qb::AsciiLowerCopy(Attribute(tag, "type")) == "text/sitemap") {
        inObject = true;
        entries.emplace_back();
        entries.back().depth = depth > 0 ? depth - 1 : 0;
      }
    } else if (qb::EqualsLowerAscii(name, "param") && inObject) {
      const std::string key = qb::AsciiLowerCopy(Attribute(tag, "name"));
      std::string value = DecodeReferences(Attribute(tag, "value"));
      SitemapEntry& e = entries.back();
      if (key == "name") e.names.push_back(std::move(value));
      else if (key == "local") e.locals.push_back(std::move(value));
      else if (key == "see also") e.seeAlso = std::move(value);
    }
  }
  return entries;
}

}  // namespace hha

namespace hha {

std::vector<uint32_t> ContentsOffsets(const std::vector<SitemapEntry>& entries) {
  constexpr uint32_t kFirst = 0x1000, kBlock = 4096, kLeaf = 20, kParent = 28;
  const size_t n = entries.size();
  // children[n] is the top level; an entry's parent is the nearest one above it that is
  // less deep.
  std::vector<std::vector<size_t>> children(n + 1);
  std::vector<size_t> open;  // the chain of possible parents
  for (size_t i = 0; i < n; ++i) {
    while (!open.empty() && entries[open.back()].depth >= entries[i].depth) open.pop_back();
    children[open.empty() ? n : open.back()].push_back(i);
    open.push_back(i);
  }
  std::vector<uint32_t> offsets(n, 0);
  std::vector<size_t> queue{n};
  uint32_t at = kFirst;
  for (size_t q = 0; q < queue.size(); ++q) {
    for (size_t i : children[queue[q]]) {
      const uint32_t size = children[i].empty() ? kLeaf : kParent;
      if (at % kBlock + size > kBlock) at = (at / kBlock + 1) * kBlock;
      offsets[i] = at;
      at += size;
    }
    for (size_t i : children[queue[q]])
      if (!children[i].empty()) queue.push_back(i);
  }
  return offsets;
}

}  // namespace hha
