#include "hha/core/file_resolver.h"

#include <algorithm>
#include <memory>

#include "hha/core/platform_fs.h"
#include "hha/core/search/code_page.h"
#include "support/ascii.h"

namespace hha {
std::string FileResolver::NativePath(const std::string& relative) const {
  std::string p = root_ + relative;
  for (size_t i = root_.size(); i < p.size(); ++i)
    if (p[i] == '/') p[i] = platform::kSeparator;
  return p;
}

const std::multimap<std::string, FileResolver::Item>& FileResolver::Listing(
    const std::string& actualFolder) {
  auto it = listings_.find(actualFolder);
  if (it != listings_.end()) return it->second;
  std::multimap<std::string, Item>& items = listings_[actualFolder];
  std::vector<platform::DirEntry> entries;
  std::string path = actualFolder.empty() ? root_ : NativePath(actualFolder);
  if (path.empty()) path = ".";
  if (!platform::ListDir(path, entries)) return items;
  std::unique_ptr<search::Encoder> encoder;
  std::string ansi;
  for (auto& e : entries) {
    items.emplace(qb::AsciiLowerCopy(e.name), Item{e.name, e.isDir});
    const bool ascii = std::all_of(e.name.begin(), e.name.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii || codePage_ == 0 || codePage_ == search::kUtf8) continue;
    if (!encoder) encoder = std::make_unique<search::Encoder>(codePage_);
    if (search::FromUtf8(e.name, *encoder, &ansi) && ansi != e.name)
      items.emplace(qb::AsciiLowerCopy(ansi), Item{e.name, e.isDir});
  }
  return items;
}

bool FileResolver::Find(const std::string& relative, std::string* actual) {
  std::string folder;  // actual case, "" or ending in '/'
  size_t start = 0;
  for (;;) {
    size_t slash = relative.find('/', start);
    const bool last = slash == std::string::npos;
    std::string part = relative.substr(start, last ? std::string::npos : slash - start);
    if (part.empty()) return false;
    const auto& items = Listing(folder);
    auto range = items.equal_range(qb::AsciiLowerCopy(part));
    const Item* found = nullptr;
    for (auto i = range.first; i != range.second; ++i) {
      if (i->second.isDir != !last) continue;
      if (!found || i->second.name == part) found = &i->second;
    }
    if (!found) return false;
    if (last) {
      *actual = folder + found->name;
      return true;
    }
    folder += found->name + "/";
    start = slash + 1;
  }
}

}  // namespace hha
