// /$FIftiMain, the full-text search index: a B-tree of words whose leaves point to bit
// packed lists of the topics (and word positions) that contain each word.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "hha/core/search/page_text.h"

namespace hha::search {

class FullTextIndex : public WordSink {
 public:
  FullTextIndex(uint32_t lcid, uint32_t codePage) : lcid_(lcid), codePage_(codePage) {}

  // The words of one topic (the #TOPICS record number) come between BeginTopic and
  // EndTopic, as PageAnalyzer gives them: case folded, in the project's code page, at
  // most kMaxWordBytes long. The title's words are numbered before the others. Topics
  // must come in increasing order; one out of order is ignored (the topic lists are
  // stored as differences).
  void BeginTopic(uint32_t topic);
  void Word(const std::string& word, bool inTitle) override;
  void EndTopic();

  // The whole file. Uses up the topic lists: call once.
  std::vector<uint8_t> Build();

  size_t distinctWords() const { return words_.size(); }
  bool empty() const { return words_.empty(); }

 private:
  struct Hits {
    std::vector<uint8_t> wlc;  // the packed topic list, whole bytes per topic
    uint32_t topics = 0;
    uint32_t lastTopic = 0;
  };
  struct Positions {
    std::vector<uint32_t> title, body;  // word numbers, each part counted from 0
  };
  // How many values of each bit length each value stream holds: enough to tell, at the
  // end, what the stream would take with each root 1..kRoots.
  static constexpr int kRoots = 12;
  using BitLengths = std::array<uint64_t, 65>;
  static void Count(BitLengths& lengths, uint64_t v) { ++lengths[v == 0 ? 1 : 64 - __builtin_clzll(v)]; }
  static int CheapestRoot(const BitLengths& lengths);
  BitLengths docLengths_{}, countLengths_{}, locationLengths_{};
  uint32_t lcid_, codePage_;
  std::unordered_map<std::string, Hits> words_;
  std::unordered_map<std::string, Positions> topicWords_;  // of the topic being added
  bool inTopic_ = false;
  uint32_t topic_ = 0, titleCount_ = 0, bodyCount_ = 0;
  bool anyTopic_ = false;
  uint32_t lastTopic_ = 0, pages_ = 0;
  uint64_t totalWords_ = 0, totalWordBytes_ = 0;
};

}  // namespace hha::search
