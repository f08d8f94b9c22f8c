// ASCII case folding and white space. Names in projects, pages and sitemaps (files,
// tags, attributes, options, charset labels) compare as Windows compares file names in
// ASCII, never by the user's locale, so every reader folds them the same way.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The C library's isalpha/isalnum/isxdigit in the "C" locale, without a locale lookup
// per character.
constexpr bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiAlnum(char c) { return IsAsciiAlpha(c) || IsAsciiDigit(c); }
constexpr bool IsAsciiHexDigit(char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// True when `a` folded equals `lower`, which the caller gives already lower-case.
inline bool EqualsLowerAscii(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != lower[i]) return false;
  return true;
}

// HTML's white space (no vertical tab, as browsers).
constexpr bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// What the tag readers stop at, one table lookup per byte rather than a comparison for
// each kind: their loops run over every byte of every tag of a page.
enum TagByte : uint8_t {
  kTagSpace = 1,   // IsHtmlSpace
  kTagSlash = 2,   // '/'
  kTagClose = 4,   // '>'
  kTagEquals = 8,  // '='
  kTagAlnum = 16,  // IsAsciiAlnum
  kTagBang = 32,   // '!'
};
inline constexpr std::array<uint8_t, 256> kTagBytes = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    t[c] = static_cast<uint8_t>((IsHtmlSpace(ch) ? kTagSpace : 0) | (ch == '/' ? kTagSlash : 0) |
                                (ch == '>' ? kTagClose : 0) | (ch == '=' ? kTagEquals : 0) |
                                (IsAsciiAlnum(ch) ? kTagAlnum : 0) | (ch == '!' ? kTagBang : 0));
  }
  return t;
}();
constexpr bool IsTagByte(char c, uint8_t kinds) { return kTagBytes[static_cast<uint8_t>(c)] & kinds; }

}  // namespace qb
