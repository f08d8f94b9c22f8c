// Helpers shared by the test programs: scratch folders, whole-file reads and writes, and
// the location of the shared test data as the test program sees it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Skips the current test for `why` (something it needs is missing); fails it under CI.
#define QB_SKIP_OR_FAIL(why)                                      \
  do {                                                            \
    if (::qb::test::InCi()) FAIL() << why << " (required when CI=true)"; \
    GTEST_SKIP() << why;                                          \
  } while (0)

namespace qb::test {

// A fresh, empty folder that is removed (with everything in it) on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path with the platform's separator, without a trailing one.
  const std::string& path() const { return path_; }
  // path() joined with a relative name (given with "/" separators).
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// Paths may be written the Windows way natively too ('\\' separates like '/').
// Writes bytes to a file, creating parent folders. Aborts the test on failure.
void WriteFile(const std::string& path, const std::string& bytes);
// The whole file; `ok` (if given) tells whether it could be read.
std::string ReadFile(const std::string& path, bool* ok = nullptr);
bool FileExists(const std::string& path);
void MakeDirs(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);
// Every file under `root` (recursively): its name relative to `root`, with "/", and its
// bytes. Empty when `root` is missing.
std::map<std::string, std::string> FolderFiles(const std::string& root);
// Copies a folder tree (the shared data is read-only) and makes the copy writable. False
// when `from` is no folder or the copy fails.
bool CopyTree(const std::string& from, const std::string& to);

// Makes `link` a symbolic link to `target` (a folder link when `folder`). False where the
// system or the account cannot make one (Windows without the right, older Wine).
bool MakeSymlink(const std::string& target, const std::string& link, bool folder);

// A host (Unix) path as the program sees it: unchanged natively, "Z:\..." under Wine.
std::string HostPath(const std::string& unixPath);
// The shared test data folder (../shared/testdata beside the sources), or "" when it is
// absent; tests that need it skip themselves then (QB_SKIP_OR_FAIL).
std::string TestDataDir();

// True under CI (CI=true), where a test's missing data or reader is a fault, not a reason
// to skip: a green run must have run everything.
bool InCi();
// The source tree's root, as the program sees it.
std::string SourceDir();

// The entries of a sitemap (contents or index file) as the writers lay them out, one
// parameter a line; depth 1 for top-level entries.
struct SitemapEntry {
  int depth = 0;
  std::string name, local, image;
};
std::vector<SitemapEntry> ParseSitemap(const std::string& text);

#ifndef _WIN32
// Runs a command through the shell; its output (stderr included) and exit code (-1 when
// it did not exit normally).
std::string RunCommand(const std::string& command, int* rc);
#endif

// Platform separator.
#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

}  // namespace qb::test
