#include "hha/core/search/search_files.h"

namespace hha::search {

SearchFiles::SearchFiles(uint32_t lcid, uint32_t codePage, bool fullText)
    : lcid_(lcid), codePage_(codePage), analyzer_(codePage), table_(lcid, codePage) {
  if (fullText) index_ = std::make_unique<FullTextIndex>(lcid, codePage);
}

void SearchFiles::AddPage(const std::string& local, std::string_view bytes) {
  // Topics are numbered in the order they are added, so the number is known before the
  // page's words arrive.
  if (index_) index_->BeginTopic(topics_.size());
  analyzer_.Analyze(bytes, index_.get(), &scratch_);
  topics_.Add(local, scratch_.title, scratch_.hasTitle);
  if (index_) index_->EndTopic();
}

namespace {

// Passes on a sitemap's title words only.
class TitleWords : public WordSink {
 public:
  explicit TitleWords(WordSink* to) : to_(to) {}
  void Word(std::string_view word, bool inTitle) override {
    if (inTitle && to_) to_->Word(word, true);
  }

 private:
  WordSink* to_;
};

}  // namespace

void SearchFiles::AddSitemap(const std::string& local, std::string_view bytes) {
  analyzer_.Analyze(bytes, nullptr, &scratch_);
  const bool titled = scratch_.hasTitle && !scratch_.title.empty();
  if (titled && index_) {  // indexed only when it has title words
    TitleWords words(index_.get());
    index_->BeginTopic(topics_.size());
    analyzer_.Analyze(bytes, &words, &scratch_);
    index_->EndTopic();
  }
  topics_.Add(local, titled ? scratch_.title : "", titled);
}

SearchFiles::Output SearchFiles::Finish(StringPool& pool, const std::string& contents) {
  Output out;
  // In the order Microsoft's compiler writes them.
  out.files.emplace_back("/$OBJINST", table_.BuildObjInst());
  if (index_) {
    BuildFullText();
    out.files.emplace_back("/$FIftiMain", std::move(fullText_));
    out.fullText = true;
  } else {
    out.files.emplace_back("/$FIftiMain", std::vector<uint8_t>());  // as Microsoft's compiler writes it
  }
  TopicTable::Files t = topics_.Build(pool, codePage_);
  out.indexHeader = BuildIndexHeader(ReadSiteProperties(contents), topics_.size(), pool);
  out.files.emplace_back("/#IDXHDR", out.indexHeader);
  out.files.emplace_back("/#TOPICS", std::move(t.topics));
  out.files.emplace_back("/#URLTBL", std::move(t.urlTable));
  out.files.emplace_back("/#URLSTR", std::move(t.urlStrings));
  return out;
}

}  // namespace hha::search
