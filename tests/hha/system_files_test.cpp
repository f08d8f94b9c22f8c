// #WINDOWS and #STRINGS as viewers read them: window members at the HH_WINTYPE offsets,
// strings that never cross a 4096-byte block; the code page of a language.
#include <gtest/gtest.h>

#include "hha/core/system_files.h"
#include "tests/hha/chm_internal_reader.h"

namespace hha {
namespace {

using test::Le32;

std::string Bytes(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }
std::string StringAt(const std::vector<uint8_t>& pool, uint32_t offset) {
  return reinterpret_cast<const char*>(pool.data() + offset);
}

// Every record of #SYSTEM, and its version: microsoft_reference_test, against Microsoft's
// files; none of them is in a Chinese language other than the PRC's, which write in Big5.
TEST(SystemFile, ChineseLanguagesOtherThanThePrcsWriteInBig5) {
  for (uint32_t lcid : {0x404u, 0xC04u, 0x1404u}) EXPECT_EQ(AnsiCodePageOf(lcid), 950u) << std::hex << lcid;
  EXPECT_EQ(AnsiCodePageOf(0x804), 936u);
}

TEST(WindowsFile, MapsEveryFieldToItsMemberAndMarksGivenOnes) {
  WindowDef w;
  w.name = "main";
  w.fields[kWinCaption] = "Caption";
  w.fields[kWinToc] = "g.hhc";
  w.fields[kWinIndex] = "g.hhk";
  w.fields[kWinDefaultFile] = "o.html";
  w.fields[kWinHome] = "h.html";
  w.fields[kWinJump1Url] = "about.html";
  w.fields[kWinJump1Text] = "About";
  w.fields[kWinNavStyle] = "0x63520";
  w.fields[kWinButtons] = "0x4384e";
  w.fields[kWinRect] = "[1,2,3,4]";
  w.rect[0] = 1, w.rect[1] = 2, w.rect[2] = 3, w.rect[3] = 4;
  w.fields[kWinDefaultTab] = "1";
  w.fields[kWinNotifyId] = "0";
  StringPool pool;
  const std::string f = Bytes(BuildWindowsFile({w}, false, pool));
  ASSERT_EQ(f.size(), 8u + 196u);
  EXPECT_EQ(Le32(f, 0), 1u);
  EXPECT_EQ(Le32(f, 4), 196u);
  const size_t e = 8;
  const std::pair<size_t, uint32_t> numbers[] = {
      {0x00, 196}, {0x0C, 0x2 | 0x10 | 0x100 | 0x400 | 0x2000}, {0x10, 0x63520}, {0x20, 1}, {0x2C, 4},
      {0x70, 0x4384E}, {0x78, 1}, {0xA0, 0} /* no jump 2 */};
  for (const auto& [at, value] : numbers) EXPECT_EQ(Le32(f, e + at), value) << std::hex << at;
  const std::pair<size_t, const char*> strings[] = {
      {0x08, "main"}, {0x14, "Caption"}, {0x60, "g.hhc"}, {0x64, "g.hhk"}, {0x68, "o.html"},
      {0x6C, "h.html"}, {0x9C, "About"}, {0xA4, "about.html"}};
  for (const auto& [at, text] : strings) EXPECT_EQ(StringAt(pool.bytes(), Le32(f, e + at)), text) << std::hex << at;
  EXPECT_EQ(BuildWindowsFile({w}, true, pool).size(), 8u + 188u) << "Compatibility=1.0";
}

TEST(StringPool, NoStringCrossesABlockAndDuplicatesShareOneOffset) {
  StringPool pool;
  EXPECT_EQ(pool.Add(""), 0u);
  uint32_t first = pool.Add("first");
  EXPECT_EQ(pool.Add("first"), first);
  std::vector<std::pair<uint32_t, std::string>> added;
  for (int i = 0; i < 500; ++i) {
    std::string s(1 + (i * 37) % 90, static_cast<char>('a' + i % 26));
    s += std::to_string(i);
    added.push_back({pool.Add(s), s});
  }
  const auto& b = pool.bytes();
  EXPECT_EQ(b[0], 0);
  for (const auto& [offset, s] : added) {
    EXPECT_EQ(offset / 4096, (offset + s.size()) / 4096) << s;
    EXPECT_EQ(StringAt(b, offset), s);
  }
}

}  // namespace
}  // namespace hha
