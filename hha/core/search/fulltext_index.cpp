// $FIftiMain writer.
//
// Layout as the readers (pychm, xCHM) walk it: a 0x400-byte header, then for every leaf
// the topic lists of its words followed by the 4096-byte leaf itself, then the index
// levels, the root last. As Microsoft's compiler does, a word found in titles has a
// title-flagged entry of its own right after its body entry.
#include "hha/core/search/fulltext_index.h"

#include <algorithm>
#include <cstring>

#include "hha/core/byte_writer.h"
#include "hha/core/search/page_text.h"

namespace hha::search {
namespace {

constexpr size_t kHeaderSize = 0x400;
// Node size: what the Microsoft viewer uses and what readers take from the header.
constexpr uint32_t kNodeSize = 4096;
constexpr size_t kLeafHeader = 8, kIndexHeader = 2;
// The last byte of a word's key: its entry's title flag. Lower than any character, so
// keys sort as their words do, the body entry before the title entry.
constexpr char kBodyEntry = '\0', kTitleEntry = '\1';

// Header offsets.
constexpr size_t kOffMagic = 0x00, kOffFiles = 0x04, kOffRoot = 0x08, kOffLeafCount = 0x10,
                 kOffRoot2 = 0x14, kOffDepth = 0x18, kOffUnknown7 = 0x1A, kOffDocScale = 0x1E,
                 kOffCodeScale = 0x20, kOffLocScale = 0x22, kOffNodeSize = 0x2E,
                 kOffLongest = 0x3E, kOffTotalWords = 0x42, kOffDistinct = 0x46,
                 kOffTotalLength = 0x4A, kOffDistinctLength = 0x52, kOffLastLeafFree = 0x56,
                 kOffLastTopic = 0x5E, kOffOne = 0x32, kOffCodePage = 0x7A, kOffLcid = 0x7E;

// Scale-and-root codes: scale 2 is the only one readers decode. Build codes the lists
// with the cheapest roots, as Microsoft's compiler chooses them; until then they are
// held as plain numbers (see StagedList).
constexpr int kScale = 2;

// Bits that a value of the given bit length takes with root r: the root's bits and a
// one-bit prefix up to 2^root, then a unary prefix and the bits below the top one.
inline uint64_t ScaleRootBits(int bits, int root) {
  return bits <= root ? static_cast<uint64_t>(1 + root) : static_cast<uint64_t>(2 * bits - root);
}

// Bits go out most significant first, whole bytes at a time; the last byte is padded
// with zeros when the appender goes out of scope (every topic's list starts on a byte).
class BitAppender {
 public:
  explicit BitAppender(std::vector<uint8_t>* out) : out_(out) {}
  ~BitAppender() {
    if (pending_ > 0) out_->push_back(static_cast<uint8_t>(acc_ << (8 - pending_)));
  }
  BitAppender(const BitAppender&) = delete;
  BitAppender& operator=(const BitAppender&) = delete;

  void Bits(uint64_t v, int n) {
    while (n > 32) {
      n -= 32;
      Put(static_cast<uint32_t>(v >> n), 32);
    }
    Put(static_cast<uint32_t>(v) & static_cast<uint32_t>((uint64_t{1} << n) - 1), n);
  }
  // p one-bits and a zero, then r + max(p - 1, 0) bits; the value is those bits, plus
  // 2^(that count) when p > 0.
  void ScaleRoot(uint64_t v, int root) {
    if (v < (uint64_t{1} << root)) {
      Bits(v, root + 1);  // a zero, then the value in root bits
      return;
    }
    const int b = 64 - __builtin_clzll(v);  // bit length
    const int p = b - root;
    // Nearly every code fits one put: ones, the zero (bit b - 1), the bits below the top.
    if (p + b <= kPutBits) {
      Put(((uint64_t{1} << p) - 1) << b | (v & ((uint64_t{1} << (b - 1)) - 1)), p + b);
      return;
    }
    for (int k = p; k > 0; k -= 32) {
      const int n = std::min(k, 32);
      Put(static_cast<uint32_t>((uint64_t{1} << n) - 1), n);
    }
    Put(0, 1);
    Bits(v, b - 1);  // the top bit is implied
  }

 private:
  // Fewer than 8 bits are pending between puts, so that many more fit the accumulator.
  static constexpr int kPutBits = 56;
  // n <= kPutBits bits of v (already masked), after the pending ones.
  void Put(uint64_t v, int n) {
    acc_ = acc_ << n | v;
    pending_ += n;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_->push_back(static_cast<uint8_t>(acc_ >> pending_));
    }
    acc_ &= (uint64_t{1} << pending_) - 1;
  }

  std::vector<uint8_t>* out_;
  uint64_t acc_ = 0;  // the last `pending_` bits, not yet a whole byte
  int pending_ = 0;
};

// A topic list until Build knows its roots: the topic gap, the count and the word gaps
// as 7-bit groups, least significant first. Coding each value once, when the roots are
// known, costs less than coding it with guessed roots and re-coding every list (the
// guess was wrong for Java SE's topic gaps), and is the same bits.
uint8_t* StageValue(uint8_t* out, uint32_t v) {
  while (v >= 0x80) {
    *out++ = static_cast<uint8_t>(v | 0x80);
    v >>= 7;
  }
  *out++ = static_cast<uint8_t>(v);
  return out;
}
uint32_t UnstageValue(const uint8_t*& p) {
  uint32_t v = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = *p++;
    v |= static_cast<uint32_t>(b & 0x7F) << shift;
    if (b < 0x80) return v;
  }
}

// 7-bit groups, least significant first (the directory's ENCINT is the other way round).
void EncIntLe(ByteWriter& w, uint64_t v) {
  do {
    uint8_t b = v & 0x7F;
    v >>= 7;
    w.U8(v ? b | 0x80 : b);
  } while (v);
}
size_t EncIntLeSize(uint64_t v) {
  size_t n = 1;
  while (v >>= 7) ++n;
  return n;
}

// A key is its word followed by the entry's title flag. Readers compare keys with
// strcasecmp: ASCII letters folded, then unsigned bytes. Words are folded already except
// for ASCII trail bytes of double-byte characters.
struct Key {
  std::string_view word;
  char flag;
  size_t size() const { return word.size() + 1; }
  unsigned char operator[](size_t i) const { return static_cast<unsigned char>(i < word.size() ? word[i] : flag); }
};

bool ReaderLess(const Key& a, const Key& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i];
  return false;
}

size_t Shared(std::string_view a, std::string_view b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && n < 255 && a[n] == b[n]) ++n;
  return n;
}

struct Node {
  std::vector<size_t> items;  // word (leaves) or child (index levels) numbers
  std::string lastWord;
  uint32_t offset = 0;
  size_t used = 0;
};

}  // namespace

void FullTextIndex::BeginTopic(uint32_t topic) {
  topicWords_.clear();
  positions_.clear();
  ++topicSerial_;
  titleCount_ = bodyCount_ = 0;
  inTopic_ = !anyTopic_ || topic > lastTopic_;
  if (!inTopic_) return;
  anyTopic_ = true;
  ++pages_;
  lastTopic_ = topic_ = topic;
}

namespace {

// Every word of every page is looked up: eight bytes per multiply rather than a multiply
// per byte (FNV), whose chain of multiplies was a quarter of the lookup's time. The hash
// only places words in the table; nothing written depends on it.
uint32_t HashWord(const char* p, size_t n) {
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  uint64_t h = (n + 1) * kMul;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, p + i, 8);
    h = (h ^ v) * kMul;
    h ^= h >> 29;
  }
  // The last 1-7 bytes from two overlapping loads (or three single bytes): together they
  // cover every byte, and the length is in h already.
  const size_t r = n - i;
  const char* q = p + i;
  uint64_t v = 0;
  if (r >= 4) {
    uint32_t a, b;
    std::memcpy(&a, q, 4);
    std::memcpy(&b, q + r - 4, 4);
    v = uint64_t{a} << 32 | b;
  } else if (r > 0) {
    v = uint64_t{static_cast<uint8_t>(q[0])} << 16 | uint64_t{static_cast<uint8_t>(q[r / 2])} << 8 |
        static_cast<uint8_t>(q[r - 1]);
  }
  h = (h ^ v) * kMul;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}

}  // namespace

void FullTextIndex::Grow() {
  std::vector<uint32_t> slots(slots_.empty() ? 4096 : slots_.size() * 2, 0);
  const size_t mask = slots.size() - 1;
  for (uint32_t w = 0; w < words_.size(); ++w) {
    size_t at = words_[w].hash & mask;
    while (slots[at]) at = (at + 1) & mask;
    slots[at] = w + 1;
  }
  slots_.swap(slots);
}

uint32_t FullTextIndex::Intern(std::string_view word) {
  const uint32_t hash = HashWord(word.data(), word.size());
  if (2 * (words_.size() + 1) > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  size_t at = hash & mask;
  for (; slots_[at]; at = (at + 1) & mask) {
    const WordInfo& w = words_[slots_[at] - 1];
    if (w.hash == hash && w.size == word.size() &&
        std::memcmp(text_.data() + w.offset, word.data(), word.size()) == 0)
      return slots_[at] - 1;
  }
  WordInfo w;
  w.offset = static_cast<uint32_t>(text_.size());
  w.hash = hash;
  w.size = static_cast<uint8_t>(word.size());
  text_ += word;
  words_.push_back(w);
  slots_[at] = static_cast<uint32_t>(words_.size());
  return static_cast<uint32_t>(words_.size() - 1);
}

void FullTextIndex::Word(std::string_view word, bool inTitle) {
  if (!inTopic_ || word.empty() || word.size() > kMaxWordBytes) return;
  const uint32_t id = Intern(word);
  WordInfo& info = words_[id];
  if (info.seenIn != topicSerial_) {
    info.seenIn = topicSerial_;
    info.inTopic = static_cast<uint32_t>(topicWords_.size());
    // Filled in place: a braced record was built on the stack with 4-byte stores and
    // copied with wider loads, which cannot take them from the store buffer and wait
    // until they reach the cache (half of Word's samples).
    TopicWord& first = topicWords_.emplace_back();
    first.word = id;
    first.entry[0] = info.entry[0];
    first.entry[1] = info.entry[1];
    first.count[0] = first.count[1] = 0;
  }
  ++topicWords_[info.inTopic].count[inTitle];
  Position& added = positions_.emplace_back();
  added.list = info.inTopic * 2 + inTitle;
  added.number = inTitle ? titleCount_++ : bodyCount_++;
  ++totalWords_;
  totalWordBytes_ += word.size();
}

// Appends this topic to the list of one of the word's entries: its t.count[title]
// positions are numbers[], counted from `base`.
void FullTextIndex::AddEntry(const TopicWord& t, bool title, uint32_t base, const uint32_t* numbers) {
  uint32_t entry = t.entry[title];
  if (entry == kNone) {
    entry = words_[t.word].entry[title] = static_cast<uint32_t>(hits_.size());
    hits_.emplace_back();
    hits_.back().word = t.word;
    hits_.back().title = title;
  }
  Hits& h = hits_[entry];
  const uint32_t n = t.count[title];
  Count(docLengths_, topic_ - h.lastTopic);
  Count(countLengths_, n);
  // Staged through a local buffer: bytes stored straight into the vector made the
  // compiler reload its end after each one.
  uint8_t buffer[256 + 16];
  uint8_t* out = StageValue(buffer, topic_ - h.lastTopic);
  out = StageValue(out, n);
  uint32_t previous = 0;
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t at = base + numbers[k];
    out = StageValue(out, at - previous);
    Count(locationLengths_, at - previous);
    previous = at;
    if (out - buffer > 256) {
      h.wlc.insert(h.wlc.end(), buffer, out);
      out = buffer;
    }
  }
  h.wlc.insert(h.wlc.end(), buffer, out);
  h.lastTopic = topic_;
  ++h.topics;
}

void FullTextIndex::EndTopic() {
  if (!inTopic_) return;
  inTopic_ = false;
  // Each list's numbers together, in text order: a counting sort of the positions by list
  // (a linked list per word walked one dependent load per position).
  std::vector<uint32_t> start(topicWords_.size() * 2 + 1);
  for (size_t k = 0; k < topicWords_.size(); ++k) {
    start[2 * k + 1] = start[2 * k] + topicWords_[k].count[0];
    start[2 * k + 2] = start[2 * k + 1] + topicWords_[k].count[1];
  }
  grouped_.resize(positions_.size());
  {
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (const Position& p : positions_) grouped_[next[p.list]++] = p.number;
  }
  // Title words and body words are separate entries (the key's last byte is the
  // entry's title flag); the body's word numbers continue after the title's.
  for (size_t k = 0; k < topicWords_.size(); ++k) {
    const TopicWord& t = topicWords_[k];
    if (t.count[0]) AddEntry(t, false, titleCount_, grouped_.data() + start[2 * k]);
    if (t.count[1]) AddEntry(t, true, 0, grouped_.data() + start[2 * k + 1]);
  }
  // A huge page's positions are not kept for the rest of the compile.
  constexpr size_t kKeptPositions = 64 * 1024;
  if (positions_.capacity() > kKeptPositions) {
    std::vector<Position>().swap(positions_);
    std::vector<TopicWord>().swap(topicWords_);
    std::vector<uint32_t>().swap(grouped_);
  }
  topicWords_.clear();
  positions_.clear();
}

int FullTextIndex::CheapestRoot(const BitLengths& lengths) {
  int best = 1;
  uint64_t bestCost = UINT64_MAX;
  for (int root = 1; root <= kRoots; ++root) {
    uint64_t cost = 0;
    for (int bits = 1; bits < 65; ++bits) cost += lengths[bits] * ScaleRootBits(bits, root);
    if (cost < bestCost) {  // ties keep the smaller root
      bestCost = cost;
      best = root;
    }
  }
  return best;
}

std::vector<uint8_t> FullTextIndex::Build() {
  const int docRoot = CheapestRoot(docLengths_), countRoot = CheapestRoot(countLengths_),
            locRoot = CheapestRoot(locationLengths_);
  // Code every list with those roots, each topic's part on whole bytes. Microsoft's
  // compiler pads the list of a word found in more than two topics by a tenth; readers
  // stop after the declared topics.
  for (Hits& h : hits_) {
    std::vector<uint8_t> coded;
    const uint8_t* in = h.wlc.data();
    for (uint32_t t = 0; t < h.topics; ++t) {
      BitAppender out(&coded);
      out.ScaleRoot(UnstageValue(in), docRoot);
      const uint32_t n = UnstageValue(in);
      out.ScaleRoot(n, countRoot);
      for (uint32_t k = 0; k < n; ++k) out.ScaleRoot(UnstageValue(in), locRoot);
    }
    if (h.topics > 2) coded.resize(coded.size() + coded.size() / 10, 0);
    h.wlc.swap(coded);
  }
  // Positions and the lookup table are not needed any more; the words' text is.
  std::vector<Position>().swap(positions_);
  std::vector<TopicWord>().swap(topicWords_);
  std::vector<uint32_t>().swap(grouped_);
  std::vector<uint32_t>().swap(slots_);
  auto key = [&](const Hits& h) { return Key{WordAt(h.word), h.title ? kTitleEntry : kBodyEntry}; };
  std::vector<uint32_t> sorted(hits_.size());
  for (uint32_t i = 0; i < sorted.size(); ++i) sorted[i] = i;
  std::sort(sorted.begin(), sorted.end(),
            [&](uint32_t a, uint32_t b) { return ReaderLess(key(hits_[a]), key(hits_[b])); });
  auto hitsOf = [&](size_t i) -> Hits& { return hits_[sorted[i]]; };
  auto wordOf = [&](size_t i) { return WordAt(hitsOf(i).word); };

  // Leaves: as many words as fit, each stored after the prefix it shares with the word
  // before it in the same leaf (prefixes are shared between words, without their flags).
  std::vector<Node> leaves;
  auto leafEntrySize = [&](size_t i, size_t shared) {
    const Hits& h = hitsOf(i);
    return 2 + (wordOf(i).size() - shared) + 1 + EncIntLeSize(h.topics) + 4 + 2 +
           EncIntLeSize(h.wlc.size());
  };
  for (size_t i = 0; i < sorted.size(); ++i) {
    size_t shared = leaves.empty() || leaves.back().items.empty()
                        ? 0
                        : Shared(wordOf(leaves.back().items.back()), wordOf(i));
    if (leaves.empty() || leaves.back().used + leafEntrySize(i, shared) > kNodeSize - kLeafHeader) {
      leaves.emplace_back();
      shared = 0;
    }
    leaves.back().items.push_back(i);
    leaves.back().used += leafEntrySize(i, shared);
    leaves.back().lastWord = std::string(wordOf(i));
  }

  if (leaves.empty()) leaves.emplace_back();  // readers want a root even with no words

  ByteWriter w;
  // The topic lists are most of the file: reserving keeps it from being held twice while
  // it grows, and each list is freed once copied.
  size_t listBytes = 0;
  for (const Hits& h : hits_) listBytes += h.wlc.size();
  w.bytes().reserve(kHeaderSize + listBytes + 2 * leaves.size() * kNodeSize);
  w.Zeros(kHeaderSize);
  // Each leaf's topic lists go just before it, so its offsets are known when it is written
  // and the next-leaf link is the leaf's end plus the next leaf's lists.
  std::vector<uint32_t> wlcOffsets(sorted.size()), wlcSizes(sorted.size());
  std::vector<size_t> leafStart(leaves.size());
  for (size_t l = 0; l < leaves.size(); ++l) {
    for (size_t i : leaves[l].items) {
      wlcOffsets[i] = static_cast<uint32_t>(w.size());
      std::vector<uint8_t>& wlc = hitsOf(i).wlc;
      wlcSizes[i] = static_cast<uint32_t>(wlc.size());
      w.Bytes(wlc.data(), wlc.size());
      std::vector<uint8_t>().swap(wlc);
    }
    leafStart[l] = w.size();
    leaves[l].offset = static_cast<uint32_t>(w.size());
    w.Zeros(kNodeSize);
  }
  uint64_t distinctLength = 0;
  size_t longest = 0, distinct = 0;  // a word with body and title entries counts once
  std::string_view lastWord;
  for (size_t l = 0; l < leaves.size(); ++l) {
    ByteWriter node;
    node.U32(l + 1 < leaves.size() ? leaves[l + 1].offset : 0);
    node.U16(0);
    node.U16(static_cast<uint32_t>(kNodeSize - kLeafHeader - leaves[l].used));
    std::string_view previous;
    bool first = true;
    for (size_t i : leaves[l].items) {
      const Hits& h = hitsOf(i);
      const std::string_view word = wordOf(i);
      const size_t shared = first ? 0 : Shared(previous, word);
      if (distinct == 0 || word != lastWord) ++distinct;
      lastWord = word;
      node.U8(static_cast<uint32_t>(word.size() - shared + 1));
      node.U8(static_cast<uint32_t>(shared));
      node.Bytes(word.data() + shared, word.size() - shared);
      node.U8(h.title ? 1 : 0);
      EncIntLe(node, h.topics);
      node.U32(wlcOffsets[i]);
      node.U16(0);
      EncIntLe(node, wlcSizes[i]);
      previous = word;
      first = false;
      distinctLength += word.size();
      longest = std::max(longest, word.size());
    }
    std::copy(node.bytes().begin(), node.bytes().end(), w.bytes().begin() + leafStart[l]);
  }

  // Index levels until one node remains: each entry is the last word of a child, and a
  // reader descends into the first child whose word is not below the one it looks for.
  std::vector<Node> level = leaves;
  int depth = 1;
  while (level.size() > 1) {
    std::vector<Node> parents;
    auto entrySize = [&](size_t c, size_t shared) { return 2 + (level[c].lastWord.size() - shared) + 4 + 2; };
    for (size_t c = 0; c < level.size(); ++c) {
      size_t shared = parents.empty() || parents.back().items.empty()
                          ? 0
                          : Shared(level[parents.back().items.back()].lastWord, level[c].lastWord);
      if (parents.empty() || parents.back().used + entrySize(c, shared) > kNodeSize - kIndexHeader) {
        parents.emplace_back();
        shared = 0;
      }
      parents.back().items.push_back(c);
      parents.back().used += entrySize(c, shared);
      parents.back().lastWord = level[c].lastWord;
    }
    for (Node& parent : parents) {
      parent.offset = static_cast<uint32_t>(w.size());
      ByteWriter node;
      node.U16(static_cast<uint32_t>(kNodeSize - kIndexHeader - parent.used));
      const std::string* previous = nullptr;
      for (size_t c : parent.items) {
        const std::string& word = level[c].lastWord;
        const size_t shared = previous ? Shared(*previous, word) : 0;
        node.U8(static_cast<uint32_t>(word.size() - shared + 1));
        node.U8(static_cast<uint32_t>(shared));
        node.Bytes(word.data() + shared, word.size() - shared);
        node.U32(level[c].offset);
        node.U16(0);
        previous = &word;
      }
      node.Zeros(kNodeSize - node.size());
      w.Bytes(node.bytes().data(), node.size());
    }
    level = std::move(parents);
    ++depth;
  }
  const uint32_t root = level.empty() ? 0 : level[0].offset;

  w.PatchU32(kOffMagic, 0x00280000);
  w.PatchU32(kOffFiles, pages_);
  w.PatchU32(kOffRoot, root);
  w.PatchU32(kOffLeafCount, static_cast<uint32_t>(leaves.size()));
  w.PatchU32(kOffRoot2, root);
  w.PatchU16(kOffDepth, depth);
  w.PatchU32(kOffUnknown7, 7);
  w.PatchU16(kOffDocScale, kScale | docRoot << 8);
  w.PatchU16(kOffCodeScale, kScale | countRoot << 8);
  w.PatchU16(kOffLocScale, kScale | locRoot << 8);
  w.PatchU32(kOffNodeSize, kNodeSize);
  w.PatchU32(kOffLongest, static_cast<uint32_t>(longest));
  w.PatchU32(kOffTotalWords, static_cast<uint32_t>(totalWords_));
  w.PatchU32(kOffDistinct, static_cast<uint32_t>(distinct));
  w.PatchU64(kOffTotalLength, totalWordBytes_);
  w.PatchU32(kOffDistinctLength, static_cast<uint32_t>(distinctLength));
  w.PatchU32(kOffLastLeafFree,
             leaves.empty() ? 0 : static_cast<uint32_t>(kNodeSize - kLeafHeader - leaves.back().used));
  w.PatchU32(kOffLastTopic, lastTopic_);
  w.PatchU32(kOffOne, 1);
  w.PatchU32(kOffCodePage, codePage_);
  w.PatchU32(kOffLcid, lcid_);
  return std::move(w.bytes());
}

}  // namespace hha::search
