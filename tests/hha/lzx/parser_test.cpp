// The eight-lane parse must be an optimisation only: the same items as the four-lane one,
// with and without every cut of a match, on every kind of data and at frame ends.
#include "hha/core/lzx/parser.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/hha/lzx/lzx_test_data.h"

namespace qb::test {
namespace {

using hha::lzx::CostModel;
using hha::lzx::Item;
using hha::lzx::Parser;

std::vector<uint32_t> Flat(const std::vector<Item>& items) {
  std::vector<uint32_t> out;
  for (const Item& it : items) out.push_back(uint32_t{it.length} << 16 | it.value);
  return out;
}

TEST(ParserTest, WideVectorsGiveTheSameItems) {
  const uint64_t seed = TestSeed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::vector<std::vector<uint8_t>> inputs = {
      HtmlLike(seed, 0x10000),        RepeatingRecords(seed, 0x10000), Runs(seed, 0x10000),
      RandomBytes(seed, 0x8000 + 77), HtmlLike(seed + 1, 0x8000 + 1),  HtmlLike(seed + 2, 300)};
  for (size_t k = 0; k < inputs.size(); ++k) {
    for (const bool everyCut : {false, true}) {
      SCOPED_TRACE("input " + std::to_string(k) + (everyCut ? ", every cut" : ", full lengths"));
      std::vector<uint32_t> parses[2];
      for (const bool wide : {false, true}) {
        Parser parser;
        parser.UseWideVectors(wide);
        std::vector<Item> items;
        const auto& data = inputs[k];
        parser.FindMatches(data.data(), static_cast<uint32_t>(data.size()), 92, true, items);
        CostModel costs;
        costs.FromItems(items);
        parser.Parse(costs, everyCut, items);
        parses[wide] = Flat(items);
      }
      EXPECT_EQ(parses[0], parses[1]);
    }
  }
}

}  // namespace
}  // namespace qb::test
