// The link check of the conversion report: one forward pass over every page of the
// tree that notes each page's anchors and each link's target, then the fragment links
// are matched against the anchors of their pages. Anchors and fragments are kept as
// 64-bit hashes of their decoded text, links by page number and byte offset, so the
// JDK's java.base (about 3,000 pages, a million links) stays within a few megabytes; the
// text of a link is read again only for the few examples that the report shows.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "helpproject/conversion_report.h"
#include "support/ascii.h"
#include "support/directory_walker.h"
#include "support/html_reader.h"
#include "support/mapped_file_view.h"

namespace qb {
namespace {

constexpr size_t kExamplesPerGroup = 3;

uint64_t Hash(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// An attribute value as the browser takes it: character references decoded; with
// `percent`, %XX escapes too (an href's "%3Cinit%3E()" names the id "<init>()").
std::string DecodeValue(std::string_view value, bool percent) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '&') {
      char32_t code = 0;
      if (const size_t n = DecodeReference(value, i, &code)) {
        AppendUtf8(out, code);
        i += n - 1;
        continue;
      }
    } else if (c == '%' && percent && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 &&
               HexValue(value[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
      i += 2;
      continue;
    }
    out += c;
  }
  return out;
}

// The hash of a value's decoded text; most values need no decoding and are hashed as
// they stand.
uint64_t DecodedHash(std::string_view value, bool percent) {
  const bool plain = value.find('&') == std::string_view::npos &&
                     (!percent || value.find('%') == std::string_view::npos);
  return plain ? Hash(value) : Hash(DecodeValue(value, percent));
}

bool HasScheme(std::string_view link) {
  for (char c : link) {
    if (c == ':') return true;
    if (c == '/' || c == '?' || c == '#') return false;
  }
  return false;
}

// "a/b/" + "../c.html" -> "a/c.html"; false when the link leaves the root.
bool Resolve(std::string_view folder, std::string_view link, std::string* out) {
  if (link.find("./") == std::string_view::npos && link.find("//") == std::string_view::npos &&
      link != "." && link != "..") {  // most links: nothing to resolve
    out->assign(folder.data(), folder.size());
    out->append(link.data(), link.size());
    if (!out->empty() && out->back() == '/') out->pop_back();
    return true;
  }
  std::string whole(folder);
  whole.append(link.data(), link.size());
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (at <= whole.size()) {
    size_t end = whole.find('/', at);
    if (end == std::string::npos) end = whole.size();
    std::string_view part(whole.data() + at, end - at);
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  out->clear();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) *out += '/';
    out->append(parts[i].data(), parts[i].size());
  }
  return true;
}

std::string FolderOfPath(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsPage(const std::string& name) {
  const std::string lower = AsciiLowerCopy(name);
  return lower.size() > 5 && (lower.compare(lower.size() - 5, 5, ".html") == 0 ||
                              lower.compare(lower.size() - 4, 4, ".htm") == 0);
}

struct Attribute {
  std::string_view name, value;
  size_t valueOffset = 0;
};

// Reads the attributes of the tag whose name ends at `at`; returns the offset after '>'.
size_t ReadAttributes(const char* text, size_t size, size_t at, std::vector<Attribute>* attrs) {
  attrs->clear();
  while (at < size) {
    while (at < size && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' ||
                         text[at] == '\r' || text[at] == '/'))
      ++at;
    if (at >= size) break;
    if (text[at] == '>') return at + 1;
    size_t nameStart = at;
    while (at < size && text[at] != '=' && text[at] != '>' && text[at] != ' ' &&
           text[at] != '\t' && text[at] != '\n' && text[at] != '\r')
      ++at;
    Attribute attr;
    attr.name = std::string_view(text + nameStart, at - nameStart);
    while (at < size && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r')) ++at;
    if (at < size && text[at] == '=') {
      ++at;
      while (at < size && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r')) ++at;
      if (at < size && (text[at] == '"' || text[at] == '\'')) {
        const char quote = text[at++];
        const void* end = std::memchr(text + at, quote, size - at);
        size_t stop = end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size;
        attr.value = std::string_view(text + at, stop - at);
        attr.valueOffset = at;
        at = stop < size ? stop + 1 : size;
      } else {
        size_t start = at;
        while (at < size && text[at] != '>' && text[at] != ' ' && text[at] != '\n') ++at;
        attr.value = std::string_view(text + start, at - start);
        attr.valueOffset = start;
      }
    }
    if (attr.name.empty()) {
      ++at;
      continue;
    }
    attrs->push_back(attr);
  }
  return size;
}

bool NameIs(std::string_view name, const char* lower) {
  return EqualsLowerAscii(name, lower);
}

bool ClassHasBlock(std::string_view value) {
  size_t at = 0;
  while ((at = value.find("block", at)) != std::string_view::npos) {
    const bool startOk = at == 0 || value[at - 1] == ' ';
    const bool endOk = at + 5 == value.size() || value[at + 5] == ' ';
    if (startOk && endOk) return true;
    at += 5;
  }
  return false;
}

// Where the end tag `lowerTag` ("</script") begins, in any case; `size` when nowhere.
size_t FindEndTag(const char* text, size_t size, size_t at, const char* lowerTag) {
  const size_t n = std::strlen(lowerTag);
  while (at < size) {
    const void* lt = std::memchr(text + at, '<', size - at);
    if (!lt) break;
    at = static_cast<size_t>(static_cast<const char*>(lt) - text);
    if (at + n <= size && EqualsLowerAscii(std::string_view(text + at, n), lowerTag)) return at;
    ++at;
  }
  return size;
}

struct FragmentLink {
  uint32_t target;  // page number
  uint32_t origin;  // page number
  uint64_t hash;
  uint32_t line;
  uint32_t offset;  // of the href value in the origin page
  LinkAuthor author;
};

void AddProblem(ProblemCount* count, const std::string& key, LinkProblem problem) {
  ++count->total;
  ++count->byAuthor[static_cast<int>(problem.author)];
  for (ProblemGroup& group : count->groups) {
    if (group.key != key) continue;
    ++group.count;
    if (group.examples.size() < kExamplesPerGroup) group.examples.push_back(std::move(problem));
    return;
  }
  ProblemGroup group;
  group.key = key;
  group.count = 1;
  group.examples.push_back(std::move(problem));
  count->groups.push_back(std::move(group));
}

void SortGroups(ProblemCount* count) {
  std::stable_sort(count->groups.begin(), count->groups.end(),
                   [](const ProblemGroup& a, const ProblemGroup& b) { return a.count > b.count; });
}

// The href at `offset` of a page, read again for an example.
std::string LinkAt(const std::string& path, uint32_t offset) {
  MappedFileView view;
  std::string link;
  if (view.Open(path.c_str()) && offset < view.size) {
    const char* start = view.view + offset;
    size_t n = 0;
    while (offset + n < view.size && start[n] != '"' && start[n] != '\'' && start[n] != '>' &&
           start[n] != ' ')
      ++n;
    link.assign(start, n);
  }
  view.Close();
  return link;
}

}  // namespace

void CheckLinks(const JavadocTree& tree, const char* skipName, ConversionReport* report,
                const std::function<bool(uint64_t, uint64_t)>& progress) {
  // Every file of the tree, compared as the help file's viewer does: without case.
  std::unordered_set<std::string> files;
  std::vector<std::string> pages;
  {
    DirectoryWalker walker(tree.folder.c_str());
    while (walker.Next()) {
      if (walker.kind != WalkEntryKind::File && walker.kind != WalkEntryKind::Directory) continue;
      std::string path = walker.relativeDir;
      for (char& c : path)
        if (c == '\\') c = '/';
      if (!path.empty() && path.back() != '/') path += '/';
      path += walker.findData.cFileName;
      if (walker.kind == WalkEntryKind::Directory) {
        files.insert(AsciiLowerCopy(path) + "/");
        continue;
      }
      files.insert(AsciiLowerCopy(path));
      ++report->filesInTree;
      if (IsPage(path) && std::strcmp(walker.findData.cFileName, skipName) != 0)
        pages.push_back(path);
    }
    walker.Close();
  }
  std::sort(pages.begin(), pages.end());
  std::unordered_map<std::string, uint32_t> pageNumbers;
  for (uint32_t i = 0; i < pages.size(); ++i) pageNumbers[AsciiLowerCopy(pages[i])] = i;

  std::vector<std::vector<uint64_t>> anchors(pages.size());
  std::vector<FragmentLink> fragments;
  std::vector<Attribute> attrs;
  const bool told = !tree.classic();
  std::string target, lower;

  for (uint32_t number = 0; number < pages.size(); ++number) {
    if (progress && !progress(number, pages.size())) return;
    const std::string& page = pages[number];
    MappedFileView view;
    if (!view.Open((tree.folder + page).c_str())) {
      view.Close();
      continue;
    }
    ++report->pagesChecked;
    const std::string folder = FolderOfPath(page);
    const bool userPage = folder.find("doc-files/") != std::string::npos;
    const char* text = view.view;
    const size_t size = view.size;
    size_t at = 0, counted = 0;
    uint32_t line = 1;
    int divDepth = 0, blockDepth = -1;  // the div depth at which a comment block opened
    std::vector<uint64_t>& ids = anchors[number];

    while (at < size) {
      const void* lt = std::memchr(text + at, '<', size - at);
      if (!lt) break;
      at = static_cast<size_t>(static_cast<const char*>(lt) - text) + 1;
      if (at + 3 <= size && text[at] == '!' && text[at + 1] == '-' && text[at + 2] == '-') {
        const char* end = std::strstr(text + at, "-->");
        at = end ? static_cast<size_t>(end - text) + 3 : size;
        continue;
      }
      const bool closing = at < size && text[at] == '/';
      size_t nameStart = closing ? at + 1 : at;
      size_t nameEnd = nameStart;
      while (nameEnd < size && IsAsciiAlnum(text[nameEnd])) ++nameEnd;
      if (nameEnd == nameStart) continue;
      std::string_view name(text + nameStart, nameEnd - nameStart);
      if (closing) {
        if (NameIs(name, "div")) {
          --divDepth;
          if (divDepth < blockDepth) blockDepth = -1;
        }
        at = nameEnd;
        continue;
      }
      at = ReadAttributes(text, size, nameEnd, &attrs);
      const bool isA = NameIs(name, "a");
      for (const Attribute& attr : attrs) {
        if (NameIs(attr.name, "id") || (isA && NameIs(attr.name, "name")))
          ids.push_back(DecodedHash(attr.value, false));
      }
      if (NameIs(name, "div")) {
        ++divDepth;
        for (const Attribute& attr : attrs)
          if (blockDepth < 0 && NameIs(attr.name, "class") && ClassHasBlock(attr.value))
            blockDepth = divDepth;
        continue;
      }
      size_t contentEnd = 0;  // a script's text may hold '<'; its src is still a link
      if (NameIs(name, "style") || NameIs(name, "script")) {
        contentEnd = FindEndTag(text, size, at, NameIs(name, "style") ? "</style" : "</script");
      }
      for (const Attribute& attr : attrs) {
        const bool isLink =
            (NameIs(attr.name, "href") &&
             (isA || NameIs(name, "link") || NameIs(name, "area"))) ||
            (NameIs(attr.name, "src") && (NameIs(name, "img") || NameIs(name, "script") ||
                                          NameIs(name, "frame") || NameIs(name, "iframe")));
        if (!isLink) continue;
        std::string_view link = attr.value;
        while (!link.empty() && link.front() == ' ') link.remove_prefix(1);
        if (link.empty() || link[0] == '/' || HasScheme(link)) continue;
        line += static_cast<uint32_t>(std::count(text + counted, text + attr.valueOffset, '\n'));
        counted = attr.valueOffset;
        ++report->linksChecked;
        const size_t hash = link.find('#');
        std::string_view path = link.substr(0, hash);
        const size_t query = path.find('?');
        if (query != std::string_view::npos) path = path.substr(0, query);
        LinkAuthor author = !told ? LinkAuthor::kUntold
                            : (userPage || blockDepth >= 0) ? LinkAuthor::kUser
                                                            : LinkAuthor::kJavadoc;
        uint32_t targetPage = number;
        if (!path.empty()) {
          const bool plain = path.find('%') == std::string_view::npos &&
                             path.find('&') == std::string_view::npos;
          if (!Resolve(folder, plain ? path : std::string_view(DecodeValue(path, true)), &target))
            continue;
          lower = target;
          for (char& c : lower) c = AsciiLower(c);
          if (!files.count(lower) && !files.count(lower + "/")) {
            LinkProblem problem{page, static_cast<int>(line), std::string(link), author};
            const std::string key = FolderOfPath(target);
            AddProblem(&report->missingFiles, key.empty() ? "./" : key, std::move(problem));
            continue;
          }
          auto found = pageNumbers.find(lower);
          if (found == pageNumbers.end()) continue;  // not a page: no anchors to check
          targetPage = found->second;
        }
        if (hash == std::string_view::npos || hash + 1 == link.size()) continue;
        fragments.push_back({targetPage, number, DecodedHash(link.substr(hash + 1), true), line,
                             static_cast<uint32_t>(attr.valueOffset), author});
      }
      if (contentEnd) at = contentEnd;
    }
    view.Close();
    std::sort(ids.begin(), ids.end());
  }
  if (progress) progress(pages.size(), pages.size());

  for (const FragmentLink& f : fragments) {
    const std::vector<uint64_t>& ids = anchors[f.target];
    if (std::binary_search(ids.begin(), ids.end(), f.hash)) continue;
    const std::string key = FolderOfPath(pages[f.target]);
    const std::string& origin = pages[f.origin];
    // Only the kept examples need their text.
    bool wanted = true;
    for (const ProblemGroup& g : report->missingAnchors.groups)
      if (g.key == (key.empty() ? "./" : key)) wanted = g.examples.size() < kExamplesPerGroup;
    LinkProblem problem{origin, static_cast<int>(f.line),
                        wanted ? LinkAt(tree.folder + origin, f.offset) : std::string(), f.author};
    AddProblem(&report->missingAnchors, key.empty() ? "./" : key, std::move(problem));
  }
  SortGroups(&report->missingFiles);
  SortGroups(&report->missingAnchors);
}

}  // namespace qb
