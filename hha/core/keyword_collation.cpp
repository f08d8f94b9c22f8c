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
                   kLetter = 0x21000, kOtherScript = 0x30000;

// Base letters of U+00C0..U+00FF ('-' not a letter; '#' thorn, 'S' sharp s, 'A' æ).
constexpr char kLatin1Base[] = "aaaaaaAceeeeiiiidnooooo-ouuuuy#Saaaaaaaceeeeiiiidnooooo-ouuuuy#y";

struct Element {
  uint32_t primary;
  uint16_t accent;  // 0 = none
  uint8_t upper;    // 1 = upper case (or full width)
};

struct Key {
  std::vector<Element> elements;
  std::vector<uint32_t> ignored;  // (position << 16) | character of each ignored one
};

void AddLetter(Key& k, char base, uint16_t accent, bool upper) {
  k.elements.push_back({kLetter + static_cast<uint32_t>(base - 'a') * 4, accent, upper});
}

bool IsLetterLike(char16_t c) {
  return (c >= 0x100 && c <= 0x24F) || (c >= 0x370 && c <= 0x52F) || (c >= 0x5D0 && c <= 0x6FF) ||
         (c >= 0xE01 && c <= 0xE5B) || (c >= 0x3040 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0xD800 && c <= 0xDFFF);
}

Key MakeKey(const std::u16string& s) {
  Key k;
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
    if (c >= 'a' && c <= 'z') {
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
      if (base == 'A') {  // æ: a and e
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
    } else if (IsLetterLike(c)) {
      k.elements.push_back({kOtherScript + c, 0, 0});
    } else {
      k.elements.push_back({kOtherSymbol + c, 0, 0});
    }
  }
  return k;
}

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

int CompareKeywords(const std::u16string& a, const std::u16string& b) {
  const Key ka = MakeKey(a), kb = MakeKey(b);
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
