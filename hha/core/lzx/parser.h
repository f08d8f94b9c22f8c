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

// Costs are in 1/kCostScale bits: whole bits make ties of choices that differ by less.
constexpr unsigned kCostScale = 8;

// How often each main and length symbol occurs in a parse.
struct SymbolCounts {
  uint32_t main[kMainSymbols];
  uint32_t length[kLengthSymbols];
  void Clear();
  void Add(const Item* items, size_t n);
  void Add(const SymbolCounts& other);
};

// Bit costs the parser weighs: code lengths of the main and length trees.
struct CostModel {
  uint8_t main[kMainSymbols];
  uint8_t length[kLengthSymbols];
  // A first guess before any statistics exist.
  void SetDefaults();
  // From the symbols of an earlier parse; symbols that did not occur get a high cost.
  void FromItems(const std::vector<Item>& items);
  void FromCounts(const SymbolCounts& counts);
};

class Parser {
 public:
  // Finds the matches of data[0, length) (length = one or two frames), keeps them for
  // Parse, and writes a greedy parse into items (statistics for a first cost model).
  // Matches never cross a frame end. A match of niceLength or more is taken as it is,
  // by both parses, without weighing alternatives: HTML has many long repeats, and
  // weighing around them costs time (see lzx_encoder.cpp for the figures).
  // `thorough` lets the match finder walk further (all but the fast mode).
  void FindMatches(const uint8_t* data, uint32_t length, unsigned niceLength, bool thorough,
                   std::vector<Item>& items);
  // Near-optimal parse of the data given to FindMatches under the given costs.
  // everyCut: an edge for every length of every match, not only the full ones.
  void Parse(const CostModel& costs, bool everyCut, std::vector<Item>& items);
  // The same for one frame (starting at begin), appended to items; reps carries the
  // repeat offsets in and out (all 1 at the interval's start).
  void Parse(uint32_t begin, const CostModel& costs, bool everyCut, uint32_t reps[kNumRepeats],
             std::vector<Item>& items);
  // Whether the parse works on eight lengths at a time (the default where the processor
  // has AVX2) or on four; the items are the same either way. For tests of that.
  void UseWideVectors(bool on);

 private:
  // Per node (position in a stretch), in separate arrays so that relaxing a run of match
  // lengths touches only costs and arrivals: cost, the arriving item (the node it comes
  // from << 16 | value: the same for every length of a match) and the repeat offsets
  // after it.
  struct Reps {
    uint32_t r[kNumRepeats];
  };

  void ParseFrame(uint32_t begin, uint32_t end, const CostModel& costs, bool everyCut,
                  uint32_t reps[kNumRepeats], std::vector<Item>& items);
  void ParseFrameAvx2(uint32_t begin, uint32_t end, const CostModel& costs, bool everyCut,
                      uint32_t reps[kNumRepeats], std::vector<Item>& items);
  template <unsigned Lanes>
  void ParseFrameLanes(uint32_t begin, uint32_t end, const CostModel& costs, bool everyCut,
                       uint32_t reps[kNumRepeats], std::vector<Item>& items);
  void SweepFrame(uint32_t begin, uint32_t end, uint32_t reps[kNumRepeats],
                  std::vector<Item>& items);

  static bool CpuHasWideVectors();

  bool wide_ = CpuHasWideVectors();
  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  unsigned nice_ = kMaxMatch;
  MatchFinder finder_;
  // Matches found per position (none inside long matches), kept for the parses.
  std::vector<Match> found_;
  uint32_t foundCount_ = 0;  // entries of found_ in use (it has room for a position more)
  std::vector<uint32_t> foundStart_;  // index into found_ per position, +1 entry
  std::vector<uint32_t> cost_;
  std::vector<uint32_t> arrival_;
  std::vector<Reps> reps_;
  // The costs being parsed under: per position slot and length, the whole match (extra
  // bits, main and length symbols), so that all lengths of a match are one run. Widened
  // for the relaxation's vector loads (which may read a few entries past the end).
  uint32_t slotCost_[kNumPositionSlots][kMaxMatch + 1 + 8] = {};
};

}  // namespace hha::lzx
