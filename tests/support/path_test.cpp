#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/path_join.h"
#include "support/path_names.h"

namespace qb {
namespace {

std::string Join2(const char* a, const char* b, size_t capacity = kPathCapacity,
                  bool* fitted = nullptr) {
  char out[kPathCapacity + 8];
  std::memset(out, 'Z', sizeof out);
  bool ok = JoinPath(out, capacity, a, b);
  if (fitted) *fitted = ok;
  EXPECT_EQ(out[capacity], 'Z') << "wrote past the capacity";
  return out;
}

std::string Join3(const char* a, const char* b, const char* c) {
  char out[kPathCapacity];
  JoinPath(out, sizeof out, a, b, c);
  return out;
}

// --- JoinPath ---

TEST(JoinPathSeparators, Table) {
  EXPECT_EQ(Join2("C:\\docs\\", "a.html"), "C:\\docs\\a.html");
  EXPECT_EQ(Join2("C:\\docs", "a.html"), "C:\\docs\\a.html");
  EXPECT_EQ(Join2("", "a.html"), "a.html");
  EXPECT_EQ(Join2("pkg", ".x.html"), "pkg.x.html");
  EXPECT_EQ(Join3("C:\\docs\\", "", "*"), "C:\\docs\\*");
  EXPECT_EQ(Join3("C:\\docs", "pkg", "*"), "C:\\docs\\pkg\\*");
  EXPECT_EQ(Join2("C:\\docs", ""), "C:\\docs");
  EXPECT_EQ(Join2("", ""), "");
  EXPECT_EQ(Join2(nullptr, "a"), "a");
}

// A slash separates only natively, in a path written with slashes alone; a path that
// holds a backslash goes on with backslashes everywhere.
TEST(JoinPathSeparators, OnlyABackslashAtTheEndCounts) {
#ifdef _WIN32
  EXPECT_EQ(Join2("docs/", "a.html"), "docs/\\a.html");
  EXPECT_EQ(Join2("/tmp/api", "a.html"), "/tmp/api\\a.html");
#else
  EXPECT_EQ(Join2("docs/", "a.html"), "docs/a.html");
  EXPECT_EQ(Join2("/tmp/api", "a.html"), "/tmp/api/a.html");
#endif
  EXPECT_EQ(Join2("/tmp/api\\pkg", "a.html"), "/tmp/api\\pkg\\a.html");
  EXPECT_EQ(Join2("a", "\\b"), "a\\\\b");
}

// Cut to the capacity, never past it, and said so; an exact fit is a fit.
TEST(JoinPathLimits, ResultIsCutAtTheCapacityAndReported) {
  struct Case { size_t capacity; const char* joined; bool fits; } cases[] = {
      {kPathCapacity, "abc\\d", true}, {6, "abc\\d", true}, {5, "abc\\", false},
      {4, "abc", false},  // cut just before the separator
      {1, "", false},
  };
  for (const Case& c : cases) {
    bool fitted = !c.fits;
    EXPECT_EQ(Join2("abc", "d", c.capacity, &fitted), c.joined) << c.capacity;
    EXPECT_EQ(fitted, c.fits) << c.capacity;
  }
  char untouched = 'Z';
  EXPECT_FALSE(JoinPath(&untouched, 0, "a", "b"));
  EXPECT_EQ(untouched, 'Z');
}

// --- Joining a folder with a name from a directory search ---

// Its dot names the walker's and the split index's trees pin; its cut nothing else reports.
TEST(JoinFolderEntryNames, LongOnesAreCutAndReported) {
  const std::string a(258, 'a');
  char out[kPathCapacity];
  EXPECT_FALSE(JoinFolderEntry(out, sizeof out, a.c_str(), ".x"));
  EXPECT_EQ(std::string(out), a + "\\");
}

// --- File-name part ---

TEST(FindFileNameRules, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\docs\\a.html", "a.html"}, {"a.html", "a.html"},  {"docs/api/b.html", "b.html"},
      {"C:a.html", "a.html"},         {"C:", "C:"},          {"a\\b\\", "b\\"},
      {"a\\\\b", "b"},                {"\\", "\\"},          {"", ""},
      {"pkg\\.svn", ".svn"},          {"x/y\\z", "z"},
  };
  for (const auto& [path, name] : cases) EXPECT_STREQ(FindFileName(path), name) << path;
  EXPECT_EQ(FindFileName(static_cast<const char*>(nullptr)), nullptr);
}

// --- Extension ---

TEST(FindExtensionRules, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.html", ".html"},     {"a.b.html", ".html"},       {"C:\\x.d\\name", ""},
      {"x.d/name", ""},        {"a.b c", ""},               {"a b.c", ".c"},
      {"name.", "."},          {".hidden", ".hidden"},      {"noext", ""},
      {"", ""},                {"C:\\docs\\q.chm", ".chm"},
  };
  for (const auto& [path, extension] : cases) {
    const char* e = FindExtension(path);
    EXPECT_STREQ(e, extension) << path;
    EXPECT_GE(e, path);
    EXPECT_LE(e, path + std::strlen(path));
  }
}

// The path after the replacement in a buffer of `capacity`; "!" marks a cut.
std::string Replaced(bool (*replace)(char*, size_t, const char*), const std::string& path,
                     const char* tail, size_t capacity) {
  std::vector<char> buffer(capacity);
  std::memcpy(buffer.data(), path.c_str(), std::min(path.size() + 1, capacity));
  bool fitted = replace(buffer.data(), capacity, tail);
  return buffer.data() + std::string(fitted ? "" : "!");
}

TEST(ReplacePathPartRules, ReplacesOrAppendsCutToTheBuffer) {
  const std::string folder = "C:\\" + std::string(240, 'f') + "\\";
  const size_t full = kPathCapacity;
  struct Case {
    bool (*replace)(char*, size_t, const char*);
    std::string path;
    const char* tail;
    size_t capacity;
    std::string result;
  } cases[] = {
      {&ReplaceExtension, "C:\\docs\\help.chm", ".hhp", full, "C:\\docs\\help.hhp"},
      {&ReplaceExtension, "C:\\my.docs\\help", ".hhc", full, "C:\\my.docs\\help.hhc"},
      {&ReplaceExtension, "a.b c", ".hhk", full, "a.b c.hhk"},
      {&ReplaceExtension, "abc.chm", ".html", 8, "abc.htm!"},
      {&ReplaceExtension, "abcd", "", 4, "abc"},  // unterminated: cut at its last byte
      {&ReplaceFileName, "C:\\docs\\index.html", "api.chm", full, "C:\\docs\\api.chm"},
      {&ReplaceFileName, "index.html", "x.chm", full, "x.chm"},
      {&ReplaceFileName, "docs/index.html", "x.chm", full, "docs/x.chm"},
      {&ReplaceFileName, folder + "index.html", "a-rather-long-name.chm", full,
       (folder + "a-rather-long-name.chm").substr(0, 259) + "!"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Replaced(c.replace, c.path, c.tail, c.capacity), c.result) << c.path;
}

}  // namespace
}  // namespace qb
