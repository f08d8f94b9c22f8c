// The report's counts, its comparison of the list file with the folders, the grouping
// of compiler warnings, and its two renderings (summary lines and JSON). The link check
// is in link_check.cpp.
#include "helpproject/conversion_report.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "support/ascii.h"
#include "support/html_reader.h"
#include "support/mapped_file_view.h"

namespace qb {
namespace {

std::string Thousands(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Count(int64_t n) { return n < 0 ? std::string("-") : Thousands(static_cast<uint64_t>(n)); }

bool ReadWhole(const std::string& path, std::string* out) {
  MappedFileView view;
  const bool ok = view.Open(path.c_str());
  if (ok) out->assign(view.view, view.size);
  view.Close();
  return ok;
}

size_t CountOf(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::char_traits<char>::length(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The all-classes page of the tree, newest last in preference: the frame list of 1.2-10,
// the plain list of 11, the index table of 11 and later.
std::string AllClassesPage(const JavadocTree& tree) {
  for (const char* name : {"allclasses-frame.html", "allclasses.html", "allclasses-index.html"})
    if (FileExists(tree.folder + name)) return name;
  return std::string();
}

// The type pages that the all-classes page links to, relative to the tree. Frame lists
// hold nothing else; in the index table only type links carry a title.
std::set<std::string> AllClassesTypes(const JavadocTree& tree, bool* found) {
  std::set<std::string> types;
  const std::string name = AllClassesPage(tree);
  std::string text;
  *found = !name.empty() && ReadWhole(tree.folder + name, &text);
  if (!*found) return types;
  const bool table = name == "allclasses-index.html";
  HtmlReader reader(text);
  HtmlTag tag;
  std::string href, title, resolved;
  while (reader.NextStartTag("a", &tag)) {
    if (!tag.Attribute("href", &href) || href.find("://") != std::string::npos) continue;
    if (table && !tag.Attribute("title", &title)) continue;
    href = href.substr(0, href.find('#'));
    if (!EndsWith(href, ".html") || href.find("package-") != std::string::npos ||
        href.find("overview-") != std::string::npos || href.find("allclasses") != std::string::npos ||
        href.find("index") == 0)
      continue;
    if (ResolveTreeLink("", href, &resolved)) types.insert(resolved);
  }
  return types;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string PackageOfFolder(std::string folder) {
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  for (char& c : folder)
    if (c == '/') c = '.';
  return folder;
}

// Quoted parts and numbers masked: the shape of a warning, shared by its repeats.
std::string WarningPattern(const std::string& text) {
  std::string body = text;
  // Our compiler's "Warning: FILE, line N: TEXT": the place is not part of the shape.
  const size_t colon = body.find(": ", 9);
  if (body.rfind("Warning: ", 0) == 0 && colon != std::string::npos) body = "Warning: " + body.substr(colon + 2);
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '"') {
      out += quoted ? "\"" : "\"...";
      quoted = !quoted;
    } else if (!quoted) {
      if (IsAsciiDigit(c)) {
        out += '#';
        while (i + 1 < body.size() && IsAsciiDigit(body[i + 1])) ++i;
      } else {
        out += c;
      }
    }
  }
  return out;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

const char* AuthorName(LinkAuthor author) {
  switch (author) {
    case LinkAuthor::kJavadoc: return "javadoc";
    case LinkAuthor::kUser: return "documentation";
    default: return "untold";
  }
}

// JSON string of UTF-8 (or, for classic trees, code-page) text: bytes above 0x7F pass.
// Length of the valid UTF-8 sequence at `i`, or 0.
size_t Utf8Length(const std::string& s, size_t i) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  const size_t n = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// A byte that is no UTF-8 (a page or path in an ANSI code page) is taken as Latin-1, so
// the file stays valid JSON.
std::string Json(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t n = Utf8Length(text, i);
      if (n) {
        out.append(text, i, n);
        i += n - 1;
      } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonProblems(const ProblemCount& count) {
  std::string out = "{\"total\": " + std::to_string(count.total) +
                    ", \"javadoc\": " + std::to_string(count.byAuthor[0]) +
                    ", \"documentation\": " + std::to_string(count.byAuthor[1]) +
                    ", \"untold\": " + std::to_string(count.byAuthor[2]) + ", \"groups\": [";
  for (size_t g = 0; g < count.groups.size(); ++g) {
    const ProblemGroup& group = count.groups[g];
    out += std::string(g ? ", " : "") + "{\"folder\": " + Json(group.key) +
           ", \"count\": " + std::to_string(group.count) + ", \"examples\": [";
    for (size_t e = 0; e < group.examples.size(); ++e) {
      const LinkProblem& p = group.examples[e];
      out += std::string(e ? ", " : "") + "{\"page\": " + Json(p.page) +
             ", \"line\": " + std::to_string(p.line) + ", \"link\": " + Json(p.target) +
             ", \"author\": \"" + AuthorName(p.author) + "\"}";
    }
    out += "]}";
  }
  return out + "]}";
}

std::string JsonStrings(const std::vector<std::string>& list) {
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) out += std::string(i ? ", " : "") + Json(list[i]);
  return out + "]";
}

std::string JsonCount(int64_t n) { return n < 0 ? std::string("null") : std::to_string(n); }

// "79 missing files (documentation 79): java/lang/doc-files/ 12, ..."
std::string ProblemLine(const char* what, const ProblemCount& count) {
  std::string line = Thousands(count.total) + " " + what;
  if (count.total == 0) return line;
  std::string by;
  for (LinkAuthor a : {LinkAuthor::kUser, LinkAuthor::kJavadoc, LinkAuthor::kUntold}) {
    const uint64_t n = count.byAuthor[static_cast<int>(a)];
    if (n) by += std::string(by.empty() ? "" : ", ") + AuthorName(a) + " " + Thousands(n);
  }
  line += " (" + by + "):";
  for (size_t g = 0; g < count.groups.size() && g < 4; ++g)
    line += std::string(g ? "," : "") + " " + count.groups[g].key + " " + Thousands(count.groups[g].count);
  if (count.groups.size() > 4) line += ", ...";
  const LinkProblem& first = count.groups[0].examples[0];
  line += "; e.g. " + first.page + ", line " + std::to_string(first.line) + ": " + first.target;
  return line;
}

}  // namespace

uint64_t ConversionReport::StrictFindings() const {
  const int user = static_cast<int>(LinkAuthor::kUser), untold = static_cast<int>(LinkAuthor::kUntold);
  return missingFiles.byAuthor[user] + missingFiles.byAuthor[untold] +
         missingAnchors.byAuthor[user] + missingAnchors.byAuthor[untold];
}

void CountTreeLists(const JavadocTree& tree, ConversionReport* report) {
  std::vector<ListedPackage> listed;
  if (ReadListFile(tree.folder, &listed)) {
    report->listedModules = report->listedPackages = 0;
    for (const ListedPackage& p : listed) ++(p.StartsModule() ? report->listedModules : report->listedPackages);
  }
  bool found = false;
  const std::set<std::string> types = AllClassesTypes(tree, &found);
  if (found) report->listedTypes = static_cast<int64_t>(types.size());

  // The index pages: index-all.html, else those of index-files that the letter bar of
  // index-1.html names (stale pages of earlier runs are not the tree's).
  std::vector<std::string> pages;
  std::string text;
  if (FileExists(tree.folder + "index-all.html")) {
    pages.push_back("index-all.html");
  } else if (ReadWhole(tree.folder + "index-files/index-1.html", &text)) {
    std::set<int> numbers{1};
    HtmlReader reader(text);
    HtmlTag tag;
    std::string href;
    while (reader.NextStartTag("a", &tag)) {
      int n = 0;
      if (tag.Attribute("href", &href) && std::sscanf(href.c_str(), "index-%d.html", &n) == 1 && n > 0)
        numbers.insert(n);
    }
    for (int n : numbers) {
      const std::string page = "index-files/index-" + std::to_string(n) + ".html";
      if (FileExists(tree.folder + page)) pages.push_back(page);
    }
  }
  if (pages.empty()) return;
  report->indexTerms = 0;
  for (const std::string& page : pages) {
    if (!ReadWhole(tree.folder + page, &text)) continue;
    for (char& c : text) c = AsciiLower(c);
    report->indexTerms += static_cast<int64_t>(CountOf(text, "<dt>") + CountOf(text, "<dt "));
  }
}

// Numeric character references above 127 in `text`.
uint64_t HighReferences(const std::string& text) {
  uint64_t n = 0;
  for (size_t at = text.find("&#"); at != std::string::npos; at = text.find("&#", at + 2)) {
    unsigned long value = 0;
    size_t i = at + 2;
    while (i < text.size() && IsAsciiDigit(text[i])) value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    if (i < text.size() && text[i] == ';' && value > 127) ++n;
  }
  return n;
}

void CountSitemaps(const std::string& contentsPath, const std::string& indexPath,
                   bool countReferences, ConversionReport* report) {
  std::string text;
  std::set<std::string> modules, packages, types;
  if (ReadWhole(contentsPath, &text)) {
    if (countReferences) report->characterReferences += HighReferences(text);
    const std::string key = "<param name=\"Local\" value=\"";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
      const size_t start = at + key.size();
      std::string local = text.substr(start, text.find('"', start) - start);
      local = local.substr(0, local.find('#'));
      for (char& c : local)
        if (c == '\\') c = '/';
      const std::string name = local.substr(local.rfind('/') + 1);
      if (name == "package-summary.html" || name == "package-frame.html") packages.insert(local);
      else if (name == "module-summary.html" ||
               (EndsWith(name, "-summary.html") && local.find('/') == std::string::npos &&
                name != "overview-summary.html"))
        modules.insert(local);
      else if (EndsWith(name, ".html") && name.find("overview-") != 0 &&
               name.find("allclasses") != 0 && name.find("index") != 0 &&
               name.find("about_") != 0 && name.find("-frame.html") == std::string::npos)
        types.insert(local);
    }
  }
  report->contentsModules = static_cast<int64_t>(modules.size());
  report->contentsPackages = static_cast<int64_t>(packages.size());
  report->contentsTypes = static_cast<int64_t>(types.size());
  if (ReadWhole(indexPath, &text)) {
    report->indexEntries = static_cast<int64_t>(CountOf(text, "<OBJECT type=\"text/sitemap\">"));
    if (countReferences) report->characterReferences += HighReferences(text);
  }
}

std::vector<std::string> UnlistedPackageFolders(const JavadocTree& tree) {
  std::vector<std::string> folders;
  std::vector<ListedPackage> listed;
  if (!ReadListFile(tree.folder, &listed)) return folders;
  std::set<std::string> names;
  for (const ListedPackage& p : listed) names.insert(p.name);
  bool found = false;
  std::set<std::string> seen;
  for (const std::string& type : AllClassesTypes(tree, &found)) {
    const std::string folder = FolderOf(type);
    if (folder.empty() || !seen.insert(folder).second) continue;
    std::string name = PackageOfFolder(folder);
    bool isListed = names.count(name) != 0;
    // Packages of 11+ modules sit under the module's folder.
    for (const ListedPackage& p : listed)
      isListed = isListed || (!p.module.empty() && name == p.module + "." + p.name);
    if (!isListed && FileExists(tree.folder + folder + "package-summary.html")) folders.push_back(folder);
  }
  return folders;
}

void CompareListWithFolders(const JavadocTree& tree, ConversionReport* report) {
  std::vector<ListedPackage> listed;
  if (!ReadListFile(tree.folder, &listed)) return;
  for (const ListedPackage& p : listed) {
    if (p.StartsModule() || p.name.empty()) continue;
    std::string path = p.name;
    for (char& c : path)
      if (c == '.') c = '/';
    if (!FileExists(tree.folder + path + "/package-summary.html") &&
        !(p.module.size() && FileExists(tree.folder + p.module + "/" + path + "/package-summary.html")))
      report->listedWithoutPage.push_back(p.name);
  }
  for (const std::string& folder : UnlistedPackageFolders(tree))
    report->unlistedAdded.push_back(PackageOfFolder(folder));
}

bool TakeCompilerMessage(const std::string& text, ConversionReport* report) {
  const std::string line = Trimmed(text);
  unsigned long long pages = 0, others = 0;
  char pagesText[32] = {0}, othersText[32] = {0};
  if (std::sscanf(line.c_str(), "Compiled %31[0-9,] page%*s and %31[0-9,] other", pagesText,
                  othersText) == 2) {
    auto number = [](const char* s) {
      unsigned long long n = 0;
      for (; *s; ++s)
        if (IsAsciiDigit(*s)) n = n * 10 + static_cast<unsigned>(*s - '0');
      return n;
    };
    pages = number(pagesText);
    others = number(othersText);
    report->compiledPages = static_cast<int64_t>(pages);
    report->compiledOtherFiles = static_cast<int64_t>(others);
  }
  if (line.rfind("Warning", 0) != 0) return false;
  const std::string pattern = WarningPattern(line);
  for (WarningGroup& group : report->warnings) {
    if (group.pattern != pattern) continue;
    group.all.push_back(line);
    return true;
  }
  report->warnings.push_back({pattern, {line}});
  return true;
}

std::vector<std::string> WarningLines(const ConversionReport& report) {
  std::vector<std::string> lines;
  for (const WarningGroup& group : report.warnings) {
    if (group.all.size() == 1)
      lines.push_back(group.all[0]);
    else
      lines.push_back(group.pattern + " (" + Thousands(group.all.size()) + " times; first: " +
                      group.all[0].substr(std::min<size_t>(9, group.all[0].size())) + ")");
  }
  return lines;
}

std::vector<std::string> SummaryLines(const ConversionReport& r) {
  std::vector<std::string> lines;
  std::string counts = "Report: contents " + Count(r.contentsPackages) + " packages";
  if (r.listedModules > 0 || r.contentsModules > 0)
    counts += " in " + Count(r.contentsModules) + " modules";
  counts += ", " + Count(r.contentsTypes) + " types; index " + Count(r.indexEntries) +
            " entries. The tree lists " + Count(r.listedPackages) + " packages";
  if (r.listedModules > 0) counts += " in " + Count(r.listedModules) + " modules";
  counts += ", " + Count(r.listedTypes) + " types, " + Count(r.indexTerms) + " index terms.";
  lines.push_back(counts);
  if (r.compiledPages >= 0)
    lines.push_back("Report: compiled " + Count(r.compiledPages) + " pages and " +
                    Count(r.compiledOtherFiles) + " other files; checked " +
                    Thousands(r.linksChecked) + " links on " + Thousands(r.pagesChecked) + " pages.");
  lines.push_back("Report: " + ProblemLine("links to missing files", r.missingFiles));
  lines.push_back("Report: " + ProblemLine("links to missing anchors", r.missingAnchors));
  if (!r.listedWithoutPage.empty() || !r.unlistedAdded.empty()) {
    std::string line = "Report: list file and folders disagree:";
    if (!r.listedWithoutPage.empty())
      line += " listed without a summary page: " + r.listedWithoutPage[0] +
              (r.listedWithoutPage.size() > 1 ? " and " + Thousands(r.listedWithoutPage.size() - 1) + " more" : "") + ";";
    if (!r.unlistedAdded.empty())
      line += " not listed, added to the contents: " + r.unlistedAdded[0] +
              (r.unlistedAdded.size() > 1 ? " and " + Thousands(r.unlistedAdded.size() - 1) + " more" : "") + ";";
    line.pop_back();
    lines.push_back(line + ".");
  }
  char language[160];
  std::snprintf(language, sizeof language, "Report: language 0x%x %s, code page %u; ", r.lcid,
                r.languageName.c_str(), static_cast<unsigned>(r.codePage));
  lines.push_back(language + Thousands(r.characterReferences) +
                  " characters written as character references.");
  lines.push_back("Report: start page " + r.startPage + " (" + r.startReason + ").");
  return lines;
}

std::string ReportJson(const ConversionReport& r) {
  std::string out = "{\n";
  out += "  \"schema\": \"quillbinder-report\",\n";
  out += "  \"version\": " + std::to_string(ConversionReport::kSchemaVersion) + ",\n";
  out += "  \"helpFile\": " + Json(r.helpFile) + ",\n";
  out += "  \"generation\": " + Json(r.generation) + ",\n";
  out += "  \"tree\": {\"modules\": " + JsonCount(r.listedModules) + ", \"packages\": " +
         JsonCount(r.listedPackages) + ", \"types\": " + JsonCount(r.listedTypes) +
         ", \"indexTerms\": " + JsonCount(r.indexTerms) + "},\n";
  out += "  \"contents\": {\"modules\": " + JsonCount(r.contentsModules) + ", \"packages\": " +
         JsonCount(r.contentsPackages) + ", \"types\": " + JsonCount(r.contentsTypes) + "},\n";
  out += "  \"index\": {\"entries\": " + JsonCount(r.indexEntries) + "},\n";
  out += "  \"compiled\": {\"pages\": " + JsonCount(r.compiledPages) + ", \"otherFiles\": " +
         JsonCount(r.compiledOtherFiles) + "},\n";
  out += "  \"links\": {\"pages\": " + std::to_string(r.pagesChecked) + ", \"checked\": " +
         std::to_string(r.linksChecked) + ",\n    \"missingFiles\": " + JsonProblems(r.missingFiles) +
         ",\n    \"missingAnchors\": " + JsonProblems(r.missingAnchors) + "},\n";
  out += "  \"listFile\": {\"listedWithoutPage\": " + JsonStrings(r.listedWithoutPage) +
         ", \"unlistedAdded\": " + JsonStrings(r.unlistedAdded) + "},\n";
  out += "  \"language\": {\"lcid\": " + std::to_string(r.lcid) + ", \"name\": " +
         Json(r.languageName) + ", \"codePage\": " + std::to_string(r.codePage) +
         ", \"characterReferences\": " + std::to_string(r.characterReferences) + "},\n";
  out += "  \"startPage\": {\"page\": " + Json(r.startPage) + ", \"reason\": " + Json(r.startReason) + "},\n";
  out += "  \"warnings\": [";
  for (size_t g = 0; g < r.warnings.size(); ++g)
    out += std::string(g ? ",\n    " : "\n    ") + "{\"pattern\": " + Json(r.warnings[g].pattern) +
           ", \"count\": " + std::to_string(r.warnings[g].all.size()) + ", \"all\": " +
           JsonStrings(r.warnings[g].all) + "}";
  out += r.warnings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"strictFindings\": " + std::to_string(r.StrictFindings()) + ",\n";
  out += "  \"reportMilliseconds\": " + std::to_string(r.milliseconds) + "\n}\n";
  return out;
}

}  // namespace qb
