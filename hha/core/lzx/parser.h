// Parser: turns one reset interval into literals and matches, choosing among them by
// their estimated cost in bits (a shortest-path search over each stretch of input).
#pragma once

#include <cstdint>
#include <vector>

#include "hha/core/lzx/lzx_constants.h"
#include "hha/core/lzx/match_finder.h"

namespace hha::lzx {

// One coded unit: a literal (length 1, value = the byte) or a match (length 2-257,
// value = formatted offset: 0-2 repeat slots R0-R2, else distance + 2).
struct Item {
  uint16_t length;
  uint16_t value;
};

// Bit costs the parser weighs: code lengths of the main and length trees.
struct CostModel {
  uint8_t main[kMainSymbols];
  uint8_t length[kLengthSymbols];
  // A first guess before any statistics exist.
  void SetDefaults();
  // From the symbols of an earlier parse; symbols that did not occur get a high cost.
  void FromItems(const std::vector<Item>& items);
};

class Parser {
 public:
  // Parses data[0, length) (length = one or two frames) into items. Matches never cross
  // a frame end. The match finder's work is kept, so a second call with a better cost
  // model over the same data (reparse = true) only redoes the path search.
  void Parse(const uint8_t* data, uint32_t length, const CostModel& costs, bool reparse,
             std::vector<Item>& items);

 private:
  struct Node {
    uint32_t cost;
    uint16_t length;  // of the item arriving here; 0 = unreached
    uint16_t value;
    uint32_t reps[kNumRepeats];
  };

  void ParseFrame(uint32_t begin, uint32_t end, const CostModel& costs, bool reparse,
                  uint32_t reps[kNumRepeats], std::vector<Item>& items);
  unsigned MatchesAt(uint32_t pos, uint32_t end, bool reparse, const Match*& out);

  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  MatchFinder finder_;
  // Matches found per visited position, kept for the reparse.
  std::vector<Match> found_;
  std::vector<uint32_t> foundStart_;  // index into found_ per position, +1 entry
  std::vector<uint8_t> visited_;
  std::vector<Node> nodes_;
};

}  // namespace hha::lzx
