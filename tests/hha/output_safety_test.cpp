// A compile that stops or fails leaves no file behind and an existing .chm as it was;
// one that succeeds replaces it. Status texts come often enough for a prompt cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/hha/chm_test_support.h"

namespace fs = std::filesystem;

namespace hha::test {
namespace {

using qb::test::TempDir;

using qb::test::FolderFiles;  // bytes and all: a compile that fails or stops changes nothing

void WriteProject(const TempDir& dir, int pages) {
  std::string files;
  for (int i = 0; i < pages; ++i) {
    std::string name = "p" + std::to_string(i) + ".html";
    qb::test::WriteFile(dir / name, "<html><body>" + std::string(5000 + i, 'a' + i % 26) + "</body></html>");
    files += name + "\r\n";
  }
  qb::test::WriteFile(dir / "p.hhp", Project(files));
}

// A stop at any status, with or without an older file there.
TEST(OutputSafety, AStopAtAnyMomentLeavesTheFolderAsItWas) {
  for (bool older : {false, true}) {
    TempDir dir;
    WriteProject(dir, 10);
    const int total = static_cast<int>(Compile(dir / "p.hhp").statuses.size());
    qb::test::WriteFile(dir / "out.chm", "an older help file");
    if (!older) fs::remove(dir / "out.chm");
    const auto before = FolderFiles(dir.path());
    for (int stopAt = 1; stopAt <= total; ++stopAt) {
      CompileRun run = Compile(dir / "p.hhp", stopAt);
      ASSERT_FALSE(run.ok) << "stop at status " << stopAt << " of " << total;
      ASSERT_TRUE(run.stats.stopped);
      ASSERT_EQ(static_cast<int>(run.statuses.size()), stopAt) << "no status after the stop";
      ASSERT_EQ(FolderFiles(dir.path()), before) << stopAt;
    }
    EXPECT_NE(Compile(dir / "p.hhp").AllMessages().find("Created"), std::string::npos);
    FileMap after = FolderFiles(dir.path());
    EXPECT_NE(after["out.chm"], "an older help file") << "a good compile replaces it";
    FileMap expected = before;
    after["out.chm"] = expected["out.chm"];
    EXPECT_EQ(after, expected) << "and leaves no scratch file";
  }
}

TEST(OutputSafety, AnErrorLeavesTheExistingFileAndNoTemporaryOne) {
  TempDir dir;
  qb::test::WriteFile(dir / "page.html", "x");
  qb::test::MakeDirs(dir / "out.chm");  // a folder where the file should go
  qb::test::WriteFile(dir / "out.chm" + std::string(1, qb::test::kSep) + "keep.txt", "kept");
  qb::test::WriteFile(dir / "p.hhp", "[OPTIONS]\r\nCompiled file=out.chm\r\n[FILES]\r\npage.html\r\n");
  const auto before = FolderFiles(dir.path());
  CompileRun run = Compile(dir / "p.hhp");
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.AllMessages().find("Error: "), std::string::npos) << run.AllMessages();
  EXPECT_EQ(FolderFiles(dir.path()), before);
  EXPECT_EQ(qb::test::ReadFile(dir / "out.chm/keep.txt"), "kept");
}

// A cancel waits for the next status text: every page gives one (whatever the clock says:
// every status is asked for), and each is short enough for a status line.
TEST(OutputSafety, EveryPageGivesAShortStatusText) {
  TempDir dir;
  WriteProject(dir, 200);
  std::vector<std::string> statuses;
  CompileCallbacks cb;  // and no message callback: a caller may leave it out
  cb.progressIntervalMs = 0;
  cb.progress = [&](const std::string& t) { return statuses.push_back(t), true; };
  ASSERT_TRUE(CompileProject(dir / "p.hhp", cb));
  for (int i = 0; i < 200; ++i) {
    const std::string text = "Compiling p" + std::to_string(i) + ".html";
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), text), statuses.end()) << text;
  }
  for (const std::string& text : statuses) EXPECT_LT(text.size(), 80u) << text;
}

TEST(OutputSafety, SummaryNamesPagesFilesTimeSizeAndSaving) {
  TempDir dir;
  WriteProject(dir, 3);
  qb::test::WriteFile(dir / "p.hhp", "[OPTIONS]\r\nCompiled file=out.chm\r\n[FILES]\r\np0.html\r\np1.html\r\np2.html\r\nlogo.gif\r\n");
  qb::test::WriteFile(dir / "logo.gif", "GIF89a");
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok);
  const std::string all = run.AllMessages();
  EXPECT_NE(all.find("Compiled 3 pages and 1 other file in "), std::string::npos) << all;
  EXPECT_NE(all.find(" seconds."), std::string::npos) << all;
  EXPECT_NE(all.find("Created " + (dir / "out.chm") + ", " + WithThousands(run.stats.outputBytes) + " bytes;"),
            std::string::npos) << all;
  EXPECT_EQ(WithThousands(1234567), "1,234,567");
  EXPECT_EQ(WithThousands(999), "999");
}

}  // namespace
}  // namespace hha::test
