// Parser. Within a stretch of input, every position is a node and every literal or match
// an edge weighted by its bit cost; a forward pass finds the cheapest path, carrying the
// repeat offsets R0-R2 of the best arrival at each node (a path-dependent state, so the
// result is near-optimal rather than optimal). A match at least kNiceLength long ends
// the stretch and is taken as is: with long matches there is little left to choose.
#include "hha/core/lzx/parser.h"

#include <algorithm>
#include <cstring>

namespace hha::lzx {

namespace {
// Matches this long are taken without a search: HTML has many long repeats, and weighing
// alternatives around them costs time. On Javadoc 48 was 12% faster but 0.4% larger,
// 32 22% faster and 1.3% larger, 128 1% smaller at twice the time.
constexpr unsigned kNiceLength = 64;
// Longest stretch searched at once; bounds the node array and ends searches that would
// otherwise run over a whole frame of short matches.
constexpr unsigned kMaxStretch = 2048;
constexpr uint32_t kUnreached = 0xFFFFFFFFu;

inline unsigned MainSymbol(unsigned slot, unsigned length) {
  return kNumChars + slot * 8 + std::min(length - kMinMatch, 7u);
}

}  // namespace

void CostModel::SetDefaults() {
  // Roughly what HTML gives: literals about 6 bits, match symbols 7-9, lengths 5.
  for (unsigned i = 0; i < kNumChars; ++i) main[i] = 6;
  for (unsigned i = kNumChars; i < kMainSymbols; ++i) main[i] = 9;
  for (unsigned i = 0; i < kLengthSymbols; ++i) length[i] = 6;
}

void CostModel::FromItems(const std::vector<Item>& items) {
  uint32_t mainFreq[kMainSymbols] = {0};
  uint32_t lenFreq[kLengthSymbols] = {0};
  for (const Item& it : items) {
    if (it.length == 1) {
      ++mainFreq[it.value];
    } else {
      ++mainFreq[MainSymbol(PositionSlot(it.value), it.length)];
      if (it.length - kMinMatch >= 7) ++lenFreq[it.length - kMinMatch - 7];
    }
  }
  // Code lengths without a limit would do, but the limited ones are what gets written.
  uint32_t total = 0;
  for (uint32_t f : mainFreq) total += f;
  auto cost = [](uint32_t freq, uint32_t sum) -> uint8_t {
    // -log2(freq / sum), rounded; unseen symbols cost as if seen once.
    const double p = static_cast<double>(std::max(freq, 1u)) / std::max(sum, 1u);
    int bits = 0;
    for (double q = p; q < 0.7071 && bits < 20; q *= 2) ++bits;
    return static_cast<uint8_t>(std::max(bits, 1));
  };
  for (unsigned i = 0; i < kMainSymbols; ++i) main[i] = cost(mainFreq[i], total + 1);
  uint32_t lenTotal = 0;
  for (uint32_t f : lenFreq) lenTotal += f;
  for (unsigned i = 0; i < kLengthSymbols; ++i) length[i] = cost(lenFreq[i], lenTotal + 1);
}

unsigned Parser::MatchesAt(uint32_t pos, uint32_t end, bool reparse, const Match*& out) {
  if (!reparse) {
    foundStart_[pos] = static_cast<uint32_t>(found_.size());
    Match tmp[MatchFinder::kMaxMatchesPerPosition];
    const unsigned n = finder_.Find(pos, std::min(end - pos, kMaxMatch), tmp);
    found_.insert(found_.end(), tmp, tmp + n);
    foundStart_[pos + 1] = static_cast<uint32_t>(found_.size());
    visited_[pos] = 1;
  }
  if (!visited_[pos]) return 0;  // skipped in the first pass: repeats and literals only
  out = found_.data() + foundStart_[pos];
  return foundStart_[pos + 1] - foundStart_[pos];
}

void Parser::Parse(const uint8_t* data, uint32_t length, const CostModel& costs, bool reparse,
                   std::vector<Item>& items) {
  items.clear();
  if (!reparse) {
    data_ = data;
    length_ = length;
    finder_.Reset(data, length);
    found_.clear();
    foundStart_.assign(length + 1, 0);
    visited_.assign(length, 0);
  }
  nodes_.resize(kMaxStretch + kMaxMatch + 1);
  uint32_t reps[kNumRepeats] = {1, 1, 1};
  for (uint32_t begin = 0; begin < length; begin += 0x8000) {
    ParseFrame(begin, std::min(length, begin + 0x8000u), costs, reparse, reps, items);
  }
}

void Parser::ParseFrame(uint32_t begin, uint32_t end, const CostModel& costs, bool reparse,
                        uint32_t reps[kNumRepeats], std::vector<Item>& items) {
  const uint8_t* data = data_;
  uint32_t base = begin;
  std::vector<Item> path;
  while (base < end) {
    // One stretch: nodes_[j] describes position base + j.
    const uint32_t limit = std::min(end - base, kMaxStretch);
    // Nodes are cleared only as far as an edge can reach: most stretches end early at a
    // long match, and clearing the whole array each time was a tenth of the search.
    uint32_t cleared = 0;
    nodes_[0].cost = 0;
    nodes_[0].length = 0;
    std::memcpy(nodes_[0].reps, reps, sizeof(nodes_[0].reps));

    uint32_t stop = 0;        // node where the stretch ends
    Item longMatch{0, 0};     // taken after the stretch, if one ended it
    uint32_t j = 0;
    for (;; ++j) {
      const uint32_t pos = base + j;
      if (j > 0) {
        // The repeat offsets of the best arrival, worked out once per node rather than
        // stored with every edge that improved it.
        Node& n = nodes_[j];
        const uint32_t* from = nodes_[j - n.length].reps;
        std::memcpy(n.reps, from, sizeof(n.reps));
        if (n.length > 1) {
          if (n.value < kNumRepeats) {
            std::swap(n.reps[0], n.reps[n.value]);
          } else {
            n.reps[2] = from[1];
            n.reps[1] = from[0];
            n.reps[0] = n.value - 2u;
          }
        }
      }
      if (pos == end || j == limit) {
        stop = j;
        break;
      }
      const uint32_t maxLen = std::min(end - pos, kMaxMatch);
      for (; cleared < j + maxLen; ++cleared) nodes_[cleared + 1].cost = kUnreached;
      const Node& here = nodes_[j];
      const Match* matches = nullptr;
      const unsigned count = MatchesAt(pos, end, reparse, matches);

      // Repeat offsets first: they cost no extra bits.
      unsigned longestRep = 0, longestRepSlot = 0;
      unsigned repLen[kNumRepeats] = {0, 0, 0};
      for (unsigned k = 0; k < kNumRepeats; ++k) {
        const uint32_t r = here.reps[k];
        if (r > pos || maxLen < kMinMatch) continue;
        bool seen = false;
        for (unsigned q = 0; q < k; ++q) seen |= here.reps[q] == r;
        if (seen) continue;
        repLen[k] = CommonLength(data + pos, data + pos - r, maxLen);
        if (repLen[k] > longestRep) {
          longestRep = repLen[k];
          longestRepSlot = k;
        }
      }
      const unsigned longest = count ? matches[count - 1].length : 0;
      if (longestRep >= kNiceLength || longest >= kNiceLength) {
        stop = j;
        if (longestRep + 1 >= longest) {  // a repeat offset costs fewer bits
          longMatch = {static_cast<uint16_t>(longestRep), static_cast<uint16_t>(longestRepSlot)};
        } else {
          const uint32_t d = matches[count - 1].distance;
          uint16_t value = static_cast<uint16_t>(d + 2);
          for (unsigned k = 0; k < kNumRepeats; ++k) {
            if (here.reps[k] == d) {
              value = static_cast<uint16_t>(k);
              break;
            }
          }
          longMatch = {static_cast<uint16_t>(longest), value};
        }
        break;
      }

      auto relax = [&](uint32_t target, uint32_t cost, unsigned len, unsigned value) {
        Node& n = nodes_[target];
        if (cost < n.cost) {
          n.cost = cost;
          n.length = static_cast<uint16_t>(len);
          n.value = static_cast<uint16_t>(value);
        }
      };
      const uint32_t c0 = here.cost;
      // Edges for the lengths [from, to] of one match: up to 8 bytes each length has its
      // own main symbol, beyond that they share one and differ in the length tree only.
      auto relaxLengths = [&](unsigned slot, unsigned value, unsigned from, unsigned to) {
        const uint8_t* symbols = costs.main + kNumChars + slot * 8;
        const uint32_t base = c0 + ExtraBits(slot);
        unsigned len = from;
        for (; len <= to && len < kMinMatch + 7; ++len)
          relax(j + len, base + symbols[len - kMinMatch], len, value);
        const uint32_t longBase = base + symbols[7];
        for (; len <= to; ++len) relax(j + len, longBase + costs.length[len - kMinMatch - 7], len, value);
      };
      relax(j + 1, c0 + costs.main[data[pos]], 1, data[pos]);
      // Every cut of a match is an edge: on Javadoc, trying only the lengths up to 16 and
      // the full one cost 0.6% more output. The first pass only gathers statistics for
      // the costs of the second, and full lengths alone serve that as well (the output
      // was even 0.01% smaller) in 5% less time.
      const bool everyCut = reparse;
      for (unsigned k = 0; k < kNumRepeats; ++k) {
        if (repLen[k] < kMinMatch) continue;
        relaxLengths(k, k, everyCut ? kMinMatch : repLen[k], repLen[k]);
      }
      unsigned prevLen = kMinMatch;
      for (unsigned m = 0; m < count; ++m) {
        const uint32_t d = matches[m].distance;
        if (d == here.reps[0] || d == here.reps[1] || d == here.reps[2]) {
          prevLen = matches[m].length;
          continue;
        }
        const unsigned slot = PositionSlot(d + 2);
        const unsigned full = matches[m].length;
        relaxLengths(slot, d + 2, everyCut ? prevLen + 1 : full, full);
        prevLen = full;
      }
    }

    // Walk back from the end of the stretch and emit the path in order.
    path.clear();
    for (uint32_t at = stop; at > 0;) {
      const Node& n = nodes_[at];
      path.push_back({n.length, n.value});
      at -= n.length;
    }
    items.insert(items.end(), path.rbegin(), path.rend());
    std::memcpy(reps, nodes_[stop].reps, sizeof(nodes_[stop].reps));
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
      // The positions inside the match still go into the chains.
      for (uint32_t p = base + 1; p < base + longMatch.length; ++p) {
        if (!reparse) finder_.Skip(p);
      }
      base += longMatch.length;
    }
  }
}

}  // namespace hha::lzx
