// Real Javadoc trees compiled with search on: words that only one page contains (found by
// an independent model in Python) find exactly that page, under its title.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/hha/chm_test_support.h"
#include "tests/hha/search/search_reader.h"

namespace hha::test {
namespace {

namespace fs = std::filesystem;
using qb::test::TempDir;

void CheckTree(const std::string& name) {
  TempDir dir;
  // A copy: a link would lead out of the project, which the compiler refuses.
  const std::string data = qb::test::TestDataDir();
  if (data.empty() || !qb::test::CopyTree(data + "/" + name, dir / "html"))
    QB_SKIP_OR_FAIL(name << " is not in the shared test data");
  std::string files;
  for (auto& e : fs::recursive_directory_iterator(dir / "html"))
    if (e.is_regular_file() && e.path().extension() == ".html")
      files += e.path().lexically_relative(dir.path()).generic_string() + "\r\n";
  qb::test::WriteFile(dir / "p.hhp",
                      "[OPTIONS]\r\nCompiled file=out.chm\r\nDefault topic=html\\index.html\r\n"
                      "Full-text search=Yes\r\nLanguage=0x409 English (United States)\r\n"
                      "Title=" + name + "\r\n\r\n[FILES]\r\n" + files);
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();

  int rc = 0;
  const std::string model = RunCommand("/usr/bin/python3 '" + qb::test::SourceDir() +
                                         "/tests/hha/search/javadoc_words.py' '" + (dir / "html") + "' 60",
                                     &rc);
  ASSERT_EQ(rc, 0) << model;
  std::vector<std::string> words;
  std::map<std::string, SearchHits> expected;
  std::istringstream lines(model);
  std::string w, t, p;
  while (lines >> w >> t >> p) {
    words.push_back(Unhex(w));
    expected[Unhex(w)] = {{Unhex(t), Unhex(p)}};
  }
  ASSERT_GE(words.size(), 20u) << "the model found too few words that only one page has";
  SearchRun r = SearchWithPyChm(dir / "out.chm", words);
  ASSERT_TRUE(r.ok) << r.log;
  EXPECT_TRUE(r.searchable);
  int wrong = 0;
  for (const auto& word : words)
    if (r.hits[word] != expected[word] && ++wrong <= 5)
      ADD_FAILURE() << "\"" << word << "\": expected " << ::testing::PrintToString(expected[word])
                    << ", got " << ::testing::PrintToString(r.hits[word]);
  EXPECT_EQ(wrong, 0) << "of " << words.size() << " words";
}

TEST(JavadocSearch, IntervalTree) { CheckTree("C-interval-tree"); }
TEST(JavadocSearch, Cssbox) { CheckTree("A-cssbox-2007"); }
}  // namespace
}  // namespace hha::test
