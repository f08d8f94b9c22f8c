// Parser. Within a stretch of input, every position is a node and every literal or match
// an edge weighted by its bit cost; a forward pass finds the cheapest path, carrying the
// repeat offsets R0-R2 of the best arrival at each node (a path-dependent state, so the
// result is near-optimal rather than optimal). A match at least the "nice" length long
// ends the stretch and is taken as is: with long matches there is little left to choose.
#include "hha/core/lzx/parser.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace hha::lzx {

namespace {
// Longest stretch searched at once; bounds the node array and ends searches that would
// otherwise run over a whole frame of short matches.
constexpr unsigned kMaxStretch = 2048;
constexpr uint32_t kUnreached = 0x7FFFFFFFu;  // compared as signed

// Offers arrivals at n lengths of one match: at cost[i] for c0 + lengthCost[i], all
// arriving as item. This is the parse's hottest loop and most runs are short, so it works
// on a vector of lengths at a time without a scalar tail. Costs stay far below 2^31, so
// signed compares serve. Lanes is 4 (SSE2) or 8 (AVX2, where the processor has it: half
// the instructions of the parse's hottest loop).
template <unsigned Lanes>
struct Vec {
  typedef uint32_t U __attribute__((vector_size(4 * Lanes)));
  typedef int32_t S __attribute__((vector_size(4 * Lanes)));
};
constexpr unsigned kMaxLanes = 8;
constexpr int32_t kTail[2 * kMaxLanes] = {0, 0, 0, 0, 0, 0, 0, 0,
                                          kUnreached, kUnreached, kUnreached, kUnreached,
                                          kUnreached, kUnreached, kUnreached, kUnreached};

// One vector of lengths; in a partial group the lanes at and past `limit` cost too much
// to win (kUnreached at most is stored anywhere, and the compare is strict).
template <unsigned Lanes, bool Partial>
__attribute__((always_inline)) inline void RelaxGroup(uint32_t* __restrict cost,
                                                      uint32_t* __restrict arrival,
                                                      const uint32_t* __restrict lengthCost,
                                                      uint32_t c0,
                                                      const typename Vec<Lanes>::U& item,
                                                      int32_t limit) {
  typedef typename Vec<Lanes>::U V;
  typedef typename Vec<Lanes>::S VS;
  VS c, old;
  V a;
  std::memcpy(&c, lengthCost, sizeof(c));
  std::memcpy(&old, cost, sizeof(old));
  std::memcpy(&a, arrival, sizeof(a));
  c += static_cast<int32_t>(c0);
  if (Partial) {
    // Lanes from limit on read kUnreached here, and any cost or'ed with it is kUnreached.
    VS tail;
    std::memcpy(&tail, kTail + kMaxLanes - limit, sizeof(tail));
    c |= tail;
  }
  const VS better = c < old;
  // A minimum (its own compare, so that it is not folded into a blend on `better`): one
  // instruction where there is one, and no second load of old.
  old = old < c ? old : c;
  a = better ? item : a;
  std::memcpy(cost, &old, sizeof(old));
  std::memcpy(arrival, &a, sizeof(a));
}

template <unsigned Lanes>
__attribute__((always_inline)) inline void RelaxRun(uint32_t* __restrict cost,
                                                    uint32_t* __restrict arrival,
                                                    const uint32_t* __restrict lengthCost,
                                                    uint32_t c0, uint32_t item, unsigned n) {
  typedef typename Vec<Lanes>::U V;
  const V items = V{} + item;
  // The last group is masked rather than moved back to end at the run's end: a load
  // overlapping part of the group stored just before cannot take its values from the
  // store and waits for it (that one load was a tenth of the parse's time).
  unsigned i = 0;
  for (; i + Lanes < n; i += Lanes) {
    RelaxGroup<Lanes, false>(cost + i, arrival + i, lengthCost + i, c0, items, 0);
  }
  RelaxGroup<Lanes, true>(cost + i, arrival + i, lengthCost + i, c0, items,
                          static_cast<int32_t>(n - i));
}

inline unsigned MainSymbol(unsigned slot, unsigned length) {
  return kNumChars + slot * 8 + std::min(length - kMinMatch, 7u);
}

}  // namespace

namespace {
// round(kCostScale * log2(num / den)) for num >= den, in integers only (so every build
// makes the same choices): the integer part by doubling, four fraction bits by
// repeated squaring.
uint32_t ScaledLog2(uint64_t num, uint64_t den) {
  if (num <= den) return 0;
  // The largest whole with den << whole <= num, from the leading zeros (num < 2^63).
  unsigned whole = static_cast<unsigned>(__builtin_clzll(den) - __builtin_clzll(num));
  if ((den << whole) > num) --whole;
  den <<= whole;
  uint64_t y = (num << 30) / den;  // in [1, 2) as Q30
  unsigned frac = 0;
  for (int i = 0; i < 4; ++i) {
    y = (y * y) >> 30;
    frac <<= 1;
    if (y >= (uint64_t{2} << 30)) {
      y >>= 1;
      frac |= 1;
    }
  }
  const uint32_t sixteenths = whole * 16 + frac;
  return (sixteenths * kCostScale + 8) / 16;
}
}  // namespace

void CostModel::SetDefaults() {
  // Roughly what HTML gives: literals about 6 bits, match symbols 7-9, lengths 5.
  for (unsigned i = 0; i < kNumChars; ++i) main[i] = 6 * kCostScale;
  for (unsigned i = kNumChars; i < kMainSymbols; ++i) main[i] = 9 * kCostScale;
  for (unsigned i = 0; i < kLengthSymbols; ++i) length[i] = 6 * kCostScale;
}

void SymbolCounts::Clear() {
  std::fill(std::begin(main), std::end(main), 0u);
  std::fill(std::begin(length), std::end(length), 0u);
}

void SymbolCounts::Add(const Item* items, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const Item& it = items[i];
    if (it.length == 1) {
      ++main[it.value];
    } else {
      ++main[MainSymbol(PositionSlot(it.value), it.length)];
      if (it.length - kMinMatch >= 7) ++length[it.length - kMinMatch - 7];
    }
  }
}

void SymbolCounts::Add(const SymbolCounts& other) {
  for (unsigned i = 0; i < kMainSymbols; ++i) main[i] += other.main[i];
  for (unsigned i = 0; i < kLengthSymbols; ++i) length[i] += other.length[i];
}

void CostModel::FromItems(const std::vector<Item>& items) {
  SymbolCounts counts;
  counts.Clear();
  counts.Add(items.data(), items.size());
  FromCounts(counts);
}

void CostModel::FromCounts(const SymbolCounts& counts) {
  // -log2(freq / sum) in fractions of a bit; unseen symbols cost as if seen once.
  // Most symbols of a tree share a few small counts (unseen ones count as 1): each of
  // those is worked out once per tree.
  struct Costs {
    explicit Costs(uint32_t s) : sum(s) {}
    uint32_t sum;
    uint64_t known = 0;  // bit f: small[f] holds the cost of count f
    uint8_t small[64];
    uint8_t operator()(uint32_t freq) {
      freq = std::max(freq, 1u);
      if (freq < 64 && (known >> freq & 1)) return small[freq];
      const uint32_t c = ScaledLog2(sum, freq);
      const uint8_t v = static_cast<uint8_t>(std::min<uint32_t>(std::max<uint32_t>(c, kCostScale), 255));
      if (freq < 64) {
        small[freq] = v;
        known |= uint64_t{1} << freq;
      }
      return v;
    }
  };
  uint32_t total = 0;
  for (uint32_t f : counts.main) total += f;
  Costs mainCost(total + 1);
  for (unsigned i = 0; i < kMainSymbols; ++i) main[i] = mainCost(counts.main[i]);
  uint32_t lenTotal = 0;
  for (uint32_t f : counts.length) lenTotal += f;
  Costs lengthCost(lenTotal + 1);
  for (unsigned i = 0; i < kLengthSymbols; ++i) length[i] = lengthCost(counts.length[i]);
}

namespace {
// Longest match at a repeat offset: its length and slot (0 when none reaches 2 bytes).
inline unsigned LongestRep(const uint8_t* data, uint32_t pos, unsigned maxLen,
                           const uint32_t reps[kNumRepeats], unsigned* slot) {
  unsigned best = 0;
  uint16_t head;
  std::memcpy(&head, data + pos, 2);
  for (unsigned k = 0; k < kNumRepeats; ++k) {
    if (reps[k] > pos) continue;
    uint16_t then;
    std::memcpy(&then, data + pos - reps[k], 2);
    if (then != head) continue;
    const unsigned len = 2 + CommonLength(data + pos + 2, data + pos - reps[k] + 2, maxLen - 2);
    if (len > best) {
      best = len;
      *slot = k;
    }
  }
  return best >= kMinMatch ? best : 0;
}

// PositionSlot by table: a formatted offset's slot depends only on its bits from the
// one below the highest on, so from 1024 on, on its bits from 9 on.
struct SlotTables {
  uint8_t low[1024];
  uint8_t high[128];
  SlotTables() {
    for (uint32_t f = 0; f < 1024; ++f) low[f] = static_cast<uint8_t>(PositionSlot(f));
    for (uint32_t h = 2; h < 128; ++h) high[h] = static_cast<uint8_t>(PositionSlot(h << 9));
  }
};
const SlotTables kSlots;

// Both entries are read and one selected: offsets below and above 1024 follow no pattern,
// and a branch between them was mispredicted.
inline unsigned SlotOf(uint32_t formatted) {
  const unsigned low = kSlots.low[formatted & 1023], high = kSlots.high[formatted >> 9];
  return formatted < 1024 ? low : high;
}

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

inline void UpdateReps(uint32_t reps[kNumRepeats], unsigned value) {
  if (value < kNumRepeats) {
    std::swap(reps[0], reps[value]);
  } else {
    reps[2] = reps[1];
    reps[1] = reps[0];
    reps[0] = value - 2u;
  }
}

inline uint16_t FormattedOffset(uint32_t distance, const uint32_t reps[kNumRepeats]) {
  for (unsigned k = 0; k < kNumRepeats; ++k) {
    if (reps[k] == distance) return static_cast<uint16_t>(k);
  }
  return static_cast<uint16_t>(distance + 2);
}
}  // namespace

void Parser::FindMatches(const uint8_t* data, uint32_t length, unsigned niceLength,
                         bool thorough, std::vector<Item>& items) {
  items.clear();
  nice_ = niceLength;
  data_ = data;
  length_ = length;
  finder_.Reset(data, length, thorough);
  foundCount_ = 0;
  foundStart_.resize(length + 1);
  foundStart_[0] = 0;
  uint32_t reps[kNumRepeats] = {1, 1, 1};
  for (uint32_t begin = 0; begin < length; begin += 0x8000) {
    SweepFrame(begin, std::min(length, begin + 0x8000u), reps, items);
  }
}

// Finds the matches at every position the parse may visit: all of them but the inside
// of long matches, which the parse takes as they are. Along the way it parses greedily
// (the longest match, a repeat one when it is nearly as long) for a first cost model.
void Parser::SweepFrame(uint32_t begin, uint32_t end, uint32_t reps[kNumRepeats],
                        std::vector<Item>& items) {
  const uint8_t* data = data_;
  uint32_t itemEnd = begin;  // where the current greedy item ends
  uint32_t repsBefore[kNumRepeats];  // the repeat offsets before the current item
  // The found matches in locals: held in members, they were reloaded and stored at every
  // position (the calls into the finder might change them).
  Match* found = found_.data();
  size_t room = found_.size();
  uint32_t foundCount = foundCount_;
  uint32_t* const foundStart = foundStart_.data();
  const unsigned nice = nice_;
  // Keeps the n matches at pos (already at found + foundCount) and takes the greedy
  // parse's step there; true when a long item starts at pos, whose inside is skipped.
  auto visit = [&](uint32_t pos, unsigned n) __attribute__((always_inline)) {
    const Match* matches = found + foundCount;
    foundCount += n;
    foundStart[pos + 1] = foundCount;
    const unsigned maxLen = std::min(end - pos, kMaxMatch);
    const unsigned longest = n ? matches[n - 1].length : 0;
    unsigned repSlot = 0, repLen = 0;
    if (pos >= itemEnd) {
      repLen = maxLen >= kMinMatch ? LongestRep(data, pos, maxLen, reps, &repSlot) : 0;
    } else if (longest >= nice) {
      // A long match inside the current item: cut the item short here, as the parse
      // would end its stretch here.
      Item& last = items.back();
      last.length = static_cast<uint16_t>(last.length - (itemEnd - pos));
      if (last.length == 1) {
        // Now a literal: the repeat offsets are as they were before it.
        last.value = data[pos - 1];
        std::memcpy(reps, repsBefore, sizeof(repsBefore));
      }
      itemEnd = pos;
      repLen = maxLen >= kMinMatch ? LongestRep(data, pos, maxLen, reps, &repSlot) : 0;
    }
    if (pos < itemEnd) return false;
    Item item{1, data[pos]};
    if (repLen && repLen + 1 >= longest) {
      item = {static_cast<uint16_t>(repLen), static_cast<uint16_t>(repSlot)};
    } else if (longest >= 3) {
      item = {static_cast<uint16_t>(longest), FormattedOffset(matches[n - 1].distance, reps)};
    }
    items.push_back(item);
    std::memcpy(repsBefore, reps, sizeof(repsBefore));
    if (item.length > 1) UpdateReps(reps, item.value);
    itemEnd = pos + item.length;
    return item.length >= nice;
  };
  // The parse takes a long item as it is: its inside (from `from` on; the positions
  // before are in the chains) needs no matches.
  auto skip = [&](uint32_t from) __attribute__((always_inline)) {
    finder_.SkipRun(from, itemEnd);
    std::fill(foundStart + from, foundStart + itemEnd + 1, foundCount);
  };
  // Positions are searched in pairs (see FindPair), the first one's matches straight
  // into the found array; the second one's are dropped when a long item starts at the
  // first. A whole buffer is copied at once, whatever the count: a fixed-size copy is a
  // few vector moves, where a loop or a call to memmove per position cost 2% of the
  // compressor.
  Match next[MatchFinder::kMaxMatchesPerPosition];
  uint32_t pos = begin;
  while (pos + 1 < end) {
    if (foundCount + 3 * MatchFinder::kMaxMatchesPerPosition > room) {
      found_.resize(std::max<size_t>(2 * room, 0x10000));
      found = found_.data();
      room = found_.size();
    }
    unsigned n0, n1;
    finder_.FindPair(pos, std::min(end - pos, kMaxMatch), std::min(end - pos - 1, kMaxMatch),
                     found + foundCount, &n0, next, &n1);
    // A long match followed by a longer one a byte later: the later one is taken after a
    // literal (the item at pos is cut there), as the parse does.
    const bool longerNext = n0 && n1 && found[foundCount + n0 - 1].length >= nice &&
                            next[n1 - 1].length > found[foundCount + n0 - 1].length;
    if (visit(pos, n0) && !longerNext) {
      skip(pos + 2);
      pos = itemEnd;
      continue;
    }
    std::memcpy(found + foundCount, next, sizeof(next));
    if (visit(pos + 1, n1)) {
      // The same look a byte ahead, for which pos + 2 is searched on its own; its
      // matches are kept only when they win.
      uint32_t from = pos + 2;
      if (n1 && next[n1 - 1].length >= nice && pos + 2 < end) {
        const unsigned n2 =
            finder_.Find(pos + 2, std::min(end - pos - 2, kMaxMatch), found + foundCount);
        from = pos + 3;
        if (n2 && found[foundCount + n2 - 1].length > next[n1 - 1].length) {
          visit(pos + 2, n2);
        }
      }
      skip(from);
      pos = itemEnd;
      continue;
    }
    pos += 2;
  }
  if (pos < end) {
    if (foundCount + MatchFinder::kMaxMatchesPerPosition > room) {
      found_.resize(std::max<size_t>(2 * room, 0x10000));
      found = found_.data();
    }
    visit(pos, finder_.Find(pos, std::min(end - pos, kMaxMatch), found + foundCount));
  }
  foundCount_ = foundCount;
}

void Parser::Parse(const CostModel& costs, bool everyCut, std::vector<Item>& items) {
  items.clear();
  uint32_t reps[kNumRepeats] = {1, 1, 1};
  for (uint32_t begin = 0; begin < length_; begin += 0x8000) {
    Parse(begin, costs, everyCut, reps, items);
  }
}

void Parser::Parse(uint32_t begin, const CostModel& costs, bool everyCut,
                   uint32_t reps[kNumRepeats], std::vector<Item>& items) {
  cost_.resize(kMaxStretch + kMaxMatch + 1 + kMaxLanes);
  arrival_.resize(kMaxStretch + kMaxMatch + 1 + kMaxLanes);
  reps_.resize(kMaxStretch + kMaxMatch + 1);
  for (unsigned slot = 0; slot < kNumPositionSlots; ++slot) {
    const uint8_t* symbols = costs.main + kNumChars + slot * 8;
    uint32_t* row = slotCost_[slot];
    const uint32_t extra = ExtraBits(slot) * kCostScale;
    for (unsigned len = kMinMatch; len < kMinMatch + 7; ++len) {
      row[len] = extra + symbols[len - kMinMatch];
    }
    for (unsigned len = kMinMatch + 7; len <= kMaxMatch; ++len) {
      row[len] = extra + symbols[7] + costs.length[len - kMinMatch - 7];
    }
  }
  ParseFrame(begin, std::min(length_, begin + 0x8000u), costs, everyCut, reps, items);
}

template <unsigned Lanes>
__attribute__((always_inline)) inline void Parser::ParseFrameLanes(
    uint32_t begin, uint32_t end, const CostModel& costs, bool everyCut,
    uint32_t reps[kNumRepeats], std::vector<Item>& items) {
  const uint8_t* data = data_;
  uint32_t* const cost = cost_.data();
  uint32_t* const arrival = arrival_.data();
  Reps* const nodeReps = reps_.data();
  // Members in locals: the stores to the node arrays might otherwise change them.
  const Match* const found = found_.data();
  const uint32_t* const foundStart = foundStart_.data();
  const unsigned nice = nice_;
  uint32_t base = begin;
  // A stretch's path, filled from its end: a stretch has at most kMaxStretch items.
  Item path[kMaxStretch];
  while (base < end) {
    // One stretch: node j describes position base + j.
    const uint32_t limit = std::min(end - base, kMaxStretch);
    // Nodes are cleared only as far as an edge can reach: most stretches end early at a
    // long match, and clearing the whole array each time was a tenth of the search.
    uint32_t cleared = 0;
    cost[0] = 0;
    std::memcpy(nodeReps[0].r, reps, sizeof(nodeReps[0].r));

    uint32_t stop = 0;        // node where the stretch ends
    Item longMatch{0, 0};     // taken after the stretch, if one ended it
    // The longest repeat match of the node before (distance, 0 for none, and length): if
    // 3 or more long, it goes on here one shorter, as it compares the same bytes up to the
    // same end, so its length needs no compare. Nine in ten repeat matches are such.
    uint32_t lastDist = 0, lastLen = 0;
    uint32_t j = 0;
    for (;; ++j) {
      const uint32_t pos = base + j;
      if (j > 0) {
        // The repeat offsets of the best arrival, worked out once per node rather than
        // stored with every edge that improved it.
        const unsigned source = arrival[j] >> 16, value = arrival[j] & 0xFFFF;
        const uint32_t* from = nodeReps[source].r;
        uint32_t* r = nodeReps[j].r;
        if (j - source > 1 && value >= kNumRepeats) {
          r[0] = value - 2u;
          r[1] = from[0];
          r[2] = from[1];
        } else {
          std::memcpy(r, from, sizeof(nodeReps[j].r));
          if (j - source > 1) std::swap(r[0], r[value]);
        }
      }
      if (pos == end || j == limit) {
        stop = j;
        break;
      }
      const uint32_t maxLen = std::min(end - pos, kMaxMatch);
      if (__builtin_expect(cleared < j + maxLen, 0)) {
        // A run at a time: one call per node to clear four bytes was 1.5% of the time.
        const uint32_t to = std::min(j + maxLen + 256, kMaxStretch + kMaxMatch);
        std::fill(cost + cleared + 1, cost + to + 1, kUnreached);
        cleared = to;
      }
      const uint32_t* here = nodeReps[j].r;
      const Match* matches = found + foundStart[pos];
      const unsigned count = foundStart[pos + 1] - foundStart[pos];

      const unsigned longest = count ? matches[count - 1].length : 0;
      const uint32_t c0 = cost[j];
      // Edges for the lengths [from, to] of one match.
      auto relaxLengths = [&](unsigned slot, unsigned value, unsigned from, unsigned to) {
        RelaxRun<Lanes>(cost + j + from, arrival + j + from, slotCost_[slot] + from, c0,
                        j << 16 | value, to - from + 1);
      };
      // The edges are offered in a fixed order (literal, R0-R2, explicit offsets), which
      // settles ties. A node whose long match ends the stretch needs none: those offered
      // before that is known are harmless, as the stretch's nodes past it are dropped.
      // Where the next position has a longer match (the sweep keeps the matches there only
      // then), a literal and that match are taken instead: its long match ends the
      // stretch at the next node, so the literal is the only edge here that counts. Had
      // this node's other edges been offered, a long repeat match here would still end
      // the stretch, whose next one would then start inside the longer match, where the
      // sweep found nothing: on java.base (search off) 0.11% smaller output (0.04% with
      // those edges), on Java SE 0.12%. The literal edge has its own copy here: shared
      // with the one below through a flag, the parse took 4.6% more instructions.
      const bool ends = longest >= nice;
      if (__builtin_expect(ends, 0) && pos + 1 < end) {
        const uint32_t nextEnd = foundStart[pos + 2];
        if (nextEnd != foundStart[pos + 1] && found[nextEnd - 1].length > longest) {
          const uint32_t c = c0 + costs.main[data[pos]];
          if (c < cost[j + 1]) {
            cost[j + 1] = c;
            arrival[j + 1] = j << 16 | data[pos];
          }
          continue;
        }
      }
      if (!ends) {
        const uint32_t c = c0 + costs.main[data[pos]];
        if (c < cost[j + 1]) {
          cost[j + 1] = c;
          arrival[j + 1] = j << 16 | data[pos];
        }
      }
      // Repeat offsets first: they cost no extra bits. Every cut of a match is an edge: on
      // Javadoc, trying only the lengths up to 16 and the full one cost 0.6% more output.
      // The first pass only gathers statistics for the costs of the second, and full
      // lengths alone serve that as well (the output was even 0.01% smaller) in 5% less
      // time.
      unsigned longestRep = 0, longestRepSlot = 0;
      if (maxLen >= kMinMatch) {
        // Most repeat offsets fail on the first two bytes: one compare each rules them
        // out before the full comparison (a tenth fewer instructions in the parse).
        // All three are ruled in or out before any is followed, without a branch each.
        const uint8_t* at = data + pos;
        const uint16_t head = Load16(at);
        unsigned hits = 0;
        if (__builtin_expect(here[0] != 1 && here[1] != 1 && here[2] != 1, 1)) {
          hits = (Load16(at - here[0]) == head) | (Load16(at - here[1]) == head) << 1 |
                 (Load16(at - here[2]) == head) << 2;
        } else {
          for (unsigned k = 0; k < kNumRepeats; ++k) {
            const uint32_t r = here[k];
            // Only the offsets the interval starts with (all 1) can be out of reach (at
            // its first byte) or repeat an earlier slot: every offset that enters later
            // lies behind its position and differs from the other two.
            if (r == 1 && (pos == 0 || (k > 0 && here[0] == 1) || (k > 1 && here[1] == 1))) continue;
            hits |= (Load16(at - r) == head) << k;
          }
        }
        for (; hits; hits &= hits - 1) {
          const unsigned k = static_cast<unsigned>(__builtin_ctz(hits));
          const uint32_t r = here[k];
          const unsigned len =
              r == lastDist ? lastLen - 1 : 2 + CommonLength(at + 2, at - r + 2, maxLen - 2);
          if (len > longestRep) {
            longestRep = len;
            longestRepSlot = k;
          }
          if (!ends && len < nice) relaxLengths(k, k, everyCut ? kMinMatch : len, len);
        }
      }
      lastDist = longestRep >= 3 ? here[longestRepSlot] : 0;
      lastLen = longestRep;
      if (__builtin_expect(ends || longestRep >= nice, 0)) {
        stop = j;
        if (longestRep + 1 >= longest) {  // a repeat offset costs fewer bits
          longMatch = {static_cast<uint16_t>(longestRep), static_cast<uint16_t>(longestRepSlot)};
        } else {
          const uint32_t d = matches[count - 1].distance;
          uint16_t value = static_cast<uint16_t>(d + 2);
          for (unsigned k = 0; k < kNumRepeats; ++k) {
            if (here[k] == d) {
              value = static_cast<uint16_t>(k);
              break;
            }
          }
          longMatch = {static_cast<uint16_t>(longest), value};
        }
        break;
      }
      // Without cuts (the pass that only gathers statistics) the longest match alone
      // stands for the rest: about 2% fewer instructions for 0.02% more output.
      // Lengths a repeat offset reaches are not offered again with an explicit offset,
      // which nearly always costs more: 3% fewer instructions, 20 bytes more output.
      // Matches come longest last, each offering the lengths above the one before it, so
      // a match no longer than the lengths already offered has nothing left to offer. They
      // are offered longest first: no two offer the same length, so their order settles no
      // tie, and the loop ends at the first one with nothing to offer, where a test of each
      // shorter one was mispredicted.
      if (everyCut) {
        const unsigned offered = std::max(longestRep, kMinMatch);
        unsigned m = count, full = longest;
        while (full > offered) {
          --m;
          const unsigned shorter = matches[m ? m - 1 : 0].length;
          const unsigned below = m ? shorter : 0;
          const uint32_t d = matches[m].distance;
          if (d != here[0] && d != here[1] && d != here[2]) {
            relaxLengths(SlotOf(d + 2), d + 2, std::max(below, offered) + 1, full);
          }
          full = below;
        }
      } else if (count) {
        const uint32_t d = matches[count - 1].distance;
        if (d != here[0] && d != here[1] && d != here[2]) {
          relaxLengths(SlotOf(d + 2), d + 2, longest, longest);
        }
      }
    }

    // Walk back from the end of the stretch and emit the path in order.
    Item* first = path + kMaxStretch;
    for (uint32_t at = stop; at > 0;) {
      const uint32_t source = arrival[at] >> 16;
      *--first = {static_cast<uint16_t>(at - source), static_cast<uint16_t>(arrival[at] & 0xFFFF)};
      at = source;
    }
    items.insert(items.end(), first, path + kMaxStretch);
    std::memcpy(reps, nodeReps[stop].r, sizeof(nodeReps[stop].r));
    base += stop;
    if (longMatch.length) {
      items.push_back(longMatch);
      const uint32_t d = longMatch.value < kNumRepeats ? reps[longMatch.value] : longMatch.value - 2u;
      if (longMatch.value < kNumRepeats) {
        std::swap(reps[0], reps[longMatch.value]);
      } else {
        reps[2] = reps[1];
        reps[1] = reps[0];
        reps[0] = d;
      }
      base += longMatch.length;
    }
  }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define QB_PARSE_AVX2 1
// The same parse with eight lanes per relaxation; chosen at run time, so the program
// still runs on processors without AVX2. Both give the same items.
__attribute__((target("avx2"))) void Parser::ParseFrameAvx2(uint32_t begin, uint32_t end,
                                                           const CostModel& costs, bool everyCut,
                                                           uint32_t reps[kNumRepeats],
                                                           std::vector<Item>& items) {
  // A copy per value of everyCut (the parse is inlined), so that neither tests it per node.
  if (everyCut) {
    ParseFrameLanes<8>(begin, end, costs, true, reps, items);
  } else {
    ParseFrameLanes<8>(begin, end, costs, false, reps, items);
  }
}
#endif

bool Parser::CpuHasWideVectors() {
#ifdef QB_PARSE_AVX2
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

void Parser::UseWideVectors(bool on) { wide_ = on && CpuHasWideVectors(); }

void Parser::ParseFrame(uint32_t begin, uint32_t end, const CostModel& costs, bool everyCut,
                        uint32_t reps[kNumRepeats], std::vector<Item>& items) {
#ifdef QB_PARSE_AVX2
  if (wide_) return ParseFrameAvx2(begin, end, costs, everyCut, reps, items);
#endif
  if (everyCut) {
    ParseFrameLanes<4>(begin, end, costs, true, reps, items);
  } else {
    ParseFrameLanes<4>(begin, end, costs, false, reps, items);
  }
}

}  // namespace hha::lzx
