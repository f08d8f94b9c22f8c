// Finds the local links of a page so that the compiler can pull in every file a compiled
// page needs: href/src attributes of HTML tags, CSS url(...) and @import, and the Local
// values of sitemaps (.hhc/.hhk).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hha {

struct Link {
  std::string target;  // the attribute value as written (only &amp; decoded)
  size_t offset = 0;   // byte offset in the text, for line numbers in warnings
};

enum class LinkSource { kHtml, kCss, kSitemap };

using LinkVisitor = std::function<void(const Link&)>;

// Hands every link candidate of the text to `visit`, in text order. Script bodies are
// skipped (their strings are not links); <style> bodies and style="" attributes are
// read as CSS.
void VisitLinks(std::string_view text, LinkSource source, const LinkVisitor& visit);

// How deep the lists (<ul>) of a sitemap nest: the depth of its deepest entry, counting
// the outermost list as 1. Tags are read as VisitLinks reads them.
size_t SitemapDepth(std::string_view text);

// Turns a link into a path relative to the linking file's folder: drops "#..." and
// "?...", decodes %XX. False for links that leave the help file (a scheme such as
// http:, mailto:, javascript:, ms-its:, or "//host"), for bare fragments and for empty
// links (`path` is then unchanged). A result starting with "/" is relative to the help
// file's root.
bool LocalLinkPath(const std::string& link, std::string* path);

// Joins `base` (a folder relative to the root, "" or ending in "/") and a link path
// with "/" separators, folding "." and "..". False when the result leaves the root or is
// empty (`resolved` then holds nothing useful). `resolved` must not be `base` or `path`.
bool ResolveRelative(const std::string& baseFolder, const std::string& path,
                     std::string* resolved);

}  // namespace hha
