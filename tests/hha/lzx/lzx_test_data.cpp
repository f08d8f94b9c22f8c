#include "tests/hha/lzx/lzx_test_data.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace qb::test {

uint64_t TestSeed() {
  if (const char* env = std::getenv("QB_SEED")) return std::strtoull(env, nullptr, 0);
  std::random_device rd;
  return (static_cast<uint64_t>(rd()) << 32) | rd();
}

std::vector<uint8_t> RandomBytes(uint64_t seed, size_t n) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

std::vector<uint8_t> Runs(uint64_t seed, size_t n) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(n);
  while (out.size() < n) {
    const uint8_t value = "\0 aZ\xff"[rng() % 5];
    const size_t len = 1 + rng() % 3000;
    out.insert(out.end(), std::min(len, n - out.size()), value);
  }
  return out;
}

std::vector<uint8_t> RepeatingRecords(uint64_t seed, size_t n) {
  std::mt19937_64 rng(seed);
  std::vector<std::string> fields = {"<tr><td class=\"col-first\">", "</td><td>",
                                     "<a href=\"../lang/Object.html\">", "</a></td></tr>\n"};
  std::vector<uint8_t> out;
  out.reserve(n + 64);
  while (out.size() < n) {
    for (const auto& f : fields) {
      out.insert(out.end(), f.begin(), f.end());
      // a varying field between fixed ones changes the distances between repeats
      const size_t k = rng() % 7;
      for (size_t i = 0; i < k; ++i) out.push_back(static_cast<uint8_t>('a' + rng() % 26));
    }
  }
  out.resize(n);
  return out;
}

std::vector<uint8_t> HtmlLike(uint64_t seed, size_t n) {
  std::mt19937_64 rng(seed);
  static const char* const words[] = {
      "<div class=\"block\">", "</div>\n", "<code>", "</code>", "the ", "of ", "returns ",
      "<a href=\"", "java/lang/String.html", "\">", "</a>", "public ", "static ", "void ",
      "<span class=\"member-name-link\">", "</span>", "index", "value", "(int&nbsp;", ")",
      "<li>", "</li>\n", "<section class=\"detail\" id=\"", "\n    "};
  std::vector<uint8_t> out;
  out.reserve(n + 64);
  while (out.size() < n) {
    const char* w = words[rng() % (sizeof(words) / sizeof(words[0]))];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    if (rng() % 4 == 0) out.push_back(static_cast<uint8_t>('a' + rng() % 26));
  }
  out.resize(n);
  return out;
}

}  // namespace qb::test
