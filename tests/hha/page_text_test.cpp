// Page text of large pages: the analyzer decodes a page a piece at a time, so whatever
// straddles a piece boundary (a character, a word, a comment, a script, a tag) must read
// exactly as it would in a small page. Runs natively (iconv) and under Wine (the Win32
// conversion functions), which decode differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hha/core/search/code_page.h"
#include "hha/core/search/page_text.h"

namespace hha::search {
namespace {

class WordList : public WordSink {
 public:
  void Word(std::string_view word, bool inTitle) override {
    (inTitle ? title : body).emplace_back(word);
  }
  std::vector<std::string> title, body;
};

const char kUtf8Head[] = "<html><head><meta charset=\"utf-8\"><title>Big page</title></head><body>";
// "naïveté" as the index holds it: folded through Windows-1252's table.
const std::string kNaive = "naivete";

WordList Analyze(const std::string& page, uint32_t codePage = 1252) {
  PageAnalyzer analyzer(codePage);
  WordList words;
  PageText text;
  analyzer.Analyze(page, &words, &text);
  return words;
}

TEST(PageText, EveryRepetitionOfABlockReadsAlikeWhereverThePiecesEnd) {
  // 61 bytes: not a divisor of any piece size, so over 5,000 copies the block meets the
  // piece boundaries at every offset.
  const std::string block = "<p>na\xC3\xAFvet\xC3\xA9\xE2\x80\x94<b>Hash</b>Map <!-- hid -->x&amp;y</p>\n";
  std::string page = kUtf8Head;
  for (int i = 0; i < 5000; ++i) page += block;
  page += "</body></html>";
  const WordList words = Analyze(page);
  ASSERT_EQ(words.body.size(), 5000u * 5);
  const std::vector<std::string> five = {kNaive, "hash", "map", "x", "y"};
  for (size_t i = 0; i < words.body.size(); i += 5)
    ASSERT_TRUE(std::equal(five.begin(), five.end(), words.body.begin() + i)) << "word " << i;
  EXPECT_EQ(words.title, (std::vector<std::string>{"big", "page"}));
}

TEST(PageText, ARunWithoutAnyPlaceToCutIsNotSplitInsideACharacter) {
  // 200 KB in which every byte is 0x80 or above or a letter: no piece may end inside it,
  // since a cut there could fall inside a UTF-8 sequence. The padding of the title moves
  // the run against the piece boundaries through every byte of its 12-byte unit.
  std::string run;
  for (int i = 0; i < 20000; ++i) run += "na\xC3\xAFvet\xC3\xA9\xE2\x80\x94";  // "naïveté—"
  for (size_t pad = 0; pad < 12; ++pad) {
    SCOPED_TRACE(pad);
    const std::string head = "<html><head><meta charset=\"utf-8\"><title>Big " +
                             std::string(pad, 'p') + "</title></head><body>";
    const WordList words = Analyze(head + run + " tail</body></html>");
    ASSERT_EQ(words.body.size(), 20001u);
    for (size_t i = 0; i < 20000; ++i) ASSERT_EQ(words.body[i], kNaive) << "word " << i;
    EXPECT_EQ(words.body.back(), "tail");
  }
}

TEST(PageText, CommentsScriptsAndTagsLongerThanAPieceHideTheirText) {
  const std::string filler(150000, 'z');  // one word, too long for the index
  std::string page = kUtf8Head;
  page += "before <!-- commented " + filler + " commented --> between ";
  page += "<script>var scripted = '" + filler + "';</script> after ";
  page += "<a title=\"quoted " + filler + " >still quoted\">linked</a> end";
  page += "</body></html>";
  const WordList words = Analyze(page);
  EXPECT_EQ(words.body, (std::vector<std::string>{"before", "between", "after", "linked", "end"}));
}

// A word's runs of ASCII letters are taken at once and its other letters one by one:
// the longest storable word (99 bytes) is counted across both.
TEST(PageText, TheLongestWordCountsLettersOfEveryKind) {
  const std::string head = std::string(kUtf8Head) + std::string(50, 'a') + "\xC3\xA9";  // é folds to e
  const WordList longest = Analyze(head + std::string(48, 'b') + " next</body></html>");
  EXPECT_EQ(longest.body, (std::vector<std::string>{std::string(50, 'a') + "e" + std::string(48, 'b'), "next"}));
  const WordList tooLong = Analyze(head + std::string(49, 'b') + " next</body></html>");
  EXPECT_TRUE(tooLong.body.empty());  // ends the page's words
}

TEST(PageText, ATitleFarIntoThePageIsFoundWithoutReadingWords) {
  std::string page = "<html><head><script>" + std::string(300000, 'q') +
                     "</script><title>Late &amp; found</title></head><body>text</body></html>";
  PageAnalyzer analyzer(1252);
  PageText text;
  analyzer.Analyze(page, nullptr, &text);
  EXPECT_TRUE(text.hasTitle);
  EXPECT_EQ(text.title, "Late & found");
}

TEST(PageText, APageEndingInsideAConstructKeepsWhatCameBefore) {
  for (const char* tail : {"<!-- open comment", "<script>open script", "<p class=\"open", "<title>Open"}) {
    SCOPED_TRACE(tail);
    const WordList words = Analyze(std::string(kUtf8Head) + "kept " + tail);
    ASSERT_FALSE(words.body.empty());
    EXPECT_EQ(words.body.front(), "kept");
  }
}

#ifndef _WIN32
// iconv converts only the runs of bytes from 0x80 up: a sequence that an ASCII byte or
// the end cuts short still reads as one U+FFFD per byte, as in the whole text.
TEST(PageText, Utf8ErrorsBesideAsciiReadAsOneReplacementPerByte) {
  std::u32string text;
  ASSERT_TRUE(Decode("a\xE2\x82" "b\xE2\x82\xAC" "c\xF0\x9F\x98\x80\xED\xA0\x80" "d\xC3", kUtf8, &text));
  EXPECT_EQ(text, U"a\uFFFD\uFFFDb\u20AC" "c\U0001F600\uFFFD\uFFFD\uFFFDd\uFFFD");
}
#endif

// Words as Microsoft's compiler stores them (the Russian, Turkish and Korean reference
// files): single-byte code pages other than 1252 folded through the 1252 table alone,
// commas inside numbers, comments, references without ';'.
TEST(PageText, WordsAreBrokenAndFoldedAsMicrosoftsCompilerDoes) {
  const struct {
    uint32_t codePage;
    std::string body;  // in the code page
    std::vector<std::string> words;
  } kCases[] = {
      // Архитектура Режим АЦП; ч and Ч are 1252's ÷ and ×; Яж is ß and æ.
      {1251, "\xC0\xF0\xF5\xE8\xF2\xE5\xEA\xF2\xF3\xF0\xE0 \xD0\xE5\xE6\xE8\xEC \xC0\xD6\xCF a\xF7" "b\xD7" "c \xDF\xE6",
       {"aooeoaeoooa", "daaeei", "aoi", "a", "b", "c", "ssae"}},
      {1254, "hakk\xFDnda \xF0", {"hakkynda", "o"}},
      {1252, "10,Cover 639,,,untitled (1,,3) D000,3000 v<!--ver-->1.1.22.07 &quot<b>x</b>",
       {"10cover", "639untitled", "13", "d000", "3000", "v", "1.1.22.07", "x"}},
      // &ordm; is byte 0xBA, a lead byte, which takes the next byte: of 로 (B7 CE) the B7
      // makes 볜 with it, and CE, left before a space, is no character.
      {949, "45&ordm\xB7\xCE \xBB\xF3\xC0\xDA", {"45", "\xBA\xB7", "\xBB\xF3", "\xC0\xDA"}},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Analyze("<html><body>" + c.body + "</body></html>", c.codePage).body, c.words) << c.codePage;
}

}  // namespace
}  // namespace hha::search
