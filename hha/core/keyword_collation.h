// The order in which Windows lists index keywords: its default ("word sort") string
// comparison, as the binary index of Microsoft's compiler shows it. The viewer shows the
// binary index in stored order, so the order is computed here, the same on every
// platform, rather than asked of the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hha {

// Joins the parts of a sub-keyword for comparison: the join sorts below every
// character, so "clear, GeometryBuffer" (a sub-keyword of "clear") comes before
// "clear()" while the keyword "name, other" (one part) sorts by its comma.
constexpr char16_t kKeywordLevel = u'\x01';

// <0, 0 or >0 as `a` sorts before, with or after `b`:
// - letters case-insensitively and accents ignored at first; symbols < digits < letters;
//   symbols in Windows' order (space ! " # $ % & ( ) * , . / : ; ? @ [ \ ] ^ _ ` { | } ~
//   + < = >, then the others), digits as characters;
// - hyphens and apostrophes, and '_' or '~' at the very start, are ignored at first;
// - ties go to the unaccented, then the lower-case (at the first position where case
//   differs), then the one with fewer ignored characters; strings equal in all of that
//   compare by code units, so the order is total;
// - Latin letters with diacritics are accented forms of their base letter, except where
//   the language (`lcid`) has letters of its own (Polish, Czech, Slovak, Turkish,
//   Azeri); Greek and Cyrillic letters case-insensitively in alphabet order, accents
//   (and Cyrillic ё) told apart only on a tie, after every Latin letter; Hangul in
//   alphabet order after them.
int CompareKeywords(const std::u16string& a, const std::u16string& b, uint32_t lcid = 0x409);

// What the comparison makes of one keyword, made once: a sort of n keywords then makes
// n of them rather than two per comparison (about 1% of the CPU of a whole compile of
// the Java SE API, with its 50,000 keywords).
struct KeywordSortKey {
  KeywordSortKey(const std::u16string& text, uint32_t lcid);
  struct Element {
    uint32_t primary;
    uint16_t accent;  // 0 = none
    uint8_t upper;    // 1 = upper case (or full width)
  };
  std::vector<Element> elements;
  std::vector<uint32_t> ignored;  // (position << 16) | character of each ignored one
  std::u16string text;
};
// CompareKeywords of the keys' texts.
int CompareKeywords(const KeywordSortKey& a, const KeywordSortKey& b);

inline bool KeywordLess(const std::u16string& a, const std::u16string& b, uint32_t lcid = 0x409) {
  return CompareKeywords(a, b, lcid) < 0;
}

}  // namespace hha
