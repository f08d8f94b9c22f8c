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

TEST(CodePageSearch, Gb2312PageInAChineseProject) {
  TempDir dir;
  const std::string chm = CompileOne(
      dir,
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
      "<title>" + kBiaoTi + "</title></head><body>" + kZhong + kWen + kSuo + kYin +
          " Pinyin</body></html>",
      "0x804 Chinese (PRC)");
  SearchRun r = SearchWithPyChm(chm, {kZhong, kWen, kSuo, kYin, "pinyin", kZhong + kWen});
  ASSERT_TRUE(r.ok) << r.log;
  const SearchHits page = {{kBiaoTi, "page.html"}};
  for (const auto& c : {kZhong, kWen, kSuo, kYin}) EXPECT_EQ(r.hits[c], page) << "each character is a word";
  EXPECT_EQ(r.hits["pinyin"], page);
  EXPECT_TRUE(r.hits[kZhong + kWen].empty()) << "two characters are two words";
}

TEST(CodePageSearch, UndeclaredPageIsInTheProjectCodePage) {
  TempDir dir;
  const std::string chm = CompileOne(
      dir, "<html><head><title>" + kBiaoTi + "</title></head><body>" + kSuo + kYin + "</body></html>",
      "0x804");
  SearchRun r = SearchWithPyChm(chm, {kSuo, kYin});
  ASSERT_TRUE(r.ok) << r.log;
  EXPECT_EQ(r.hits[kSuo], (SearchHits{{kBiaoTi, "page.html"}}));
  EXPECT_EQ(r.hits[kYin], (SearchHits{{kBiaoTi, "page.html"}}));
}

TEST(CodePageSearch, ShiftJisPageInAJapaneseProject) {
  TempDir dir;
  const std::string chm = CompileOne(
      dir,
      "<html><head><meta charset=\"Shift_JIS\"><title>" + kNihongo + "</title></head>"
      "<body class=\"x\">" + kKen + kSaku + kA + " Romaji</body></html>",
      "0x411 Japanese");
  SearchRun r = SearchWithPyChm(chm, {kKen, kSaku, kA, "romaji", kNi});
  ASSERT_TRUE(r.ok) << r.log;
  const SearchHits page = {{kNihongo, "page.html"}};
  EXPECT_EQ(r.hits[kKen], page);
  EXPECT_EQ(r.hits[kSaku], page);
  EXPECT_EQ(r.hits[kA], page) << "katakana with an ASCII trail byte";
  EXPECT_EQ(r.hits["romaji"], page);
  EXPECT_EQ(r.hits[kNi], page) << "title characters";
}

TEST(CodePageSearch, Utf8PageIsEncodedIntoTheProjectCodePage) {
  TempDir dir;
  const std::string chm = CompileOne(
      dir,
      "<html><head><meta charset=utf-8><title>" + kZhongUtf8 + kWenUtf8 + "</title></head><body>" +
          kZhongUtf8 + " caf\xC3\xA9</body></html>",
      "0x804");
  SearchRun r = SearchWithPyChm(chm, {kZhong, kWenUtf8, kZhongUtf8});
  ASSERT_TRUE(r.ok) << r.log;
  EXPECT_EQ(r.hits[kZhong], (SearchHits{{kZhong + kWen, "page.html"}}));
  EXPECT_TRUE(r.hits[kZhongUtf8].empty()) << "stored in GB2312, not UTF-8";
}

TEST(CodePageSearch, CharactersTheCodePageLacksAreSkippedNotGarbled) {
  TempDir dir;
  const std::string chm = CompileOne(
      dir,
      "<html><head><meta charset=\"utf-8\"><title>Mixed " + kZhongUtf8 + " title</title></head>"
      "<body>before" + kZhongUtf8 + "after caf\xC3\xA9 \xE2\x82\xAC</body></html>",
      "0x409");
  SearchRun r = SearchWithPyChm(chm, {"before", "after", "cafe", "?", "before?after", "beforeafter"});
  ASSERT_TRUE(r.ok) << r.log;
  const SearchHits page = {{"Mixed title", "page.html"}};
  EXPECT_EQ(r.hits["before"], page);
  EXPECT_EQ(r.hits["after"], page);
  EXPECT_EQ(r.hits["cafe"], page) << "UTF-8 page, Windows-1252 index, folded as the viewer folds";
  for (const char* none : {"?", "before?after", "beforeafter"}) EXPECT_TRUE(r.hits[none].empty()) << none;
}

TEST(CodePageSearch, Latin2PageInACzechProject) {
  TempDir dir;
  // "šťastný" in ISO-8859-2 (B9 BB ... FD); Windows-1250 holds it as 9A 9D ... FD, and the
  // index, as Microsoft's compiler writes it for every single-byte code page, folds those
  // bytes through the 1252 table: 9A (š) is s, 9D nothing there (a separator), FD (ý) y.
  const std::string chm = CompileOne(
      dir,
      "<html><head><meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-2\">"
      "<title>\xA9tastn\xE9</title></head><body>\xB9\xBB" "astn\xFD</body></html>",
      "0x405 Czech");
  SearchRun r = SearchWithPyChm(chm, {"astny", "\x9A\x9D" "astn\xFD", "\xB9\xBB" "astn\xFD"});
  ASSERT_TRUE(r.ok) << r.log;
  EXPECT_EQ(r.hits["astny"], (SearchHits{{"\x8Atastn\xE9", "page.html"}}));
  EXPECT_TRUE(r.hits["\x9A\x9D" "astn\xFD"].empty());
  EXPECT_TRUE(r.hits["\xB9\xBB" "astn\xFD"].empty());
}

}  // namespace
}  // namespace hha::test
