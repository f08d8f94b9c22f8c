// Faults the fuzz targets found in the readers of outside input, each pinned by the
// smallest input that shows it.
#include <gtest/gtest.h>

#include "hha/core/project_reader.h"
#include "hha/core/search/code_page.h"
#include "hha/core/search/page_text.h"
#include "hha/core/topics.h"

namespace hha {
namespace {

// project_reader: a line ending "\r\r\n" (converted twice) named "page.html\r".
TEST(FuzzFindings, DoubledCarriageReturnIsNotPartOfAName) {
  std::vector<Warning> w;
  Project p = ReadProject("[OPTIONS]\r\r\nTitle=T\r\r\n[FILES]\r\r\npage.html\r\r\n", "p.hhp", w);
  EXPECT_TRUE(w.empty());
  EXPECT_EQ(p.title, "T");
  ASSERT_EQ(p.files.size(), 1u);
  EXPECT_EQ(p.files[0].path, "page.html");
}

// sitemap: a tab or line break around '=' hid the site properties' values.
TEST(FuzzFindings, SitePropertiesWithLineBreaksAroundEqualsAreRead) {
  SiteProperties site = ReadSiteProperties(
      "<OBJECT type\t=\r\n\"text/site properties\">\n"
      "<param name\t=\t'Font' value\r\n=\r\n'Arial,8,0'><param name=ImageType value\n=\nFolder>"
      "</OBJECT>");
  EXPECT_EQ(site.font, "Arial,8,0");
  EXPECT_TRUE(site.imageTypeFolder);
}

// code_page: glibc's CP1258 holds a letter back to join a following accent; the last
// letter of every piece was lost.
TEST(FuzzFindings, Cp1258KeepsTheLastLetter) {
  std::u32string text;
  ASSERT_TRUE(search::Decode("ca\xE5", 1258, &text));
  EXPECT_EQ(text, U"ca\u00E5");
}

// page_text: glibc's CP932 writes U+2014 as 0x815C, which every reader takes for U+2015;
// the encoder passed that substitute off as the character.
TEST(FuzzFindings, BestFitSubstitutesAreNotCharactersOfTheCodePage) {
  search::Encoder encoder(932);
  std::string bytes;
  EXPECT_FALSE(encoder.Append(0x2014, &bytes));
  EXPECT_TRUE(encoder.Append(0x2015, &bytes));
  EXPECT_EQ(bytes, "\x81\x5C");
}

// page_text: a second <title> was added to the first when words were read too, so a
// page's topic title depended on whether full-text search was on.
TEST(FuzzFindings, TheFirstTitleNamesThePageWithOrWithoutWords) {
  const std::string page = "<title>One</title><body>x<title>Two</title>";
  struct : search::WordSink {
    void Word(std::string_view, bool) override {}
  } words;
  search::PageText withWords, titleOnly;
  search::PageAnalyzer(1252).Analyze(page, &words, &withWords);
  search::PageAnalyzer(1252).Analyze(page, nullptr, &titleOnly);
  EXPECT_EQ(withWords.title, "One");
  EXPECT_EQ(titleOnly.title, "One");
}

}  // namespace
}  // namespace hha
