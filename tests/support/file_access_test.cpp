#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/buffered_file_writer.h"
#include "support/mapped_file_view.h"
#include "tests/common/test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qb {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Pattern(size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
  return s;
}

// Makes the system's writes fail from a given call on, wholly or short.
struct FailingWrites {
  static int calls, failFromCall;  // -1: never fail
  static bool shortWrite;
  static bool Hook(NativeFile, const void*, uint32_t count, uint32_t* written) {
    const bool fail = failFromCall >= 0 && calls++ >= failFromCall;
    *written = !fail ? count : shortWrite ? count / 2 : 0;
    return !fail || shortWrite;
  }
};
int FailingWrites::calls = 0;
int FailingWrites::failFromCall = -1;
bool FailingWrites::shortWrite = false;

class WriterFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNativeWriteHookForTesting(&FailingWrites::Hook); }
  void TearDown() override {
    SetNativeWriteHookForTesting(nullptr);
    FailingWrites::calls = 0;
    FailingWrites::failFromCall = -1;
    FailingWrites::shortWrite = false;
  }
  TempDir dir;
};

// A flush that fails inside an append (its result is not returned; the writes work again
// before Close), a short write, an append larger than the buffer written directly: Close
// fails; the failure does not stick to the next file.
TEST_F(WriterFailureTest, FailedOrShortWriteMakesCloseFail) {
  const struct {
    std::vector<uint32_t> appends;
    bool fail, shortWrite, recoverBeforeClose;
  } cases[] = {{{65530, 100}, true, false, true}, {{5}, true, true, false},
               {{70000}, true, false, false}, {{5}, false, false, false}};
  BufferedFileWriter w;
  const std::string path = dir / "out", bytes = Pattern(70000);
  for (const auto& c : cases) {
    ASSERT_TRUE(w.Open(path.c_str()));
    FailingWrites::failFromCall = c.fail ? FailingWrites::calls : -1;
    FailingWrites::shortWrite = c.shortWrite;
    for (uint32_t n : c.appends) w.Append(bytes.data(), n);
    if (c.recoverBeforeClose) FailingWrites::failFromCall = -1;
    EXPECT_EQ(w.Close(), !c.fail) << c.appends[0];
  }
}

// Whatever way the appends meet the 65,536-byte buffer (filling it exactly, overflowing
// it, bigger than it, empty ones between), the file holds the bytes in order, and an
// existing longer file is cut.
TEST(BufferedFileWriter, WritesBytesInOrderAndTruncatesAnExistingFile) {
  std::vector<size_t> many;
  for (size_t i = 0; i < 50; ++i) many.push_back(1000 + i * 997);
  const std::vector<std::vector<size_t>> cases = {
      {65536}, {3, 65537}, {65530, 10}, {65536, 0, 1}, {0}, many};
  for (const auto& sizes : cases) {
    TempDir dir;
    const std::string path = dir / "out.txt";
    WriteFile(path, std::string(200000, 'x'));
    BufferedFileWriter w;
    ASSERT_TRUE(w.Open(path.c_str()));
    std::string expected;
    for (size_t n : sizes) {
      const std::string chunk = Pattern(n, static_cast<unsigned>(expected.size()));
      ASSERT_TRUE(w.Append(chunk.data(), static_cast<uint32_t>(n)));
      expected += chunk;
    }
    EXPECT_TRUE(w.Append(nullptr, 0));
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(ReadFile(path), expected) << sizes.size() << " appends, the first of " << sizes[0];
  }
}

class MappedFileViewTest : public ::testing::TestWithParam<size_t> {};

// Also past a NUL, and from a read-only file (whose size may be a multiple of the page).
TEST_P(MappedFileViewTest, ImageHoldsTheFileAndEndsWithZero) {
  TempDir dir;
  std::string path = dir / "page.html";
  std::string bytes = Pattern(GetParam());
  bytes[bytes.size() / 2] = '\0';
  WriteFile(path, bytes);
  test::SetReadOnly(path, true);
  MappedFileView v;
  ASSERT_TRUE(v.Open(path.c_str()));
  ASSERT_EQ(v.size, bytes.size());
  EXPECT_EQ(std::memcmp(v.view, bytes.data(), bytes.size()), 0);
  EXPECT_EQ(v.view[v.size], 0);
  // Writes into the image stay private.
  v.view[0] = '#';
  v.view[v.size - 1] = '#';
  EXPECT_EQ(ReadFile(path), bytes) << "the file changed while open";
  v.Close();
  v.Close();
  EXPECT_EQ(v.view, nullptr);
  EXPECT_EQ(ReadFile(path), bytes) << "the file changed after Close";
  test::SetReadOnly(path, false);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MappedFileViewTest,
                         ::testing::Values(1, 4095, 4096, 4097, 8192, 102400, 65537));

#ifdef _WIN32
TEST(MappedFileView, PageMultipleFileStaysShareableWhileOpen) {
  TempDir dir;
  std::string path = dir / "p.html";
  WriteFile(path, Pattern(4096));
  MappedFileView v;
  ASSERT_TRUE(v.Open(path.c_str()));
  HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(other, INVALID_HANDLE_VALUE) << "the view must not hold the file exclusively";
  if (other != INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetFileSize(other, nullptr), 4096u) << "the file must never grow";
    CloseHandle(other);
  }
  v.Close();
}
#endif

TEST(MappedFileView, EmptyMissingAndFolderFail) {
  TempDir dir;
  std::string empty = dir / "empty.html";
  WriteFile(empty, "");
  MappedFileView v;
  EXPECT_FALSE(v.Open(empty.c_str()));
#ifdef _WIN32
  EXPECT_EQ(GetLastError(), 24u);
#else
  EXPECT_EQ(errno, EINVAL);
#endif
  EXPECT_EQ(v.view, nullptr);
  v.Close();
  for (const std::string& path : {dir / "missing.html", dir.path(), std::string()}) {
    EXPECT_FALSE(v.Open(path.c_str())) << path;
    v.Close();
  }
}

}  // namespace
}  // namespace qb
