// Pages in other code pages: decoded from the charset they declare, indexed and titled
// in the project's code page (its Language), as python3-chm finds them. Inputs are given
// as bytes; the comments say which characters they are.
#include <gtest/gtest.h>

#include "tests/hha/chm_test_support.h"
#include "tests/hha/search/search_reader.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

// GB2312: 中 D6D0, 文 CEC4, 索 CBF7, 引 D2FD, 标 B1EA, 题 CCE2.
const std::string kZhong = "\xD6\xD0", kWen = "\xCE\xC4", kSuo = "\xCB\xF7", kYin = "\xD2\xFD",
                  kBiaoTi = "\xB1\xEA\xCC\xE2";
// The same characters in UTF-8.
const std::string kZhongUtf8 = "\xE4\xB8\xAD", kWenUtf8 = "\xE6\x96\x87";
// Shift_JIS: 日本語 93FA 967B 8CEA, 検索 8C9F 8DF5, ア 8341 (its trail byte is 'A').
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA", kKen = "\x8C\x9F", kSaku = "\x8D\xF5",
                  kA = "\x83\x41", kNi = "\x93\xFA";

std::string CompileOne(const TempDir& dir, const std::string& page, const std::string& language) {
  qb::test::WriteFile(dir / "page.html", page);
  qb::test::WriteFile(dir / "other.html", "<html><head><title>Other</title></head><body>other</body></html>");
  qb::test::WriteFile(dir / "p.hhp", "[OPTIONS]\r\nCompiled file=out.chm\r\nFull-text search=Yes\r\nLanguage=" +
                                         language + "\r\n\r\n[FILES]\r\npage.html\r\nother.html\r\n");
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_TRUE(run.ok) << run.AllMessages();
  return dir / "out.chm";
}

// Each page's words as python3-chm finds them: (word, title of the page it is on, or ""
// when no page must have it).
TEST(CodePageSearch, PagesAreIndexedInTheProjectsCodePage) {
  const std::string gb = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">";
  const std::string utf8 = "<html><head><meta charset=\"utf-8\">";
  struct Case {
    const char* what;
    std::string page, language;
    std::vector<std::pair<std::string, std::string>> words;
  } cases[] = {
      {"GB2312 page, Chinese project; each character a word",
       gb + "<title>" + kBiaoTi + "</title></head><body>" + kZhong + kWen + kSuo + kYin + " Pinyin</body></html>",
       "0x804 Chinese (PRC)",
       {{kZhong, kBiaoTi}, {kWen, kBiaoTi}, {kSuo, kBiaoTi}, {kYin, kBiaoTi}, {"pinyin", kBiaoTi}, {kZhong + kWen, ""}}},
      {"undeclared page: the project's code page",
       "<html><head><title>" + kBiaoTi + "</title></head><body>" + kSuo + kYin + "</body></html>", "0x804",
       {{kSuo, kBiaoTi}, {kYin, kBiaoTi}}},
      {"Shift_JIS page, Japanese project; katakana with an ASCII trail byte; title characters",
       "<html><head><meta charset=\"Shift_JIS\"><title>" + kNihongo + "</title></head><body class=\"x\">" + kKen +
           kSaku + kA + " Romaji</body></html>",
       "0x411 Japanese",
       {{kKen, kNihongo}, {kSaku, kNihongo}, {kA, kNihongo}, {"romaji", kNihongo}, {kNi, kNihongo}}},
      {"UTF-8 page stored in GB2312, its charset unquoted",
       "<html><head><meta charset=utf-8><title>" + kZhongUtf8 + kWenUtf8 + "</title></head><body>" + kZhongUtf8 + " caf\xC3\xA9</body></html>",
       "0x804", {{kZhong, kZhong + kWen}, {kZhongUtf8, ""}}},
      // Folded as the viewer folds; what the code page lacks is skipped, not garbled.
      {"characters Windows-1252 lacks",
       utf8 + "<title>Mixed " + kZhongUtf8 + " title</title></head><body>before" + kZhongUtf8 +
           "after caf\xC3\xA9 \xE2\x82\xAC</body></html>",
       "0x409",
       {{"before", "Mixed title"}, {"after", "Mixed title"}, {"cafe", "Mixed title"}, {"?", ""},
        {"before?after", ""}, {"beforeafter", ""}}},
      // "\xB9\xBB" "astn\xFD" (ISO-8859-2) is 9A 9D ... FD in Windows-1250; the index, as
      // Microsoft's compiler writes it for every single-byte code page, folds those bytes
      // through the 1252 table: 9A (s) is s, 9D nothing there (a separator), FD (y) y.
      {"ISO-8859-2 page, Czech project",
       "<html><head><meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-2\">"
       "<title>\xA9tastn\xE9</title></head><body>\xB9\xBB" "astn\xFD</body></html>",
       "0x405 Czech",
       {{"astny", "\x8Atastn\xE9"}, {"\x9A\x9D" "astn\xFD", ""}, {"\xB9\xBB" "astn\xFD", ""}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string chm = CompileOne(dir, c.page, c.language);
    std::vector<std::string> words;
    for (const auto& w : c.words) words.push_back(w.first);
    SearchRun r = SearchWithPyChm(chm, words);
    ASSERT_TRUE(r.ok) << c.what << r.log;
    for (const auto& [word, title] : c.words) {
      const SearchHits expected = title.empty() ? SearchHits() : SearchHits{{title, "page.html"}};
      EXPECT_EQ(r.hits[word], expected) << c.what;
    }
  }
}

}  // namespace
}  // namespace hha::test
