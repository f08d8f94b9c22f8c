// Charset labels and the platform-independent half of the code page conversions.
#include "hha/core/search/code_page.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/ascii.h"

namespace hha::search {
namespace {

std::string Normalized(const std::string& label) {
  std::string s;
  for (char c : label) {
    c = qb::AsciiLower(c);
    if (c != ' ' && c != '\t' && c != '"' && c != '\'') s += c;
  }
  return s;
}

// Bytes that read back as another character are a best-fit substitute, whatever the
// converter says: glibc's CP932 writes U+2014 as 0x815C, which is U+2015.
bool ReadsBackAs(const std::string& bytes, Decoder& decoder, char32_t c) {
  std::u32string back;
  decoder.Append(bytes.data(), bytes.size(), &back);
  return back.size() == 1 && back[0] == c;
}

}  // namespace

uint32_t CodePageOfCharset(const std::string& label) {
  const std::string s = Normalized(label);
  struct Name {
    const char* label;
    uint32_t codePage;
  };
  static const Name kNames[] = {
      {"utf-8", kUtf8},      {"utf8", kUtf8},        {"iso-8859-1", 1252},  {"iso8859-1", 1252},
      {"latin1", 1252},      {"us-ascii", 1252},     {"ascii", 1252},       {"iso-8859-2", 28592},
      {"iso-8859-4", 28594}, {"iso-8859-5", 28595},  {"iso-8859-7", 28597}, {"iso-8859-9", 28599},
      {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"koi8-r", 20866},    {"gb2312", 936},
      {"gbk", 936},          {"x-gbk", 936},         {"euc-cn", 936},       {"cp936", 936},
      {"shift_jis", 932},    {"shift-jis", 932},     {"sjis", 932},         {"x-sjis", 932},
      {"ms_kanji", 932},     {"cp932", 932},         {"windows-31j", 932},  {"big5", 950},
      {"cp950", 950},        {"x-big5", 950},        {"euc-kr", 949},       {"ks_c_5601-1987", 949},
      {"cp949", 949},        {"uhc", 949},           {"tis-620", 874},      {"windows-874", 874},
  };
  for (const Name& n : kNames)
    if (s == n.label) return n.codePage;
  for (const char* prefix : {"windows-", "cp", "x-cp"}) {
    const size_t n = std::strlen(prefix);
    if (s.compare(0, n, prefix) == 0 && s.size() == n + 4) {
      const uint32_t cp = static_cast<uint32_t>(std::atoi(s.c_str() + n));
      if (cp >= 1250 && cp <= 1258) return cp;
    }
  }
  return 0;
}

size_t PieceEnd(std::string_view text, size_t at, size_t limit) {
  size_t end = at + std::min(limit, text.size() - at);
  while (end < text.size() && static_cast<unsigned char>(text[end - 1]) >= 0x40) ++end;
  return end;
}

bool Decode(std::string_view bytes, uint32_t codePage, std::u32string* out) {
  Decoder decoder(codePage);
  return Decode(bytes, decoder, out);
}

bool Decode(std::string_view bytes, Decoder& decoder, std::u32string* out) {
  out->clear();
  if (!decoder.ok()) return false;
  out->reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const size_t end = PieceEnd(bytes, at, size_t{1} << 20);
    decoder.Append(bytes.data() + at, end - at, out);
    at = end;
  }
  return true;
}

bool IsDoubleByte(uint32_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool FromUtf8(std::string_view utf8, Encoder& encoder, std::string* out) {
  out->clear();
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > utf8.size()) return false;
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(utf8[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = c << 6 | (t & 0x3F);
    }
    if ((n == 2 && c < 0x80) || (n == 3 && c < 0x800) || (n == 4 && c < 0x10000)) return false;
    if (!encoder.Append(c, out)) return false;
    i += n;
  }
  return true;
}

bool Encoder::Append(char32_t c, std::string* out) {
  if (c < 0x80) {  // every supported code page is ASCII-compatible
    out->push_back(static_cast<char>(c));
    return true;
  }
  auto it = cache_.find(c);
  if (it == cache_.end()) {
    std::string bytes;
    // The encoder keeps its decoder, as opening one costs more than the check.
    if (!readBack_) readBack_ = std::make_unique<Decoder>(codePage_);
    if (!Convert(c, &bytes) || !ReadsBackAs(bytes, *readBack_, c)) bytes.clear();
    it = cache_.emplace(c, std::move(bytes)).first;
  }
  if (it->second.empty()) return false;
  *out += it->second;
  return true;
}

}  // namespace hha::search
