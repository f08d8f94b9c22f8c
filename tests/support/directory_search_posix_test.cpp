// The native directory search gives NTFS's order (Wine sorts its listings the same way),
// so that one tree gives one project on both systems.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/directory_search.h"
#include "support/directory_walker.h"
#include "tests/common/test_util.h"

namespace qb {
namespace {

std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> names;
  FindData entry;
  SearchHandle search = BeginSearch((folder + "/*").c_str(), &entry);
  if (search == NoSearch()) return names;
  do names.push_back(entry.cFileName + std::string(entry.dwFileAttributes ? "/" : ""));
  while (ContinueSearch(search, &entry));
  EndSearch(search);
  return names;
}

TEST(NativeSearchOrder, AsciiLettersUpperCasedThenBytes) {
  test::TempDir root;
  for (const char* name : {"b.html", "index-2.html", "_x.html", "A.html", "index-10.html",
                           "Z.html", "a1.html", "index-1.html", "~.html", "[.html"})
    test::WriteFile(root / name, "x");
  test::MakeDirs(root / "pkg");
  // '[' and '_' sort after the letters once those are upper-cased, '~' last.
  EXPECT_EQ(Listed(root.path()),
            (std::vector<std::string>{"A.html", "a1.html", "b.html", "index-1.html",
                                      "index-10.html", "index-2.html", "pkg/", "Z.html",
                                      "[.html", "_x.html", "~.html"}));
}

TEST(NativeSearchOrder, NamesDifferingOnlyInCaseComeInByteOrder) {
  test::TempDir root;
  for (const char* name : {"b", "B", "a"}) test::WriteFile(root / name, "x");
  EXPECT_EQ(Listed(root.path()), (std::vector<std::string>{"a", "B", "b"}));
}

TEST(NativeSearchOrder, BackslashSeparatesAndOtherPatternsFindNothing) {
  test::TempDir root;
  test::WriteFile(root / "pkg/a.html", "x");
  FindData entry;
  SearchHandle search = BeginSearch((root.path() + "\\pkg\\*").c_str(), &entry);
  ASSERT_NE(search, NoSearch());
  EXPECT_STREQ(entry.cFileName, "a.html");
  EndSearch(search);
  EXPECT_EQ(BeginSearch((root.path() + "/pkg/*.html").c_str(), &entry), NoSearch());
}

}  // namespace
}  // namespace qb
