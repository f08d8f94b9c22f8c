// The keyword order of the binary index: neighbours that Microsoft's compiler wrote in
// this order (each chain is a run of keywords from its files, lowest first). Those of the
// reference files in the shared data are compared whole by microsoft_reference_test.
#include "hha/core/keyword_collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace hha {
namespace {

using Chain = std::vector<std::u16string>;

// A sub-keyword as the index holds it for sorting.
std::u16string Sub(const std::u16string& parent, const std::u16string& child) {
  return parent + kKeywordLevel + child;
}

const std::vector<Chain> kChains = {
    // Letter case only breaks ties, lower case first.
    {u"addr", u"Addr", u"ADDR", u"address"},
    {Sub(u"BSL430_NET", u"Success"), Sub(u"BSL430_NET", u"SUCCESS")},
    {u"normal", u"NORMAL"},
    // Symbols, then digits (as characters), then letters.
    {u"Collider()", u"Collider(float x, float y)"},
    {u"h0", u"hasAlpha"},
    // '_' inside a keyword is a symbol, before digits and letters.
    {Sub(u"base_alloc", u"_usedMemory"), Sub(u"base_alloc", u"allocate")},
    // Windows' symbol order, not ASCII's.
    {u"operator()", u"operator*", u"operator/", u"operator[]", u"operator+", u"operator<",
     u"operator=", u"operator=="},
    {u"Easy Engine \u5FEB\u901F", u"EasyEngine"},
    {u"Animator(const std::string &name)",
     u"Animator(const std::string &name, const std::vector< Spirit > &spirit_list)"},
    {Sub(u"BSL430_NET", u"ACK"), u"BSL430_NET::BSL430NET"},
    // Hyphens are ignored but break ties, the plain form first.
    {u"operator-", u"operator()"},
    {u"operator=", u"operator-=", Sub(u"operator=", u"gui::Element"), Sub(u"operator=", u"h3d::mat4x4"),
     Sub(u"operator-=", u"h3d::mat4x4")},
    // A leading '_' or '~' is ignored (the plain form first); elsewhere it counts.
    {u"size", u"_size", u"Socket"},
    {Sub(u"allocate", u"h3d::linear_allocator"), u"_allocationCount", u"allowResize"},
    {u"Spotlight", u"_start", u"startup"},
    {u"g", u"_gch3d_HIDBaseClass", u"getAxisValue"},
    {u"Window", u"~Window", u"write"},
    {Sub(u"h3d::Window", u"~Window"), Sub(u"h3d::Window", u"allowResize")},
    // Sub-keywords sort by their whole text, the join below every character.
    {Sub(u"clear", u"h3d::GeometryBuffer"), u"clearMap"},
    {Sub(u"operator-", u"h3d::Vec4"), u"operator()"},
    // Ideographs after Latin letters.
    {u"zebra", u"\u5FEB", u"\u6E38"},
};

// Scripts and languages the reference files show little or nothing of, each chain in the
// order Windows sorts it for the language. Cyrillic follows Microsoft's index (Архитектура
// < АЦП, after Latin); the others follow Wine's CompareString where Wine has the language's
// rules, and the Unicode order for Turkish, where it has not.
struct LanguageChain {
  uint32_t lcid;
  Chain chain;
};
const std::vector<LanguageChain> kLanguageChains = {
    {0x419, {u"zebra", u"архитектура", u"Архитектура", u"АЦП", u"е", u"Е", u"ё", u"Ё", u"ёа", u"ежа", u"я"}},
    {0x408, {u"zebra", u"α", u"Α", u"ά", u"άα", u"αβ", u"σ", u"ς", u"Σ", u"ω", u"Ω", u"ώ"}},
    {0x409, {u"a", u"ą", u"ąa", u"ab", u"l", u"ł", u"m", u"z", u"ź", u"ż", u"zz"}},
    {0x415, {u"a", u"ab", u"ą", u"ąa", u"b", u"l", u"ł", u"m", u"z", u"zz", u"ź", u"ż"}},
    {0x405, {u"c", u"cz", u"č", u"d", u"ď", u"h", u"hz", u"ch", u"i", u"r", u"ř", u"s", u"š", u"z", u"ž"}},
    {0x412, {u"a", u"ㄱ", u"가", u"가나", u"각", u"간", u"나", u"하", u"힣", u"ㅏ"}},
    {0x41F, {u"c", u"cz", u"ç", u"g", u"ğ", u"h", u"ı", u"I", u"ıa", u"i", u"İ", u"ia", u"o", u"ö", u"s", u"ş", u"u", u"ü"}},
};

// Each neighbour before the next; that the reverse comparison agrees, the total order's
// check below shows for every pair.
TEST(KeywordCollation, KeepsTheNeighboursOfEveryChain) {
  std::vector<LanguageChain> all = kLanguageChains;
  for (const Chain& chain : kChains) all.push_back({0x409, chain});
  for (const LanguageChain& c : all)
    for (size_t i = 0; i + 1 < c.chain.size(); ++i)
      EXPECT_LT(CompareKeywords(c.chain[i], c.chain[i + 1], c.lcid), 0)
          << std::hex << c.lcid << ": " << std::string(c.chain[i].begin(), c.chain[i].end()) << " | "
          << std::string(c.chain[i + 1].begin(), c.chain[i + 1].end());
}

// A sort needs a strict total order: different keywords never tie (merged duplicates are
// the only ties), and the order is antisymmetric and transitive. Checked over every pair
// of the chains' keywords, in every language, and of seeded random ones made of the
// characters the rules treat specially.
TEST(KeywordCollation, IsAStrictTotalOrder) {
  std::vector<std::u16string> words;
  for (const Chain& chain : kChains) words.insert(words.end(), chain.begin(), chain.end());
  for (const LanguageChain& c : kLanguageChains) words.insert(words.end(), c.chain.begin(), c.chain.end());
  const std::u16string alphabet = u"aAbB09_~-'. ()=" u"\u0105\u0142\u0451\u0401\u03C3\u03C2\u5FEB\uAC00\u0131\u0130";
  std::mt19937 random(2612);
  for (int i = 0; i < 100; ++i) {
    std::u16string w;
    for (int n = random() % 6 + 1; n > 0; --n) w += alphabet[random() % alphabet.size()];
    if (random() % 4 == 0) w = Sub(w, alphabet.substr(random() % alphabet.size(), 2));
    words.push_back(w);
  }
  for (uint32_t lcid : {0x409u, 0x419u, 0x408u, 0x415u, 0x405u, 0x412u, 0x41Fu}) {
    std::vector<std::u16string> sorted = words;
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return KeywordLess(a, b, lcid); });
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i)
      for (size_t j = i; j < sorted.size(); ++j) {
        const int forward = CompareKeywords(sorted[i], sorted[j], lcid);
        const int backward = CompareKeywords(sorted[j], sorted[i], lcid);
        ASSERT_TRUE(i == j ? forward == 0 && backward == 0 : forward < 0 && backward > 0)
            << std::hex << lcid << std::dec << " at " << i << ", " << j;
      }
  }
}

}  // namespace
}  // namespace hha
