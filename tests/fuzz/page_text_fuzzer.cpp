// Page text for the search index and topic titles. Byte 0 chooses the project's code
// page and the mode.
// - Raw mode reads the input as a page: every word is non-empty, at most kMaxWordBytes,
//   and (in a single-byte code page) its ASCII bytes are lower-case letters and digits;
//   the title has no space at either end and none doubled.
// - Equivalence mode writes one text (title and body, from the input) three ways: UTF-8
//   with its characters as they are, UTF-8 with every character a numeric or named
//   entity, and encoded in a declared charset. All three must give the same title and
//   the same words: charset detection and entity decoding agree with plain text. Named
//   entities beyond ASCII stand for their byte in the project's code page, as in
//   Microsoft's compiler, so they are written only for 1252 projects, where that byte is
//   the character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "hha/core/search/char_table.h"
#include "hha/core/search/code_page.h"
#include "hha/core/search/page_text.h"
#include "tests/fuzz/fuzz_check.h"

namespace {


struct Words : hha::search::WordSink {
  std::vector<std::pair<std::string, bool>> all;
  void Word(std::string_view w, bool inTitle) override { all.emplace_back(w, inTitle); }
};

const uint32_t kProjectCodePages[] = {1252, 1250, 1251, 1253, 932, 936, 949, 950, 874};

struct Charset {
  const char* label;
  uint32_t codePage;
};
const Charset kCharsets[] = {{"windows-1252", 1252}, {"ISO-8859-1", 1252}, {"windows-1251", 1251},
                             {"koi8-r", 20866},      {"Shift_JIS", 932},    {"gb2312", 936},
                             {"EUC-KR", 949},        {"big5", 950},         {"iso-8859-2", 28592}};

// Characters worth mixing: word characters of several scripts, separators, characters
// with named entities, markup characters, the replacement character.
const char32_t kChars[] = {'a', 'Z', '7', ' ', '.', '_', '<', '>', '&', '"', '\n', 0xA0,
                           0xC9, 0xE9, 0xDF, 0xD7, 0xFF, 0x152, 0x160, 0x17D, 0x178, 0x3A3,
                           0x3C9, 0x416, 0x436, 0x401, 0x2014, 0x2122, 0x20AC, 0x3042, 0x30AB,
                           0x4E2D, 0x6587, 0xAC00, 0xFF21, 0xFF5A, 0x3001, 0x0E01, 0x1F600};

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::string Entity(char32_t c, int style, bool named = true) {
  switch (c) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
  }
  if (named) {
    switch (c) {
      case 0xA0: return "&nbsp;";
      case 0xC9: return style ? "&Eacute;" : "&#201;";
      case 0xDF: return "&szlig;";
      case 0x160: return "&Scaron;";
      case 0x178: return "&Yuml;";
    }
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, style ? "&#x%X;" : "&#%u;", static_cast<unsigned>(c));
  return buf;
}

std::string Page(const std::string& head, const std::string& title, const std::string& body) {
  return "<html><head>" + head + "<title>" + title + "</title></head>\n<body class=\"x\"><p>" +
         body + "</p></body></html>";
}

struct Result {
  hha::search::PageText text;
  std::vector<std::pair<std::string, bool>> words;
  bool operator==(const Result& o) const {
    return text.hasTitle == o.text.hasTitle && text.title == o.text.title && words == o.words;
  }
};

Result Analyze(uint32_t projectCodePage, const std::string& page) {
  hha::search::PageAnalyzer analyzer(projectCodePage);
  Words words;
  Result r;
  analyzer.Analyze(page, &words, &r.text);
  r.words = std::move(words.all);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t project = kProjectCodePages[(data[0] >> 1) % (sizeof kProjectCodePages / sizeof *kProjectCodePages)];

  if (data[0] & 1) {
    const std::string page(reinterpret_cast<const char*>(data + 1), size - 1);
    Result r = Analyze(project, page);
    const hha::search::CharTable table(0, project);
    for (const auto& [word, inTitle] : r.words) {
      Check(!word.empty() && word.size() <= hha::search::kMaxWordBytes);
      if (hha::search::IsDoubleByte(project)) continue;  // trail bytes may be ASCII there
      // Words are made of the table's letters and digits, folded to lower case; a '.'
      // stays only inside a word that begins with a digit.
      const bool digitLed = table[static_cast<uint8_t>(word[0])].charClass == hha::search::kDigit;
      for (char c : word) {
        const uint8_t b = static_cast<uint8_t>(c);
        Check(!(c >= 'A' && c <= 'Z'));
        Check(c == '.' ? digitLed
                       : table.IsLetter(b) || table[b].charClass == hha::search::kDigit ||
                             table[b].charClass == hha::search::kHalfWidthKana);
      }
    }
    const std::string& t = r.text.title;
    Check(t.empty() || (t.front() != ' ' && t.back() != ' ' && t.find("  ") == std::string::npos));
    hha::search::PageAnalyzer titleOnly(project);
    hha::search::PageText title;
    titleOnly.Analyze(page, nullptr, &title);
    Check(title.title == r.text.title && title.hasTitle == r.text.hasTitle);
    return 0;
  }

  const Charset& charset = kCharsets[data[1] % (sizeof kCharsets / sizeof *kCharsets)];
  std::u32string title, body;
  for (size_t i = 2; i < size; ++i) {
    const char32_t c = kChars[data[i] % (sizeof kChars / sizeof *kChars)];
    (data[i] & 0x80 && title.size() < 40 ? title : body) += c;
  }
  std::string plainTitle, plainBody, entTitle, entBody, cpTitle, cpBody;
  hha::search::Encoder encoder(charset.codePage);
  bool encodable = true;
  int style = 0;
  auto put = [&](char32_t c, std::string* plain, std::string* ent, std::string* cp) {
    const bool markup = c == '<' || c == '>' || c == '&';
    *plain += markup ? Entity(c, 0) : Utf8(c);
    *ent += Entity(c, style++ % 2, project == 1252);
    std::string bytes;
    if (markup) *cp += Entity(c, 0);
    else if (encoder.Append(c, &bytes)) *cp += bytes;
    else encodable = false;
  };
  for (char32_t c : title) put(c, &plainTitle, &entTitle, &cpTitle);
  for (char32_t c : body) put(c, &plainBody, &entBody, &cpBody);

  const std::string utf8Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
  const Result plain = Analyze(project, Page(utf8Meta, plainTitle, plainBody));
  Check(Analyze(project, Page(utf8Meta, entTitle, entBody)) == plain);
  Check(Analyze(project, "\xEF\xBB\xBF" + Page("", plainTitle, plainBody)) == plain);
  if (encodable) {
    const std::string meta = std::string("<META charset=\"") + charset.label + "\">";
    Check(Analyze(project, Page(meta, cpTitle, cpBody)) == plain);
  }
  return 0;
}
