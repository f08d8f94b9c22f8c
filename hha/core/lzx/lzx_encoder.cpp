// LZX encoder for one CHM reset interval: parse (the first frame once under costs carried
// from earlier intervals, or twice, the second pass with costs from the first one's
// statistics; the second frame once with costs from the first frame's result), split
// into blocks where separate trees pay for their headers, write verbatim or aligned
// blocks. Unlike general LZX encoders it never emits E8 translation and never mixes
// stored blocks into compressed ones: an interval that does not compress is stored
// whole, one uncompressed block per frame.
#include "hha/core/lzx/lzx_encoder.h"

#include <algorithm>
#include <cstring>

#include "hha/core/lzx/bit_writer.h"
#include "hha/core/lzx/block_writer.h"
#include "hha/core/lzx/lzx_constants.h"
#include "hha/core/lzx/parser.h"

namespace hha::lzx {

namespace {

// Smallest block the splitter considers: below 4 KiB the ~50-100 bytes of trees rarely
// pay for themselves on text.
constexpr uint32_t kMinSplitBytes = 0x1000;
// How close two halves, each a block of its own, must come to the whole before the
// splitter looks for blocks inside them. At 500 bits it builds a fifth of the trees it
// built looking everywhere, for the same output with search off and 14 and 2 more
// bytes on java.base and Java SE with search on (300: +98 on java.base; 800 built
// half the trees; the differences either way are the estimates' own error).
constexpr uint64_t kSplitMargin = 500;
// Matches this long are taken without weighing alternatives. On the search-enabled
// java.base stream, with the default passes: 64 gave 0.24% more bytes than 96 for 17%
// fewer instructions, 80 0.09% more. Time spent here buys more size than anywhere else
// tried: 96-step chains at 80 gave what 96 gives for more time, a third pass 0.2% for
// 37% more, binary trees instead of chains the size of 256-step chains for 15% more.
// The fast mode's single pass at 32 takes 35% less time than the default for 1.1%
// more bytes. With the four-byte nearest matches, 92 gives smaller help files than 96
// gave without them (java.base -0.05%, Java SE -0.04%) for 1.2% fewer instructions;
// 88 saved 3.5% but made Java SE's file larger.
// 104 with the finder's deeper walks: java.base's pages (search off) 0.22% smaller than
// 92 without them, for 14% more compressor instructions; every other mix of length,
// chain depth and deeper walks found that got as far cost as much or more.
constexpr unsigned kNiceLength = 104;
// The farthest position slot that the first frame's statistics see from half its
// positions or more (distances up to 24 KiB).
constexpr unsigned kFarSlot = 28;
constexpr unsigned kFastNiceLength = 32;
// Carried counts are used when this interval's greedy symbols cost at most this many
// thousandths more under them than under the greedy parse's own statistics; the others (a
// change of content) keep the statistics pass. Against the statistics pass, on java.base
// (search off): 120 gave 0.034% fewer bytes with 94% of the intervals carried, 100
// 0.023% (88%), 200 0.026% (98%), but at 200 Java SE's search-on stream grew: a stretch
// of its files after the pages fits at 1.11-1.14 and lost 1% there.
constexpr uint64_t kCarriedFitPerMille = 120;

// Whether costs from the carried counts suit an interval whose greedy parse has the
// counts `own`: its symbols' cost under them against their cost under their own
// statistics (the least any model can give them).
bool CarriedCountsFit(const SymbolCounts& carried, const SymbolCounts& own) {
  CostModel theirs, ours;
  theirs.FromCounts(carried);
  ours.FromCounts(own);
  uint64_t theirBits = 0, ourBits = 0;
  for (unsigned i = 0; i < kMainSymbols; ++i) {
    theirBits += uint64_t{own.main[i]} * theirs.main[i];
    ourBits += uint64_t{own.main[i]} * ours.main[i];
  }
  for (unsigned i = 0; i < kLengthSymbols; ++i) {
    theirBits += uint64_t{own.length[i]} * theirs.length[i];
    ourBits += uint64_t{own.length[i]} * ours.length[i];
  }
  return theirBits * 1000 <= ourBits * (1000 + kCarriedFitPerMille);
}

// The symbol counts of a block's statistics, as the parser keeps them: the statistics
// have them already, so the items need not be counted again.
void CopyCounts(const BlockStats& stats, SymbolCounts& counts) {
  static_assert(sizeof(counts.main) == sizeof(stats.main), "same main tree");
  static_assert(sizeof(counts.length) == sizeof(stats.length), "same length tree");
  std::memcpy(counts.main, stats.main, sizeof(counts.main));
  std::memcpy(counts.length, stats.length, sizeof(counts.length));
}

// One uncompressed block per frame: after the 27 header bits (28 with the E8 bit) the
// stream needs 1-16 padding bits, then R0-R2 (all 1 right after a reset) and the bytes.
void WriteStoredInterval(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out,
                         uint32_t frameStarts[2]) {
  const size_t base = out.size();
  BitWriter bits(out);
  bits.Put(0, 1);  // no E8 translation
  for (uint32_t frame = 0; frame * kFrameSize < length; ++frame) {
    frameStarts[frame] = static_cast<uint32_t>(out.size() - base);
    bits.Put(kBlockUncompressed, 3);
    bits.Put(kFrameSize >> 16, 8);
    bits.Put(kFrameSize & 0xFFFF, 16);
    if (bits.Aligned()) {
      bits.Put(0, 16);
    } else {
      bits.AlignTo16();
    }
    for (int r = 0; r < 3; ++r) {
      const uint8_t one[4] = {1, 0, 0, 0};
      out.insert(out.end(), one, one + 4);
    }
    const uint8_t* frameData = data + static_cast<size_t>(frame) * kFrameSize;
    out.insert(out.end(), frameData, frameData + kFrameSize);
  }
}

// A candidate block of the splitter: a range of items and its statistics.
struct SplitNode {
  size_t first, last;
  int left = -1, right = -1;  // the halves, -1 for a leaf
  uint64_t bits = 0;          // as one block; 0 until estimated
  BlockStats stats;
};

// Halves items[first, last) by uncompressed size down to ranges under 2 * kMinSplitBytes
// and sums the statistics upwards, so each item is counted once.
int BuildSplitTree(const std::vector<Item>& items, const std::vector<uint32_t>& positions,
                   size_t first, size_t last, std::vector<SplitNode>& nodes) {
  const int index = static_cast<int>(nodes.size());
  nodes.emplace_back();
  nodes[index].first = first;
  nodes[index].last = last;
  const uint32_t from = positions[first], to = positions[last];
  if (to - from >= 2 * kMinSplitBytes) {
    const uint32_t middle = from + (to - from) / 2;
    const size_t mid = static_cast<size_t>(
        std::lower_bound(positions.begin() + first, positions.begin() + last, middle) -
        positions.begin());
    if (mid > first && mid < last) {
      const int left = BuildSplitTree(items, positions, first, mid, nodes);
      const int right = BuildSplitTree(items, positions, mid, last, nodes);
      SplitNode& node = nodes[index];
      node.left = left;
      node.right = right;
      node.stats = nodes[left].stats;
      node.stats.Add(nodes[right].stats);
      return index;
    }
  }
  nodes[index].stats.Collect(items.data() + first, last - first);
  return index;
}

uint64_t NodeBits(SplitNode& node) {
  if (node.bits == 0) node.bits = BlockWriter::EstimateBits(node.stats);
  return node.bits;
}

// Chooses the blocks of a node: the whole, or the best blocks of each half when those
// come out smaller with their own trees; appends the chosen block ends. The halves are
// only looked into when, as single blocks, they come within kSplitMargin bits of the
// whole: a second block's trees cost several hundred bits, so halves that do much
// worse than the whole hardly ever hide a split that pays further down, and looking
// into every half was most of the splitter's time.
uint64_t ChooseBlocks(std::vector<SplitNode>& nodes, int index, std::vector<size_t>& ends) {
  const uint64_t whole = NodeBits(nodes[index]);
  const int left = nodes[index].left, right = nodes[index].right;
  if (left >= 0 && NodeBits(nodes[left]) + NodeBits(nodes[right]) < whole + kSplitMargin) {
    const size_t mark = ends.size();
    const uint64_t halves = ChooseBlocks(nodes, left, ends) + ChooseBlocks(nodes, right, ends);
    if (halves < whole) return halves;
    ends.resize(mark);
  }
  ends.push_back(nodes[index].last);
  return whole;
}

}  // namespace

struct IntervalEncoder::State {
  Parser parser;
  std::vector<Item> items;
  std::vector<uint32_t> positions;
  std::vector<SplitNode> nodes;
};

IntervalEncoder::IntervalEncoder() : state_(std::make_unique<State>()) {}
IntervalEncoder::~IntervalEncoder() = default;

bool IntervalEncoder::Compress(const uint8_t* data, uint32_t length, std::vector<uint8_t>& out,
                               uint32_t frameStarts[2], bool fast,
                               const std::function<bool(SymbolCounts&)>& carried,
                               SymbolCounts* left) {
  frameStarts[0] = 0;
  frameStarts[1] = 0;
  Parser& parser = state_->parser;
  std::vector<Item>& items = state_->items;
  std::vector<uint32_t>& positions = state_->positions;

  // The greedy parse that comes with the matches tells how well the interval
  // compresses. When it saves less than an eighth (packed index data, images, fonts),
  // the near-optimal parse would gain a few percent of little, and its greedy items
  // are coded as they are.
  parser.FindMatches(data, length, fast ? kFastNiceLength : kNiceLength, !fast, items);
  BlockStats greedy;
  greedy.Collect(items.data(), items.size());
  const bool poor = BlockWriter::EstimateBits(greedy) > length * 7ull;
  CostModel costs;
  if (poor) {
  } else if (fast) {
    costs.FromItems(items);
    parser.Parse(costs, true, items);
  } else {
    uint32_t reps[kNumRepeats] = {1, 1, 1};
    SymbolCounts counts, own;
    bool fits = false;
    if (carried && carried(counts)) {
      CopyCounts(greedy, own);
      fits = CarriedCountsFit(counts, own);
    }
    if (fits) {
      // Pages come in similarity order, so the final statistics of the intervals before
      // make a better model than a statistics pass from default costs: on java.base
      // (search off) 0.034% smaller output for 9% fewer instructions.
      costs.FromCounts(counts);
    } else {
      // Statistics from a parse under default costs that tries only full match lengths
      // make a better model than the greedy ones (0.5% smaller output on Javadoc).
      costs.SetDefaults();
      items.clear();
      parser.Parse(0, costs, false, reps, items);
      costs.FromItems(items);
      reps[0] = reps[1] = reps[2] = 1;
    }
    // The second frame is parsed under costs from the first frame's final parse, which
    // spares it the statistics pass: 8% fewer instructions for 0.03% more output.
    items.clear();
    parser.Parse(0, costs, true, reps, items);
    if (length > kFrameSize) {
      if (fits) {
        // The first frame's counts with a little of the carried ones: symbols the frame
        // did not use get costs from the pages before rather than the price of one
        // occurrence. At 1/64 of the carried counts (about half a frame's worth), 0.03%
        // smaller output on java.base (search off); 1/32 and 1/128 gained a little less.
        SymbolCounts mix;
        mix.Clear();
        mix.Add(items.data(), items.size());
        for (unsigned i = 0; i < kMainSymbols; ++i) mix.main[i] = mix.main[i] * 64 + counts.main[i];
        for (unsigned i = 0; i < kLengthSymbols; ++i) {
          mix.length[i] = mix.length[i] * 64 + counts.length[i];
        }
        costs.FromCounts(mix);
      } else {
        costs.FromItems(items);
      }
      // The first frame reaches back no further than its own start: slots 30-31
      // (distances from 32 KiB on) never occur in its statistics and slot 29 (from
      // 24 KiB) only near its end, so the second frame would price its farthest matches
      // as unseen. They get slot 28's costs instead: 0.013% smaller output on java.base
      // at no cost (slots 28-31 from 27: 0.008%, 30-31 from 28: 0.009%).
      for (unsigned slot = kFarSlot + 1; slot < kNumPositionSlots; ++slot) {
        std::memcpy(costs.main + kNumChars + slot * 8, costs.main + kNumChars + kFarSlot * 8, 8);
      }
      parser.Parse(kFrameSize, costs, true, reps, items);
    }
  }


  positions.resize(items.size() + 1);
  uint32_t pos = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    positions[i] = pos;
    pos += items[i].length;
  }
  positions[items.size()] = pos;

  std::vector<size_t> ends;
  std::vector<SplitNode>& nodes = state_->nodes;
  nodes.clear();
  BuildSplitTree(items, positions, 0, items.size(), nodes);
  ChooseBlocks(nodes, 0, ends);
  const BlockStats& stats = nodes[0].stats;
  const bool leaves = left && !poor && !fast;
  if (leaves) CopyCounts(stats, *left);

  const size_t base = out.size();
  BlockWriter writer(out);
  if (ends.size() == 1) {
    // The usual case: one block, whose statistics the splitter already summed.
    writer.WriteBlock(items.data(), items.size(), stats);
  } else {
    size_t first = 0;
    for (size_t end : ends) {
      writer.WriteBlock(items.data() + first, end - first);
      first = end;
    }
  }
  writer.Finish();
  frameStarts[1] = length > kFrameSize ? writer.SecondFrameStart() : 0;

  const size_t storedSize = 2 + (length / kFrameSize) * (4 + 12 + kFrameSize);
  if (out.size() - base > storedSize) {
    out.resize(base);
    WriteStoredInterval(data, length, out, frameStarts);
  }
  return leaves;
}

}  // namespace hha::lzx
