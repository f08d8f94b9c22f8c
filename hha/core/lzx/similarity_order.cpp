// Similarity order. Each file is reduced to a MinHash signature of its set of lines;
// the share of equal signature entries estimates the share of lines two files have in
// common (their Jaccard similarity). A greedy chain then starts at the first file and
// repeatedly appends the most similar remaining file among the first kCandidates still
// waiting, in the order they were added. The window keeps the cost linear in the number
// of files, and since files are added roughly folder by folder, the first candidates
// are also the ones whose links and neighbours are near.
#include "hha/core/lzx/similarity_order.h"

#include <algorithm>
#include <cstring>

namespace hha::lzx {

namespace {
// Lines shorter than this are markup fragments that every page has ("</div>", "<li>");
// they would only make all pages look alike.
constexpr size_t kMinLine = 9;

// splitmix64's finalizer: a fixed, well-mixed permutation of 64-bit values, so the
// signature is the same on every platform and build.
inline uint64_t Mix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x;
}
}  // namespace

void SimilarityOrder::Add(const uint8_t* data, size_t size) {
  uint64_t sig[kSignatureSize];
  std::fill(sig, sig + kSignatureSize, ~uint64_t{0});
  // Line ends found by memchr: a byte-by-byte scan was over a third of the time here.
  for (size_t start = 0; start <= size;) {
    const void* nl = size > start ? std::memchr(data + start, '\n', size - start) : nullptr;
    const size_t i = nl ? static_cast<size_t>(static_cast<const uint8_t*>(nl) - data) : size;
    if (i - start >= kMinLine) {
      uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a over the line
      for (size_t k = start; k < i; ++k) h = (h ^ data[k]) * 0x100000001B3ull;
      for (unsigned j = 0; j < kSignatureSize; ++j) {
        sig[j] = std::min(sig[j], Mix(h + 0x9E3779B97F4A7C15ull * (j + 1)));
      }
    }
    start = i + 1;
  }
  const size_t index = signatures_.size() / kSignatureSize;
  signatures_.insert(signatures_.end(), sig, sig + kSignatureSize);
  if (index > 0) waiting_.push_back(index);
}

void SimilarityOrder::Take(bool all, std::vector<size_t>* out) {
  if (signatures_.empty()) return;
  if (!started_) {
    started_ = true;
    out->push_back(0);
  }
  // The next choice looks at the first kCandidates waiting files only, and later files
  // join at the end: once that many wait, it is the same as it would be at the end.
  while (!waiting_.empty() && (all || waiting_.size() >= kCandidates)) {
    const uint64_t* cur = &signatures_[current_ * kSignatureSize];
    auto best = waiting_.begin();
    unsigned bestShared = 0;
    size_t looked = 0;
    // Ties keep the earliest candidate, which also keeps unrelated files in their order.
    for (auto it = waiting_.begin(); it != waiting_.end() && looked < kCandidates; ++it, ++looked) {
      const uint64_t* other = &signatures_[*it * kSignatureSize];
      unsigned shared = 0;
      for (unsigned j = 0; j < kSignatureSize; ++j) shared += cur[j] == other[j];
      if (shared > bestShared) {
        bestShared = shared;
        best = it;
      }
    }
    current_ = *best;
    waiting_.erase(best);
    out->push_back(current_);
  }
}

}  // namespace hha::lzx
