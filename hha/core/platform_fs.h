// The only operating-system calls of the help compiler's core: whole-file reads, folder
// listings, the output file and its final move, a clock and the ANSI code page. Paths are
// byte strings as the platform takes them (ANSI on Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace hha::platform {

constexpr char kSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

struct DirEntry {
  std::string name;
  bool isDir = false;
};

// An allocator whose vectors leave new bytes uninitialised: a file read into them is
// written once, not zeroed first (zeroing every page twice cost ~1% of a compile's CPU).
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using FileBytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

// Reads a whole regular file. False (and `out` cleared) when it cannot be opened or read.
bool ReadFile(const std::string& path, std::vector<uint8_t>& out);
bool ReadFile(const std::string& path, FileBytes& out);
bool ReadFile(const std::string& path, std::string& out);

// Lists one folder without "." and "..". False when the folder cannot be listed.
bool ListDir(const std::string& path, std::vector<DirEntry>& out);

bool IsFile(const std::string& path);

// The size of a regular file, without reading it. False when it cannot be found.
bool FileSize(const std::string& path, uint64_t* size);

// The absolute path of an existing file or folder with every symbolic link, junction and
// "."/".." part resolved (POSIX realpath; GetFinalPathNameByHandle on Windows, without
// its "\\?\" prefix). False when the path cannot be resolved.
bool RealPath(const std::string& path, std::string* real);

// True when `real` (from RealPath) names `folder` (also from RealPath) or something
// inside it; case-insensitive on Windows, where names are.
bool IsInside(const std::string& real, const std::string& folder);

// True for "/x" (POSIX) or "C:\x", "\\server\x", "\x" (Windows).
bool IsAbsolute(const std::string& path);

// The folder part of a path including its last separator ("" when there is none).
// Both '/' and '\' count as separators on Windows; on POSIX only '/'.
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);

// A file opened for writing, closed by the destructor. Errors are sticky: once a write
// fails, later writes do nothing and ok() stays false.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::string& path);  // creates or truncates
  void Write(const void* data, size_t n);
  bool Close();  // flushes; false if anything failed since Create
  bool ok() const { return ok_; }

 private:
  void* file_ = nullptr;  // FILE*
  bool ok_ = false;
};

// A scratch file for data too large to keep in memory until it is needed: written
// once, then copied out from its start. The destructor removes it, whatever happened.
class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool Create(const std::string& path);
  bool Write(const void* data, size_t n);  // false once any write failed
  // Appends everything written so far to `out`; false when it cannot be read back.
  bool CopyTo(OutputFile& out);
  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

 private:
  void* file_ = nullptr;  // FILE*
  std::string path_;
  uint64_t size_ = 0;
  bool ok_ = false;
};

// Moves `from` over `to`, replacing an existing `to` in one step where the system can.
bool MoveIntoPlace(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

// A name for a scratch file beside `target` that does not exist yet.
std::string TempNameBeside(const std::string& target);

// Converts project text in the given ANSI code page to UTF-8. Text that already is valid
// UTF-8 with non-ASCII characters is taken as UTF-8 (the projects of POSIX users are).
std::string AnsiToUtf8(const std::string& text, uint32_t codePage);

// Seconds since 1601-01-01 in 100 ns units, as Windows' FILETIME.
uint64_t FileTimeNow();
// Milliseconds of a monotonic clock.
uint64_t MonotonicMs();

}  // namespace hha::platform
