// Finds project files by name the way Windows does, ignoring ASCII case, on every
// platform: folders are listed once and looked up case-insensitively.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hha {

class FileResolver {
 public:
  // `root` is the project folder, empty or ending in the platform separator.
  explicit FileResolver(std::string root) : root_(std::move(root)) {}

  // The code page the project names its files in. A name on disk in UTF-8 (as Linux
  // file systems hold names) is then also found by its spelling in that code page, as
  // Windows finds it, whose file systems convert.
  void SetCodePage(uint32_t codePage) { codePage_ = codePage; }

  // `relative` uses "/" separators and has no "." or ".." parts. True when a regular file
  // of that name exists; `actual` then receives its relative name with the case on disk
  // (an exact-case match wins where a file system holds several).
  bool Find(const std::string& relative, std::string* actual);

  // The platform path of a relative name.
  std::string NativePath(const std::string& relative) const;

 private:
  struct Item {
    std::string name;
    bool isDir;
  };
  const std::multimap<std::string, Item>& Listing(const std::string& actualFolder);

  std::string root_;
  uint32_t codePage_ = 0;
  std::map<std::string, std::multimap<std::string, Item>> listings_;
};

}  // namespace hha
