// POSIX side of the platform layer (the native build and its tests).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <chrono>
#include <cstdio>

#include "hha/core/platform_fs.h"
#include "hha/core/search/code_page.h"

namespace hha::platform {

bool ListDir(const std::string& path, std::vector<DirEntry>& out) {
  out.clear();
  DIR* dir = opendir(path.empty() ? "." : path.c_str());
  if (!dir) return false;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = path.empty() ? name : (path.back() == '/' ? path + name : path + "/" + name);
    struct stat st {};
    if (stat(full.c_str(), &st) != 0) continue;
    out.push_back({name, S_ISDIR(st.st_mode)});
  }
  closedir(dir);
  return true;
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileSize(const std::string& path, uint64_t* size) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool RealPath(const std::string& path, std::string* real) {
  char* r = realpath(path.empty() ? "." : path.c_str(), nullptr);
  if (!r) return false;
  *real = r;
  std::free(r);
  return true;
}

bool IsInside(const std::string& real, const std::string& folder) {
  if (real.compare(0, folder.size(), folder) != 0) return false;
  return real.size() == folder.size() || folder.back() == '/' || real[folder.size()] == '/';
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

uint64_t FileTimeNow() {
  using namespace std::chrono;
  const uint64_t unix100ns =
      duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  return unix100ns + 116444736000000000ULL;  // 1601 → 1970
}

uint64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace detail {

// Through iconv where it knows the code page; without it only Windows-1252 (the code
// page of every Western LCID) is converted exactly, other code pages are taken as
// Latin-1, which keeps names distinct.
std::string ConvertCodePage(const std::string& text, uint32_t codePage) {
  std::u32string u;
  if (codePage == 1252 || !search::Decode(text, codePage, &u) ||
      std::find(u.begin(), u.end(), char32_t{0xFFFD}) != u.end()) {
    static const uint16_t k1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    u.clear();
    for (char ch : text) {
      char32_t c = static_cast<uint8_t>(ch);
      if (codePage == 1252 && c >= 0x80 && c < 0xA0) c = k1252[c - 0x80];
      u += c;
    }
  }
  std::string out;
  for (char32_t c : u) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace detail
}  // namespace hha::platform
