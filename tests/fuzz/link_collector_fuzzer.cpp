// Collects the links of the input read as HTML, CSS or a sitemap (byte 0 chooses), then
// turns each into a path as the compiler does. Each link must be found where its offset
// says, as written there (only "&amp;" decoded); each local path must come back from its
// own %-encoded form; each resolved path must be clean ("." and ".." folded, no empty
// part) and stay the same when resolved again or after a detour through "x/y/../../".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "hha/core/link_collector.h"
#include "tests/fuzz/fuzz_check.h"

namespace {


std::string DecodeAmp(std::string v) {
  for (size_t p = v.find("&amp;"); p != std::string::npos; p = v.find("&amp;", p + 1))
    v.replace(p, 5, "&");
  return v;
}

// The link as written at `offset`: some prefix of the text there that is the target
// itself or decodes to it.
bool WrittenAt(std::string_view text, const hha::Link& link) {
  const std::string& t = link.target;
  if (link.offset > text.size()) return false;
  const std::string_view rest = text.substr(link.offset);
  for (size_t n = t.size(); n <= rest.size() && n <= 5 * t.size(); ++n) {
    const std::string raw(rest.substr(0, n));
    if (raw == t || DecodeAmp(raw) == t) return true;
  }
  return false;
}

// %-encodes what LocalLinkPath would otherwise read as syntax.
std::string Encoded(const std::string& path) {
  std::string e;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    const bool special = c <= 0x20 || c >= 0x7F || c == '%' || c == '#' || c == '?' ||
                         c == ':' || c == '\\' || (c == '/' && i == 1 && path[0] == '/');
    if (!special) {
      e += static_cast<char>(c);
      continue;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    e += hex;
  }
  return e;
}

bool Clean(const std::string& r) {
  if (r.empty() || r.front() == '/' || r.back() == '/' || r.find('\\') != std::string::npos)
    return false;
  size_t start = 0;
  for (;;) {
    const size_t end = r.find('/', start);
    const std::string part = r.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

size_t CountCI(std::string_view text, const char* needle) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t k = 0;
    while (needle[k] && i + k < text.size() && (text[i + k] | 0x20) == needle[k]) ++k;
    n += needle[k] == 0;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const hha::LinkSource source = static_cast<hha::LinkSource>(data[0] % 3);
  const std::string base = data[0] & 0x80 ? "x/y/" : "";
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<hha::Link> links;
  hha::VisitLinks(text, source, [&](const hha::Link& l) { links.push_back(l); });
  size_t last = 0;
  for (const hha::Link& link : links) {
    Check(!link.target.empty() && link.offset >= last && WrittenAt(text, link));
    last = link.offset;

    std::string path;
    if (!hha::LocalLinkPath(link.target, &path)) continue;
    Check(!path.empty());
    std::string again;
    Check(hha::LocalLinkPath(Encoded(path), &again) && again == path);

    std::string resolved, twice, detour;
    if (!hha::ResolveRelative(base, path, &resolved)) continue;
    Check(Clean(resolved));
    Check(hha::ResolveRelative("", resolved, &twice) && twice == resolved);
    Check(hha::ResolveRelative("x/y/", "../../" + resolved, &detour) && detour == resolved);
  }
  // Each level of a sitemap is a list of its own.
  Check(hha::SitemapDepth(text) <= CountCI(text, "<ul"));
  return 0;
}
