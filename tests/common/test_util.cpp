#include "tests/common/test_util.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace qb::test {
namespace {

// The platform's separator throughout. Natively a backslash separates too, as in the
// program (support/native_file.h): the tests shared with Windows write paths its way.
std::string Native(std::string p) {
  for (char& c : p)
    if (c == '/' || c == '\\') c = kSep;
  return p;
}

std::string Getenv(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  do path_ = (fs::temp_directory_path() / ("qbtest-" + std::to_string(std::random_device()()) + "-" +
                                           std::to_string(counter++))).string();
  while (!fs::create_directory(path_, ec));
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files would block the removal on Windows.
  for (auto it = fs::recursive_directory_iterator(path_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& relative) const {
  return path_ + kSep + Native(relative);
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  fs::create_directories(Native(path), ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::path p(Native(path));
  if (p.has_parent_path()) MakeDirs(p.parent_path().string());
  FILE* f = std::fopen(p.string().c_str(), "wb");
  if (!f) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    std::abort();
  std::fclose(f);
}

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(Native(path), std::ios::binary);
  if (ok) *ok = in.is_open();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(Native(path), ec);
}

void SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
  DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  attrs = readOnly ? (attrs | FILE_ATTRIBUTE_READONLY) : (attrs & ~FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(path.c_str(), attrs);
#else
  ::chmod(Native(path).c_str(), readOnly ? 0444 : 0644);
#endif
}

std::map<std::string, std::string> FolderFiles(const std::string& root) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(Native(root), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file())
      files[fs::relative(it->path(), Native(root)).generic_string()] = ReadFile(it->path().string());
  return files;
}

bool CopyTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::is_directory(Native(from), ec)) return false;
  fs::copy(Native(from), Native(to), fs::copy_options::recursive, ec);
  for (auto it = fs::recursive_directory_iterator(Native(to), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  return !ec;
}

bool MakeSymlink(const std::string& target, const std::string& link, bool folder) {
#ifdef _WIN32
  const DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Wine answers TRUE without making anything: only a reparse point that is there counts.
  const DWORD flags = kUnprivileged | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
  const DWORD attrs = CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)
                          ? GetFileAttributesA(link.c_str())
                          : INVALID_FILE_ATTRIBUTES;
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
#else
  (void)folder;
  return ::symlink(target.c_str(), link.c_str()) == 0;
#endif
}

std::string HostPath(const std::string& unixPath) {
#ifdef _WIN32
  if (unixPath.empty()) return unixPath;
  return "Z:" + Native(unixPath);
#else
  return unixPath;
#endif
}

std::string SourceDir() { return HostPath(Getenv("QB_SOURCE_DIR")); }

std::vector<SitemapEntry> ParseSitemap(const std::string& text) {
  std::vector<SitemapEntry> entries;
  int depth = 0;
  size_t start = 0;
  const std::string name = "\t<param name=\"Name\" value=\"";
  const std::string local = "\t<param name=\"Local\" value=\"";
  const std::string image = "\t<param name=\"ImageNumber\" value=\"";
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 2;
    if (line == "<P><UL>" || line == "\t<UL>" || line.rfind("<UL>", 0) == 0) ++depth;
    if (line == "</UL>") --depth;
    auto value = [&](const std::string& key) {
      return line.substr(key.size(), line.size() - key.size() - 2);
    };
    if (line.rfind(name, 0) == 0) entries.push_back({depth, value(name), "", ""});
    if (line.rfind(local, 0) == 0 && !entries.empty()) entries.back().local = value(local);
    if (line.rfind(image, 0) == 0 && !entries.empty()) entries.back().image = value(image);
  }
  return entries;
}

#ifndef _WIN32
std::string RunCommand(const std::string& command, int* rc) {
  std::string out;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) {
    *rc = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}
#endif

bool InCi() { return Getenv("CI") == "true"; }

std::string TestDataDir() {
  std::string dir = Getenv("QB_TESTDATA");
  if (dir.empty()) return "";
  std::error_code ec;
  if (!fs::is_directory(HostPath(dir), ec)) return "";
  return HostPath(dir);
}

}  // namespace qb::test
