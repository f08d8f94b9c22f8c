// The search engine's character table for one code page: what each byte of the
// project's code page is to the word breaker (letter, digit, separator, lead byte of a
// double-byte character, ...), how it folds and where it sorts. The viewer folds every
// query through the copy stored in /$OBJINST, so the full-text index is broken and folded
// through the same table: what the viewer looks up is what was stored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hha::search {

// Character classes as the table stores them.
enum CharClass : uint16_t {
  kSeparator = 0,
  kLower = 1,        // plain lower-case letters, and '_' in most tables
  kOtherLetter = 2,  // upper case and accented letters
  kDigit = 3,
  kComma = 4,
  kPeriod = 5,
  kApostrophe = 6,
  kControl = 7,
  kWildcard = 9,      // '*' and '?' in a query
  kLeadByte = 10,     // first byte of a double-byte character
  kHalfWidthKana = 11,
  kLigature = 12,     // folds to two letters
  // 256 .. 1792: bullet, dashes and curly quotes (0x100 apart)
};

struct CharRecord {
  uint16_t charClass = kSeparator;
  uint16_t weight = 0;   // sort weight
  uint8_t folded = 0;    // lower case, accents removed
  uint8_t self = 0;
  uint8_t mac = 0x20;    // the character in Mac Roman (0x20 when it has none)
  uint8_t mac2 = 0x20;   // usually the same again
};

struct Ligature {
  uint8_t ch;
  char first, second;
};

class CharTable {
 public:
  // The table Microsoft's compiler writes for this LCID's code page: 1252's for every
  // single-byte code page, its own for 932, 936 and 949; other double-byte code pages
  // (950) get one with their lead bytes.
  CharTable(uint32_t lcid, uint32_t codePage);

  uint32_t lcid() const { return lcid_; }
  uint32_t codePage() const { return codePage_; }
  const CharRecord& operator[](uint8_t b) const { return records_[b]; }
  const std::vector<Ligature>& ligatures() const { return ligatures_; }
  // Whether byte b starts a double-byte character in this code page.
  bool IsLeadByte(uint8_t b) const { return leadBytes_[b]; }
  bool IsLetter(uint8_t b) const {
    const uint16_t c = records_[b].charClass;
    return c == kLower || c == kOtherLetter || c == kLigature;
  }
  // Appends the folded form of single-byte character b (two letters for a ligature).
  void AppendFolded(uint8_t b, std::string* out) const {
    if (records_[b].charClass == kLigature) return AppendLigature(b, out);
    out->push_back(static_cast<char>(records_[b].folded));
  }

  // The /$OBJINST file: the word breaker's settings, this table, and (English only) the
  // stemmer's object.
  std::vector<uint8_t> BuildObjInst() const;

 private:
  void Build1252();
  void BuildShiftJis();
  void BuildGbk();
  void BuildKorean();
  void BuildDoubleByte();
  void AppendLigature(uint8_t b, std::string* out) const;

  uint32_t lcid_, codePage_;
  std::array<CharRecord, 256> records_{};
  std::array<bool, 256> leadBytes_{};
  std::vector<Ligature> ligatures_;
  uint32_t breakerFlags_ = 3;  // object 0's flags and the word after the counts
  uint32_t breakerMode_ = 3;
};

}  // namespace hha::search
