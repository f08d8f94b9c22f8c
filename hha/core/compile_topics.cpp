// Topics that are no compiled page, and the topic numbers the keywords lead to. Pages
// are numbered by the indexer in the order the walk found them; the contents and index
// files then add every Local that is no compiled page (a page's fragment, a text file),
// and the keywords look their Locals up. Runs on the indexer thread, after the last
// page's topic; it uses the file lookups, which the driver's thread leaves alone until
// the indexer is drained.
#include <string>

#include "hha/core/compilation.h"
#include "hha/core/link_collector.h"
#include "support/ascii.h"

namespace hha::compile {

bool Compilation::SitemapTopicUrl(const std::string& local, std::string* url) {
  std::string path, resolved, actual;
  if (!LocalLinkPath(local, &path) || !ResolveRelative("", path, &resolved)) return false;
  auto [known, added] = sitemapFiles_.emplace(resolved, false);
  if (added) known->second = resolver_.Find(resolved, &actual) && included_.count(qb::AsciiLowerCopy(actual));
  if (!known->second) return false;
  const size_t hash = local.find('#');
  *url = platform::AnsiToUtf8(resolved + (hash == std::string::npos ? "" : local.substr(hash)), codePage_);
  return true;
}

std::string Compilation::MissingTopicUrl(const std::string& local) const {
  return platform::AnsiToUtf8(Slashes(local), codePage_);
}

int64_t Compilation::TopicOfLocal(const std::string& local) {
  std::string url;
  if (SitemapTopicUrl(local, &url)) return search_->TopicOf(url);
  return local.empty() ? -1 : search_->TopicOf(MissingTopicUrl(local));
}

void Compilation::AddSitemapTopics(const std::vector<SitemapEntry>& entries,
                                   const std::vector<uint32_t>& contentsOffsets) {
  for (size_t i = 0; i < entries.size(); ++i) {
    for (const std::string& local : entries[i].locals) {
      std::string url;
      if (!SitemapTopicUrl(local, &url)) continue;
      const std::string name = entries[i].names.empty() ? "" : entries[i].names[0];
      int64_t topic = search_->TopicOf(url);
      if (topic < 0) topic = search_->AddOtherTopic(url, name);
      if (i < contentsOffsets.size()) {
        search_->SetInContents(static_cast<uint32_t>(topic), contentsOffsets[i]);
        search_->SetTitleIfEmpty(static_cast<uint32_t>(topic), name);
      }
    }
  }
}

void Compilation::AddMissingIndexTopics(const std::vector<SitemapEntry>& entries) {
  for (const SitemapEntry& e : entries) {
    for (const std::string& local : e.locals) {
      std::string url;
      if (local.empty() || SitemapTopicUrl(local, &url)) continue;
      url = MissingTopicUrl(local);
      if (search_->TopicOf(url) < 0) search_->AddOtherTopic(url, e.names.empty() ? "" : e.names[0]);
    }
  }
}

}  // namespace hha::compile
