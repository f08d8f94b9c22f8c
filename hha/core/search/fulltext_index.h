// /$FIftiMain, the full-text search index: a B-tree of words whose leaves point to bit
// packed lists of the topics (and word positions) that contain each word.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
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
  void Word(std::string_view word, bool inTitle) override;
  void EndTopic();

  // The whole file. Uses up the topic lists: call once.
  std::vector<uint8_t> Build();

  size_t distinctWords() const { return hits_.size(); }
  bool empty() const { return hits_.empty(); }

 private:
  // The body and the title entry of a word are separate keys; entries hold the index of
  // their Hits, or kNone.
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Hits {
    std::vector<uint8_t> wlc;  // the topic list: staged until Build, then packed (whole bytes per topic)
    uint32_t topics = 0;
    uint32_t lastTopic = 0;
    uint32_t word = 0;
    bool title = false;
  };
  // Every distinct word is stored once, in words_ (its bytes in text_), and found through
  // the open-addressing table slots_: a page's words are looked up without building a
  // key or allocating.
  struct WordInfo {
    uint32_t offset;  // in text_
    uint32_t hash;
    uint8_t size;
    uint32_t entry[2] = {kNone, kNone};  // Hits of the body and the title entry
    uint32_t seenIn = 0;  // topicSerial_ of the last topic that used it
    uint32_t inTopic = 0;  // its index in topicWords_ while seenIn is the current topic
  };
  // One word of the topic being added.
  struct TopicWord {
    uint32_t word;
    uint32_t entry[2];  // WordInfo::entry when the topic met the word
    uint32_t count[2];  // positions: body, title
  };
  // Every word of the topic in text order; EndTopic groups them by word.
  struct Position {
    uint32_t list;  // topic word index * 2 + title
    uint32_t number;
  };
  std::string_view WordAt(uint32_t w) const { return {text_.data() + words_[w].offset, words_[w].size}; }
  uint32_t Intern(std::string_view word);
  void Grow();
  void AddEntry(const TopicWord& t, bool title, uint32_t base, const uint32_t* numbers);

  // How many values of each bit length each value stream holds: enough to tell, at the
  // end, what the stream would take with each root 1..kRoots.
  static constexpr int kRoots = 12;
  using BitLengths = std::array<uint64_t, 65>;
  static void Count(BitLengths& lengths, uint64_t v) { ++lengths[v == 0 ? 1 : 64 - __builtin_clzll(v)]; }
  static int CheapestRoot(const BitLengths& lengths);
  BitLengths docLengths_{}, countLengths_{}, locationLengths_{};
  uint32_t lcid_, codePage_;
  std::string text_;
  std::vector<WordInfo> words_;
  std::vector<uint32_t> slots_;  // word + 1, 0 = free; a power of two, at most half full
  std::vector<Hits> hits_;
  std::vector<TopicWord> topicWords_;  // of the topic being added, in first-seen order
  std::vector<Position> positions_;
  std::vector<uint32_t> grouped_;  // positions_' numbers grouped by list (EndTopic)
  bool inTopic_ = false;
  uint32_t topic_ = 0, titleCount_ = 0, bodyCount_ = 0, topicSerial_ = 0;
  bool anyTopic_ = false;
  uint32_t lastTopic_ = 0, pages_ = 0;
  uint64_t totalWords_ = 0, totalWordBytes_ = 0;
};

}  // namespace hha::search
