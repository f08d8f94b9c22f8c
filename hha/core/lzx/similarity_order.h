// Order of the files in section 1. Every 64 KiB reset interval starts with no history,
// so a page compresses well only if the pages just before it in the same interval look
// alike. Javadoc pages are small (half under 16 KiB) and fall into families whose pages
// share whole lines (exception classes, enums, the inherited-member lists of one
// superclass) but lie in different folders. This orders the files so that each one
// follows the most similar of the next few candidates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace hha::lzx {

class SimilarityOrder {
 public:
  // Adds the next file (its index is the number of earlier calls); only a short
  // signature of its lines is kept, not the bytes.
  void Add(const uint8_t* data, size_t size);
  // Appends to `out` the indices of the files whose place in the order is settled, in
  // the order to write them, each once over all calls. A place is settled once the
  // files that could take it are all known, so files can be written while later ones
  // are still being added. With `all`, takes every file added: call it so once, after
  // the last Add. The order depends only on the files' bytes and the order they were
  // added in, never on when Take is called.
  void Take(bool all, std::vector<size_t>* out);

  // Line hashes kept per file (the MinHash signature): with 32, two files' share of
  // common lines is estimated to within about 0.1, enough to pick a neighbour; 64 gave
  // 0.1% smaller output on Javadoc at twice the ordering time.
  static constexpr unsigned kSignatureSize = 32;
  // Files the chain looks at for its next step. On Javadoc (1,474 files) 256 came within
  // 0.1% of searching all of them, 64 lost 0.5%.
  static constexpr size_t kCandidates = 256;

 private:
  std::vector<uint64_t> signatures_;  // kSignatureSize per file
  std::vector<size_t> waiting_;       // added, not yet taken, in the order added
  std::vector<uint64_t> lines_, seen_;  // Add's, kept for their capacity
  std::vector<std::pair<size_t, size_t>> spans_;
  size_t current_ = 0;                // the last file taken
  bool started_ = false;              // whether the first file was taken
};

}  // namespace hha::lzx
