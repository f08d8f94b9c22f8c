// Link finder. It is a forgiving tag reader, not an HTML parser: it must cope with
// whatever a javadoc of any age wrote, and it only needs attribute values.
#include "hha/core/link_collector.h"

#include <algorithm>
#include <array>

#include "support/ascii.h"

namespace hha {
namespace {

bool IStartsAt(std::string_view s, size_t at, const char* prefix) {
  for (; *prefix; ++prefix, ++at)
    if (at >= s.size() || qb::AsciiLower(s[at]) != *prefix) return false;
  return true;
}

size_t IFind(std::string_view s, const char* needle, size_t from) {
  for (size_t i = from; i < s.size(); ++i)
    if (IStartsAt(s, i, needle)) return i;
  return std::string::npos;
}

std::string DecodeAmp(std::string v) {
  for (size_t p = v.find("&amp;"); p != std::string::npos; p = v.find("&amp;", p + 1))
    v.replace(p, 5, "&");
  return v;
}

// CSS in text[begin, end): url(...) and @import "...".
void CollectCss(std::string_view text, size_t begin, size_t end, size_t base,
                const LinkVisitor& out) {
  size_t i = begin;
  while (i < end) {
    if (text.compare(i, 2, "/*") == 0) {
      size_t e = text.find("*/", i + 2);
      i = (e == std::string::npos || e >= end) ? end : e + 2;
      continue;
    }
    bool isUrl = IStartsAt(text, i, "url(");
    bool isImport = !isUrl && IStartsAt(text, i, "@import");
    if (!isUrl && !isImport) {
      ++i;
      continue;
    }
    size_t j = i + (isUrl ? 4 : 7);
    while (j < end && qb::IsHtmlSpace(text[j])) ++j;
    if (isImport && IStartsAt(text, j, "url(")) {  // handled as url( on the next step
      i = j;
      continue;
    }
    char quote = (j < end && (text[j] == '"' || text[j] == '\'')) ? text[j] : 0;
    if (quote) ++j;
    else if (isImport) {
      i = j;
      continue;
    }
    size_t start = j;
    while (j < end && (quote ? text[j] != quote : (text[j] != ')' && !qb::IsHtmlSpace(text[j])))) ++j;
    std::string v(text.substr(start, j - start));
    while (!v.empty() && qb::IsHtmlSpace(v.back())) v.pop_back();
    if (!v.empty()) out({v, base + start});
    i = j;
  }
}

// The tag reader behind VisitLinks and SitemapDepth; `depth` (when given) receives the
// deepest <ul> nesting.
void Walk(std::string_view text, LinkSource source, const LinkVisitor& out, size_t* depth) {
  size_t open = 0;
  if (depth) *depth = 0;
  if (source == LinkSource::kCss) {
    CollectCss(text, 0, text.size(), 0, out);
    return;
  }
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (text[i] != '<') {
      const size_t tag = text.find('<', i);
      i = tag == std::string::npos ? n : tag;
      continue;
    }
    if (text.compare(i, 4, "<!--") == 0) {
      size_t e = text.find("-->", i + 4);
      i = e == std::string::npos ? n : e + 3;
      continue;
    }
    size_t j = i + 1;
    size_t nameStart = j;
    while (j < n && qb::IsTagByte(text[j], qb::kTagAlnum | qb::kTagBang | qb::kTagSlash)) ++j;
    const std::string_view tag = text.substr(nameStart, j - nameStart);
    if (tag.empty()) {
      ++i;
      continue;
    }
    if (depth && qb::EqualsLowerAscii(tag, "ul")) *depth = std::max(*depth, ++open);
    else if (depth && qb::EqualsLowerAscii(tag, "/ul") && open > 0) --open;
    // Attributes up to '>'.
    std::string paramName, paramValue;
    size_t paramValueOffset = 0;
    while (j < n && text[j] != '>') {
      if (qb::IsTagByte(text[j], qb::kTagSpace | qb::kTagSlash)) {
        ++j;
        continue;
      }
      size_t an = j;
      while (j < n && !qb::IsTagByte(text[j], qb::kTagSpace | qb::kTagEquals | qb::kTagClose)) ++j;
      const std::string_view attr = text.substr(an, j - an);
      size_t k = j;
      while (k < n && qb::IsHtmlSpace(text[k])) ++k;
      if (k >= n || text[k] != '=') continue;
      j = k + 1;
      while (j < n && qb::IsHtmlSpace(text[j])) ++j;
      size_t vs, ve;
      if (j < n && (text[j] == '"' || text[j] == '\'')) {
        char q = text[j];
        vs = j + 1;
        ve = text.find(q, vs);
        if (ve == std::string::npos) ve = n;
        j = std::min(n, ve + 1);
      } else {
        vs = j;
        while (j < n && !qb::IsTagByte(text[j], qb::kTagSpace | qb::kTagClose)) ++j;
        ve = j;
      }
      // Only the values that are used are copied: most attributes are not links.
      auto value = [&] { return DecodeAmp(std::string(text.substr(vs, ve - vs))); };
      if (source == LinkSource::kSitemap) {
        if (qb::EqualsLowerAscii(attr, "name")) paramName = value();
        else if (qb::EqualsLowerAscii(attr, "value")) paramValue = value(), paramValueOffset = vs;
      } else if (qb::EqualsLowerAscii(attr, "href") || qb::EqualsLowerAscii(attr, "src") || qb::EqualsLowerAscii(attr, "background")) {
        if (ve > vs) out({value(), vs});
      } else if (qb::EqualsLowerAscii(attr, "style")) {
        CollectCss(text, vs, ve, 0, out);
      }
    }
    size_t tagEnd = j < n ? j + 1 : n;
    if (source == LinkSource::kSitemap && qb::EqualsLowerAscii(tag, "param") && qb::EqualsLowerAscii(paramName, "local") &&
        !paramValue.empty())
      out({paramValue, paramValueOffset});
    if (source == LinkSource::kHtml && (qb::EqualsLowerAscii(tag, "script") || qb::EqualsLowerAscii(tag, "style"))) {
      const bool style = qb::EqualsLowerAscii(tag, "style");
      size_t close = IFind(text, style ? "</style" : "</script", tagEnd);
      if (close == std::string::npos) close = n;
      if (style) CollectCss(text, tagEnd, close, 0, out);
      tagEnd = close;
    }
    i = tagEnd;
  }
}

}  // namespace

void VisitLinks(std::string_view text, LinkSource source, const LinkVisitor& visit) {
  Walk(text, source, visit, nullptr);
}

size_t SitemapDepth(std::string_view text) {
  size_t depth = 0;
  Walk(text, LinkSource::kSitemap, [](const Link&) {}, &depth);
  return depth;
}

bool LocalLinkPath(const std::string& link, std::string* path) {
  std::string_view s = link;
  while (!s.empty() && qb::IsHtmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && qb::IsHtmlSpace(s.back())) s.remove_suffix(1);
  if (s.compare(0, 2, "//") == 0 || s.compare(0, 2, "\\\\") == 0) return false;
  // A scheme is two or more characters before ':' (one letter is a drive).
  size_t colon = s.find(':');
  if (colon != std::string::npos && colon >= 2) {
    bool scheme = qb::IsAsciiAlpha(s[0]);
    for (size_t i = 1; i < colon && scheme; ++i)
      scheme = qb::IsAsciiAlnum(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.';
    if (scheme) return false;
  }
  // Nearly every link has nothing to decode: it is copied whole. One lookup per byte
  // tells both where the path ends and whether it needs decoding.
  enum : uint8_t { kEnds = 1, kDecoded = 2 };
  static constexpr std::array<uint8_t, 256> kPathBytes = [] {
    std::array<uint8_t, 256> t{};
    t['#'] = t['?'] = kEnds;
    t['%'] = t['\\'] = kDecoded;
    return t;
  }();
  size_t end = 0;
  uint8_t seen = 0;
  for (uint8_t k; end < s.size() && !((k = kPathBytes[static_cast<uint8_t>(s[end])]) & kEnds); ++end) seen |= k;
  const bool plain = !(seen & kDecoded);
  s = s.substr(0, end);
  if (s.empty()) return false;
  std::string& decoded = *path;  // written in place: callers reuse its capacity
  if (plain) {
    decoded.assign(s.data(), s.size());
    return true;
  }
  auto hex = [](char c) { return qb::IsAsciiDigit(c) ? c - '0' : qb::AsciiLower(c) - 'a' + 10; };
  decoded.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && qb::IsAsciiHexDigit(s[i + 1]) && qb::IsAsciiHexDigit(s[i + 2])) {
      decoded += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      decoded += s[i] == '\\' ? '/' : s[i];
    }
  }
  return true;
}

bool ResolveRelative(const std::string& baseFolder, const std::string& path,
                     std::string* resolved) {
  // The parts are folded into `r` as they come: "." and empty parts dropped, ".." taking
  // back the last part. The base's parts and the path's are read in place, without
  // joining them first: this runs for every link of every page.
  std::string& r = *resolved;  // written in place: callers reuse its capacity
  r.clear();
  auto fold = [&r](std::string_view s, bool backslashes) {
    size_t start = 0;
    while (start <= s.size()) {
      size_t e = start;
      while (e < s.size() && s[e] != '/' && !(backslashes && s[e] == '\\')) ++e;
      const std::string_view part = s.substr(start, e - start);
      start = e + 1;
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (r.empty()) return false;
        const size_t cut = r.find_last_of('/');
        r.resize(cut == std::string::npos ? 0 : cut);
        continue;
      }
      if (!r.empty()) r += '/';
      r.append(part.data(), part.size());
    }
    return true;
  };
  const bool rooted = !path.empty() && (path[0] == '/' || path[0] == '\\');
  if (rooted) return fold(std::string_view(path).substr(1), true) && !r.empty();
  if (!baseFolder.empty() && baseFolder.back() != '/') {
    // A base without its final "/" runs into the path's first part.
    std::string full = baseFolder;
    for (char c : path) full += c == '\\' ? '/' : c;
    return fold(full, false) && !r.empty();
  }
  return fold(baseFolder, false) && fold(path, true) && !r.empty();
}

}  // namespace hha
