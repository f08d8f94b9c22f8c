#include "helpproject/javadoc_contents.h"

#include "helpproject/conversion_report.h"

#include <set>
#include <string_view>
#include <vector>

#include "support/ascii.h"
#include "support/html_reader.h"
#include "support/mapped_file_view.h"
#include "support/text_encoding.h"

namespace qb {

const char kUnnamedPackageEntry[] = "(default package)";

namespace {

// The description meta of JDK 13+ class pages sits in the first ~400 bytes.
constexpr size_t kClassHeadBytes = 4 * 1024;
// Older class pages state the kind only in the declaration, 3.5-11 KB in.
constexpr size_t kClassDeclarationBytes = 64 * 1024;

// A page held for the length of one reading.
class Page {
 public:
  bool Open(const std::string& path) {
    if (!view_.Open(path.c_str())) return false;
    text_ = std::string_view(view_.view, view_.size);
    return true;
  }
  ~Page() { view_.Close(); }
  std::string_view text() const { return text_; }

 private:
  MappedFileView view_;
  std::string_view text_;
};

// Without a list file (a hand-trimmed 7-10 tree): the packages of the overview frame.
void ReadOverviewFrame(const JavadocTree& tree, std::vector<ListedPackage>* packages) {
  Page page;
  if (!page.Open(tree.folder + "overview-frame.html")) return;
  HtmlReader reader(page.text());
  HtmlTag tag;
  while (reader.NextStartTag("a", &tag)) {
    std::string href;
    if (!tag.Attribute("href", &href)) continue;
    const std::string suffix = "/package-frame.html";
    if (href.size() <= suffix.size() || href.compare(href.size() - suffix.size(), suffix.size(),
                                                     suffix) != 0)
      continue;
    std::string name = href.substr(0, href.size() - suffix.size());
    for (char& c : name)
      if (c == '/') c = '.';
    packages->push_back({std::string(), name});
  }
}

std::string PackagePath(const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '.') c = '/';
  return path.empty() ? path : path + "/";
}

// The content of the element opened by `open` up to its end tag `lowerName`.
std::string_view ElementContent(HtmlReader& reader, const HtmlTag& open, std::string_view name) {
  HtmlTag tag;
  while (reader.NextTag(&tag))
    if (tag.closing && tag.Is(name))
      return std::string_view(open.end, static_cast<size_t>(tag.start - open.end));
  return std::string_view(open.end, static_cast<size_t>(reader.end() - open.end));
}

// A type's name as its link shows it: text only, cut before type parameters.
std::string TypeName(std::string_view content, uint32_t codePage) {
  std::string name = HtmlFragmentText(ToUtf8(content, codePage));
  size_t cut = name.find('<');
  if (cut != std::string::npos) name.resize(cut);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

bool KindIsInterfaceLike(std::string_view kind) {
  return kind == "interface" || kind == "annotation type" || kind == "annotation interface" ||
         kind == "@interface";
}

// Reads the head of a class page for its kind: the description meta (13+), else the
// keywords of the declaration.
bool ClassPageIsInterfaceLike(const std::string& path) {
  std::string head;
  if (!ReadFilePrefix(path, kClassHeadBytes, &head)) return false;
  const std::string key = "declaration: ";
  size_t at = head.find("content=\"" + key);
  if (at != std::string::npos) {
    size_t start = at + 9 + key.size();
    size_t end = head.find('"', start);
    if (end != std::string::npos) {
      std::string_view list(head.data() + start, end - start);
      size_t comma = list.rfind(", ");
      std::string_view last = comma == std::string_view::npos ? list : list.substr(comma + 2);
      size_t colon = last.rfind(": ");
      if (colon != std::string_view::npos) return KindIsInterfaceLike(last.substr(0, colon));
    }
  }
  if (!ReadFilePrefix(path, kClassDeclarationBytes, &head)) return false;
  for (const char* label : {"class=\"typeNameLabel\"", "class=\"type-name-label\"",
                            "class=\"strong\""}) {
    size_t label_at = head.find(label);
    if (label_at == std::string::npos) continue;
    size_t pre = FindNoCase(std::string_view(head).substr(0, label_at), "<pre");
    size_t from = label_at > 300 ? label_at - 300 : 0;
    // The last <pre> before the label starts the declaration.
    for (size_t p = pre; p != std::string::npos && p < label_at;
         p = FindNoCase(head, "<pre", p + 1))
      from = p;
    std::string words = HtmlFragmentText(std::string_view(head).substr(from, label_at - from));
    return words.find("@interface") != std::string::npos ||
           words.find("interface") != std::string::npos;
  }
  return false;
}

// Types of a 7-10 frame list: links except the package heading; interfaces in italics
// (7) or in an interfaceName span (8-10).
bool ReadFrameList(const JavadocTree& tree, const std::string& folder, ContentsVisitor& visitor) {
  Page page;
  if (!page.Open(tree.folder + folder + "package-frame.html")) return false;
  HtmlReader reader(page.text());
  HtmlTag tag;
  std::set<std::string> seen;
  while (reader.NextStartTag("a", &tag)) {
    std::string href;
    if (!tag.Attribute("href", &href)) continue;
    std::string_view content = ElementContent(reader, tag, "a");
    if (href.find("package-summary.html") != std::string::npos ||
        href.find("://") != std::string::npos || href.find('#') != std::string::npos)
      continue;
    std::string local;
    if (!ResolveTreeLink(folder, href, &local) || !seen.insert(local).second) continue;
    bool marked = FindNoCase(content, "<i>") != std::string_view::npos ||
                  FindNoCase(content, "interfaceName") != std::string_view::npos ||
                  FindNoCase(content, "interface-name") != std::string_view::npos;
    visitor.Type(TypeName(content, tree.pageCodePage), local, marked);
  }
  return true;
}

// Types of a package summary: the first link of each first-column cell.
void ReadSummaryTypes(const JavadocTree& tree, const std::string& folder, const Page& page,
                      bool kindsFromPages, ContentsVisitor& visitor) {
  HtmlReader reader(page.text());
  HtmlTag tag;
  std::set<std::string> seen;
  while (reader.NextTag(&tag)) {
    if (tag.closing || !(tag.Is("td") || tag.Is("th") || tag.Is("div"))) continue;
    std::string cls, scope;
    if (!tag.Attribute("class", &cls)) continue;
    if (cls.find("colFirst") == std::string::npos && cls.find("col-first") == std::string::npos)
      continue;
    if (cls.find("table-header") != std::string::npos ||
        (tag.Attribute("scope", &scope) && scope == "col"))
      continue;
    std::string cellName(tag.name);
    for (char& c : cellName) c = AsciiLower(c);
    HtmlTag inner;
    while (reader.NextTag(&inner)) {
      if (inner.closing && inner.Is(cellName)) break;
      std::string href;
      if (inner.closing || !inner.Is("a") || !inner.Attribute("href", &href)) continue;
      std::string_view content = ElementContent(reader, inner, "a");
      if (href.find("package-summary.html") != std::string::npos ||
          href.find('#') != std::string::npos || href.find("://") != std::string::npos)
        break;
      std::string local;
      if (ResolveTreeLink(folder, href, &local) && seen.insert(local).second) {
        bool interfaceLike = false;
        // Links percent-encode what is not ASCII; the file has the plain name.
        if (kindsFromPages)
          interfaceLike = ClassPageIsInterfaceLike(tree.folder + PercentDecode(local));
        visitor.Type(TypeName(content, tree.pageCodePage), local, interfaceLike);
      }
      break;
    }
  }
}

// One package: its entry, then its types. A package whose summary is missing is told
// and left out.
void WalkPackage(const JavadocTree& tree, const ListedPackage& package, ContentsVisitor& visitor) {
  std::string path = PackagePath(package.name);
  std::string folder;
  // Modules of 11+ hold their packages (and have their summary inside); those of 9-10
  // do not.
  if (!package.module.empty() &&
      (FileExists(tree.folder + package.module + "/" + path + "package-summary.html") ||
       FileExists(tree.folder + package.module + "/module-summary.html")))
    folder = package.module + "/" + path;
  else
    folder = path;
  std::string summary = folder + "package-summary.html";
  Page page;
  if (!page.Open(tree.folder + summary)) {
    visitor.Missing(summary);
    return;
  }
  visitor.BeginGroup(package.name.empty() ? kUnnamedPackageEntry : package.name, summary, false);
  bool frames = tree.generation == JavadocGeneration::kFramesLower ||
                tree.generation == JavadocGeneration::kIframes;
  if (!frames || !ReadFrameList(tree, folder, visitor))
    ReadSummaryTypes(tree, folder, page, true, visitor);
  visitor.EndGroup();
}

std::string ModuleSummary(const JavadocTree& tree, const std::string& module) {
  for (const std::string& page : {module + "/module-summary.html", module + "-summary.html"})
    if (FileExists(tree.folder + page)) return page;
  return std::string();
}

}  // namespace

bool WalkJavadocContents(const JavadocTree& tree, ContentsVisitor& visitor) {
  std::vector<ListedPackage> packages;
  if (!ReadListFile(tree.folder, &packages)) ReadOverviewFrame(tree, &packages);

  bool inModule = false;
  for (const ListedPackage& package : packages) {
    if (visitor.Cancelled()) return false;
    if (package.StartsModule()) {
      if (inModule) visitor.EndGroup();
      std::string summary = ModuleSummary(tree, package.module);
      if (summary.empty()) visitor.Missing(package.module + "/module-summary.html");
      visitor.BeginGroup(package.module, summary, true);
      inModule = true;
      continue;
    }
    WalkPackage(tree, package, visitor);
  }
  if (inModule) visitor.EndGroup();
  // Types the all-classes page lists belong in the contents even when the list file
  // has lost their package; the report names such packages.
  for (const std::string& folder : UnlistedPackageFolders(tree)) {
    if (visitor.Cancelled()) return false;
    std::string name = folder.substr(0, folder.size() - 1);
    for (char& c : name)
      if (c == '/') c = '.';
    WalkPackage(tree, {std::string(), name}, visitor);
  }
  return true;
}

}  // namespace qb
