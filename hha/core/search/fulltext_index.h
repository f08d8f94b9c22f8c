// /$FIftiMain, the full-text search index: a B-tree of words whose leaves point to bit
// packed lists of the topics (and word positions) that contain each word.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace hha::search {

class FullTextIndex {
 public:
  FullTextIndex(uint32_t lcid, uint32_t codePage) : lcid_(lcid), codePage_(codePage) {}

  // Adds the words of one topic (the #TOPICS record number), in text order, as
  // PageAnalyzer gives them: case folded, in the project's code page, at most
  // kMaxWordBytes long. Topics must be added in increasing order; a topic added out of
  // order is ignored (the topic lists are stored as differences).
  void AddTopic(uint32_t topic, const std::vector<std::string>& words);

  // The whole file. `topicCount` is the number of #TOPICS records.
  std::vector<uint8_t> Build(uint32_t topicCount) const;

  size_t distinctWords() const { return words_.size(); }
  bool empty() const { return words_.empty(); }

 private:
  struct Hits {
    std::vector<uint8_t> wlc;  // the packed topic list, whole bytes per topic
    uint32_t topics = 0;
    uint32_t lastTopic = 0;
  };
  uint32_t lcid_, codePage_;
  std::unordered_map<std::string, Hits> words_;
  bool anyTopic_ = false;
  uint32_t lastTopic_ = 0;
  uint64_t totalWords_ = 0, totalWordBytes_ = 0;
};

}  // namespace hha::search
