// $FIftiMain writer.
//
// Layout as the readers (pychm, xCHM) walk it: a 0x400-byte header, then for every leaf
// the topic lists of its words followed by the 4096-byte leaf itself, then the index
// levels, the root last. Deliberately different from chmcmd: every word of the text is
// indexed, not only title words, and no word is stored twice (no separate title-hit
// entries), so a reader that stops at the first match sees all the topics of a word.
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

// Header offsets.
constexpr size_t kOffMagic = 0x00, kOffFiles = 0x04, kOffRoot = 0x08, kOffLeafCount = 0x10,
                 kOffRoot2 = 0x14, kOffDepth = 0x18, kOffUnknown7 = 0x1A, kOffDocScale = 0x1E,
                 kOffCodeScale = 0x20, kOffLocScale = 0x22, kOffNodeSize = 0x2E,
                 kOffLongest = 0x3E, kOffTotalWords = 0x42, kOffDistinct = 0x46,
                 kOffTotalLength = 0x4A, kOffDistinctLength = 0x52, kOffLastLeafFree = 0x56,
                 kOffFilesMinus1 = 0x5E, kOffCodePage = 0x7A, kOffLcid = 0x7E;

// Scale-and-root codes: scale 2 is the only one readers decode. The roots fit the data:
// topic gaps and counts are mostly small, word gaps around a dozen.
constexpr int kScale = 2, kDocRoot = 1, kCountRoot = 1, kLocRoot = 4;

class BitAppender {
 public:
  explicit BitAppender(std::vector<uint8_t>* out) : out_(out) {}
  void Bit(bool b) {
    if (bit_ == 0) out_->push_back(0);
    if (b) out_->back() |= static_cast<uint8_t>(0x80 >> bit_);
    bit_ = (bit_ + 1) & 7;
  }
  void Bits(uint64_t v, int n) {
    for (int k = n - 1; k >= 0; --k) Bit((v >> k) & 1);
  }
  // p one-bits and a zero, then r + max(p - 1, 0) bits; the value is those bits, plus
  // 2^(that count) when p > 0.
  void ScaleRoot(uint64_t v, int root) {
    if (v < (uint64_t{1} << root)) {
      Bit(false);
      Bits(v, root);
      return;
    }
    int b = 0;
    while ((v >> b) > 1) ++b;
    ++b;  // bit length
    const int p = b - root;
    for (int k = 0; k < p; ++k) Bit(true);
    Bit(false);
    Bits(v, b - 1);  // the top bit is implied
  }

 private:
  std::vector<uint8_t>* out_;
  int bit_ = 0;  // next bit within the last byte; 0 = start a new byte
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
  for (auto& [word, where] : topicWords_) {
    Hits& h = words_[word];
    BitAppender bits(&h.wlc);
    bits.ScaleRoot(topic_ - h.lastTopic, kDocRoot);
    bits.ScaleRoot(where.title.size() + where.body.size(), kCountRoot);
    uint32_t previous = 0;
    for (uint32_t p : where.title) {
      bits.ScaleRoot(p - previous, kLocRoot);
      previous = p;
    }
    for (uint32_t p : where.body) {
      bits.ScaleRoot(titleCount_ + p - previous, kLocRoot);
      previous = titleCount_ + p;
    }
    h.lastTopic = topic_;
    ++h.topics;
  }
  std::unordered_map<std::string, Positions>().swap(topicWords_);
}

std::vector<uint8_t> FullTextIndex::Build(uint32_t topicCount) {
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
    return 2 + (sorted[i]->size() - shared) + 1 + EncIntLeSize(h.topics) + 4 + 2 +
           EncIntLeSize(h.wlc.size());
  };
  for (size_t i = 0; i < sorted.size(); ++i) {
    size_t shared = leaves.empty() || leaves.back().items.empty()
                        ? 0
                        : Shared(*sorted[leaves.back().items.back()], *sorted[i]);
    if (leaves.empty() || leaves.back().used + leafEntrySize(i, shared) > kNodeSize - kLeafHeader) {
      leaves.emplace_back();
      shared = 0;
    }
    leaves.back().items.push_back(i);
    leaves.back().used += leafEntrySize(i, shared);
    leaves.back().lastWord = *sorted[i];
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
    const std::string* previous = nullptr;
    for (size_t i : leaves[l].items) {
      const std::string& word = *sorted[i];
      const Hits& h = words_.at(word);
      const size_t shared = previous ? Shared(*previous, word) : 0;
      node.U8(static_cast<uint32_t>(word.size() - shared + 1));
      node.U8(static_cast<uint32_t>(shared));
      node.Bytes(word.data() + shared, word.size() - shared);
      node.U8(0);  // body hits (titles are indexed with the body)
      EncIntLe(node, h.topics);
      node.U32(wlcOffsets[i]);
      node.U16(0);
      EncIntLe(node, wlcSizes[i]);
      previous = &word;
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
  w.PatchU32(kOffFiles, topicCount);
  w.PatchU32(kOffRoot, root);
  w.PatchU32(kOffLeafCount, static_cast<uint32_t>(leaves.size()));
  w.PatchU32(kOffRoot2, root);
  w.PatchU16(kOffDepth, depth);
  w.PatchU32(kOffUnknown7, 7);
  w.PatchU16(kOffDocScale, kScale | kDocRoot << 8);
  w.PatchU16(kOffCodeScale, kScale | kCountRoot << 8);
  w.PatchU16(kOffLocScale, kScale | kLocRoot << 8);
  w.PatchU32(kOffNodeSize, kNodeSize);
  w.PatchU32(kOffLongest, static_cast<uint32_t>(longest));
  w.PatchU32(kOffTotalWords, static_cast<uint32_t>(totalWords_));
  w.PatchU32(kOffDistinct, static_cast<uint32_t>(sorted.size()));
  w.PatchU64(kOffTotalLength, totalWordBytes_);
  w.PatchU32(kOffDistinctLength, static_cast<uint32_t>(distinctLength));
  w.PatchU32(kOffLastLeafFree,
             leaves.empty() ? 0 : static_cast<uint32_t>(kNodeSize - kLeafHeader - leaves.back().used));
  w.PatchU32(kOffFilesMinus1, topicCount ? topicCount - 1 : 0);
  w.PatchU32(kOffCodePage, codePage_);
  w.PatchU32(kOffLcid, lcid_);
  return std::move(w.bytes());
}

}  // namespace hha::search
