// [ALIAS]/[MAP] with #include: a warning for each alias the viewer could not open (the
// #IVB they make: microsoft_reference_test, against Microsoft's files of three projects
// with both sections); a file named in the project's code page found under its Unicode name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/hha/chm_test_support.h"

namespace fs = std::filesystem;

namespace hha::test {
namespace {

using qb::test::TempDir;

TEST(ContextHelp, AnAliasToAMissingPageOrWithoutANumberIsWarnedOf) {
  TempDir dir;
  WriteTree(dir.path(), {{"a.html", "<title>A</title>a"},
                         {"b.html", "<title>B</title>b"},
                         {"help.ali", "IDH_A=a.html\r\nIDH_GONE=gone.html\r\nIDH_LOST=b.html\r\n"},
                         {"help.h", "#ifndef HELP_H\r\n#define HELP_H\r\n#define IDH_GONE 20 // old\r\n"
                                    "#define IDH_A 0x10\r\nIDH_LOST 30\r\n#endif\r\n"},
                         {"p.hhp", "[OPTIONS]\r\nCompiled file=p.chm\r\n\r\n[FILES]\r\na.html\r\nb.html\r\n\r\n"
                                   "[ALIAS]\r\n#include help.ali\r\n\r\n[MAP]\r\n#include help.h\r\n"}});
  const CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  const std::string messages = run.AllMessages();
  EXPECT_EQ(run.stats.warnings, 2) << messages;
  EXPECT_NE(messages.find("help.ali, line 2: the alias IDH_GONE names \"gone.html\""), std::string::npos) << messages;
  EXPECT_NE(messages.find("help.ali, line 3: the alias IDH_LOST has no number"), std::string::npos) << messages;
}

TEST(ContextHelp, AFileNamedInTheProjectsCodePageIsFoundUnderItsUnicodeName) {
  TempDir dir;
  // "Simulação.png" on disk (UTF-8 on Linux, Unicode on Windows); the project says it in
  // code page 1252, as Portuguese projects do.
  std::ofstream(fs::path(dir.path()) / fs::u8path(u8"Simula\u00E7\u00E3o.png"), std::ios::binary) << "png";
  WriteTree(dir.path(), {{"a.html", "<title>A</title><img src=\"Simula\xE7\xE3o.png\">"},
                         {"p.hhp", "[OPTIONS]\r\nCompiled file=p.chm\r\nLanguage=0x416\r\n\r\n[FILES]\r\na.html\r\n"}});
  const CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  EXPECT_EQ(run.stats.warnings, 0) << run.AllMessages();
  EXPECT_EQ(run.stats.otherFiles, 1u);
}

}  // namespace
}  // namespace hha::test
