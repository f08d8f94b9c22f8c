#include "helpproject/javadoc_tree.h"

#include <cstdio>
#include <vector>

#include "support/html_reader.h"
#include "support/html_scanner.h"

namespace qb {
namespace {

// Charset, lang and the frames all sit near the top; a redirect page is small.
constexpr size_t kHeadBytes = 16 * 1024;
// More than any index.html javadoc writes (a frameset is 1-3 KB, an overview a few
// hundred KB at most).
constexpr size_t kIndexPageBytes = 8 * 1024 * 1024;

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Step 1, unchanged from the job setup: an upper-case <FRAME named classFrame, byte exact.
bool HasClassicFrame(std::string page) {
  HtmlScanner scanner(page.c_str());
  while (scanner.FindElement("FRAME", true))
    if (scanner.AttributeValue("name") == "classFrame") return true;
  return false;
}

// Step 2: any-case <frame or <iframe named classFrame; its src is the start page.
bool FindClassFrame(std::string_view page, JavadocGeneration* generation, std::string* src) {
  HtmlReader reader(page);
  HtmlTag tag;
  while (reader.NextTag(&tag)) {
    if (tag.closing || !(tag.Is("frame") || tag.Is("iframe"))) continue;
    std::string name;
    if (!tag.Attribute("name", &name) || name != "classFrame") continue;
    tag.Attribute("src", src);
    *generation = tag.Is("frame") ? JavadocGeneration::kFramesLower : JavadocGeneration::kIframes;
    return true;
  }
  return false;
}

bool HasSearchIndex(const std::string& folder) {
  for (const char* name : {"type-search-index.js", "package-search-index.js",
                           "member-search-index.js", "module-search-index.js",
                           "type-search-index.zip", "package-search-index.zip"})
    if (FileExists(folder + name)) return true;
  return false;
}

bool HasJavadocGenerator(std::string_view page) {
  HtmlReader reader(page);
  HtmlTag tag;
  while (reader.NextStartTag("meta", &tag)) {
    std::string name, content;
    if (tag.Attribute("name", &name) && name == "generator" &&
        tag.Attribute("content", &content) && content.compare(0, 8, "javadoc/") == 0)
      return true;
  }
  return false;
}

// The target of a redirect page: the canonical link, else the Refresh URL after "0;",
// else the argument of location.replace(). Empty when the page is no redirect.
std::string RedirectTarget(std::string_view page) {
  HtmlReader reader(page);
  HtmlTag tag;
  std::string refresh;
  while (reader.NextTag(&tag)) {
    if (tag.closing) continue;
    std::string value;
    if (tag.Is("link") && tag.Attribute("rel", &value) && value == "canonical" &&
        tag.Attribute("href", &value) && !value.empty())
      return value;
    if (tag.Is("meta") && refresh.empty() && tag.Attribute("http-equiv", &value) &&
        FindNoCase(value, "refresh") == 0 && tag.Attribute("content", &value)) {
      size_t semi = value.find(';');
      if (semi != std::string::npos) {
        std::string url = value.substr(semi + 1);
        while (!url.empty() && url[0] == ' ') url.erase(0, 1);
        if (FindNoCase(url, "url=") == 0) url.erase(0, 4);
        refresh = url;
      }
    }
  }
  if (!refresh.empty()) return refresh;
  size_t at = page.find("location.replace(");
  if (at == std::string_view::npos) return std::string();
  at += 17;
  if (at >= page.size() || (page[at] != '\'' && page[at] != '"')) return std::string();
  size_t close = page.find(page[at], at + 1);
  if (close == std::string_view::npos) return std::string();
  return std::string(page.substr(at + 1, close - at - 1));
}

bool IsRedirect(const std::string& path) {
  std::string page;
  return ReadFilePrefix(path, kHeadBytes, &page) && !RedirectTarget(page).empty();
}

std::string WithoutFragment(std::string link) {
  size_t cut = link.find_first_of("#?");
  if (cut != std::string::npos) link.resize(cut);
  return link;
}

// The first package or module summary that the list file names and the tree holds.
std::string FirstListedSummary(const std::string& folder) {
  std::vector<ListedPackage> packages;
  if (!ReadListFile(folder, &packages)) return std::string();
  for (const ListedPackage& package : packages) {
    std::string page;
    if (package.StartsModule()) {
      page = package.module + "/module-summary.html";
    } else {
      page = package.name;
      for (char& c : page)
        if (c == '.') c = '/';
      page += page.empty() ? "package-summary.html" : "/package-summary.html";
    }
    if (FileExists(folder + page)) return page;
  }
  return std::string();
}

// 11+: index.html itself, or where it redirects; never a redirect page, never a page
// that is not there.
std::string FramelessStartPage(const std::string& folder, std::string_view index) {
  std::string target = RedirectTarget(index);
  if (target.empty()) return "index.html";
  std::string resolved;
  if (ResolveTreeLink("", WithoutFragment(target), &resolved) && !resolved.empty() &&
      FileExists(folder + PercentDecode(resolved)) && !IsRedirect(folder + PercentDecode(resolved)))
    return resolved;
  return FirstListedSummary(folder);
}

// 7-10: the classFrame src, when it is a real page; else the overview or the first
// listed package.
std::string FrameStartPage(const std::string& folder, const std::string& src) {
  std::string resolved;
  if (ResolveTreeLink("", WithoutFragment(src), &resolved) && !resolved.empty() &&
      FileExists(folder + PercentDecode(resolved)))
    return resolved;
  if (FileExists(folder + "overview-summary.html")) return "overview-summary.html";
  return FirstListedSummary(folder);
}

// Non-ASCII bytes that all form UTF-8 sequences (a cut sequence at the end counts).
bool LooksLikeUtf8(std::string_view text) {
  bool nonAscii = false;
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    size_t n = b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    if (n == 0) return false;
    for (size_t k = 1; k < n; ++k) {
      if (i + k >= text.size()) return true;
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return nonAscii;
}

// The pages' charset decides first; UTF-8 pages (every page of JDK 9+) take the lang of
// <html>, and without one (JDK 7) the script of their text.
void ChooseLanguage(std::string_view page, bool classic, JavadocTree* tree) {
  uint32_t codePage = CodePageOfCharset(DeclaredCharset(page, kHeadBytes));
  if (classic) {
    // Classic writers copy the pages' bytes: only the language follows the charset.
    if (const HelpLanguage* language = HelpLanguageOfCodePage(codePage))
      tree->language = *language;
    return;
  }
  if (codePage == 0) {
    // JDK 9+ write UTF-8. JDK 7/8 without -charset wrote the platform's encoding and
    // said nothing: UTF-8 when the class list has non-ASCII text that is valid UTF-8.
    codePage = kUtf8CodePage;
    std::string sample;
    if (tree->generation < JavadocGeneration::kIframes &&
        (!ReadFilePrefix(tree->folder + "allclasses-frame.html", 64 * 1024, &sample) ||
         !LooksLikeUtf8(sample)))
      codePage = kWesternCodePage;
  }
  tree->pageCodePage = codePage;
  if (codePage != kUtf8CodePage) {
    if (const HelpLanguage* language = HelpLanguageOfCodePage(codePage))
      tree->language = *language;
    return;
  }
  std::string lang;
  const HelpLanguage* language = nullptr;
  if (DeclaredLanguage(page, &lang, kHeadBytes)) {
    // Stated, even if empty (a post-processed JDK 25 tree has a bare "lang").
    language = HelpLanguageOfTag(lang);
  } else {
    // A frameset holds no prose; the start page does.
    std::string start;
    if (ReadFilePrefix(tree->folder + tree->startPage, kHeadBytes, &start))
      language = HelpLanguageOfText(ToUtf8(start, codePage));
  }
  if (language) tree->language = *language;
}

}  // namespace

bool FileExists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

bool ReadFilePrefix(const std::string& path, size_t limit, std::string* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // Sized to the file, so that a generous limit costs nothing on a small page.
  size_t size = limit;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long end = std::ftell(f);
    if (end >= 0 && static_cast<unsigned long>(end) < size) size = static_cast<size_t>(end);
    std::fseek(f, 0, SEEK_SET);
  }
  limit = size;
  out->resize(limit);
  size_t got = std::fread(&(*out)[0], 1, limit, f);
  std::fclose(f);
  out->resize(got);
  return true;
}

bool ResolveTreeLink(std::string_view baseFolder, std::string_view link, std::string* out) {
  if (link.empty() || link[0] == '/' || link[0] == '#' || link.find("://") != std::string::npos ||
      link.find(':') != std::string::npos)
    return false;
  std::vector<std::string> parts;
  auto push = [&](std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find_first_of("/\\", start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view part = text.substr(start, end - start);
      start = end + 1;
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (parts.empty()) return false;
        parts.pop_back();
      } else {
        parts.emplace_back(part);
      }
    }
    return true;
  };
  if (!push(baseFolder) || !push(link)) return false;
  out->clear();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) *out += '/';
    *out += parts[i];
  }
  return true;
}

bool InspectJavadocTree(const std::string& indexPath, JavadocTree* tree) {
  *tree = JavadocTree();
  tree->folder = FolderOf(indexPath);
  std::string page;
  // Whole, as the job setup reads it for the classic test.
  if (!ReadFilePrefix(indexPath, kIndexPageBytes, &page)) return false;

  std::string src;
  if (HasClassicFrame(page)) {
    ChooseLanguage(page, true, tree);
  } else if (FindClassFrame(page, &tree->generation, &src)) {
    tree->startPage = FrameStartPage(tree->folder, src);
    ChooseLanguage(page, false, tree);
  } else if (FileExists(tree->folder + "element-list") || HasSearchIndex(tree->folder) ||
             HasJavadocGenerator(page)) {
    tree->generation = JavadocGeneration::kFrameless;
    tree->startPage = FramelessStartPage(tree->folder, page);
    ChooseLanguage(page, false, tree);
  } else {
    ChooseLanguage(page, true, tree);
  }
  // A tree that holds no page to start on is left to the classic writers, which tell
  // what they cannot open.
  if (!tree->classic() && tree->startPage.empty()) {
    tree->generation = JavadocGeneration::kClassic;
    tree->language = DefaultHelpLanguage();
  }
  return true;
}

bool ReadListFile(const std::string& folder, std::vector<ListedPackage>* packages) {
  std::string list;
  if (!ReadFilePrefix(folder + "element-list", 16 * 1024 * 1024, &list) &&
      !ReadFilePrefix(folder + "package-list", 16 * 1024 * 1024, &list))
    return false;
  std::string module;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    std::string line = list.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty()) continue;
    if (line.compare(0, 7, "module:") == 0) {
      module = line.substr(7);
      packages->push_back({module, std::string(1, '\0')});
      continue;
    }
    packages->push_back({module, line == "unnamed package" ? std::string() : line});
  }
  return true;
}

}  // namespace qb
