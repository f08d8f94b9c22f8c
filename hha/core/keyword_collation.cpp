// Windows' word-sort comparison of index keywords, rebuilt from the order Microsoft's
// compiler writes: sort elements with a primary weight (symbol, digit or letter), an
// accent weight and a case weight, compared level by level; ignored characters count
// only when everything else is equal.
#include "hha/core/keyword_collation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace hha {
namespace {

// ASCII symbols in Windows' order; hyphen and apostrophe are ignored instead.
constexpr char kSymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

// Primary weight ranges: ASCII symbols, other symbols, digits, letters, other scripts.
constexpr uint32_t kAsciiSymbol = 0x100, kOtherSymbol = 0x1000, kDigit = 0x20000,
                   kLetter = 0x21000, kOtherScript = 0x30000, kHangul = 0x40000;

// Base letters of U+00C0..U+00FF ('-' not a letter; '#' thorn, 'S' sharp s, 'A' æ).
constexpr char kLatin1Base[] = "aaaaaaAceeeeiiiidnooooo-ouuuuy#Saaaaaaaceeeeiiiidnooooo-ouuuuy#y";

using Element = KeywordSortKey::Element;
using Key = KeywordSortKey;

void AddLetter(Key& k, char base, uint16_t accent, bool upper, uint32_t after = 0) {
  k.elements.push_back({kLetter + static_cast<uint32_t>(base - 'a') * 4 + after, accent, upper});
}

// Base letters of U+0100..U+017F ('-' none): each pair is upper, lower case.
constexpr char kLatinExtABase[] =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii--jjkkkllllllllllnnnnnnnnnoooooo--rrrrrrssssssss"
    "ttttttuuuuuuuuuuuuwwyyyzzzzzzs";

// Letters that a language sorts as letters of their own, after their base letter (or
// before it, for Turkish dotless i), as Windows sorts for that language: Polish ą ć ę ł
// ń ó ś ź ż, Czech and Slovak č ř š ž and "ch" after h, Turkish and Azeri ç ğ ı ö ş ü.
// Elsewhere they are accented forms of the base letter, except ł, which is a letter of
// its own everywhere (as in the Unicode order).
struct Tailoring {
  uint16_t primaryLanguage;
  const char16_t* letters;  // lower case; the upper case follows from the case pairs
  bool czechCh;
};
const Tailoring kTailorings[] = {
    {0x15, u"\u0105\u0107\u0119\u0142\u0144\u00F3\u015B\u017A\u017C", false},
    {0x05, u"\u010D\u0159\u0161\u017E", true},
    {0x1B, u"\u00E4\u010D\u00F4\u0159\u0161\u017E", true},
    {0x1F, u"\u00E7\u011F\u0131\u00F6\u015F\u00FC", false},
    {0x2C, u"\u00E7\u011F\u0131\u00F6\u015F\u00FC", false},
};

const Tailoring* TailoringOf(uint32_t lcid) {
  for (const Tailoring& t : kTailorings)
    if (t.primaryLanguage == (lcid & 0x3FF)) return &t;
  return nullptr;
}

// Lower case and case of a Latin letter U+00C0..U+017F; 0 when it is none.
char16_t LatinLower(char16_t c, bool* upper) {
  *upper = false;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7 && c != 0xDF) return *upper = true, static_cast<char16_t>(c + 0x20);
  if (c >= 0xDF && c <= 0xFF && c != 0xF7) return c;
  if (c < 0x100 || c > 0x17F) return 0;
  if (c == 0x130) return *upper = true, u'i';
  if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
  if (c == 0x178) return *upper = true, 0xFF;
  const bool shifted = (c >= 0x139 && c <= 0x148) || c >= 0x179;
  const bool isUpper = (c % 2 == 0) != shifted;
  *upper = isUpper;
  return isUpper ? static_cast<char16_t>(c + 1) : c;
}

// Greek: lower case, and the accent (tonos 1, dialytika 2, both 3) of U+0386..U+03CE.
char16_t GreekLower(char16_t c, uint16_t* accent, uint8_t* upper) {
  *accent = 0;
  *upper = 0;
  struct Accented {
    char16_t c, base;
    uint16_t accent;
  };
  static const Accented kAccented[] = {
      {0x386, 0x3B1, 1}, {0x388, 0x3B5, 1}, {0x389, 0x3B7, 1}, {0x38A, 0x3B9, 1}, {0x38C, 0x3BF, 1},
      {0x38E, 0x3C5, 1}, {0x38F, 0x3C9, 1}, {0x390, 0x3B9, 3}, {0x3AA, 0x3B9, 2}, {0x3AB, 0x3C5, 2},
      {0x3AC, 0x3B1, 1}, {0x3AD, 0x3B5, 1}, {0x3AE, 0x3B7, 1}, {0x3AF, 0x3B9, 1}, {0x3B0, 0x3C5, 3},
      {0x3CA, 0x3B9, 2}, {0x3CB, 0x3C5, 2}, {0x3CC, 0x3BF, 1}, {0x3CD, 0x3C5, 1}, {0x3CE, 0x3C9, 1}};
  for (const Accented& a : kAccented)
    if (a.c == c) return *upper = c < 0x3AC ? 2 : 0, *accent = a.accent, a.base;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return *upper = 2, static_cast<char16_t>(c + 0x20);
  if (c == 0x3C2) return *upper = 1, 0x3C3;  // final sigma: between σ and Σ
  if (c >= 0x3B1 && c <= 0x3C9) return c;
  return 0;
}

// Cyrillic: lower case of U+0400..U+04FF, ё as е with an accent.
char16_t CyrillicLower(char16_t c, uint16_t* accent, uint8_t* upper) {
  *accent = 0;
  *upper = 0;
  if (c >= 0x410 && c <= 0x42F) *upper = 1, c = static_cast<char16_t>(c + 0x20);
  else if (c >= 0x400 && c <= 0x40F) *upper = 1, c = static_cast<char16_t>(c + 0x50);
  else if (c >= 0x460 && c <= 0x4FF && c % 2 == 0 && c != 0x4C0) *upper = 1, c = static_cast<char16_t>(c + 1);
  if (c == 0x451) *accent = 1, c = 0x435;
  return c;
}

// Hangul: syllables in their (alphabetical) code point order, a lone consonant just
// before the syllables it starts, a lone vowel after every syllable.
uint32_t HangulWeight(char16_t c) {
  static const char16_t kInitials[] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                       0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                       0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
  if (c >= 0xAC00 && c <= 0xD7A3) return 2u * c;
  for (uint32_t l = 0; l < 19; ++l)
    if (kInitials[l] == c) return 2u * (0xAC00 + 588 * l) - 1;
  if (c >= 0x314F && c <= 0x3163) return 2u * (0xD7A4 + (c - 0x314F));
  return 0;
}

bool IsLetterLike(char16_t c) {
  return (c >= 0x100 && c <= 0x24F) || (c >= 0x370 && c <= 0x52F) || (c >= 0x5D0 && c <= 0x6FF) ||
         (c >= 0xE01 && c <= 0xE5B) || (c >= 0x3040 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

KeywordSortKey::KeywordSortKey(const std::u16string& s, uint32_t lcid) : text(s) {
  Key& k = *this;
  const Tailoring* tailoring = TailoringOf(lcid);
  const bool turkish = tailoring && tailoring->letters[2] == 0x131;
  // Where a language's own letter sorts: right after its base letter.
  auto tailored = [&](char16_t lower) -> uint32_t {
    if (lower == 0x142) return 2;  // ł
    if (!tailoring) return 0;
    for (const char16_t* t = tailoring->letters; *t; ++t)
      if (*t == lower) return lower == 0x17C ? 3 : 2;  // ż after ź
    return 0;
  };
  k.elements.reserve(s.size());
  size_t i = 0;
  for (; i < s.size() && (s[i] == u'_' || s[i] == u'~'); ++i) k.ignored.push_back(static_cast<uint32_t>(i) << 16 | s[i]);
  for (; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= 0xFF01 && c <= 0xFF5E) {  // full width: as ASCII, told apart like case
      c = static_cast<char16_t>(c - 0xFF01 + 0x21);
      if (c >= 'a' && c <= 'z') {
        AddLetter(k, static_cast<char>(c), 0, true);
        continue;
      }
    }
    if (c == kKeywordLevel) {
      k.elements.push_back({1, 0, 0});
      continue;
    }
    if (c == u'-' || c == u'\'' || c == 0xAD) {
      k.ignored.push_back(static_cast<uint32_t>(i) << 16 | c);
      continue;
    }
    if (tailoring && tailoring->czechCh && (c == 'c' || c == 'C') && i + 1 < s.size() &&
        (s[i + 1] == 'h' || s[i + 1] == 'H')) {
      AddLetter(k, 'h', 0, c == 'C', 2);
      ++i;
    } else if (turkish && (c == 'I' || c == 0x131)) {  // I is the capital of ı: before i
      k.elements.push_back({kLetter + ('i' - 'a') * 4 - 2, 0, c == 'I'});
    } else if (c >= 'a' && c <= 'z') {
      AddLetter(k, static_cast<char>(c), 0, false);
    } else if (c >= 'A' && c <= 'Z') {
      AddLetter(k, static_cast<char>(c - 'A' + 'a'), 0, true);
    } else if (c >= '0' && c <= '9') {
      k.elements.push_back({kDigit + (c - '0'), 0, 0});
    } else if (c < 0x80) {
      const char* at = c ? std::strchr(kSymbolOrder, static_cast<char>(c)) : nullptr;
      k.elements.push_back({at ? kAsciiSymbol + static_cast<uint32_t>(at - kSymbolOrder) : c, 0, 0});
    } else if (c >= 0xC0 && c <= 0xFF && kLatin1Base[c - 0xC0] != '-') {
      const char base = kLatin1Base[c - 0xC0];
      const bool upper = c < 0xE0 && c != 0xDF;
      bool ignored;
      const uint32_t after = tailored(LatinLower(c, &ignored));
      if (after) {
        AddLetter(k, base, 0, upper, after);
      } else if (base == 'A') {  // æ: a and e
        AddLetter(k, 'a', 0, upper);
        AddLetter(k, 'e', 0, upper);
      } else if (base == 'S') {
        AddLetter(k, 's', 0, false);
        AddLetter(k, 's', 0, false);
      } else if (base == '#') {  // thorn, after z
        k.elements.push_back({kLetter + 26 * 4, 0, upper});
      } else {
        AddLetter(k, base, c, upper);
      }
    } else if (c == 0x152 || c == 0x153) {
      AddLetter(k, 'o', 0, c == 0x152);
      AddLetter(k, 'e', 0, c == 0x152);
    } else if (c == 0x160 || c == 0x161 || c == 0x17D || c == 0x17E || c == 0x178) {
      const char base = c == 0x178 ? 'y' : (c < 0x17D ? 's' : 'z');
      AddLetter(k, base, c, c == 0x160 || c == 0x17D || c == 0x178);
    } else if (c >= 0x100 && c <= 0x17F && kLatinExtABase[c - 0x100] != '-') {
      bool upper = false;
      const char16_t lower = LatinLower(c, &upper);
      const uint32_t after = tailored(lower);
      if (after) AddLetter(k, kLatinExtABase[c - 0x100], 0, upper, after);
      else AddLetter(k, kLatinExtABase[c - 0x100], lower, upper);
    } else if (c >= 0x386 && c <= 0x3CE) {
      uint16_t accent;
      uint8_t upper;
      const char16_t lower = GreekLower(c, &accent, &upper);
      k.elements.push_back({kOtherScript + (lower ? lower : c), accent, upper});
    } else if (c >= 0x400 && c <= 0x4FF) {
      uint16_t accent;
      uint8_t upper;
      const char16_t lower = CyrillicLower(c, &accent, &upper);
      k.elements.push_back({kOtherScript + lower, accent, upper});
    } else if (HangulWeight(c)) {
      k.elements.push_back({kHangul + HangulWeight(c), 0, 0});
    } else if (IsLetterLike(c)) {
      k.elements.push_back({kOtherScript + c, 0, 0});
    } else {
      k.elements.push_back({kOtherSymbol + c, 0, 0});
    }
  }
}

namespace {

template <typename Get>
int CompareLevel(const Key& a, const Key& b, Get get) {
  const size_t n = std::min(a.elements.size(), b.elements.size());
  for (size_t i = 0; i < n; ++i) {
    const uint32_t x = get(a.elements[i]), y = get(b.elements[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace

int CompareKeywords(const std::u16string& a, const std::u16string& b, uint32_t lcid) {
  return CompareKeywords(KeywordSortKey(a, lcid), KeywordSortKey(b, lcid));
}

int CompareKeywords(const KeywordSortKey& ka, const KeywordSortKey& kb) {
  const std::u16string &a = ka.text, &b = kb.text;
  if (int r = CompareLevel(ka, kb, [](const Element& e) { return e.primary; })) return r;
  if (ka.elements.size() != kb.elements.size()) return ka.elements.size() < kb.elements.size() ? -1 : 1;
  if (int r = CompareLevel(ka, kb, [](const Element& e) { return uint32_t{e.accent}; })) return r;
  if (int r = CompareLevel(ka, kb, [](const Element& e) { return uint32_t{e.upper}; })) return r;
  if (ka.ignored.size() != kb.ignored.size()) return ka.ignored.size() < kb.ignored.size() ? -1 : 1;
  for (size_t i = 0; i < ka.ignored.size(); ++i)
    if (ka.ignored[i] != kb.ignored[i]) return ka.ignored[i] > kb.ignored[i] ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

}  // namespace hha
