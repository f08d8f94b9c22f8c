#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/html_scanner.h"

namespace qb {
namespace {

using Link = std::pair<std::string, std::string>;  // href, text

std::vector<Link> AllLinks(const char* page) {
  HtmlScanner s(page);
  std::vector<Link> links;
  while (s.NextLink()) links.push_back({s.href, s.text});
  return links;
}

// --- Which start tags count as a link, and what a link yields ---

// Exact byte patterns: "<A " (upper case, a blank after it) to "</A>", HREF="..." inside
// the start tag or, failing that, inside the element; values and text copied unchanged.
TEST(ScannerLinks, MatchExactPatternsAndYieldHrefAndText) {
  struct Case {
    const char* page;
    std::vector<Link> links;
  } cases[] = {
      {"<UL><LI><A HREF=\"a.html\" target=\"f\">Alpha</A>\n<LI><A HREF=\"b/c.html\">Beta</A></UL>",
       {{"a.html", "Alpha"}, {"b/c.html", "Beta"}}},
      {"<a href=\"x.html\">x</a>", {}},
      {"<A href=\"x.html\">x</A>", {{"", "x"}}},         // the tag matches, its attribute does not
      {"<A HREF=\"x.html\">x</a>", {}},                  // a lower-case end does not close it
      {"<A>anchor</A>", {}},
      {"<A\tHREF=\"t.html\">t</A>", {}},
      {"<A\nHREF=\"n.html\">n</A>", {}},
      {"<ADDRESS HREF=\"d.html\">d</ADDRESS>", {}},
      {"text <A HREF=\"x.html\">never closed", {}},
      {"<A HREF=\"p/K.html\" title=\"class\"><B>K</B></A>", {{"p/K.html", "<B>K</B>"}}},
      {"<A NAME=\"top\"></A><A HREF=\"z.html\">z</A>", {{"", ""}, {"z.html", "z"}}},
      {"<A HREF='q.html'>q</A>", {{"", "q"}}},
      {"<A HREF=u.html>u</A>", {{"", "u"}}},
      {"<A HREF = \"s.html\">s</A>", {{"", "s"}}},
      {"<A HREF=\" a&amp;b \"> x &lt; y </A>", {{" a&amp;b ", " x &lt; y "}}},
      {"<A HREF=\"first.html\">one <A HREF=\"second.html\">two</A> rest",
       {{"first.html", "one <A HREF=\"second.html\">two"}}},
      {"<A NAME=\"n\"><A HREF=\"in.html\">x</A>", {{"in.html", "<A HREF=\"in.html\">x"}}},
      {"<A NAME=\"n\">x</A><B HREF=\"later.html\">", {{"", "x"}}},  // ends at "</A>"
      {"<A HREF=\"open>x</A> \"", {{"", "x"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(AllLinks(c.page), c.links) << c.page;
}

TEST(ScannerLinks, FailedLinkKeepsThePreviousValues) {
  HtmlScanner s("<A HREF=\"a.html\">A</A> <A HREF=\"b.html\">unclosed");
  ASSERT_TRUE(s.NextLink());
  EXPECT_FALSE(s.NextLink());
  EXPECT_EQ(s.href, "a.html");
  EXPECT_EQ(s.text, "A");
}

// --- Element positions and the cursor ---

TEST(ScannerElements, CursorRestsOnTheEndMarkerAndStaysWhenNoStartTagFollows) {
  const char* page = "xx<A HREF=\"h\">t</A>yy";
  HtmlScanner s(page);
  ASSERT_TRUE(s.FindElement("A", false));
  EXPECT_EQ(s.elementStart, page + 2);
  EXPECT_EQ(s.elementEnd, std::strstr(page, "</A>"));
  EXPECT_EQ(s.cursor, s.elementEnd);
  EXPECT_FALSE(s.FindElement("A", false));
  EXPECT_EQ(s.elementStart, nullptr);
  EXPECT_EQ(s.cursor, std::strstr(page, "</A>"));
  EXPECT_EQ(s.AttributeValue("HREF"), "");
  EXPECT_EQ(s.ElementText(), "");
}

TEST(ScannerElements, MissingEndMarkerKeepsStartAndCursor) {
  const char* page = "<FRAME x>ab<FRAME src=\"x\"";
  HtmlScanner s(page);
  ASSERT_TRUE(s.FindElement("FRAME", true));
  const char* cursor = s.cursor;
  EXPECT_FALSE(s.FindElement("FRAME", true));
  EXPECT_EQ(s.elementStart, page + 11);
  EXPECT_EQ(s.elementEnd, nullptr) << "the previous element's end kept";
  EXPECT_EQ(s.cursor, cursor);
}

// The start tag ends at the first '>'; a key matches the tail of a longer name; tag names
// beyond 17 characters and attribute names beyond 15 are cut, not overrun.
TEST(ScannerElements, AttributeQuirks) {
  HtmlScanner s("<FRAME title=\"a>b\" src=\"x.html\"><FRAME classname=\"wrong\" name=\"right\">"
                "<ABCDEFGHIJKLMNOPQ x=\"1\" ABCDEFGHIJKLMNO=\"v\">c</ABCDEFGHIJKLMNOPQ>");
  ASSERT_TRUE(s.FindElement("FRAME", true));
  EXPECT_EQ(s.AttributeValue("title"), "");
  EXPECT_EQ(s.AttributeValue("src"), "");
  ASSERT_TRUE(s.FindElement("FRAME", true));
  EXPECT_EQ(s.AttributeValue("name"), "wrong");
  ASSERT_TRUE(s.FindElement("ABCDEFGHIJKLMNOPQRSTUVWXYZ", false));
  EXPECT_EQ(s.AttributeValue("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "v");
  EXPECT_EQ(s.ElementText(), "c");
}

// --- Definition terms ---

TEST(ScannerTerms, SameTermIsFoundAgainWithoutASearchBetween) {
  const char* page = "<DL><DT><A HREF=\"a.html\">a</A> - x<DT><A HREF=\"b.html\">b</A></DL>";
  HtmlScanner s(page);
  ASSERT_TRUE(s.NextDefinitionTerm());
  const char* first = s.cursor;
  EXPECT_EQ(first, std::strstr(page, "<DT>"));
  ASSERT_TRUE(s.NextDefinitionTerm());
  EXPECT_EQ(s.cursor, first);
  ASSERT_TRUE(s.NextLink());
  EXPECT_EQ(s.href, "a.html");
  ASSERT_TRUE(s.NextDefinitionTerm());
  EXPECT_EQ(s.cursor, std::strstr(first + 1, "<DT>"));
  ASSERT_TRUE(s.NextLink());
  EXPECT_EQ(s.href, "b.html");
  EXPECT_FALSE(s.NextDefinitionTerm());
  // Lower-case or attributed terms do not count.
  EXPECT_FALSE(HtmlScanner("<dt>a <DT class=\"x\">b <DD>c").NextDefinitionTerm());
}

}  // namespace
}  // namespace qb
