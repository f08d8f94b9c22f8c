// The project walk. Which files go in follows Microsoft's compiler: the contents and
// index files, [FILES], the default topic and every window's files, then, transitively,
// the Local values of the sitemaps and the local links of every HTML and CSS file,
// inside the project folder. Files are taken in the order Microsoft's compiler numbers
// their topics (three tiers: named by the project, by a sitemap, by a page), and each
// file's links are queued as its text is scanned, so the walk hands the page stage one
// file at a time and holds only names, never pages.
//
// Unlike Microsoft's compiler, every missing file is reported once (with the first file
// and line that names it) and the build goes on, and a file whose real path (symbolic
// links and junctions resolved) lies outside the project folder is left out like a ".."
// path.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "hha/core/compilation.h"
#include "hha/core/link_collector.h"
#include "support/ascii.h"

namespace hha::compile {
namespace {

std::string Extension(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return qb::AsciiLowerCopy(name.substr(dot));
}

}  // namespace

void Compilation::Enqueue(const std::string& link, const std::string& baseFolder,
                          const std::string& origin, int line, Kind kind, bool isLink, Tier tier,
                          uint32_t depth) {
  std::string& path = linkPath_;
  std::string& resolved = resolvedPath_;
  if (!isLink) path = Slashes(link);
  else if (!LocalLinkPath(link, &path)) return;
  if (!ResolveRelative(baseFolder, path, &resolved)) {
    // Links that leave the project folder stay links (javadoc points to sibling docs);
    // a project entry that does is a mistake worth telling.
    if (!isLink) Warn(origin, line, "\"" + link + "\" is outside the project folder; left out");
    return;
  }
  // Only the first mention of a file matters (it is included, or reported missing, once),
  // and Javadoc pages repeat the same hundred links: queuing every mention held tens of
  // megabytes of pending links on a large tree.
  folded_.assign(resolved);
  for (char& c : folded_) c = qb::AsciiLower(c);
  uint8_t& tiers = queued_[folded_];
  const bool reachedBefore = (tiers & ~TierBit(tier)) != 0;
  if (tiers & TierBit(tier)) return;
  tiers |= TierBit(tier);
  if (kind == Kind::kPlain) {
    const std::string ext = Extension(resolved);
    if (ext == ".htm" || ext == ".html" || ext == ".xhtml" || ext == ".shtml") kind = Kind::kHtml;
    else if (ext == ".css") kind = Kind::kCss;
  }
  if (!reachedBefore && ++reachedNames_ > limits_.files)
    return Refuse(origin, line, "the project reaches more than " + WithThousands(limits_.files) +
                                    " files, more than a help file's directory may hold");
  if (depth > limits_.linkDepth)
    return Refuse(origin, line, "\"" + link + "\" is reached through more than " +
                                    WithThousands(limits_.linkDepth) +
                                    " links in a row from the project's files");
  queue_[tier].push_back({resolved, origin, line, kind, depth});
}

bool Compilation::InsideProject(const std::string& nativePath) {
  std::string real;
  return !realRoot_.empty() && platform::RealPath(nativePath, &real) &&
         platform::IsInside(real, realRoot_);
}

bool Compilation::FollowLinks(const Pending& p, const std::string& actual, std::string_view text) {
  if (p.kind == Kind::kSitemap) {
    const size_t depth = SitemapDepth(text);
    if (depth > limits_.sitemapDepth) {
      Message("Error: " + actual + ": its lists nest " + WithThousands(depth) +
              " levels deep, more than the " + WithThousands(limits_.sitemapDepth) +
              " a help file's readers are given; the project is refused.");
      return false;
    }
  }
  const LinkSource source = p.kind == Kind::kHtml  ? LinkSource::kHtml
                            : p.kind == Kind::kCss ? LinkSource::kCss
                                                   : LinkSource::kSitemap;
  // Sitemap Locals are relative to the help file's root, page links to the page.
  const std::string base = p.kind == Kind::kSitemap ? "" : platform::DirName("/" + actual).substr(1);
  // Links come in text order, so line numbers are counted once over the text.
  size_t counted = 0;
  int line = 1;
  // A large page has a hundred thousand links, nearly all seen before: each is queued
  // (or dropped) as it is found rather than listed first.
  VisitLinks(text, source, [&](const Link& link) {
    const size_t upTo = std::max(counted, std::min(link.offset, text.size()));
    const char* end = text.data() + upTo;
    for (const char* at = text.data() + counted;
         (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at)
      ++line;
    counted = upTo;
    Enqueue(link.target, base, actual, line, Kind::kPlain, true,
            p.kind == Kind::kSitemap ? kNamedBySitemap : kLinked, p.depth + 1);
  });
  return true;
}

bool Compilation::IncludeAll() {
  const std::string& hhp = projectName_;
  auto seed = [&](const std::string& path, int line, Kind kind, bool mayHaveFragment) {
    if (!path.empty()) Enqueue(path, "", hhp, line, kind, mayHaveFragment, kNamedByProject, 0);
  };
  // [FILES] first, then the sitemaps: topics are numbered in this order, as Microsoft's
  // compiler numbers them.
  std::set<std::string> listed;
  for (const ProjectFile& f : project_.files) {
    std::string resolved;
    if (ResolveRelative("", Slashes(f.path), &resolved) && !listed.insert(qb::AsciiLowerCopy(resolved)).second) {
      Warn(hhp, f.line, "\"" + f.path + "\" is listed twice");
      continue;
    }
    seed(f.path, f.line, Kind::kPlain, false);
  }
  seed(project_.contentsFile, project_.contentsFileLine, Kind::kSitemap, false);
  seed(project_.indexFile, project_.indexFileLine, Kind::kSitemap, false);
  seed(project_.defaultTopic, project_.defaultTopicLine, Kind::kPlain, true);
  for (const WindowDef& w : project_.windows) {
    for (int f : {kWinToc, kWinIndex}) {
      std::string resolved;
      if (ResolveRelative("", Slashes(w.fields[f]), &resolved)) windowSitemaps_.insert(qb::AsciiLowerCopy(resolved));
    }
  }
  for (const WindowDef& w : project_.windows) {
    seed(w.fields[kWinToc], w.line, Kind::kSitemap, false);
    seed(w.fields[kWinIndex], w.line, Kind::kSitemap, false);
    for (int f : {kWinDefaultFile, kWinHome, kWinJump1Url, kWinJump2Url})
      seed(w.fields[f], w.line, Kind::kPlain, true);
  }
  for (;;) {
    if (!refusal_.empty()) {
      Message("Error: " + refusal_);
      return false;
    }
    int tier = 0;
    while (tier < kTiers && queue_[tier].empty()) ++tier;
    if (tier == kTiers) return true;
    Pending p = std::move(queue_[tier].front());
    queue_[tier].pop_front();
    if (!Include(p)) return false;
  }
}

}  // namespace hha::compile
