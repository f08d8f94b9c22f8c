// Inputs shared by the LZX tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb::test {

// A seed for the randomised cases: QB_SEED from the environment, else a fresh one. Tests
// put it in a SCOPED_TRACE so every failure shows it.
uint64_t TestSeed();

std::vector<uint8_t> RandomBytes(uint64_t seed, size_t n);
// Long runs of a few byte values, of random lengths.
std::vector<uint8_t> Runs(uint64_t seed, size_t n);
// Records built from a few templates at changing distances, so the same three offsets
// recur in rotating order (repeat offsets R0-R2).
std::vector<uint8_t> RepeatingRecords(uint64_t seed, size_t n);
// HTML-like text: tags, identifiers and words drawn from a small vocabulary.
std::vector<uint8_t> HtmlLike(uint64_t seed, size_t n);

}  // namespace qb::test
