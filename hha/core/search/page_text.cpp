// HTML text extraction for the full-text index and the topic titles.
//
// Deliberately different from chmcmd's indexer: text counts from the start of the page
// (outside <head>, scripts, styles and comments), so a <body> with attributes, as every
// Javadoc page has, is indexed; words are not limited to ASCII. Deliberately different
// from Microsoft's compiler: each page is read in the charset it declares, and its
// words are stored in the project's code page (Microsoft reads every page as if it
// were in the project's code page and indexes garbage for UTF-8 pages).
#include "hha/core/search/page_text.h"

#include <cstring>
#include <memory>
#include <unordered_set>

#include "support/ascii.h"

namespace hha::search {
namespace {

using namespace std::string_view_literals;

// How far into a page a charset declaration is looked for: browsers stop at 1024 bytes,
// Javadoc writes it within the first 300.
constexpr size_t kSniffBytes = 4096;

char32_t Lower(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs upper/lower case on even/odd code points, shifted by one
    // between U+0139 and U+0148 and from U+0179 on.
    const bool shifted = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    return (c % 2 == 0) != shifted ? c + 1 : c;
  }
  if (c == 0x178) return 0xFF;
  return c;
}

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

// Decodes the entity starting at text[at] == '&'; returns the characters consumed (0 when
// it is not an entity, so '&' stands for itself).
size_t DecodeEntity(PageChars& text, size_t at, char32_t* c) {
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
  if (name.empty() || !text.Has(i) || text[i] != ';') return 0;
  for (const Entity& e : kEntities)
    if (name == e.name) return *c = e.c, i + 1 - at;
  if (LatinLetterEntity(name, c)) return i + 1 - at;
  // An unknown reference stands for nothing the index could hold (Microsoft's compiler
  // drops "&g;" rather than indexing "g").
  *c = 0xFFFD;
  return i + 1 - at;
}

// The first case-insensitive occurrence of `needle` at or after `from`; npos if none.
// Forgets what it passes: callers skip to the result.
size_t FindCI(PageChars& text, size_t from, const char* needle) {
  const size_t n = std::strlen(needle);
  for (size_t i = from; text.Has(i + n - 1); ++i) {
    text.Forget(i);
    size_t k = 0;
    while (k < n && text[i + k] < 0x80 && qb::AsciiLower(static_cast<char>(text[i + k])) == needle[k]) ++k;
    if (k == n) return i;
  }
  return std::u32string::npos;
}

// Collects words as the characters arrive, the way the viewer breaks a query: each
// character is taken in the project's code page and classed by the search engine's
// character table. Letters and digits make words (letters folded: lower case, accents
// removed, ligatures spelt out); '.' stays inside a word that began with a digit when
// more follows, ',' between digits of such a word is dropped, an apostrophe after a
// letter-led word and before a letter is dropped; every double-byte character and every
// half-width katakana is a word of its own. Anything else, and any tag, ends a word.
class WordSplitter {
 public:
  WordSplitter(Encoder& encoder, const CharTable& table, WordSink* sink, bool inTitle)
      : encoder_(encoder),
        table_(table),
        sink_(sink),
        inTitle_(inTitle),
        foldFirst_(table.codePage() != 1252 && table.codePage() != 932 && table.codePage() != 936 &&
                   !IsDoubleByte(table.codePage())) {}
  void Put(char32_t c) {
    // Every supported code page is ASCII-compatible: most characters need no encoder.
    if (c < 0x80) return PutByte(static_cast<uint8_t>(foldFirst_ ? qb::AsciiLower(static_cast<char>(c)) : c));
    bytes_.clear();
    // Tables of code pages Microsoft's compiler has none for do not fold case.
    if (foldFirst_) c = Lower(c);
    if (c == 0xFFFD || !encoder_.Append(c, &bytes_) || bytes_.empty()) return End();
    if (bytes_.size() > 1) {  // a double-byte character
      End();
      Emit(bytes_);
      return;
    }
    PutByte(static_cast<uint8_t>(bytes_[0]));
  }
  void End() {
    Emit(word_);
    word_.clear();
    pending_.clear();
  }

 private:
  // One single-byte character of the project's code page.
  void PutByte(uint8_t b) {
    const uint16_t cls = table_[b].charClass;
    const bool letter = table_.IsLetter(b), digit = cls == kDigit;
    if (letter || digit) {
      if (!pending_.empty()) {
        const char p = pending_[0];
        const bool keep = (p == '.' && digitLed_) || (p == ',' && digit) || (p == '\'' && letter);
        if (p == '.' && keep) word_ += pending_;
        pending_.clear();
        if (!keep) End();
      }
      if (word_.empty()) digitLed_ = digit;
      table_.AppendFolded(b, &word_);
      lastDigit_ = digit;
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
      if (pending_.empty() && cls == kComma && digitLed_ && lastDigit_) {
        pending_ = ",";
        return;
      }
      if (pending_.empty() && cls == kApostrophe && !digitLed_) {
        pending_ = "'";
        return;
      }
    }
    End();
  }
  void Emit(const std::string& w) {
    if (!w.empty() && w.size() <= kMaxWordBytes) sink_->Word(w, inTitle_);
  }
  Encoder& encoder_;
  const CharTable& table_;
  WordSink* sink_;
  bool inTitle_, foldFirst_;
  std::string word_, pending_, bytes_;
  bool digitLed_ = false, lastDigit_ = false;
};

// Stands in for the sink when only the title is wanted.
class NoWords : public WordSink {
 public:
  void Word(const std::string&, bool) override {}
};

}  // namespace

PageAnalyzer::PageAnalyzer(uint32_t projectCodePage)
    : encoder_(projectCodePage), table_(0, projectCodePage) {}

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

void PageAnalyzer::Analyze(std::string_view bytes, WordSink* words, PageText* out) {
  *out = PageText();
  const bool wantWords = words != nullptr;
  NoWords none;
  if (!words) words = &none;
  const uint32_t declared = DeclaredCodePage(bytes);
  Decoder declaredDecoder(declared ? declared : encoder_.codePage());
  std::unique_ptr<Decoder> projectDecoder;
  Decoder* decoder = &declaredDecoder;
  if (!decoder->ok() && declared) {
    projectDecoder = std::make_unique<Decoder>(encoder_.codePage());
    decoder = projectDecoder.get();
  }
  PageChars text(bytes, decoder->ok() ? decoder : nullptr);
  WordSplitter titleSplitter(encoder_, table_, words, true);
  WordSplitter bodySplitter(encoder_, table_, words, false);
  bool inHead = false, inTitle = false, pendingSpace = false;
  auto titleChar = [&](char32_t c) {
    if (IsSpace(c)) return void(pendingSpace = !out->title.empty());
    std::string bytes;
    if (!encoder_.Append(c, &bytes)) return;
    if (pendingSpace) out->title += ' ';
    pendingSpace = false;
    out->title += bytes;
  };
  size_t i = 0;
  while (text.Has(i)) {
    text.Forget(i);
    const char32_t c = text[i];
    if (c == '<') {
      if (text.StartsWith(i, U"<!--")) {
        size_t end = FindCI(text, i + 4, "-->");
        if (end == std::u32string::npos) break;
        i = end + 3;
        continue;
      }
      size_t j = i + 1;
      const bool closing = text.Has(j) && text[j] == '/';
      if (closing) ++j;
      std::string name;
      while (text.Has(j) && text[j] < 0x80 &&
             (qb::IsAsciiAlnum(static_cast<char>(text[j])) || text[j] == '!' || text[j] == '?'))
        name += qb::AsciiLower(static_cast<char>(text[j++]));
      if (name.empty()) {  // a lone '<' is text
        if (!inHead && wantWords) bodySplitter.Put(c);
        ++i;
        continue;
      }
      char32_t quote = 0;  // attribute values may hold '>'
      while (text.Has(j)) {
        text.Forget(j);
        size_t n = 0, k = 0;
        const char32_t* span = text.Span(j, &n);
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
      size_t n = 0, k = 0;
      const char32_t* span = text.Span(i, &n);
      if (!inHead && wantWords) {
        for (; k < n && span[k] != '<' && span[k] != '&'; ++k) bodySplitter.Put(span[k]);
      } else {
        while (k < n && span[k] != '<' && span[k] != '&') ++k;
      }
      i += k;
      continue;
    }
    char32_t ch = c;
    if (c == '&') {
      const size_t n = DecodeEntity(text, i, &ch);
      i += n ? n : 1;
    } else {
      ++i;
    }
    if (inTitle) {
      titleChar(ch);
      if (wantWords) titleSplitter.Put(ch);
    } else if (!inHead && wantWords) {
      bodySplitter.Put(ch);
    }
  }
  if (inTitle) out->hasTitle = true;  // an unclosed title still names the page
  titleSplitter.End();
  bodySplitter.End();
}

}  // namespace hha::search
