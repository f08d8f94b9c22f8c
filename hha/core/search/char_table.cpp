// The word breaker's character table and /$OBJINST.
//
// The records are built from what they mean: a letter's class comes from its case and
// accents, its folded form and sort weight from its base letter, a symbol's weight from
// its place in Windows' sort order, the Mac byte from the Mac Roman character set as
// Microsoft's table knew it (before the euro replaced the currency sign at 0xDB). The
// tables Microsoft's compiler writes carry some records that no such meaning explains;
// they are reproduced as they are, each marked "as Microsoft writes it", because the
// viewer reads the file, not the meaning.
#include "hha/core/search/char_table.h"

#include <cstring>

#include "hha/core/byte_writer.h"
#include "hha/core/search/code_page.h"

namespace hha::search {
namespace {

// Object GUIDs, as stored (little-endian fields).
constexpr uint8_t kBreakerGuid[16] = {0xAF, 0xDA, 0x62, 0x46, 0x93, 0xD3, 0xD0, 0x11,
                                      0x9A, 0x56, 0x00, 0xC0, 0x4F, 0xB6, 0x8B, 0xF7};
constexpr uint8_t kStemmerGuid[16] = {0xA8, 0xD5, 0xA0, 0x8F, 0xDF, 0xDE, 0xD0, 0x11,
                                      0x9A, 0x61, 0x00, 0xC0, 0x4F, 0xB6, 0x8B, 0xF7};
constexpr uint8_t kSettingsGuid[16] = {0xB0, 0xDA, 0x62, 0x46, 0x93, 0xD3, 0xD0, 0x11,
                                       0x9A, 0x56, 0x00, 0xC0, 0x4F, 0xB6, 0x8B, 0x66};
constexpr uint32_t kObjectVersion = 0x04000000;
constexpr uint32_t kBreakerSettings = 0x00145555;
constexpr uint32_t kSettingsMagic = 666, kSettingsVersion = 10031;
constexpr uint32_t kStemmerFlag = 0x08;
constexpr size_t kRecordSize = 10, kBreakerHeader = 0x50;

// Sort weights: digits and letters in steps, Windows' symbols in its own order.
constexpr uint16_t kDigitWeight = 0x460, kDigitStep = 10;
constexpr uint16_t kLetterWeight = 0x4CE, kLetterStep = 20;
// The DBCS tables give every byte from there on a weight of its own, in byte order.
constexpr uint16_t kDbcsWeight = 0x7D0, kDbcsStep = 10;

// Code page 1252 as the table knows it: 0 where the character set had nothing yet (the
// euro, Z with caron and the unassigned bytes).
constexpr char16_t kCp1252High[32] = {
    0,      0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0,      0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0,      0x0178};

// Mac Roman 0x80..0xFF, with the currency sign at 0xDB. Modifier circumflex and tilde
// (0xF6, 0xF7) and the no-break space (0xCA) are missing from the table Microsoft used:
// those three map to '^', '~' and themselves.
constexpr char16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4,
    0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020,
    0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4,
    0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202,
    0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0,      0x00C0, 0x00C3,
    0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0,      0,      0x00AF,
    0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

uint8_t MacRomanOf(char16_t c) {
  if (c < 0x80) return static_cast<uint8_t>(c);
  if (c == 0x02C6) return '^';
  if (c == 0x02DC) return '~';
  if (c == 0x00AD) return '-';  // soft hyphen
  if (c == 0x00A0) return 0xA0;
  for (int k = 0; k < 128; ++k)
    if (kMacRoman[k] == c) return static_cast<uint8_t>(0x80 + k);
  return 0x20;
}

// Windows' sort weights of the 1252 symbols (0x20..0xFF, letters and digits excluded),
// in byte order: mostly five apart, one apart after a byte that had no character.
struct SymbolWeight {
  uint8_t b;
  uint16_t weight;
};
constexpr SymbolWeight kSymbolWeights[] = {
    {0x20, 0x20},  {0x21, 0x23},  {0x22, 0x28},  {0x23, 0x2D},  {0x24, 0x32},  {0x25, 0x37},
    {0x26, 0x3C},  {0x27, 0x41},  {0x28, 0x46},  {0x29, 0x4B},  {0x2A, 0x50},  {0x2B, 0x55},
    {0x2C, 0x5A},  {0x2D, 0x5F},  {0x2E, 0x64},  {0x2F, 0x69},  {0x3A, 0x6E},  {0x3B, 0x73},
    {0x3C, 0x78},  {0x3D, 0x7D},  {0x3E, 0x82},  {0x3F, 0x87},  {0x40, 0x8C},  {0x5B, 0x91},
    {0x5C, 0x96},  {0x5D, 0x9B},  {0x5E, 0xA0},  {0x5F, 0xA5},  {0x60, 0xAA},  {0x7B, 0xAF},
    {0x7C, 0xB4},  {0x7D, 0xB9},  {0x7E, 0xBE},  {0x7F, 0xBF},  {0x80, 0xC0},  {0x81, 0xC1},
    {0x82, 0xC3},  {0x83, 0xC8},  {0x84, 0xCD},  {0x85, 0xD2},  {0x86, 0xD7},  {0x87, 0xDC},
    {0x88, 0xE1},  {0x89, 0xE6},  {0x8B, 0xF0},  {0x8D, 0xF6},  {0x8E, 0xF7},  {0x8F, 0xF8},
    {0x90, 0xF9},  {0x91, 0xFA},  {0x92, 0xFF},  {0x93, 0x104}, {0x94, 0x109}, {0x95, 0x10E},
    {0x96, 0x113}, {0x97, 0x118}, {0x98, 0x11D}, {0x99, 0x122}, {0x9B, 0x131}, {0x9D, 0x137},
    {0x9E, 0x138}, {0xA0, 0x13C}, {0xA1, 0x140}, {0xA2, 0x145}, {0xA3, 0x14A}, {0xA4, 0x14F},
    {0xA5, 0x154}, {0xA6, 0x159}, {0xA7, 0x15E}, {0xA8, 0x163}, {0xA9, 0x168}, {0xAA, 0x16D},
    {0xAB, 0x172}, {0xAC, 0x177}, {0xAD, 0x17C}, {0xAE, 0x181}, {0xAF, 0x186}, {0xB0, 0x18B},
    {0xB1, 0x190}, {0xB2, 0x195}, {0xB3, 0x19A}, {0xB4, 0x19F}, {0xB5, 0x1A4}, {0xB6, 0x1A9},
    {0xB7, 0x1AE}, {0xB8, 0x1B3}, {0xB9, 0x1B8}, {0xBA, 0x1BD}, {0xBB, 0x1C2}, {0xBC, 0x1C7},
    {0xBD, 0x1CC}, {0xBE, 0x1D1}, {0xBF, 0x1D6}, {0xD7, 0x1DB}, {0xF7, 0x66}};

// Base letters of 0xC0..0xFF ('-' not a letter, '#' thorn, 'S' sharp s).
constexpr char kLatin1Base[] = "aaaaaaaceeeeiiiidnooooo-ouuuuy#Saaaaaaaceeeeiiiidnooooo-ouuuuy#y";

// Bullet, en dash, em dash and the curly quotes have classes of their own.
constexpr char16_t kSpecialPunctuation[] = {0x2022, 0x2013, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D};

uint16_t LetterWeight(char base) { return kLetterWeight + kLetterStep * (base - 'a'); }

}  // namespace

CharTable::CharTable(uint32_t lcid, uint32_t codePage) : lcid_(lcid), codePage_(codePage) {
  // Every single-byte code page gets the 1252 table, as Microsoft's compiler gives it
  // (1251 and 1254 show it): the words of a Cyrillic or Turkish page are its bytes folded
  // through that table, and the viewer folds a query the same way.
  if (codePage == 932) BuildShiftJis();
  else if (codePage == 936) BuildGbk();
  else if (codePage == 949) BuildKorean();
  else if (IsDoubleByte(codePage)) BuildDoubleByte();
  else Build1252();
  if ((lcid & 0x3FF) == 0x09) breakerFlags_ |= kStemmerFlag;
}

void CharTable::Build1252() {
  for (int b = 0; b < 256; ++b) {
    CharRecord& r = records_[b];
    r.self = r.folded = static_cast<uint8_t>(b);
    r.weight = static_cast<uint16_t>(b < 0x20 ? b : 0);
    char16_t u = b < 0x80 ? b : b < 0xA0 ? kCp1252High[b - 0x80] : b;
    r.mac = r.mac2 = (b >= 0x80 && u == 0) ? 0x20 : MacRomanOf(u);
  }
  // As Microsoft writes it: control 0x0E has the Mac byte 0x14, control 0x14 weighs as a space.
  records_[0x0E].mac = records_[0x0E].mac2 = 0x14;
  records_[0x14].weight = 0x20;
  records_[0x01].charClass = kControl;
  for (const SymbolWeight& s : kSymbolWeights) records_[s.b].weight = s.weight;
  records_[','].charClass = kComma;
  records_['.'].charClass = kPeriod;
  records_['\''].charClass = kApostrophe;
  records_['*'].charClass = records_['?'].charClass = kWildcard;
  records_['_'].charClass = kLower;
  for (int k = 0; k < 7; ++k)
    for (int b = 0x80; b < 0xA0; ++b)
      if (kCp1252High[b - 0x80] == kSpecialPunctuation[k])
        records_[b].charClass = static_cast<uint16_t>(0x100 * (k + 1));
  for (int d = 0; d < 10; ++d) {
    records_['0' + d].charClass = kDigit;
    records_['0' + d].weight = static_cast<uint16_t>(kDigitWeight + kDigitStep * d);
  }
  auto letter = [&](int b, char base, uint16_t cls) {
    records_[b].charClass = cls;
    records_[b].folded = static_cast<uint8_t>(base);
    records_[b].weight = LetterWeight(base);
  };
  for (char c = 'a'; c <= 'z'; ++c) {
    letter(c, c, kLower);
    letter(c - 'a' + 'A', c, kOtherLetter);
  }
  letter(0x8A, 's', kOtherLetter);  // Š š
  letter(0x9A, 's', kOtherLetter);
  letter(0x8C, 'o', kLigature);  // Œ œ
  letter(0x9C, 'o', kLigature);
  letter(0x9F, 'y', kOtherLetter);  // Ÿ
  for (int b = 0xC0; b <= 0xFF; ++b) {
    const char base = kLatin1Base[b - 0xC0];
    if (base == '-') continue;
    if (base == '#') {  // thorn: a letter of its own, sorted before the digits
      records_[b].charClass = kOtherLetter;
      records_[b].weight = b == 0xDE ? 0x442 : 0x44C;
      continue;
    }
    const bool ligature = b == 0xC6 || b == 0xE6 || b == 0xDF;
    letter(b, base == 'S' ? 's' : base, ligature ? kLigature : kOtherLetter);
  }
  records_[0xF0].folded = 'o';  // as Microsoft writes it: eth folds to o but sorts as d
  ligatures_ = {{0xC6, 'a', 'e'}, {0xE6, 'a', 'e'}, {0xDF, 's', 's'}, {0x8C, 'o', 'e'}, {0x9C, 'o', 'e'}};
}

void CharTable::BuildGbk() {
  // The 1252 table up to the no-break space, then the GBK lead bytes A1..FE in byte order
  // (GBK's lead bytes 81..A0 keep their 1252 records).
  Build1252();
  for (int b = 0xA1; b <= 0xFE; ++b) {
    CharRecord& r = records_[b];
    r.charClass = kLeadByte;
    r.weight = static_cast<uint16_t>(kDbcsWeight + kDbcsStep * (b - 0xA1));
    r.self = r.mac2 = static_cast<uint8_t>(b);
    r.folded = r.mac = static_cast<uint8_t>(b + 1);  // as Microsoft writes it
  }
  records_[0xE6].folded = 0xF1;  // as Microsoft writes it
  records_[0xC6].mac = 0x2B;     // as Microsoft writes it
  records_[0xFF] = CharRecord{kSeparator, 0, 0, 0xFF, 0x20, 0xFF};
  for (int b = 0x81; b <= 0xFE; ++b) leadBytes_[b] = true;
}

void CharTable::BuildShiftJis() {
  Build1252();
  ligatures_.clear();
  breakerMode_ = 2;
  records_[0x0E].mac2 = 0x0E;
  // Letters weigh two places later than in 1252, after '_' and '`', which sort (and
  // classify) as the table's first letters; '^' is a letter and '_' a separator here. As
  // Microsoft writes it: neither is a character property of Shift-JIS.
  for (char c = 'a'; c <= 'z'; ++c)
    records_[c].weight = records_[c - 'a' + 'A'].weight = static_cast<uint16_t>(LetterWeight(c) + 2 * kLetterStep);
  struct Fixed {
    uint8_t b;
    uint16_t cls, weight;
  };
  for (const Fixed& f : {Fixed{0x5D, kSeparator, 0xA5}, Fixed{0x5E, kLower, 0xAA},
                         Fixed{0x5F, kSeparator, kLetterWeight},
                         Fixed{0x60, kLower, kLetterWeight + kLetterStep}, Fixed{0x7B, kSeparator, 0xB9},
                         Fixed{0x7C, kSeparator, 0xBE}, Fixed{0x7D, kSeparator, 0xBF},
                         Fixed{0x7E, kSeparator, kDbcsWeight}}) {
    records_[f.b].charClass = f.cls;
    records_[f.b].weight = f.weight;
  }
  for (int b = 0x7F; b <= 0xFE; ++b) {
    CharRecord& r = records_[b];
    r.self = r.folded = r.mac = r.mac2 = static_cast<uint8_t>(b);
    r.weight = static_cast<uint16_t>(kDbcsWeight + kDbcsStep * (b - 0x7F));
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    const bool kana = b >= 0xA1 && b <= 0xDF;
    r.charClass = lead ? kLeadByte : kana ? kHalfWidthKana : (b >= 0xFD ? kOtherLetter : kSeparator);
    leadBytes_[b] = lead;
  }
  records_[0x7F].weight = kDbcsWeight;
  records_[0xFF] = CharRecord{kSeparator, 0, 0, 0xFF, 0x20, 0xFF};
}

void CharTable::BuildKorean() {
  // The Shift-JIS table, its double-byte part moved to Korean's lead bytes 81..FE: as
  // Microsoft writes it, from 5D on the Mac byte is the next byte and the weights of the
  // bytes below A0 are spread as in its Korean table.
  BuildShiftJis();
  records_[0x7E].weight = records_[0x7F].weight = 0xC0;
  records_[0x80].weight = 0xC1;
  for (int b = 0x81; b <= 0x9F; ++b) {
    const uint16_t w = b <= 0x9A ? 0x7F8 + kDbcsStep * (b - 0x81) : b == 0x9B ? 0x898 : 0x8FC + kDbcsStep * (b - 0x9C);
    records_[b].weight = w;
  }
  for (int b = 0x81; b <= 0xFE; ++b) {
    records_[b].charClass = kLeadByte;
    leadBytes_[b] = true;
  }
  for (int b = 0x5D; b <= 0xFE; ++b)
    records_[b].mac = static_cast<uint8_t>(b + 1);
  records_[0x7F].mac = records_[0x80].mac = 0x20;
  records_[0xD0].mac = 0xDB;
  records_[0xDB].mac = 0xD2;
}

void CharTable::BuildDoubleByte() {
  // No reference table (Big5): ASCII as in 1252, every byte 81..FE a lead byte.
  Build1252();
  ligatures_.clear();
  for (int b = 0x80; b <= 0xFF; ++b) {
    CharRecord& r = records_[b];
    r = CharRecord{kSeparator, static_cast<uint16_t>(kDbcsWeight + kDbcsStep * (b - 0x80)),
                   static_cast<uint8_t>(b), static_cast<uint8_t>(b), 0x20, 0x20};
    if (b >= 0x81 && b <= 0xFE) {
      r.charClass = kLeadByte;
      leadBytes_[b] = true;
    }
  }
}

void CharTable::AppendLigature(uint8_t b, std::string* out) const {
  for (const Ligature& l : ligatures_)
    if (l.ch == b) {
      *out += l.first;
      *out += l.second;
      return;
    }
  *out += static_cast<char>(records_[b].folded);
}

std::vector<uint8_t> CharTable::BuildObjInst() const {
  const bool stemmer = (breakerFlags_ & kStemmerFlag) != 0;
  ByteWriter o;  // object 0, the word breaker
  o.Bytes(kBreakerGuid, 16);
  o.U32(kObjectVersion);
  o.U32(breakerFlags_);
  o.U32(codePage_);
  o.U32(lcid_);
  o.U32(0);
  o.U32(0);
  o.U32(kBreakerSettings);
  o.U32(static_cast<uint32_t>(256 * kRecordSize + 3 * ligatures_.size()));
  o.U16(256);
  o.U16(static_cast<uint32_t>(ligatures_.size()));
  o.U32(breakerMode_);
  o.Zeros(kBreakerHeader - o.size());
  for (const CharRecord& r : records_) {
    o.U16(r.charClass);
    o.U16(r.weight);
    o.U8(r.folded);
    o.U8(r.self);
    o.U8(r.mac);
    o.U8(r.mac2);
    o.U16(0);
  }
  for (const Ligature& l : ligatures_) {
    o.U8(l.ch);
    o.U8(static_cast<uint8_t>(l.first));
    o.U8(static_cast<uint8_t>(l.second));
  }
  if (stemmer) {
    o.Bytes(kStemmerGuid, 16);
    o.U32(kObjectVersion);
    o.U32(1);
    o.U32(codePage_);
    o.U32(lcid_);
    o.U32(0);
  }
  ByteWriter s;  // object 1, the search settings
  s.Bytes(kSettingsGuid, 16);
  s.U32(kSettingsMagic);
  s.U32(codePage_);
  s.U32(lcid_);
  s.U32(kSettingsVersion);
  s.U32(0);

  constexpr uint32_t kFirstObject = 0x18;
  ByteWriter w;
  w.U32(kObjectVersion);
  w.U32(2);
  w.U32(kFirstObject);
  w.U32(static_cast<uint32_t>(o.size()));
  w.U32(static_cast<uint32_t>(kFirstObject + o.size()));
  w.U32(static_cast<uint32_t>(s.size()));
  w.Bytes(o.bytes().data(), o.size());
  w.Bytes(s.bytes().data(), s.size());
  return std::move(w.bytes());
}

}  // namespace hha::search
