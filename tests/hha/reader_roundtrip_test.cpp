// Compiled files read back whole by chmlib, libmspack, 7-Zip and python3-chm.
#include <gtest/gtest.h>

#include <chm_lib.h>

#include <cstdio>
#include <filesystem>

#include "hha/core/itsf_format.h"
#include "tests/hha/chm_internal_reader.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

using qb::test::TempDir;

std::string Page(const std::string& title, const std::string& body = "") {
  return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>\r\n";
}

uint64_t SpanInfo(const std::string& chm) {
  chmFile* h = chm_open(chm.c_str());
  if (!h) return UINT64_MAX;
  chmUnitInfo ui;
  uint64_t v = UINT64_MAX;
  unsigned char buf[8];
  if (chm_resolve_object(h, itsf::kSpanInfo, &ui) == CHM_RESOLVE_SUCCESS &&
      chm_retrieve_object(h, &ui, buf, 0, 8) == 8) {
    v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | buf[i];
  }
  chm_close(h);
  return v;
}

int CollectDirs(chmFile*, chmUnitInfo* ui, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(ui->path);
  return CHM_ENUMERATOR_CONTINUE;
}

// Thousands of pages need index chunks in mixed-case order; deep folders an entry for
// every level; non-ASCII names are stored as UTF-8.
TEST(ReaderRoundTrip, ThousandsOfPagesDeepFoldersAndNonAsciiNames) {
  TempDir dir;
  FileMap files = {{"top.html", Page("top")}, {"a/b/c/d/e/f/g/h/Deep.html", Page("deep")},
                   {"caf\xC3\xA9.html", Page("utf8")}};  // already UTF-8 on disk
  std::string listed = "top.html\r\na\\b\\c\\d\\e\\f\\g\\h\\Deep.html\r\ncaf\xC3\xA9.html\r\n";
  const char* prefixes[] = {"Bi", "bin", "BIP", "_x", "Zeta", "alpha", "ab_", "AB-"};
  for (int i = 0; i < 3000; ++i) {
    std::string name = std::string(i % 3 ? "pkg" : "Pkg2") + "/" + prefixes[i % 8] +
                       std::to_string(i) + "Function.html";
    files[name] = Page(name, std::string(i % 50, 'x'));
    listed += name + "\r\n";
  }
  WriteTree(dir.path(), files);
  // "Übersicht.html" in Windows-1252, as the project and the disk of a Windows user hold it.
  qb::test::WriteFile(dir / "\xDC" "bersicht.html", Page("ansi"));
  files["\xC3\x9C" "bersicht.html"] = Page("ansi");
  qb::test::WriteFile(dir / "p.hhp", Project(listed + "\xDC" "bersicht.html\r\n", "Title=Round trip\r\n"));
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  const std::string chm = qb::test::ReadFile(dir / "out.chm");
  const size_t itsp = itsf::kHeaderSize + itsf::kHs0Size;
  EXPECT_GE(Le32(chm, itsp + itsf::kOffDepth), 2u) << "a PMGI level was expected";
  EXPECT_GT(Le32(chm, itsp + itsf::kOffLastPmgl), 1u);
  ExpectAllReadersReturn(dir / "out.chm", files);
  PyChmView py = ReadWithPyChm(dir / "out.chm");
  EXPECT_TRUE(py.ok) << py.log;
  EXPECT_EQ(py.title, "Round trip");
  EXPECT_EQ(py.home, "/top.html");  // the first [FILES] entry is the default topic

  // chmlib and pychm find names through the PMGI chunks: every name must resolve.
  chmFile* h = chm_open((dir / "out.chm").c_str());
  ASSERT_NE(h, nullptr);
  int unresolved = 0;
  std::vector<std::string> names, dirs;
  for (const auto& [name, bytes] : files) {
    chmUnitInfo ui;
    if (chm_resolve_object(h, ("/" + name).c_str(), &ui) != CHM_RESOLVE_SUCCESS ||
        ui.length != bytes.size())
      ++unresolved;
    names.push_back(name);
  }
  chm_enumerate(h, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_DIRS, CollectDirs, &dirs);
  chm_close(h);
  EXPECT_EQ(unresolved, 0);
  EXPECT_EQ(MspackFastFindMisses(dir / "out.chm", names), 0) << "quickref or PMGI order wrong";
  EXPECT_EQ(MspackFastFindMisses(dir / "out.chm", {"pkg/none.html"}), 1);
  std::string level = "/";
  for (const char* part : {"", "a/", "b/", "c/", "d/", "e/", "f/", "g/", "h/"}) {
    level += part;
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), level), dirs.end()) << level;
  }
}

// Section 1 lengths exactly at, one below and one above the frame (32 KiB) and reset
// interval (64 KiB) sizes, where the reset table's entry count rules differ per reader.
TEST(ReaderRoundTrip, SectionLengthsAtFrameAndResetBoundaries) {
  TempDir probe;
  qb::test::WriteFile(probe / "page.bin", "x");
  qb::test::WriteFile(probe / "p.hhp", Project("page.bin\r\n"));
  ASSERT_TRUE(Compile(probe / "p.hhp").ok);
  const uint64_t overhead = SpanInfo(probe / "out.chm") - 1;
  ASSERT_LT(overhead, 16384u);  // the system files, #IDXHDR (4 KiB) among them
  for (uint64_t target : {32767u, 32768u, 32769u, 65535u, 65536u, 65537u, 131072u}) {
    SCOPED_TRACE("section 1 length " + std::to_string(target));
    TempDir dir;
    std::string body(target - overhead, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 7919) >> 3);
    qb::test::WriteFile(dir / "page.bin", body);
    qb::test::WriteFile(dir / "p.hhp", Project("page.bin\r\n"));
    CompileRun run = Compile(dir / "p.hhp");
    ASSERT_TRUE(run.ok) << run.AllMessages();
    EXPECT_EQ(SpanInfo(dir / "out.chm"), target);
    ExpectAllReadersReturn(dir / "out.chm", {{"page.bin", body}});
  }
}

TEST(ReaderRoundTrip, EmptyFilesSectionStillMakesAValidFile) {
  TempDir dir;
  qb::test::WriteFile(dir / "p.hhp", "[OPTIONS]\r\nTitle=Nothing\r\n\r\n[FILES]\r\n");
  CompileRun run = Compile(dir / "p.hhp");
  ASSERT_TRUE(run.ok) << run.AllMessages();
  ASSERT_TRUE(qb::test::FileExists(dir / "p.chm")) << "default name: the project's stem";
  ExpectAllReadersReturn(dir / "p.chm", {});
  PyChmView py = ReadWithPyChm(dir / "p.chm");
  EXPECT_TRUE(py.ok) << py.log;
  EXPECT_EQ(py.title, "Nothing");
}

}  // namespace
}  // namespace hha::test
