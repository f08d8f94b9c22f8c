// Windows side of the platform layer: ANSI paths through the A functions.
#include <windows.h>

#include "hha/core/platform_fs.h"

namespace hha::platform {

bool ListDir(const std::string& path, std::vector<DirEntry>& out) {
  out.clear();
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    out.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return true;
}

bool IsFile(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSize(const std::string& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool RealPath(const std::string& path, std::string* real) {
  // Opening without access rights is enough to ask where the name leads; backup
  // semantics let the same call open folders.
  HANDLE h = CreateFileA(path.empty() ? "." : path.c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= sizeof buffer) return false;
  std::string r(buffer, n);
  if (r.compare(0, 8, "\\\\?\\UNC\\") == 0) r = "\\" + r.substr(7);
  else if (r.compare(0, 4, "\\\\?\\") == 0) r.erase(0, 4);
  *real = r;
  return true;
}

bool IsInside(const std::string& real, const std::string& folder) {
  if (real.size() < folder.size() ||
      CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, real.data(), (int)folder.size(),
                     folder.data(), (int)folder.size()) != CSTR_EQUAL)
    return false;
  const char last = folder.empty() ? '\\' : folder.back();
  return real.size() == folder.size() || last == '\\' || real[folder.size()] == '\\';
}

bool IsAbsolute(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return true;
  return !path.empty() && (path[0] == '\\' || path[0] == '/');
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

uint64_t FileTimeNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

uint64_t MonotonicMs() { return GetTickCount64(); }

namespace detail {

std::string ConvertCodePage(const std::string& text, uint32_t codePage) {
  if (text.empty()) return text;
  if (!IsValidCodePage(codePage)) codePage = CP_ACP;
  int wide = MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring w(wide, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &w[0], wide);
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace detail
}  // namespace hha::platform
