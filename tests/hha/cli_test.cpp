// quillbinder-hhc as a script calls it: messages on stdout, 0 on success, 1 otherwise.
#include <gtest/gtest.h>

#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

// Its stdout only: the messages must be there.
int RunHhc(const std::string& args, std::string* out) {
  int rc = -1;
  *out += RunCommand("{ " + std::string(QB_HHC_PATH) + " " + args + " 2>/dev/null; }", &rc);
  return rc;
}

TEST(CommandLine, FailureAndUsageAreExitCodeOne) {
  TempDir dir;
  std::string out;
  EXPECT_EQ(RunHhc("'" + (dir / "none.hhp") + "'", &out), 1);
  EXPECT_NE(out.find("Error: "), std::string::npos);
  EXPECT_EQ(RunHhc("", &out), 1);
  EXPECT_EQ(RunHhc("a.hhp b.hhp", &out), 1);
  EXPECT_EQ(RunHhc("--viewer-safe-pages", &out), 1);
}

// Success is exit code 0 with the messages on stdout, with or without the page treatment.
TEST(CommandLine, ViewerSafePagesTreatAnyProjectsPagesBesideTheUsersOwnFiles) {
  TempDir dir;
  // The project folder already has a file of the override stylesheet's name.
  const std::string page =
      "<html><head><link rel=\"stylesheet\" href=\"quillbinder-viewer.css\"></head>"
      "<body onload=\"go()\"><script>go()</script><a href=\"missing.html\">Body</a></body></html>";
  qb::test::WriteFile(dir / "a.html", page);
  qb::test::WriteFile(dir / "quillbinder-viewer.css", "p { color: red }");
  qb::test::WriteFile(dir / "p.hhp", "[OPTIONS]\r\nTitle=CLI\r\n[FILES]\r\na.html\r\n");
  std::string out;
  bool ok = false;
  ASSERT_EQ(RunHhc("'" + (dir / "p.hhp") + "'", &out), 0) << out;
  EXPECT_NE(out.find("Warning: a.html, line 1"), std::string::npos) << out;
  EXPECT_NE(out.find("Created "), std::string::npos) << out;
  EXPECT_EQ(out.find('\r'), std::string::npos) << "console lines end in a plain newline";
  EXPECT_EQ(ReadWithChmlib(dir / "p.chm", &ok)["a.html"], page) << "no option, no treatment";
  ASSERT_EQ(RunHhc("--viewer-safe-pages '" + (dir / "p.hhp") + "'", &out), 0) << out;
  FileMap chm = ReadWithChmlib(dir / "p.chm", &ok);
  EXPECT_EQ(chm["a.html"],
            "<html><head><meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
            "<link rel=\"stylesheet\" href=\"quillbinder-viewer.css\">"
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"quillbinder-viewer-2.css\"></head>"
            "<body><a href=\"missing.html\">Body</a></body></html>");
  EXPECT_EQ(chm["quillbinder-viewer.css"], "p { color: red }");
  EXPECT_EQ(chm.count("quillbinder-viewer-2.css"), 1u);
  EXPECT_EQ(qb::test::ReadFile(dir / "a.html"), page);
}

}  // namespace
}  // namespace hha::test
