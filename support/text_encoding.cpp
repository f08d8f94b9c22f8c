#include "support/text_encoding.h"

#include <cstring>

#include "support/html_reader.h"
#include "support/ascii.h"

namespace qb {
namespace {

struct CharsetName {
  const char* name;
  uint32_t codePage;
};

const CharsetName kCharsets[] = {
    {"utf-8", 65001},        {"utf8", 65001},         {"iso-8859-1", 1252},
    {"iso8859-1", 1252},     {"latin1", 1252},        {"us-ascii", 1252},
    {"ascii", 1252},         {"windows-1252", 1252},  {"cp1252", 1252},
    {"shift_jis", 932},      {"shift-jis", 932},      {"sjis", 932},
    {"x-sjis", 932},         {"windows-31j", 932},    {"ms932", 932},
    {"cp932", 932},          {"euc-jp", 20932},       {"x-euc-jp", 20932},
    {"gb2312", 936},         {"gbk", 936},            {"cp936", 936},
    {"x-gbk", 936},          {"gb18030", 54936},      {"big5", 950},
    {"cp950", 950},          {"euc-kr", 949},         {"ks_c_5601-1987", 949},
    {"cp949", 949},          {"windows-1250", 1250},  {"iso-8859-2", 28592},
    {"windows-1251", 1251},  {"iso-8859-5", 28595},   {"koi8-r", 20866},
    {"windows-1253", 1253},  {"iso-8859-7", 28597},   {"windows-1254", 1254},
    {"iso-8859-9", 28599},   {"windows-1255", 1255},  {"iso-8859-8", 28598},
    {"windows-1256", 1256},  {"iso-8859-6", 28596},   {"windows-874", 874},
    {"tis-620", 874},        {"windows-1258", 1258},  {"windows-1257", 1257},
    {"iso-8859-13", 28603},  {"iso-8859-15", 28605},
};

const HelpLanguage kEnglish = {0x409, 1252, "English (United States)"};

// Keyed by language subtag; the first entry of a code page is its language when only
// the code page is known.
struct TaggedLanguage {
  const char* tag;
  HelpLanguage language;
};
const TaggedLanguage kLanguages[] = {
    {"ja", {0x411, 932, "Japanese"}},
    {"zh", {0x804, 936, "Chinese (PRC)"}},
    {"zh-tw", {0x404, 950, "Chinese (Taiwan)"}},
    {"zh-hk", {0x404, 950, "Chinese (Taiwan)"}},
    {"zh-hant", {0x404, 950, "Chinese (Taiwan)"}},
    {"ko", {0x412, 949, "Korean"}},
    {"ru", {0x419, 1251, "Russian"}},
    {"uk", {0x422, 1251, "Ukrainian"}},
    {"bg", {0x402, 1251, "Bulgarian"}},
    {"sr", {0xC1A, 1251, "Serbian (Cyrillic)"}},
    {"pl", {0x415, 1250, "Polish"}},
    {"cs", {0x405, 1250, "Czech"}},
    {"hu", {0x40E, 1250, "Hungarian"}},
    {"sk", {0x41B, 1250, "Slovak"}},
    {"sl", {0x424, 1250, "Slovenian"}},
    {"hr", {0x41A, 1250, "Croatian"}},
    {"ro", {0x418, 1250, "Romanian"}},
    {"el", {0x408, 1253, "Greek"}},
    {"tr", {0x41F, 1254, "Turkish"}},
    {"he", {0x40D, 1255, "Hebrew"}},
    {"ar", {0x401, 1256, "Arabic (Saudi Arabia)"}},
    {"lt", {0x427, 1257, "Lithuanian"}},
    {"lv", {0x426, 1257, "Latvian"}},
    {"et", {0x425, 1257, "Estonian"}},
    {"th", {0x41E, 874, "Thai"}},
    {"vi", {0x42A, 1258, "Vietnamese"}},
};

std::string LowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c == '_' ? '-' : c);
  return out;
}

// The ANSI code page that holds what another code page of the same script holds.
uint32_t AnsiCodePageOf(uint32_t codePage) {
  switch (codePage) {
    case 20932: return 932;
    case 54936: return 936;
    case 28592: return 1250;
    case 28595:
    case 20866: return 1251;
    case 28597: return 1253;
    case 28599: return 1254;
    case 28598: return 1255;
    case 28596: return 1256;
    case 28603: return 1257;
    case 28605: return 1252;
    default: return codePage;
  }
}

}  // namespace

uint32_t CodePageOfCharset(std::string_view charset) {
  while (!charset.empty() && (charset.front() == ' ' || charset.front() == '"'))
    charset.remove_prefix(1);
  while (!charset.empty() && (charset.back() == ' ' || charset.back() == '"' ||
                              charset.back() == ';'))
    charset.remove_suffix(1);
  std::string lower(charset);
  for (char& c : lower) c = AsciiLower(c);
  for (const CharsetName& entry : kCharsets)
    if (lower == entry.name) return entry.codePage;
  return 0;
}

std::string DeclaredCharset(std::string_view page, size_t limit) {
  std::string_view head = page.substr(0, limit);
  HtmlReader reader(head);
  HtmlTag tag;
  while (reader.NextStartTag("meta", &tag)) {
    std::string value;
    if (tag.Attribute("charset", &value)) return value;
    std::string equiv;
    if (!tag.Attribute("http-equiv", &equiv) || LowerCopy(equiv) != "content-type") continue;
    if (!tag.Attribute("content", &value)) continue;
    size_t at = FindNoCase(value, "charset=");
    if (at == std::string::npos) continue;
    std::string charset = value.substr(at + 8);
    size_t stop = charset.find_first_of("; \"'");
    return charset.substr(0, stop);
  }
  return std::string();
}

bool DeclaredLanguage(std::string_view page, std::string* lang, size_t limit) {
  HtmlReader reader(page.substr(0, limit));
  HtmlTag tag;
  return reader.NextStartTag("html", &tag) && tag.Attribute("lang", lang);
}

const HelpLanguage& DefaultHelpLanguage() { return kEnglish; }

const HelpLanguage* HelpLanguageOfTag(std::string_view tag) {
  std::string lower = LowerCopy(tag);
  if (lower.empty()) return nullptr;
  // The most specific tag first ("zh-tw" before "zh"), then the primary subtag.
  for (const TaggedLanguage& entry : kLanguages)
    if (lower == entry.tag) return &entry.language;
  if (lower.compare(0, 3, "zh-") == 0 && lower.find("hant") != std::string::npos)
    return HelpLanguageOfTag("zh-hant");
  std::string primary = lower.substr(0, lower.find('-'));
  for (const TaggedLanguage& entry : kLanguages)
    if (primary == entry.tag) return &entry.language;
  return nullptr;
}

const HelpLanguage* HelpLanguageOfCodePage(uint32_t codePage) {
  uint32_t ansi = AnsiCodePageOf(codePage);
  if (ansi == kWesternCodePage || ansi == kUtf8CodePage) return nullptr;
  for (const TaggedLanguage& entry : kLanguages)
    if (entry.language.codePage == ansi) return &entry.language;
  return nullptr;
}

const HelpLanguage* HelpLanguageOfText(std::string_view utf8) {
  // Counts rather than first sight: an English page that quotes a Greek letter or a
  // Chinese name is still English.
  size_t kana = 0, hangul = 0, ideographs = 0, cyrillic = 0, greek = 0;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    char32_t c = b;
    size_t n = 1;
    if (b >= 0xE0 && b < 0xF0 && i + 2 < utf8.size()) {
      c = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      n = 3;
    } else if (b >= 0xC0 && b < 0xE0 && i + 1 < utf8.size()) {
      c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      n = 2;
    }
    i += n;
    if (c >= 0x3040 && c <= 0x30FF) ++kana;
    if (c >= 0xAC00 && c <= 0xD7A3) ++hangul;
    if (c >= 0x4E00 && c <= 0x9FFF) ++ideographs;
    if (c >= 0x0400 && c <= 0x04FF) ++cyrillic;
    if (c >= 0x0370 && c <= 0x03FF) ++greek;
  }
  if (kana >= 3) return HelpLanguageOfTag("ja");
  if (hangul >= 3) return HelpLanguageOfTag("ko");
  if (ideographs >= 10) return HelpLanguageOfTag("zh");
  if (cyrillic >= 40) return HelpLanguageOfTag("ru");
  if (greek >= 40) return HelpLanguageOfTag("el");
  return nullptr;
}

std::string ToUtf8(std::string_view text, uint32_t codePage) {
  bool ascii = true;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return std::string(text);
  std::string out;
  if (codePage != kUtf8CodePage && codePage != 0 && detail::DecodeToUtf8(text, codePage, &out))
    return out;
  if (codePage != kUtf8CodePage && codePage != 0) codePage = kWesternCodePage;
  if (codePage == kWesternCodePage && detail::DecodeToUtf8(text, kWesternCodePage, &out))
    return out;
  // UTF-8 (or no converter at all): validated byte by byte.
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t n = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3
                                                   : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    bool valid = n != 0 && i + n <= text.size();
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; valid && k < n; ++k) {
      unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (t & 0x3F);
    }
    if (valid && ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                  (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    if (!valid) {
      AppendUtf8(out, 0xFFFD);
      ++i;
      continue;
    }
    out.append(text.data() + i, n);
    i += n;
  }
  return out;
}

namespace {

// Each UTF-8 character into `codePage`; one the code page cannot hold goes to `unheld`.
template <typename Unheld>
std::string EncodeUtf8(std::string_view utf8, uint32_t codePage, Unheld unheld) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (i + n > utf8.size()) n = utf8.size() - i;
    char32_t c = n == 4 ? (b & 0x07) : n == 3 ? (b & 0x0F) : n == 2 ? (b & 0x1F) : 0xFFFD;
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (!detail::EncodeCodePoint(c, codePage, &out)) unheld(c, &out);
  }
  return out;
}

}  // namespace

std::string FromUtf8ForSitemap(std::string_view utf8, uint32_t codePage, size_t* references) {
  return EncodeUtf8(utf8, codePage, [references](char32_t c, std::string* out) {
    *out += "&#";
    *out += std::to_string(static_cast<uint32_t>(c));
    *out += ';';
    if (references) ++*references;
  });
}

std::string FromUtf8Replacing(std::string_view utf8, uint32_t codePage, char replacement) {
  return EncodeUtf8(utf8, codePage,
                    [replacement](char32_t, std::string* out) { *out += replacement; });
}

}  // namespace qb
