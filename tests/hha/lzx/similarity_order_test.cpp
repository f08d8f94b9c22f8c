// The order of files in section 1: a permutation, fixed by the bytes alone, and one that
// brings files with common lines together.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hha/core/lzx/similarity_order.h"
#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

using hha::lzx::SimilarityOrder;

std::string Page(const std::string& family, int variant) {
  std::string s;
  for (int line = 0; line < 40; ++line) {
    s += "<li>common line of the " + family + " family, number " + std::to_string(line) + "</li>\n";
  }
  s += "<p>text only page " + std::to_string(variant) + " of " + family + " has</p>\n";
  return s;
}

std::vector<size_t> OrderOf(const std::vector<std::string>& files) {
  SimilarityOrder order;
  for (const std::string& f : files) {
    order.Add(reinterpret_cast<const uint8_t*>(f.data()), f.size());
  }
  std::vector<size_t> out;
  order.Take(true, &out);
  return out;
}

TEST(SimilarityOrder, FilesOfOneFamilyFollowEachOther) {
  const std::vector<std::string> files = {Page("exception", 1), Page("enum", 1),
                                          Page("exception", 2), Page("enum", 2),
                                          Page("exception", 3), Page("enum", 3)};
  EXPECT_EQ(OrderOf(files), (std::vector<size_t>{0, 2, 4, 1, 3, 5}));
}

TEST(SimilarityOrder, IsAPermutationFixedByTheBytes) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::vector<std::string> files;
  for (size_t i = 0; i < 700; ++i) {  // more than the candidate window
    const std::vector<uint8_t> page = HtmlLike(seed + i % 7, 200 + i % 13 * 50);
    files.emplace_back(page.begin(), page.end());
  }
  const std::vector<size_t> first = OrderOf(files);
  EXPECT_EQ(OrderOf(files), first);
  // A page's lines said twice, or backwards, are still the same set of lines.
  std::vector<std::string> twice, backwards;
  for (const std::string& f : files) {
    twice.push_back(f + "\n" + f);
    std::string reversed;
    for (size_t end = f.size(); end != std::string::npos && end > 0;) {
      const size_t nl = f.rfind('\n', end - 1);
      const size_t start = nl == std::string::npos ? 0 : nl + 1;
      reversed += f.substr(start, end - start) + "\n";
      end = nl;
    }
    backwards.push_back(reversed);
  }
  EXPECT_EQ(OrderOf(twice), first);
  EXPECT_EQ(OrderOf(backwards), first);
  std::vector<size_t> sorted = first;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < files.size(); ++i) ASSERT_EQ(sorted[i], i);

  // Taking what is settled after every file gives the same order, and the compiler can
  // write most files long before the last one is known.
  SimilarityOrder incremental;
  std::vector<size_t> taken;
  size_t settledBeforeEnd = 0;
  for (const std::string& f : files) {
    incremental.Add(reinterpret_cast<const uint8_t*>(f.data()), f.size());
    incremental.Take(false, &taken);
    settledBeforeEnd = taken.size();
  }
  incremental.Take(true, &taken);
  EXPECT_EQ(taken, first);
  EXPECT_GE(settledBeforeEnd, files.size() - SimilarityOrder::kCandidates);
  EXPECT_LT(settledBeforeEnd, files.size());
}

}  // namespace
}  // namespace qb::test
