// $FIftiMain writer.
//
// Layout as the readers (pychm, xCHM) walk it: a 0x400-byte header, then for every leaf
// the topic lists of its words followed by the 4096-byte leaf itself, then the index
// levels, the root last. As Microsoft's compiler does, a word found in titles has a
// title-flagged entry of its own right after its body entry.
#include "hha/core/search/fulltext_index.h"

#include <algorithm>

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

// Scale-and-root codes: scale 2 is the only one readers decode. The lists are first
// written with roots that fit most data (topic gaps and counts are mostly small, word
// gaps around a dozen); Build re-codes them with the cheapest roots, as Microsoft's
// compiler chooses them.
constexpr int kScale = 2, kDocRoot = 1, kCountRoot = 1, kLocRoot = 4;

// Bits that a value of the given bit length takes with root r: the root's bits and a
// one-bit prefix up to 2^root, then a unary prefix and the bits below the top one.
inline uint64_t ScaleRootBits(int bits, int root) {
  return bits <= root ? static_cast<uint64_t>(1 + root) : static_cast<uint64_t>(2 * bits - root);
}

class BitReader {
 public:
  BitReader(const std::vector<uint8_t>& in) : in_(in) {}
  bool Bit() {
    const bool b = at_ / 8 < in_.size() && (in_[at_ / 8] >> (7 - at_ % 8)) & 1;
    ++at_;
    return b;
  }
  uint64_t Bits(int n) {
    uint64_t v = 0;
    for (int k = 0; k < n; ++k) v = v << 1 | (Bit() ? 1 : 0);
    return v;
  }
  uint64_t ScaleRoot(int root) {
    int p = 0;
    while (Bit() && p < 40) ++p;
    if (p == 0) return Bits(root);
    const int n = root + p - 1;
    return uint64_t{1} << n | Bits(n);
  }
  void ByteAlign() { at_ = (at_ + 7) / 8 * 8; }

 private:
  const std::vector<uint8_t>& in_;
  size_t at_ = 0;
};

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
    for (int k = p; k > 0; k -= 32) {
      const int n = std::min(k, 32);
      Put(static_cast<uint32_t>((uint64_t{1} << n) - 1), n);
    }
    Put(0, 1);
    Bits(v, b - 1);  // the top bit is implied
  }

 private:
  // n <= 32 bits of v (already masked), after the pending ones.
  void Put(uint32_t v, int n) {
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

// Readers compare with strcasecmp: ASCII letters folded, then unsigned bytes. Words are
// folded already except for ASCII trail bytes of double-byte characters.
bool ReaderLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

size_t Shared(const std::string& a, const std::string& b) {
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
  titleCount_ = bodyCount_ = 0;
  inTopic_ = !anyTopic_ || topic > lastTopic_;
  if (!inTopic_) return;
  anyTopic_ = true;
  ++pages_;
  lastTopic_ = topic_ = topic;
}

void FullTextIndex::Word(const std::string& word, bool inTitle) {
  if (!inTopic_ || word.empty() || word.size() > kMaxWordBytes) return;
  Positions& p = topicWords_[word];
  if (inTitle) p.title.push_back(titleCount_++);
  else p.body.push_back(bodyCount_++);
  ++totalWords_;
  totalWordBytes_ += word.size();
}

void FullTextIndex::EndTopic() {
  if (!inTopic_) return;
  inTopic_ = false;
  // Title words and body words are separate entries (the key's last byte is the
  // entry's title flag); the body's word numbers continue after the title's.
  auto add = [&](const std::string& key, const std::vector<uint32_t>& positions, uint32_t base) {
    Hits& h = words_[key];
    BitAppender bits(&h.wlc);
    bits.ScaleRoot(topic_ - h.lastTopic, kDocRoot);
    Count(docLengths_, topic_ - h.lastTopic);
    bits.ScaleRoot(positions.size(), kCountRoot);
    Count(countLengths_, positions.size());
    uint32_t previous = 0;
    for (uint32_t p : positions) {
      bits.ScaleRoot(base + p - previous, kLocRoot);
      Count(locationLengths_, base + p - previous);
      previous = base + p;
    }
    h.lastTopic = topic_;
    ++h.topics;
  };
  for (auto& [word, where] : topicWords_) {
    if (!where.body.empty()) add(word + kBodyEntry, where.body, titleCount_);
    if (!where.title.empty()) add(word + kTitleEntry, where.title, 0);
  }
  std::unordered_map<std::string, Positions>().swap(topicWords_);
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
  // Re-code every list with those roots. Microsoft's compiler pads the list of a word
  // found in more than two topics by a tenth; readers stop after the declared topics.
  for (auto& entry : words_) {
    Hits& h = entry.second;
    std::vector<uint8_t> recoded;
    if (docRoot != kDocRoot || countRoot != kCountRoot || locRoot != kLocRoot) {
      BitReader in(h.wlc);
      for (uint32_t t = 0; t < h.topics; ++t) {
        BitAppender out(&recoded);
        out.ScaleRoot(in.ScaleRoot(kDocRoot), docRoot);
        const uint64_t n = in.ScaleRoot(kCountRoot);
        out.ScaleRoot(n, countRoot);
        for (uint64_t k = 0; k < n; ++k) out.ScaleRoot(in.ScaleRoot(kLocRoot), locRoot);
        in.ByteAlign();
      }
      h.wlc.swap(recoded);
    }
    if (h.topics > 2) h.wlc.resize(h.wlc.size() + h.wlc.size() / 10, 0);
  }
  std::vector<const std::string*> sorted;
  sorted.reserve(words_.size());
  for (const auto& entry : words_) sorted.push_back(&entry.first);
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string* a, const std::string* b) { return ReaderLess(*a, *b); });

  // Leaves: as many words as fit, each stored after the prefix it shares with the word
  // before it in the same leaf.
  std::vector<Node> leaves;
  auto leafEntrySize = [&](size_t i, size_t shared) {
    const Hits& h = words_.at(*sorted[i]);
    return 2 + (sorted[i]->size() - 1 - shared) + 1 + EncIntLeSize(h.topics) + 4 + 2 +
           EncIntLeSize(h.wlc.size());
  };
  // Prefixes are shared between words, without their flags.
  auto sharedWords = [](const std::string& a, const std::string& b) {
    return Shared(a.substr(0, a.size() - 1), b.substr(0, b.size() - 1));
  };
  for (size_t i = 0; i < sorted.size(); ++i) {
    size_t shared = leaves.empty() || leaves.back().items.empty()
                        ? 0
                        : sharedWords(*sorted[leaves.back().items.back()], *sorted[i]);
    if (leaves.empty() || leaves.back().used + leafEntrySize(i, shared) > kNodeSize - kLeafHeader) {
      leaves.emplace_back();
      shared = 0;
    }
    leaves.back().items.push_back(i);
    leaves.back().used += leafEntrySize(i, shared);
    leaves.back().lastWord = sorted[i]->substr(0, sorted[i]->size() - 1);
  }

  if (leaves.empty()) leaves.emplace_back();  // readers want a root even with no words

  ByteWriter w;
  // The topic lists are most of the file: reserving keeps it from being held twice while
  // it grows, and each list is freed once copied.
  size_t listBytes = 0;
  for (const auto& entry : words_) listBytes += entry.second.wlc.size();
  w.bytes().reserve(kHeaderSize + listBytes + 2 * leaves.size() * kNodeSize);
  w.Zeros(kHeaderSize);
  // Each leaf's topic lists go just before it, so its offsets are known when it is written
  // and the next-leaf link is the leaf's end plus the next leaf's lists.
  std::vector<uint32_t> wlcOffsets(sorted.size()), wlcSizes(sorted.size());
  std::vector<size_t> leafStart(leaves.size());
  for (size_t l = 0; l < leaves.size(); ++l) {
    for (size_t i : leaves[l].items) {
      wlcOffsets[i] = static_cast<uint32_t>(w.size());
      std::vector<uint8_t>& wlc = words_.at(*sorted[i]).wlc;
      wlcSizes[i] = static_cast<uint32_t>(wlc.size());
      w.Bytes(wlc.data(), wlc.size());
      std::vector<uint8_t>().swap(wlc);
    }
    leafStart[l] = w.size();
    leaves[l].offset = static_cast<uint32_t>(w.size());
    w.Zeros(kNodeSize);
  }
  uint64_t distinctLength = 0;
  size_t longest = 0;
  for (size_t l = 0; l < leaves.size(); ++l) {
    ByteWriter node;
    node.U32(l + 1 < leaves.size() ? leaves[l + 1].offset : 0);
    node.U16(0);
    node.U16(static_cast<uint32_t>(kNodeSize - kLeafHeader - leaves[l].used));
    std::string previousWord;
    const std::string* previous = nullptr;
    for (size_t i : leaves[l].items) {
      const std::string& key = *sorted[i];
      const Hits& h = words_.at(key);
      const std::string word = key.substr(0, key.size() - 1);
      const size_t shared = previous ? Shared(*previous, word) : 0;
      node.U8(static_cast<uint32_t>(word.size() - shared + 1));
      node.U8(static_cast<uint32_t>(shared));
      node.Bytes(word.data() + shared, word.size() - shared);
      node.U8(key.back() == kTitleEntry ? 1 : 0);
      EncIntLe(node, h.topics);
      node.U32(wlcOffsets[i]);
      node.U16(0);
      EncIntLe(node, wlcSizes[i]);
      previousWord = word;
      previous = &previousWord;
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
  w.PatchU32(kOffDistinct, static_cast<uint32_t>(sorted.size()));
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
