// Everything the compiler writes for topics and search, gathered while pages are
// compiled: the topic table (#TOPICS, #URLTBL, #URLSTR), #IDXHDR, the word breaker's
// settings ($OBJINST) and, with full-text search on, $FIftiMain.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hha/core/search/fulltext_index.h"
#include "hha/core/search/page_text.h"
#include "hha/core/system_files.h"
#include "hha/core/topics.h"

namespace hha::search {

class SearchFiles {
 public:
  // `codePage` is the project's ANSI code page (from its Language).
  SearchFiles(uint32_t lcid, uint32_t codePage, bool fullText);

  // One compiled HTML page, by its internal name without the leading "/".
  void AddPage(const std::string& local, std::string_view bytes);
  // A contents or index file a window names: a topic read like a page for its <title>
  // alone (its title and title words); without one it has no title.
  void AddSitemap(const std::string& local, std::string_view bytes);
  // A topic that is no compiled page: a page's fragment, or a file of another kind that
  // the contents name. `title` in the project's code page.
  uint32_t AddOtherTopic(const std::string& url, const std::string& title) {
    return topics_.Add(url, title, true, false);
  }
  void SetInContents(uint32_t topic, uint32_t contentsOffset) { topics_.SetInContents(topic, contentsOffset); }
  void SetTitleIfEmpty(uint32_t topic, const std::string& title) { topics_.SetTitleIfEmpty(topic, title); }

  // The topic number of a compiled file by its internal name, -1 if it has none.
  int64_t TopicOf(const std::string& local) const { return topics_.Find(local); }

  struct Output {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;  // name, bytes
    std::vector<uint8_t> indexHeader;  // also #SYSTEM code 13
    bool fullText = false;             // $FIftiMain is among the files
  };
  // Builds the files; titles and site properties go into `pool`. `contents` is the
  // contents file's text ("" without one).
  // Call once: the index is used up.
  Output Finish(StringPool& pool, const std::string& contents);

  size_t distinctWords() const { return index_ ? index_->distinctWords() : 0; }

  // Builds $FIftiMain ahead of Finish, after the last page and topic title word: it
  // touches nothing the topic calls above touch, so it may run beside them.
  void BuildFullText() {
    if (index_ && !fullTextBuilt_) fullText_ = index_->Build();
    fullTextBuilt_ = true;
  }

 private:
  uint32_t lcid_, codePage_;
  PageAnalyzer analyzer_;
  CharTable table_;
  std::unique_ptr<FullTextIndex> index_;
  std::vector<uint8_t> fullText_;  // from BuildFullText
  bool fullTextBuilt_ = false;
  TopicTable topics_;
  PageText scratch_;
};

}  // namespace hha::search
