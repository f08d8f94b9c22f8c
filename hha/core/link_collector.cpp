// Link finder. It is a forgiving tag reader, not an HTML parser: it must cope with
// whatever a javadoc of any age wrote, and it only needs attribute values.
#include "hha/core/link_collector.h"

#include <algorithm>
#include <cctype>

#include "support/ascii.h"

namespace hha {
namespace {

bool IEquals(const std::string& a, const char* b) {
  size_t n = a.size();
  for (size_t i = 0; i < n; ++i, ++b)
    if (!*b || std::tolower(static_cast<unsigned char>(a[i])) != *b) return false;
  return *b == 0;
}

bool IStartsAt(std::string_view s, size_t at, const char* prefix) {
  for (; *prefix; ++prefix, ++at)
    if (at >= s.size() || std::tolower(static_cast<unsigned char>(s[at])) != *prefix)
      return false;
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
      ++i;
      continue;
    }
    if (text.compare(i, 4, "<!--") == 0) {
      size_t e = text.find("-->", i + 4);
      i = e == std::string::npos ? n : e + 3;
      continue;
    }
    size_t j = i + 1;
    size_t nameStart = j;
    while (j < n && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '!' ||
                     text[j] == '/'))
      ++j;
    std::string tag(text.substr(nameStart, j - nameStart));
    if (tag.empty()) {
      ++i;
      continue;
    }
    if (depth && IEquals(tag, "ul")) *depth = std::max(*depth, ++open);
    else if (depth && IEquals(tag, "/ul") && open > 0) --open;
    // Attributes up to '>'.
    std::string paramName, paramValue;
    size_t paramValueOffset = 0;
    while (j < n && text[j] != '>') {
      if (qb::IsHtmlSpace(text[j]) || text[j] == '/') {
        ++j;
        continue;
      }
      size_t an = j;
      while (j < n && !qb::IsHtmlSpace(text[j]) && text[j] != '=' && text[j] != '>') ++j;
      std::string attr(text.substr(an, j - an));
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
        while (j < n && !qb::IsHtmlSpace(text[j]) && text[j] != '>') ++j;
        ve = j;
      }
      std::string value = DecodeAmp(std::string(text.substr(vs, ve - vs)));
      if (source == LinkSource::kSitemap) {
        if (IEquals(attr, "name")) paramName = value;
        else if (IEquals(attr, "value")) paramValue = value, paramValueOffset = vs;
      } else if (IEquals(attr, "href") || IEquals(attr, "src") || IEquals(attr, "background")) {
        if (!value.empty()) out({value, vs});
      } else if (IEquals(attr, "style")) {
        CollectCss(text, vs, ve, 0, out);
      }
    }
    size_t tagEnd = j < n ? j + 1 : n;
    if (source == LinkSource::kSitemap && IEquals(tag, "param") && IEquals(paramName, "local") &&
        !paramValue.empty())
      out({paramValue, paramValueOffset});
    if (source == LinkSource::kHtml && (IEquals(tag, "script") || IEquals(tag, "style"))) {
      const bool style = IEquals(tag, "style");
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
  std::string s = link;
  size_t b = 0;
  while (b < s.size() && qb::IsHtmlSpace(s[b])) ++b;
  s.erase(0, b);
  while (!s.empty() && qb::IsHtmlSpace(s.back())) s.pop_back();
  if (s.compare(0, 2, "//") == 0 || s.compare(0, 2, "\\\\") == 0) return false;
  // A scheme is two or more characters before ':' (one letter is a drive).
  size_t colon = s.find(':');
  if (colon != std::string::npos && colon >= 2) {
    bool scheme = std::isalpha(static_cast<unsigned char>(s[0])) != 0;
    for (size_t i = 1; i < colon && scheme; ++i)
      scheme = std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' ||
               s[i] == '.';
    if (scheme) return false;
  }
  s = s.substr(0, s.find_first_of("#?"));
  if (s.empty()) return false;
  std::string decoded;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      decoded += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += s[i] == '\\' ? '/' : s[i];
    }
  }
  *path = decoded;
  return true;
}

bool ResolveRelative(const std::string& baseFolder, const std::string& path,
                     std::string* resolved) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  std::string full = (!p.empty() && p[0] == '/') ? p.substr(1) : baseFolder + p;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t e = full.find('/', start);
    if (e == std::string::npos) e = full.size();
    std::string part = full.substr(start, e - start);
    start = e + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (parts.empty()) return false;
  std::string r;
  for (const std::string& part : parts) r += (r.empty() ? "" : "/") + part;
  *resolved = r;
  return true;
}

}  // namespace hha
