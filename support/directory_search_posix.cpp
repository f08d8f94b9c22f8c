#include "support/directory_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/ascii.h"
#include "support/native_file.h"
#include "support/path_names.h"

namespace qb {
namespace {

struct Listing {
  std::vector<FindData> entries;
  size_t next = 0;
};

// NTFS keeps a folder's names in the order of their upper-cased UTF-16 code units; for
// ASCII that is the byte order with the letters upper-cased ('_' after 'Z').
bool ListedBefore(const FindData& a, const FindData& b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a.cFileName);
  const auto* y = reinterpret_cast<const unsigned char*>(b.cFileName);
  for (size_t i = 0;; ++i) {
    auto p = static_cast<unsigned char>(AsciiUpper(static_cast<char>(x[i])));
    auto q = static_cast<unsigned char>(AsciiUpper(static_cast<char>(y[i])));
    if (p != q) return p < q;
    if (!p) break;
  }
  return std::strcmp(a.cFileName, b.cFileName) < 0;
}

bool Next(Listing* listing, FindData* entry) {
  if (listing->next >= listing->entries.size()) return false;
  *entry = listing->entries[listing->next++];
  return true;
}

}  // namespace

SearchHandle NoSearch() { return nullptr; }

SearchHandle BeginSearch(const char* pattern, FindData* entry) {
  std::string folder = NativePath(pattern);
  size_t slash = folder.find_last_of('/');
  if (folder.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "*") != 0)
    return NoSearch();
  folder.erase(slash == std::string::npos ? 0 : slash + 1);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return NoSearch();
  auto* listing = new Listing;
  while (const dirent* d = ::readdir(dir)) {
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    FindData found;
    // A name that does not fit cannot be reached through a 260-byte path either.
    if (!CopyCut(found.cFileName, sizeof found.cFileName, d->d_name)) continue;
    struct stat st;
    // A link counts as what it leads to, as a search on Windows enters a junction.
    if (::stat((folder + d->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      found.dwFileAttributes = kFileAttributeDirectory;
    listing->entries.push_back(found);
  }
  ::closedir(dir);
  std::sort(listing->entries.begin(), listing->entries.end(), ListedBefore);
  if (!Next(listing, entry)) {
    delete listing;
    return NoSearch();
  }
  return listing;
}

bool ContinueSearch(SearchHandle search, FindData* entry) {
  return search && Next(static_cast<Listing*>(search), entry);
}

void EndSearch(SearchHandle search) { delete static_cast<Listing*>(search); }

}  // namespace qb
