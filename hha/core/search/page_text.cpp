// HTML text extraction for the full-text index and the topic titles.
//
// Deliberately different from chmcmd's indexer: text counts from the start of the page
// (outside <head>, scripts, styles and comments), so a <body> with attributes, as every
// Javadoc page has, is indexed; words are not limited to ASCII. Deliberately different
// from Microsoft's compiler: each page is read in the charset it declares, and its
// words are stored in the project's code page (Microsoft reads every page as if it
// were in the project's code page and indexes garbage for UTF-8 pages).
#include "hha/core/search/page_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unordered_set>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hha/core/sitemap_reader.h"
#include "support/ascii.h"

namespace hha::search {
namespace {

using namespace std::string_view_literals;

// How far into a page a charset declaration is looked for: browsers stop at 1024 bytes,
// Javadoc writes it within the first 300.
constexpr size_t kSniffBytes = 4096;

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0xA0; }

struct Entity {
  const char* name;
  char32_t c;
};
// The named entities that occur in generated documentation and Latin text; numeric ones
// cover the rest.
const Entity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},    {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"euro", 0x20AC},
    {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"hellip", 0x2026}, {"bull", 0x2022}, {"middot", 0xB7}, {"sect", 0xA7},
    {"para", 0xB6},    {"deg", 0xB0},     {"plusmn", 0xB1},  {"micro", 0xB5},  {"times", 0xD7},
    {"divide", 0xF7},  {"laquo", 0xAB},   {"raquo", 0xBB},   {"iexcl", 0xA1},  {"iquest", 0xBF},
    {"szlig", 0xDF},   {"yuml", 0xFF},    {"Yuml", 0x178},   {"OElig", 0x152}, {"oelig", 0x153},
    {"Scaron", 0x160}, {"scaron", 0x161}, {"Zcaron", 0x17D}, {"zcaron", 0x17E}, {"larr", 0x2190},
    {"rarr", 0x2192},  {"uarr", 0x2191},  {"darr", 0x2193},  {"shy", 0xAD},
};
// The byte Microsoft's compiler puts for a named reference: the character's byte in
// code page 1252, else the low byte of its code point (&uarr; is 0x91).
uint8_t AnsiByteOfNamed(char32_t c) {
  static const char16_t kCp1252High[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (c < 0x100) return static_cast<uint8_t>(c);
  for (int k = 0; k < 32; ++k)
    if (kCp1252High[k] == c) return static_cast<uint8_t>(0x80 + k);
  return static_cast<uint8_t>(c & 0xFF);
}

// Latin-1 letters by their entity stems: "Agrave" = U+00C0 and so on.
const struct {
  const char* stem;
  const char* upper;  // letters U+00C0.. that take the stem, in code point order
} kAccents[] = {{"grave", "AEIOU"}, {"acute", "AEIOUY"}, {"circ", "AEIOU"}, {"tilde", "ANO"},
                {"uml", "AEIOU"},   {"ring", "A"}};

bool LatinLetterEntity(const std::string& name, char32_t* c) {
  if (name == "AElig" || name == "aelig") return *c = name[0] == 'A' ? 0xC6 : 0xE6, true;
  if (name == "Ccedil" || name == "ccedil") return *c = name[0] == 'C' ? 0xC7 : 0xE7, true;
  if (name == "ETH" || name == "eth") return *c = name[0] == 'E' ? 0xD0 : 0xF0, true;
  if (name == "Oslash" || name == "oslash") return *c = name[0] == 'O' ? 0xD8 : 0xF8, true;
  if (name == "THORN" || name == "thorn") return *c = name[0] == 'T' ? 0xDE : 0xFE, true;
  if (name.size() < 2) return false;
  static const char32_t kUpper[][6] = {
      {0xC0, 0xC8, 0xCC, 0xD2, 0xD9, 0}, {0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xDD},
      {0xC2, 0xCA, 0xCE, 0xD4, 0xDB, 0}, {0xC3, 0xD1, 0xD5, 0, 0, 0},
      {0xC4, 0xCB, 0xCF, 0xD6, 0xDC, 0}, {0xC5, 0, 0, 0, 0, 0}};
  const std::string stem = name.substr(1);
  char letter = name[0];
  const bool lower = letter >= 'a' && letter <= 'z';
  if (lower) letter = static_cast<char>(letter - 32);
  for (size_t k = 0; k < sizeof kAccents / sizeof kAccents[0]; ++k) {
    if (stem != kAccents[k].stem) continue;
    const char* at = std::strchr(kAccents[k].upper, letter);
    if (!at || !*at) return false;
    char32_t u = kUpper[k][at - kAccents[k].upper];
    if (lower && u == 0xDD) return *c = 0xFD, true;  // yacute
    *c = lower ? u + 0x20 : u;
    return true;
  }
  if (name == "yacute") return *c = 0xFD, true;
  return false;
}

// The decoded characters of a page, made piece by piece as the scan asks for them. The
// scan only ever looks forward from its position, so characters before it can be
// forgotten: a page of any size takes a few hundred KiB, not four bytes per byte.
class PageChars {
 public:
  PageChars(std::string_view bytes, Decoder* decoder) : bytes_(bytes), decoder_(decoder) {}

  // Whether the page has a character i (decoding up to it when needed).
  bool Has(size_t i) {
    while (i >= base_ + chars_.size() && at_ < bytes_.size()) More();
    return i < base_ + chars_.size();
  }
  // Character i, once Has(i) said it exists and no later Forget passed it.
  char32_t operator[](size_t i) const { return chars_[i - base_]; }
  // The scan will not look before position i again.
  void Forget(size_t i) {
    if (i - base_ < kPiece) return;
    chars_.erase(0, i - base_);
    base_ = i;
  }
  // The characters decoded from i on, once Has(i) said it exists: scans of plain text
  // take them without a bounds check per character.
  const char32_t* Span(size_t i, size_t* n) const {
    *n = base_ + chars_.size() - i;
    return chars_.data() + (i - base_);
  }
  bool StartsWith(size_t i, const char32_t* text) {
    for (size_t k = 0; text[k]; ++k)
      if (!Has(i + k) || (*this)[i + k] != text[k]) return false;
    return true;
  }
  // Hands character i to `take`; returns the position after it.
  template <class Take>
  size_t Take1(size_t i, Take take) {
    take((*this)[i]);
    return i + 1;
  }
  // Where the '>' that ends a tag is, from j inside it on (the page's end without
  // one). Attribute values may hold '>'.
  size_t TagEnd(size_t j) {
    char32_t quote = 0;
    while (Has(j)) {
      Forget(j);
      size_t n = 0, k = 0;
      const char32_t* span = Span(j, &n);
      for (; k < n; ++k) {
        if (quote) {
          if (span[k] == quote) quote = 0;
        } else if (span[k] == '"' || span[k] == '\'') {
          quote = span[k];
        } else if (span[k] == '>') {
          break;
        }
      }
      j += k;
      if (k < n) break;
    }
    return j;
  }
  // Hands the characters from i to the next '<' or '&' to `splitter`; returns where
  // they end.
  template <class Splitter>
  size_t PutText(size_t i, Splitter& splitter) {
    size_t n = 0, k = 0;
    const char32_t* span = Span(i, &n);
    for (; k < n && span[k] != '<' && span[k] != '&'; ++k) splitter.Put(span[k]);
    return i + k;
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  void More() {
    const size_t end = PieceEnd(bytes_, at_, kPiece);
    if (decoder_) {
      decoder_->Append(bytes_.data() + at_, end - at_, &chars_);
    } else {  // no converter at all: the bytes as Latin-1 still give the ASCII words
      for (size_t k = at_; k < end; ++k) chars_.push_back(static_cast<unsigned char>(bytes_[k]));
    }
    at_ = end;
  }

  std::string_view bytes_;
  Decoder* decoder_;
  size_t at_ = 0;    // bytes decoded so far
  size_t base_ = 0;  // index of chars_[0]
  std::u32string chars_;
};

// The same for a page whose decoder splits at ASCII (UTF-8, most single-byte code
// pages): positions are bytes, ASCII bytes are their own characters, and only a run of
// other bytes that is text goes through the decoder. Pages are mostly ASCII, so most
// are never widened. A byte from 0x80 on reads as a character that is no ASCII, which
// is all that markup, entities and tag names ask of it.
class PageBytes {
 public:
  PageBytes(std::string_view bytes, Decoder* decoder)
      : p_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()), decoder_(decoder) {}

  bool Has(size_t i) const { return i < size_; }
  char32_t operator[](size_t i) const { return p_[i]; }
  void Forget(size_t) {}
  const unsigned char* Span(size_t i, size_t* n) const {
    *n = size_ - i;
    return p_ + i;
  }
  bool StartsWith(size_t i, const char32_t* text) const {
    for (size_t k = 0; text[k]; ++k)
      if (i + k >= size_ || p_[i + k] != text[k]) return false;
    return true;
  }
  // A tag is mostly attribute values: quotes and '>' are looked for 16 bytes at a time.
  size_t TagEnd(size_t j) const {
    for (;;) {
      j = FindTagMark(j);
      if (j == size_ || p_[j] == '>') return j;
      const void* close = std::memchr(p_ + j + 1, p_[j], size_ - j - 1);
      if (!close) return size_;
      j = static_cast<const unsigned char*>(close) - p_ + 1;
    }
  }
  template <class Take>
  size_t Take1(size_t i, Take take) {
    if (p_[i] < 0x80) {
      take(static_cast<char32_t>(p_[i]));
      return i + 1;
    }
    const size_t end = OtherRunEnd(i);
    for (char32_t c : Decoded(i, end)) take(c);
    return end;
  }
  template <class Splitter>
  size_t PutText(size_t i, Splitter& splitter) {
    while (i < size_) {
      i += splitter.PutPlain(p_ + i, size_ - i);
      if (i == size_) break;
      const unsigned char b = p_[i];
      if (b < 0x80) {
        if (b == '<' || b == '&') break;
        splitter.PutAscii(b);
        ++i;
        continue;
      }
      const size_t end = OtherRunEnd(i);
      for (char32_t c : Decoded(i, end)) splitter.Put(c);
      i = end;
    }
    return i;
  }

 private:
  // The first '>', '"' or '\'' from j on; size_ if none.
  size_t FindTagMark(size_t j) const {
#if defined(__SSE2__)
    const __m128i close = _mm_set1_epi8('>'), dq = _mm_set1_epi8('"'), sq = _mm_set1_epi8('\'');
    for (; j + 16 <= size_; j += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_ + j));
      const __m128i hit =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, close), _mm_cmpeq_epi8(v, dq)), _mm_cmpeq_epi8(v, sq));
      if (const int mask = _mm_movemask_epi8(hit)) return j + static_cast<size_t>(__builtin_ctz(mask));
    }
#endif
    for (; j < size_; ++j)
      if (p_[j] == '>' || p_[j] == '"' || p_[j] == '\'') return j;
    return size_;
  }
  size_t OtherRunEnd(size_t i) const {
    while (i < size_ && p_[i] >= 0x80) ++i;
    return i;
  }
  // A whole run at once: where a run is cut decides how a bad sequence decodes.
  const std::u32string& Decoded(size_t from, size_t end) {
    decoded_.clear();
    decoder_->Append(reinterpret_cast<const char*>(p_ + from), end - from, &decoded_);
    return decoded_;
  }

  const unsigned char* p_;
  size_t size_;
  Decoder* decoder_;
  std::u32string decoded_;
};

// What a tag name is read as: letters, digits, '!' and '?'.
constexpr std::array<bool, 0x80> kTagNameBytes = [] {
  std::array<bool, 0x80> t{};
  for (int c = 0; c < 0x80; ++c) t[c] = qb::IsAsciiAlnum(static_cast<char>(c)) || c == '!' || c == '?';
  return t;
}();

// Decodes the entity starting at text[at] == '&'; returns the characters consumed (0 when
// it is not an entity, so '&' stands for itself). `named` tells a named reference.
template <class Text>
size_t DecodeEntity(Text& text, size_t at, char32_t* c, bool* named) {
  *named = false;
  size_t i = at + 1;
  if (text.Has(i) && text[i] == '#') {
    ++i;
    const bool hex = text.Has(i) && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    uint32_t v = 0;
    size_t digits = 0;
    for (; text.Has(i) && digits < 8; ++i, ++digits) {
      char32_t d = text[i];
      if (d >= '0' && d <= '9') v = v * (hex ? 16 : 10) + (d - '0');
      else if (hex && ((d | 0x20) >= 'a' && (d | 0x20) <= 'f')) v = v * 16 + ((d | 0x20) - 'a' + 10);
      else break;
    }
    if (digits == 0 || v > 0x10FFFF) return 0;
    if (text.Has(i) && text[i] == ';') ++i;
    *c = v == 0 ? 0xFFFD : v;
    return i - at;
  }
  std::string name;
  for (; text.Has(i) && name.size() < 8; ++i) {
    char32_t d = text[i];
    if (!((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z') || (d >= '0' && d <= '9'))) break;
    name += static_cast<char>(d);
  }
  if (name.empty() || !text.Has(i)) return 0;
  // Without its ';' a known name still counts when the name is over (a byte that is no
  // letter or digit follows), as in Microsoft's compiler: "&quot<" is a quote.
  const char32_t next = text[i];
  const bool closed = next == ';';
  if (!closed && ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || (next >= '0' && next <= '9')))
    return 0;
  const size_t used = closed ? i + 1 - at : i - at;
  for (const Entity& e : kEntities)
    if (name == e.name) return *c = e.c, *named = true, used;
  if (LatinLetterEntity(name, c)) return *named = true, used;
  if (const char b = Latin1ByteOfName(name)) return *c = static_cast<uint8_t>(b), *named = true, used;
  if (!closed) return 0;
  // An unknown reference stands for nothing the index could hold (Microsoft's compiler
  // drops "&g;" rather than indexing "g").
  *c = 0xFFFD;
  return i + 1 - at;
}

// The first case-insensitive occurrence of `needle` at or after `from`; npos if none.
// Forgets what it passes: callers skip to the result.
template <class Text>
size_t FindCI(Text& text, size_t from, const char* needle) {
  const size_t n = std::strlen(needle);
  for (size_t i = from; text.Has(i + n - 1); ++i) {
    text.Forget(i);
    size_t k = 0;
    while (k < n && text[i + k] < 0x80 && qb::AsciiLower(static_cast<char>(text[i + k])) == needle[k]) ++k;
    if (k == n) return i;
  }
  return std::u32string::npos;
}

// A word as it is collected: at most kMaxWordBytes are kept, a longer one is only
// counted, since it is never stored (it ends the page's words).
class WordBuffer {
 public:
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  void clear() { size_ = 0; }
  void push_back(char c) {
    if (size_ < kMaxWordBytes) bytes_[size_] = c;
    ++size_;
  }
  void Append(std::string_view s) {
    for (char c : s) push_back(c);
  }
  std::string_view view() const { return {bytes_, std::min(size_, kMaxWordBytes)}; }
  // Appends the letters and digits that start p[0, n) (those with a non-zero byte in
  // `plain`, folded to it); returns how many. Kept in locals: a store through char*
  // would make the compiler reload every member after each letter.
  size_t AppendPlain(const unsigned char* p, size_t n, const uint8_t* plain) {
    const size_t at = size_;
    size_t k = 0;
    if (at < kMaxWordBytes) {
      const size_t stored = std::min(n, kMaxWordBytes - at);
      char* out = bytes_ + at;
      for (; k < stored; ++k) {
        const uint8_t f = plain[p[k]];
        if (!f) break;
        out[k] = static_cast<char>(f);
      }
      if (k < stored) {
        size_ = at + k;
        return k;
      }
    }
    while (k < n && plain[p[k]]) ++k;
    size_ = at + k;
    return k;
  }

 private:
  char bytes_[kMaxWordBytes];
  size_t size_ = 0;
};

// Collects words as the characters arrive, the way the viewer breaks a query: each
// character is taken in the project's code page and classed by the search engine's
// character table. Letters and digits make words (letters folded: lower case, accents
// removed, ligatures spelt out); '.' stays inside a word that began with a digit when
// more follows, a run of commas inside such a word is dropped when more follows, an apostrophe after a
// letter-led word and before a letter is dropped; every double-byte character and every
// half-width katakana is a word of its own. Anything else, and any tag, ends a word.
class WordSplitter {
 public:
  // `plain` gives, for each byte below 0x80 that is a letter or digit folding to one
  // byte, its folded byte (0 for the others): most of a page's text.
  WordSplitter(Encoder& encoder, const CharTable& table, const uint8_t* plain, WordSink* sink, bool inTitle)
      : encoder_(encoder), table_(table), plain_(plain), sink_(sink), inTitle_(inTitle) {}
  // The byte a named reference stands for (&ordm; is 0xBA), taken as a byte of the
  // project's code page as Microsoft's compiler takes it: in a double-byte code page it
  // may start a character with the byte that follows.
  void PutAnsiByte(uint8_t b) { Bytes(std::string(1, static_cast<char>(b))); }
  // Put for a character below 0x80.
  void PutAscii(uint8_t b) {
    if (lead_) return Put(b);
    PutByte(b);
  }
  // Puts the ASCII letters and digits that start p[0, n) while nothing else is waiting
  // (a pending '.', a lead byte); returns how many it took.
  size_t PutPlain(const unsigned char* p, size_t n) {
    if (lead_ || !pending_.empty() || n == 0 || !plain_[p[0]]) return 0;
    if (word_.empty()) digitLed_ = table_[p[0]].charClass == kDigit;
    return word_.AppendPlain(p, n, plain_);
  }
  void Put(char32_t c) {
    if (lead_) {
      bytes_.clear();
      if (c == 0xFFFD || !encoder_.Append(c, &bytes_)) return End();
      return Bytes(bytes_);
    }
    // Every supported code page is ASCII-compatible: most characters need no encoder.
    // Nothing is lower-cased before the table: in a code page other than 1252 the
    // table's folding is the only one, so that a query folds the same way.
    if (c < 0x80) return PutByte(static_cast<uint8_t>(c));
    bytes_.clear();
    if (c == 0xFFFD || !encoder_.Append(c, &bytes_) || bytes_.empty()) return End();
    if (bytes_.size() > 1) {  // a double-byte character
      End();
      Emit(bytes_);
      return;
    }
    PutByte(static_cast<uint8_t>(bytes_[0]));
  }
  void End() {
    if (!stopped_) Emit(word_);
    word_.clear();
    pending_.clear();
    lead_ = 0;
  }

 private:
  // One single-byte character of the project's code page. Most continue or start a
  // word with nothing pending: that case stays inline in the page's scan, the rest is
  // out of line so that it does not keep the compiler from inlining this.
  __attribute__((always_inline)) void PutByte(uint8_t b) {
    const CharRecord& r = table_[b];
    static_assert(kLower == 1 && kOtherLetter == 2 && kDigit == 3, "plain word classes");
    if (r.charClass - 1u < 3u && pending_.empty()) {
      if (word_.empty()) digitLed_ = r.charClass == kDigit;
      word_.push_back(static_cast<char>(r.folded));
      return;
    }
    // A space or punctuation (nothing that may stay inside a word) only ends the word:
    // after every word of a page, so without the call.
    if (r.charClass == kSeparator) return End();
    PutOtherByte(b);
  }
  __attribute__((noinline)) void PutOtherByte(uint8_t b) {
    const uint16_t cls = table_[b].charClass;
    const bool letter = table_.IsLetter(b), digit = cls == kDigit;
    if (letter || digit) {
      if (!pending_.empty()) {
        const char p = pending_[0];
        const bool keep = (p == '.' && digitLed_) || p == ',' || (p == '\'' && letter);
        if (p == '.' && keep) word_.Append(pending_);
        pending_.clear();
        if (!keep) End();
      }
      if (word_.empty()) digitLed_ = digit;
      std::string folded;
      table_.AppendFolded(b, &folded);
      word_.Append(folded);
      return;
    }
    if (cls == kHalfWidthKana) {
      End();
      Emit(std::string(1, static_cast<char>(b)));
      return;
    }
    if (!word_.empty()) {
      if (cls == kPeriod && digitLed_ && (pending_.empty() || pending_[0] == '.')) {
        pending_ += '.';
        return;
      }
      // A run of commas inside a digit-led word goes when more of the word follows.
      if (cls == kComma && digitLed_ && (pending_.empty() || pending_[0] == ',')) {
        pending_ += ',';
        return;
      }
      if (pending_.empty() && cls == kApostrophe && !digitLed_) {
        pending_ = "'";
        return;
      }
    }
    End();
  }
  void Emit(const WordBuffer& w) {
    if (w.empty()) return;
    // As in Microsoft's compiler, a word too long to store ends the page's words.
    if (w.size() > kMaxWordBytes) stopped_ = true;
    else sink_->Word(w.view(), inTitle_);
  }
  void Emit(std::string_view w) {
    if (stopped_ || w.empty()) return;
    if (w.size() > kMaxWordBytes) stopped_ = true;
    else sink_->Word(w, inTitle_);
  }
  // Bytes of the project's code page, a double-byte character wherever a lead byte
  // starts one (an invalid pair is no word).
  void Bytes(const std::string& bytes) {
    for (char ch : bytes) {
      const uint8_t b = static_cast<uint8_t>(ch);
      if (lead_) {
        const char pair[2] = {static_cast<char>(lead_), ch};
        lead_ = 0;
        if (IsCharacter(std::string_view(pair, 2))) Emit(std::string_view(pair, 2));
      } else if (table_.IsLeadByte(b)) {
        End();
        lead_ = b;
      } else {
        PutByte(b);
      }
    }
  }
  bool IsCharacter(std::string_view pair) {
    if (!decoder_) decoder_ = std::make_unique<Decoder>(table_.codePage());
    std::u32string u;
    decoder_->Append(pair.data(), pair.size(), &u);
    // Converters differ on invalid pairs (iconv fails, Windows gives a default
    // character): a character is what encodes back to the same bytes.
    std::string back;
    return u.size() == 1 && u[0] != 0xFFFD && encoder_.Append(u[0], &back) && back == pair;
  }
  Encoder& encoder_;
  const CharTable& table_;
  const uint8_t* plain_;
  WordSink* sink_;
  bool inTitle_;
  WordBuffer word_;
  std::string pending_, bytes_;
  bool digitLed_ = false;
  bool stopped_ = false;
  uint8_t lead_ = 0;  // a lead byte waiting for its second byte
  std::unique_ptr<Decoder> decoder_;
};

// Stands in for the sink when only the title is wanted.
class NoWords : public WordSink {
 public:
  void Word(std::string_view, bool) override {}
};

}  // namespace

PageAnalyzer::PageAnalyzer(uint32_t projectCodePage)
    : encoder_(projectCodePage), table_(0, projectCodePage) {
  for (int b = 0; b < 0x80; ++b) {
    const CharRecord& r = table_[static_cast<uint8_t>(b)];
    if ((r.charClass == kLower || r.charClass == kOtherLetter || r.charClass == kDigit) && r.folded)
      plain_[b] = r.folded;
  }
}

uint32_t PageAnalyzer::DeclaredCodePage(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return kUtf8;
  std::string head(bytes.substr(0, kSniffBytes));
  for (char& c : head) c = qb::AsciiLower(c);
  auto labelAt = [&](size_t at) {
    while (at < head.size() && (head[at] == ' ' || head[at] == '"' || head[at] == '\'')) ++at;
    size_t end = at;
    while (end < head.size() && head[end] != '"' && head[end] != '\'' && head[end] != ' ' &&
           head[end] != ';' && head[end] != '>' && head[end] != '/')
      ++end;
    return CodePageOfCharset(head.substr(at, end - at));
  };
  for (size_t meta = head.find("<meta"); meta != std::string::npos; meta = head.find("<meta", meta + 5)) {
    const size_t close = head.find('>', meta);
    const size_t cs = head.find("charset", meta);
    if (cs == std::string::npos || (close != std::string::npos && cs > close)) continue;
    size_t eq = cs + 7;
    while (eq < head.size() && head[eq] == ' ') ++eq;
    if (eq < head.size() && head[eq] == '=') return labelAt(eq + 1);
  }
  if (head.compare(0, 5, "<?xml") == 0) {
    const size_t close = head.find("?>");
    const size_t enc = head.find("encoding=");
    if (enc != std::string::npos && enc < close) return labelAt(enc + 9);
  }
  return 0;
}

namespace {

// One page's scan, over its characters or its bytes (PageChars or PageBytes).
template <class Text>
void Scan(Text& text, Encoder& encoder, bool wantWords, WordSplitter& titleSplitter, WordSplitter& bodySplitter,
          PageText* out) {
  bool inHead = false, inTitle = false, pendingSpace = false;
  auto titleChar = [&](char32_t c) {
    if (IsSpace(c)) return void(pendingSpace = !out->title.empty());
    std::string bytes;
    if (!encoder.Append(c, &bytes)) return;
    if (pendingSpace) out->title += ' ';
    pendingSpace = false;
    out->title += bytes;
  };
  size_t i = 0;
  while (text.Has(i)) {
    text.Forget(i);
    const char32_t c = text[i];
    if (c == '<') {
      if (text.Has(i + 1) && text[i + 1] == '!' && text.StartsWith(i, U"<!--")) {
        size_t end = FindCI(text, i + 4, "-->");
        if (end == std::u32string::npos) break;
        i = end + 3;
        bodySplitter.End();  // a comment ends a word as a tag does
        continue;
      }
      size_t j = i + 1;
      const bool closing = text.Has(j) && text[j] == '/';
      if (closing) ++j;
      // Only names of up to six letters matter: a longer one is kept as a name that
      // matches none, without a string built for every tag of the page.
      char folded[8];
      size_t length = 0;
      while (text.Has(j) && text[j] < 0x80 && kTagNameBytes[text[j]]) {
        if (length < sizeof folded) folded[length] = qb::AsciiLower(static_cast<char>(text[j]));
        ++length;
        ++j;
      }
      const std::string_view name(folded, std::min(length, sizeof folded));
      if (length == 0) {  // a lone '<' is text
        if (!inHead && wantWords) bodySplitter.Put(c);
        ++i;
        continue;
      }
      j = text.TagEnd(j);
      i = text.Has(j) ? j + 1 : j;  // past the end when the page ends inside the tag
      if (name == "head"sv) inHead = !closing;
      else if (name == "body"sv) inHead = false;
      else if (name == "title"sv) {
        // The first title names the page, as in browsers; a reader that stops after it
        // (titles only) must see the same.
        inTitle = !closing && !out->hasTitle;
        titleSplitter.End();
        if (closing) {
          out->hasTitle = true;
          if (!wantWords) break;
        }
      } else if (!closing && (name == "script"sv || name == "style"sv)) {
        const size_t end = FindCI(text, i, name == "script"sv ? "</script" : "</style");
        if (end == std::u32string::npos) break;
        i = end;
      }
      bodySplitter.End();
      continue;
    }
    if (c != '&' && !inTitle) {
      // Plain text up to the next tag or entity, most of a page.
      if (!inHead && wantWords) {
        i = text.PutText(i, bodySplitter);
      } else {
        size_t n = 0, k = 0;
        const auto* span = text.Span(i, &n);
        while (k < n && span[k] != '<' && span[k] != '&') ++k;
        i += k;
      }
      continue;
    }
    WordSplitter* splitter = inTitle ? &titleSplitter : !inHead && wantWords ? &bodySplitter : nullptr;
    if (splitter && inTitle && !wantWords) splitter = nullptr;
    if (c == '&') {
      char32_t ch = c;
      bool named = false;
      const size_t n = DecodeEntity(text, i, &ch, &named);
      i += n ? n : 1;
      if (inTitle) titleChar(ch);
      if (splitter) {
        if (named) splitter->PutAnsiByte(AnsiByteOfNamed(ch));
        else splitter->Put(ch);
      }
      continue;
    }
    i = text.Take1(i, [&](char32_t ch) {
      titleChar(ch);  // only a title's text comes here
      if (splitter) splitter->Put(ch);
    });
  }
  if (inTitle) out->hasTitle = true;  // an unclosed title still names the page
}

}  // namespace

Decoder* PageAnalyzer::DecoderFor(uint32_t codePage) {
  for (const auto& [cp, decoder] : decoders_)
    if (cp == codePage) return decoder.get();
  decoders_.emplace_back(codePage, std::make_unique<Decoder>(codePage));
  return decoders_.back().second.get();
}

void PageAnalyzer::Analyze(std::string_view bytes, WordSink* words, PageText* out) {
  *out = PageText();
  const bool wantWords = words != nullptr;
  NoWords none;
  if (!words) words = &none;
  const uint32_t declared = DeclaredCodePage(bytes);
  Decoder* decoder = DecoderFor(declared ? declared : encoder_.codePage());
  if (!decoder->ok() && declared) decoder = DecoderFor(encoder_.codePage());
  WordSplitter titleSplitter(encoder_, table_, plain_.data(), words, true);
  WordSplitter bodySplitter(encoder_, table_, plain_.data(), words, false);
  if (decoder->SplitsAtAscii()) {
    PageBytes text(bytes, decoder);
    Scan(text, encoder_, wantWords, titleSplitter, bodySplitter, out);
  } else {
    PageChars text(bytes, decoder->ok() ? decoder : nullptr);
    Scan(text, encoder_, wantWords, titleSplitter, bodySplitter, out);
  }
  titleSplitter.End();
  bodySplitter.End();
}

}  // namespace hha::search
