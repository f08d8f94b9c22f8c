// Match finder. Hash chains rather than binary trees: the parser only needs a handful of
// candidates per position, and chains over a 64 KiB interval stay in the L2 cache (a
// binary tree of our own gave 0.3% smaller output for 20% more time, and lost 1.4% in
// size when the inside of long matches was left out of it to save that time). The chains are keyed on
// five bytes, so a step rarely lands on a candidate that fails at once (HTML repeats its
// tag openings everywhere); one-entry tables of the latest position per three-byte and
// per four-byte prefix still offer the nearest three- and four-byte matches. Five bytes
// rather than four: on the java.base stream 0.02% more output for about 4% less time.
// The four-byte table: where the nearest three bytes go no further, a farther four-byte
// match replaces a literal or a three-byte match (0.09% smaller output for 1.7% more
// instructions, six times what the same time buys through the chain depth).
//
// A step of the walk waits for the load of the step before (the chain is a linked
// list), so positions are searched in pairs whose walks interleave: identical matches,
// about 4% less time. A chain entry also holds the link after the next one, so a step
// takes a link loaded a step earlier and each walk has two loads in flight: the tables
// (224 KiB of heads, 256 KiB of chains) live in the L2 cache, not the L1, and one link
// an entry left the walks waiting on that latency (about 8% more time in all).
#include "hha/core/lzx/match_finder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "hha/core/lzx/lzx_constants.h"

namespace hha::lzx {

namespace {
// 2^16 chain heads, 2^14 three-byte and 2^15 four-byte heads for at most 2^16
// positions, in one array (224 KiB) that a reset clears.
constexpr unsigned kHashBits = 16;
constexpr unsigned kHash3Bits = 14;
constexpr size_t kHash3Base = size_t{1} << kHashBits;  // where the 3-byte heads start
constexpr unsigned kHash4Bits = 15;  // 14 lost a little size, 16 gained as little
constexpr size_t kHash4Base = kHash3Base + (size_t{1} << kHash3Bits);
// Chain steps per position. On Javadoc, 64 steps over four-byte chains gave 0.2% smaller
// output than 64 over three-byte ones at 6% less time; 48 matches the old size at 8%
// less, 96 is another 0.15% smaller for 8% more time. With the deeper walks below and
// a nice length of 104, 80 steps were the cheapest way to the last 0.2% on java.base.
constexpr unsigned kMaxChainDepth = 80;
// Steps more for a walk that used up kMaxChainDepth with its best match still shorter
// than kDeepBelow: far candidates pay most where nothing long was found. Per instruction
// this bought 1.6-2 times the bytes of deeper walks everywhere, but alone it levels off
// near 0.1%; below 32 or 64 it bought no more than plain depth.
constexpr unsigned kDeepSteps = 192;
constexpr unsigned kDeepBelow = 16;
// The fast mode's walks, as they were before the deeper ones (35% less time than the
// default for 1.1% more bytes then).
constexpr unsigned kFastChainDepth = 64;
// A match this long ends the search. Only the longest possible one: cutting the search
// short at 128 cost ratio on Javadoc's long repeated navigation blocks.
constexpr unsigned kGoodEnough = kMaxMatch;

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Of the low three bytes of v (the bytes in load order).
inline uint32_t Hash3(uint32_t v) {
  return ((v & 0xFFFFFF) * 2654435761u) >> (32 - kHash3Bits);
}

inline uint32_t Hash4(uint32_t v) { return (v * 2246822519u) >> (32 - kHash4Bits); }

// Of the low five bytes of v.
inline uint32_t Hash5(uint64_t v) {
  return static_cast<uint32_t>(((v << 24) * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
}
}  // namespace

MatchFinder::MatchFinder() : head_(kHash4Base + (size_t{1} << kHash4Bits), 0), chain_(0x10001, 0) {}

void MatchFinder::Reset(const uint8_t* data, uint32_t length, bool thorough) {
  data_ = data;
  length_ = length;
  steps_ = thorough ? kMaxChainDepth : kFastChainDepth;
  deepSteps_ = thorough ? kDeepSteps : 0;
  std::fill(head_.begin(), head_.end(), 0);
}

uint32_t MatchFinder::TailHash(uint32_t pos) const {
  uint64_t v = 0;
  std::memcpy(&v, data_ + pos, std::min<uint32_t>(length_ - pos, 5));
  // The low five bytes, in load order on every (little-endian) target we build for.
  return Hash5(v);
}

__attribute__((always_inline)) inline uint32_t MatchFinder::Insert(uint32_t pos, uint32_t* chainHead,
                                                                  uint32_t* chainNext,
                                                                  uint32_t* near4) {
  const uint8_t* p = data_ + pos;
  *chainHead = 0;
  *near4 = 0;
  if (pos + 8 > length_) {  // the last few positions, where eight bytes cannot be loaded
    uint16_t& head3 = head_[kHash3Base + Hash3(p[0] | (p[1] << 8) | (p[2] << 16))];
    const uint32_t near3 = head3;
    head3 = static_cast<uint16_t>(pos + 1);
    if (pos + 4 > length_) return near3;
    uint16_t& head5 = head_[TailHash(pos)];
    const uint32_t link = head5, after = chain_[link] & 0xFFFF;
    chain_[pos + 1] = link | after << 16;
    *chainHead = link;
    *chainNext = after;
    head5 = static_cast<uint16_t>(pos + 1);
    return near3;
  }
  // All hashes from one load.
  uint64_t v;
  std::memcpy(&v, p, 8);
  const uint16_t entry = static_cast<uint16_t>(pos + 1);
  uint16_t* const head = head_.data();
  uint16_t& head3 = head[kHash3Base + Hash3(static_cast<uint32_t>(v))];
  uint16_t& head4 = head[kHash4Base + Hash4(static_cast<uint32_t>(v))];
  uint16_t& head5 = head[Hash5(v)];
  const uint32_t near3 = head3, found4 = head4, link = head5;
  head3 = entry;
  head4 = entry;
  head5 = entry;
  // chain_[0] stays 0: a chain's end carries on as its end.
  const uint32_t after = chain_[link] & 0xFFFF;
  chain_[pos + 1] = link | after << 16;
  *chainHead = link;
  *chainNext = after;
  *near4 = found4;
  return near3;
}

void MatchFinder::Skip(uint32_t pos) {
  uint32_t unused, unusedNext, unused4;
  if (pos + 3 <= length_) Insert(pos, &unused, &unusedNext, &unused4);
}

void MatchFinder::SkipRun(uint32_t from, uint32_t to) {
  // Where eight bytes are left, as Hash loads them, without Skip's tests per position:
  // the inside of long matches is over a third of the positions on Javadoc.
  const uint32_t fastEnd = length_ >= 8 ? std::min(to, length_ - 7) : from;
  uint16_t* const head = head_.data();
  uint32_t* const chain = chain_.data();
  const uint8_t* const data = data_;
  uint32_t p = from;
  for (; p < fastEnd; ++p) {
    uint64_t v;
    std::memcpy(&v, data + p, 8);
    const uint16_t entry = static_cast<uint16_t>(p + 1);
    head[kHash3Base + Hash3(static_cast<uint32_t>(v))] = entry;
    head[kHash4Base + Hash4(static_cast<uint32_t>(v))] = entry;
    uint16_t& head5 = head[Hash5(v)];
    const uint32_t link = head5;
    chain[p + 1] = link | chain[link] << 16;
    head5 = entry;
  }
  for (; p < to; ++p) Skip(p);
}

// One search in progress: the chain position and the best match so far.
struct MatchFinder::Walk {
  const uint8_t* cur;
  uint32_t pos, cand, next, probeBytes;  // next: cand's previous link
  unsigned maxLen, stopAt, best, probe, count, stepsLeft;
  Match* out;
  bool done;
};

// A search starts at pos + 4 <= length <= 2^16, so every earlier position of the
// interval is within the window: the chain's end (link 0) is a walk's only bound.
static_assert(0x10000 - 4 <= kMaxDistance, "every candidate is within the window");

// Inlined into both callers: the walk's state then stays in registers instead of going
// through memory, a hundredth of the compressor's instructions.
__attribute__((always_inline)) inline void MatchFinder::Start(uint32_t pos, unsigned maxLen,
                                                              Match* out, Walk& w) {
  const uint8_t* cur = data_ + pos;
  uint32_t near4;
  const uint32_t near3 = Insert(pos, &w.cand, &w.next, &near4);
  // Four bytes are there to load at every candidate and at pos (pos + 4 <= length).
  const uint32_t curBytes = Load32(cur);
  const unsigned stopAt = std::min(maxLen, kGoodEnough);
  unsigned best = 2, count = 0;
  bool done = false;
  if (near3 != 0 && ((Load32(data_ + (near3 - 1)) ^ curBytes) & 0xFFFFFF) == 0) {
    best = CommonLength(cur, data_ + (near3 - 1), maxLen);
    out[0] = {static_cast<uint16_t>(best), static_cast<uint16_t>(pos + 1 - near3)};
    count = 1;
    done = best >= stopAt;
  }
  if (!done && near4 != 0 && near4 != near3 && Load32(data_ + (near4 - 1)) == curBytes) {
    const unsigned len = CommonLength(cur, data_ + (near4 - 1), maxLen);
    if (len > best) {
      best = len;
      out[count++] = {static_cast<uint16_t>(len), static_cast<uint16_t>(pos + 1 - near4)};
      done = best >= stopAt;
    }
  }
  w.cur = cur;
  w.pos = pos;
  w.out = out;
  w.maxLen = maxLen;
  w.stopAt = stopAt;
  w.best = best;
  w.count = count;
  w.stepsLeft = steps_;
  // A longer match must agree on the four bytes that end at the current best length:
  // one compare rejects most candidates (the chain already agrees on the first five,
  // barring hash collisions, which the full comparison catches).
  w.done = done || w.cand == 0;
  if (w.done) return;  // the probe could reach past the data
  w.probe = best >= 3 ? best - 3 : 0;
  w.probeBytes = Load32(cur + w.probe);
}

// Out of line: few candidates pass the probe, and the walks' loop keeps its state in
// registers only when this part is not inlined into it.
__attribute__((noinline)) bool MatchFinder::Improve(Walk& w, uint32_t at) {
  const uint32_t distance = w.pos - at;
  const unsigned len = CommonLength(w.cur, w.cur - distance, w.maxLen);
  if (len > w.best) {
    w.best = len;
    if (w.count == kMaxMatchesPerPosition) --w.count;  // keep the longest
    w.out[w.count++] = {static_cast<uint16_t>(len), static_cast<uint16_t>(distance)};
    if (len >= w.stopAt) return false;
    w.probe = len - 3;
    w.probeBytes = Load32(w.cur + w.probe);
  }
  return true;
}

// One chain step; false once the search is over. Links are positions plus one.
inline bool MatchFinder::Step(Walk& w) {
  const uint32_t at = w.cand - 1;
  if (Load32(data_ + at + w.probe) == w.probeBytes && !Improve(w, at)) return false;
  const uint32_t links = chain_[w.cand];
  w.cand = w.next;
  w.next = links >> 16;
  // Both tests at once: one branch per step rather than two.
  return (w.cand != 0) & (--w.stepsLeft != 0);
}

unsigned MatchFinder::Find(uint32_t pos, unsigned maxLen, Match* out) {
  if (pos + 4 > length_ || maxLen < 4) {
    Skip(pos);
    return 0;
  }
  Walk w;
  Start(pos, maxLen, out, w);
  if (!w.done) {
    while (Step(w)) {
    }
    if (w.stepsLeft == 0 && w.cand != 0 && w.best < kDeepBelow && deepSteps_ != 0) {
      w.stepsLeft = deepSteps_;
      while (Step(w)) {
      }
    }
  }
  return w.count;
}

void MatchFinder::FindPair(uint32_t pos, unsigned maxLen0, unsigned maxLen1, Match* out0,
                           unsigned* n0, Match* out1, unsigned* n1) {
  if (pos + 5 > length_ || maxLen1 < 4) {
    *n0 = Find(pos, maxLen0, out0);
    *n1 = Find(pos + 1, maxLen1, out1);
    return;
  }
  Walk a, b;
  Start(pos, maxLen0, out0, a);
  Start(pos + 1, maxLen1, out1, b);
  bool liveA = !a.done, liveB = !b.done;
  if (liveA || liveB) {
    // The walks' state in locals, also for the one left after the other ends: the
    // compiler kept the Walk fields on the stack otherwise. Both start with the same
    // step count, so one count serves both.
    const uint8_t* const data = data_;
    const uint32_t* const chain = chain_.data();
    // A walk that ended in Start has none of these set. Links widened once here: as
    // 32-bit values they took a copy per step to index with.
    size_t candA = liveA ? a.cand : 0, candB = liveB ? b.cand : 0;
    size_t nextA = liveA ? a.next : 0, nextB = liveB ? b.next : 0;
    const uint8_t* probeA = data + (liveA ? a.probe : 0);
    const uint8_t* probeB = data + (liveB ? b.probe : 0);
    uint32_t bytesA = liveA ? a.probeBytes : 0, bytesB = liveB ? b.probeBytes : 0;
    unsigned steps;
    unsigned over = 0;  // bit 0: A ended in Improve, bit 1: B did
    // One step of both walks at the candidates cA and cB, whose previous links nA and
    // nB came with them; cA and cB then take the links before nA and nB. Both probes
    // first and one branch for either passing (few do). Called with the roles of the
    // cand and next variables swapped every other step, so that no step copies them.
    auto both = [&](size_t& cA, size_t nA, size_t& cB, size_t nB)
                    __attribute__((always_inline)) {
      const bool hitA = Load32(probeA + cA - 1) == bytesA;
      const bool hitB = Load32(probeB + cB - 1) == bytesB;
      if (__builtin_expect(hitA, 0) || __builtin_expect(hitB, 0)) {
        if (hitA) {
          over |= Improve(a, static_cast<uint32_t>(cA - 1)) ? 0 : 1;
          probeA = data + a.probe;
          bytesA = a.probeBytes;
        }
        if (hitB) {
          over |= Improve(b, static_cast<uint32_t>(cB - 1)) ? 0 : 2;
          probeB = data + b.probe;
          bytesB = b.probeBytes;
        }
        if (over != 0) {
          // Leaves the loop here rather than through its test: merged into the
          // common step, the compiler computed both link addresses on every step.
          cA = chain[cA] >> 16;
          cB = chain[cB] >> 16;
          --steps;
          return false;
        }
      }
      cA = chain[cA] >> 16;
      cB = chain[cB] >> 16;
      // Links are below 2^16: the product is 0 only when one of them is.
      return --steps != 0 && nA * nB != 0;
    };
    // The walk left, alone, its roles swapped as in both().
    auto one = [&](Walk& w, size_t& c, size_t n, const uint8_t*& probe, uint32_t& bytes)
                   __attribute__((always_inline)) {
      if (Load32(probe + c - 1) == bytes) {
        if (!Improve(w, static_cast<uint32_t>(c - 1))) return false;
        probe = data + w.probe;
        bytes = w.probeBytes;
      }
      c = chain[c] >> 16;
      return --steps != 0 && n != 0;
    };
    // The walk left, to its end; whether it ran out of steps with candidates left (then c
    // is its next candidate, n the one after).
    auto alone = [&](Walk& w, size_t& c, size_t& n, const uint8_t*& probe, uint32_t& bytes)
                     __attribute__((always_inline)) {
      for (;;) {
        if (!one(w, c, n, probe, bytes)) {
          std::swap(c, n);
          break;
        }
        if (!one(w, n, c, probe, bytes)) break;
      }
      return steps == 0 && c != 0 && w.best < w.stopAt;
    };
    // Walks the live ones for `budget` steps; afterwards cand is a walk's next candidate
    // and next the one after it (0 once the chain ended), and the return value tells
    // which walks ran out of steps with candidates left.
    auto run = [&](bool walkA, bool walkB, unsigned budget) __attribute__((always_inline)) {
      steps = budget;
      if (walkA && walkB) {
        for (;;) {
          if (!both(candA, nextA, candB, nextB)) {
            std::swap(candA, nextA);
            std::swap(candB, nextB);
            break;
          }
          if (!both(nextA, candA, nextB, candB)) break;
        }
        walkA = (over & 1) == 0 && candA != 0;
        walkB = (over & 2) == 0 && candB != 0;
        if (steps == 0) return (walkA ? 1u : 0u) | (walkB ? 2u : 0u);
      }
      if (walkA) return alone(a, candA, nextA, probeA, bytesA) ? 1u : 0u;
      if (walkB) return alone(b, candB, nextB, probeB, bytesB) ? 2u : 0u;
      return 0u;
    };
    const unsigned left = run(liveA, liveB, steps_);
    if (left != 0 && deepSteps_ != 0) {
      // Walks that used their steps without a match of kDeepBelow bytes go further:
      // far candidates pay most where nothing long was found.
      const bool deepA = (left & 1) && a.best < kDeepBelow;
      const bool deepB = (left & 2) && b.best < kDeepBelow;
      if (deepA || deepB) run(deepA, deepB, deepSteps_);
    }
  }
  *n0 = a.count;
  *n1 = b.count;
}

}  // namespace hha::lzx
