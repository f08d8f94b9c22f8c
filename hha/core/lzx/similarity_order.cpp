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
  // The lines first, then their hashes four at a time: FNV-1a waits on a multiply per
  // byte, so one line at a time left the core idle most of the time, and the
  // signature depends only on the set of hashes, not the order they come in.
  spans_.clear();
  // Line ends found by memchr: a byte-by-byte scan was over a third of the time here.
  for (size_t start = 0; start <= size;) {
    const void* nl = size > start ? std::memchr(data + start, '\n', size - start) : nullptr;
    const size_t i = nl ? static_cast<size_t>(static_cast<const uint8_t*>(nl) - data) : size;
    if (i - start >= kMinLine) spans_.push_back({start, i});
    start = i + 1;
  }
  lines_.resize(spans_.size());
  constexpr uint64_t kBasis = 0xCBF29CE484222325ull, kPrime = 0x100000001B3ull;
  constexpr unsigned kLanes = 4;
  // Each lane hashes one line; all lanes step together for as many bytes as the
  // shortest has left, then the lanes that finished take the next lines.
  size_t pos[kLanes], end[kLanes], line[kLanes];
  uint64_t hash[kLanes];
  size_t nextLine = 0;
  unsigned active = 0;
  for (; active < kLanes && nextLine < spans_.size(); ++active, ++nextLine) {
    pos[active] = spans_[nextLine].first;
    end[active] = spans_[nextLine].second;
    line[active] = nextLine;
    hash[active] = kBasis;
  }
  bool full = active == kLanes;
  while (full) {
    size_t run = end[0] - pos[0];
    for (unsigned q = 1; q < kLanes; ++q) run = std::min(run, end[q] - pos[q]);
    for (size_t k = 0; k < run; ++k) {
      for (unsigned q = 0; q < kLanes; ++q) hash[q] = (hash[q] ^ data[pos[q] + k]) * kPrime;
    }
    for (unsigned q = 0; q < kLanes; ++q) {
      pos[q] += run;
      if (pos[q] != end[q]) continue;
      lines_[line[q]] = hash[q];
      if (nextLine == spans_.size()) {
        full = false;
        continue;
      }
      pos[q] = spans_[nextLine].first;
      end[q] = spans_[nextLine].second;
      line[q] = nextLine++;
      hash[q] = kBasis;
    }
  }
  // The lines still open when the last one was handed out; finished lanes have pos == end.
  for (unsigned q = 0; q < active; ++q) {
    if (pos[q] == end[q]) continue;
    for (size_t k = pos[q]; k < end[q]; ++k) hash[q] = (hash[q] ^ data[k]) * kPrime;
    lines_[line[q]] = hash[q];
  }
  // A line that repeats within the file (over a quarter of a Javadoc page's lines) adds
  // nothing to the signature, which depends only on the set of line hashes: each hash is
  // taken once, through a small open-addressed set (0 marks a free slot).
  size_t slots = 16;
  while (slots < 2 * lines_.size()) slots *= 2;
  seen_.assign(slots, 0);
  bool seenZero = false;
  uint64_t sig[kSignatureSize];
  std::fill(sig, sig + kSignatureSize, ~uint64_t{0});
  for (const uint64_t h : lines_) {
    if (h == 0) {
      if (seenZero) continue;
      seenZero = true;
    } else {
      size_t at = static_cast<size_t>(h >> 32) & (slots - 1);
      while (seen_[at] != 0 && seen_[at] != h) at = (at + 1) & (slots - 1);
      if (seen_[at] == h) continue;
      seen_[at] = h;
    }
    for (unsigned j = 0; j < kSignatureSize; ++j) {
      sig[j] = std::min(sig[j], Mix(h + 0x9E3779B97F4A7C15ull * (j + 1)));
    }
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
  constexpr unsigned kStep = 8;
  static_assert(kSignatureSize % kStep == 0, "signature compared in steps");
  while (!waiting_.empty() && (all || waiting_.size() >= kCandidates)) {
    const uint64_t* cur = &signatures_[current_ * kSignatureSize];
    size_t best = 0;
    unsigned bestShared = 0;
    const size_t look = std::min(waiting_.size(), kCandidates);
    // Ties keep the earliest candidate, which also keeps unrelated files in their order.
    // A candidate is dropped as soon as the entries left could not lift it above the
    // best so far, and nothing can beat a full match.
    for (size_t k = 0; k < look && bestShared < kSignatureSize; ++k) {
      const uint64_t* other = &signatures_[waiting_[k] * kSignatureSize];
      unsigned shared = 0;
      for (unsigned j = 0; j < kSignatureSize; j += kStep) {
        for (unsigned q = j; q < j + kStep; ++q) shared += cur[q] == other[q];
        if (shared + (kSignatureSize - j - kStep) <= bestShared) break;
      }
      if (shared > bestShared) {
        bestShared = shared;
        best = k;
      }
    }
    current_ = waiting_[best];
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(best));
    out->push_back(current_);
  }
}

}  // namespace hha::lzx
