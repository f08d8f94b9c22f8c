// The system files at the end of section 1 and in section 0: #WINDOWS, #IVB, the keyword
// index, the search files and the topic table, #STRINGS, #SYSTEM. Built in two steps: what
// warns on the driver's thread once the walk is done, the rest (the sitemaps' topics,
// keywords, search index, topic table) on the indexer thread after the last page, while
// the driver's thread feeds the last pages to the compressor.
#include <future>
#include <set>
#include <string>
#include <thread>

#include "hha/core/compilation.h"
#include "hha/core/context_ids.h"
#include "hha/core/keyword_index.h"
#include "hha/core/link_collector.h"
#include "hha/core/topics.h"
#include "support/ascii.h"

namespace hha::compile {
namespace {

constexpr const char* kVersion = "quillbinder HHA 1.1";

}  // namespace

std::vector<uint8_t> Compilation::BuildContextIds(StringPool& pool) {
  if (project_.aliasLines.empty() && project_.mapLines.empty()) return {};
  std::vector<Warning> warnings;
  auto readInclude = [&](const std::string& name, std::string* text) {
    std::vector<uint8_t> bytes;
    const std::string native = NativeSeparators(name);
    if (!platform::ReadFile(platform::IsAbsolute(native) ? native : folder_ + native, bytes)) return false;
    text->assign(bytes.begin(), bytes.end());
    return true;
  };
  const ContextIds ids = ReadContextIds(project_, projectName_, readInclude, warnings);
  for (const Warning& w : warnings) Warn(w.file, w.line, w.text);
  std::set<std::string> defined;
  for (const ContextId& id : ids.ids) defined.insert(id.name);
  for (const ContextAlias& a : ids.aliases) {
    std::string path, resolved, actual;
    const bool found = LocalLinkPath(a.target, &path) && ResolveRelative("", Slashes(path), &resolved) &&
                       resolver_.Find(resolved, &actual) && included_.count(qb::AsciiLowerCopy(actual));
    if (!found) Warn(a.file, a.line, "the alias " + a.name + " names \"" + a.target + "\", which is not in the help file");
    if (!defined.count(a.name)) Warn(a.file, a.line, "the alias " + a.name + " has no number in [MAP]");
  }
  return BuildContextIdFile(ids, pool);
}

void Compilation::PrepareSystemFiles() {
  auto internal = [&](const std::string& given) {
    std::string resolved, actual;
    if (given.empty() || !ResolveRelative("", Slashes(given), &resolved)) return Slashes(given);
    return resolver_.Find(resolved, &actual) ? actual : resolved;
  };
  contentsName_ = internal(project_.contentsFile);
  indexName_ = internal(project_.indexFile);
  SystemParts& s = system_;
  s.defaultTopic = project_.defaultTopic.empty() && !project_.files.empty()
                       ? project_.files.front().path
                       : project_.defaultTopic;
  s.defaultTopic = Slashes(s.defaultTopic);

  // As Microsoft's compiler does, a project without [WINDOWS] gets no window: #SYSTEM
  // names its contents and index files.
  s.windows = project_.windows;
  s.defaultWindow = project_.defaultWindow;
  for (WindowDef& w : s.windows) {
    for (int f : {kWinToc, kWinIndex, kWinDefaultFile, kWinHome})
      w.fields[f] = Slashes(w.fields[f]);
    if (w.fields[kWinToc].empty()) w.fields[kWinToc] = contentsName_;
    if (w.fields[kWinIndex].empty()) w.fields[kWinIndex] = indexName_;
    if (w.fields[kWinDefaultFile].empty()) w.fields[kWinDefaultFile] = s.defaultTopic;
    uint32_t navStyle = 0;
    if (project_.fullTextSearch && ParseNumber(w.fields[kWinNavStyle], &navStyle))
      w.fields[kWinNavStyle] = std::to_string(navStyle | 0x400);  // the Search tab
  }

  s.windowsFile = BuildWindowsFile(s.windows, project_.compatibility10, s.pool);
  s.contextIds = BuildContextIds(s.pool);
  // The rest runs on the indexer, after the last page's topic and while this thread
  // feeds the last pages to the compressor: on the Java SE API the keywords alone took
  // 1.1 s, with both cores but this one idle. It looks files up (the sitemaps' Locals),
  // so this thread makes no lookup of its own until the indexer is drained. The keyword
  // files come first, so that they are compressed while the search files are built.
  // The sitemaps are read there too: reading Java SE's 11 MB index here kept the
  // compressor's workers idle, with the last pages still waiting for their place.
  keywordsTask_ = indexer_->Post([this] {
    SystemParts& s = system_;
    search::SearchFiles* search = search_.get();
    const bool cores = threads_ == 0 ? std::thread::hardware_concurrency() > 1 : threads_ > 1;
    fullTextBuild_ = std::async(cores ? std::launch::async : std::launch::deferred,
                                [search] { search->BuildFullText(); });
    // Only sitemaps that went in: one outside the project gives nothing away. The walk
    // is over, so included_ no longer changes.
    auto readSitemap = [&](const std::string& name, std::string* text) {
      if (!name.empty() && included_.count(qb::AsciiLowerCopy(name)) &&
          InsideProject(resolver_.NativePath(name)))
        platform::ReadFile(resolver_.NativePath(name), *text);
    };
    readSitemap(contentsName_, &s.contents);
    std::string index;
    readSitemap(indexName_, &index);
    {
      const std::vector<SitemapEntry> tocEntries = ReadSitemap(s.contents);
      AddSitemapTopics(tocEntries, ContentsOffsets(tocEntries));
    }
    // Each piece goes as soon as what comes next has no more use for it, and the index
    // file is read into entries once: on the Java SE API the file is 11 MB and its
    // entries 36 MB, which the search files, built last, no longer meet.
    std::vector<SitemapEntry> indexEntries = ReadSitemap(index);
    std::string().swap(index);
    AddSitemapTopics(indexEntries, {});
    AddMissingIndexTopics(indexEntries);
    // Binary Index=No leaves out only #SYSTEM code 7: Microsoft's compiler writes the
    // keywords all the same, and the viewer's Index tab reads them.
    std::vector<Keyword> keywords =
        ReadKeywords(std::move(indexEntries), project_.lcid, codePage_,
                     [&](const std::string& local) { return TopicOfLocal(local); });
    s.keywordLinks = !keywords.empty();
    s.keywordFiles = BuildKeywordIndex(keywords, project_.lcid, codePage_);
  });
  indexer_->Post([this] {
    fullTextBuild_.get();
    system_.searchFiles = search_->Finish(system_.pool, system_.contents);
  });
}

bool Compilation::AddSystemFiles() {
  SystemParts& s = system_;
  if (!s.defaultWindow.empty()) {
    bool found = false;
    for (const WindowDef& w : s.windows) found |= qb::AsciiLowerCopy(w.name) == qb::AsciiLowerCopy(s.defaultWindow);
    if (!found)
      Warn(projectName_, 0, "the default window \"" + s.defaultWindow + "\" is not defined in [WINDOWS]");
  }
  const std::string status =
      project_.fullTextSearch ? "Building the search index" : "Building the topic table";
  if (!Progress(status, true)) return false;
  // Section 1 ends with the system files in the order Microsoft's compiler writes them.
  auto write = [&](const std::string& name, std::vector<uint8_t> file) {
    auto held = std::make_shared<const std::vector<uint8_t>>(std::move(file));
    return Append(name, held->data(), held->size(), held, status);
  };
  if (!s.windows.empty() && !write("/#WINDOWS", std::move(s.windowsFile))) return false;
  if (!s.contextIds.empty() && !write("/#IVB", std::move(s.contextIds))) return false;
  indexer_->Await(keywordsTask_);
  for (auto& [name, file] : s.keywordFiles)
    if (!write(name, std::move(file))) return false;
  s.keywordFiles.clear();
  if (!write("/$WWAssociativeLinks/Property", std::vector<uint8_t>(4, 0))) return false;
  indexer_->Drain();
  std::string().swap(s.contents);
  search::SearchFiles::Output& searchFiles = s.searchFiles;
  for (auto& [name, file] : searchFiles.files)
    if (!write(name, std::move(file))) return false;
  searchFiles.files.clear();
  if (!write("/#STRINGS", s.pool.bytes())) return false;

  SystemInfo info;
  info.lcid = project_.lcid;
  // As Microsoft's compiler does, the sitemaps the project's default window names are
  // not named again (readers take them from #WINDOWS).
  const WindowDef* named = nullptr;
  for (const WindowDef& w : project_.windows)
    if (!project_.defaultWindow.empty() && qb::AsciiLowerCopy(w.name) == qb::AsciiLowerCopy(project_.defaultWindow)) named = &w;
  info.contentsFile = named && !named->fields[kWinToc].empty() ? "" : contentsName_;
  info.indexFile = named && !named->fields[kWinIndex].empty() ? "" : indexName_;
  info.defaultTopic = s.defaultTopic;
  info.title = project_.title;
  info.defaultWindow = s.defaultWindow;
  info.defaultFont = project_.defaultFont;
  info.compilerVersion = kVersion;
  info.fileTime = platform::FileTimeNow();
  std::string stem = platform::BaseName(OutputPath());
  if (size_t dot = stem.find_last_of('.'); dot != std::string::npos) stem.erase(dot);
  info.compiledStem = qb::AsciiLowerCopy(stem);
  info.fullTextSearch = searchFiles.fullText;
  info.indexHeader = std::move(searchFiles.indexHeader);
  info.keywordLinks = s.keywordLinks;
  if (!indexName_.empty() && project_.binaryIndex) info.indexHash = TopicTable::UrlHash(project_.indexFileAsWritten);
  itsf_->AddSection0("/#SYSTEM", BuildSystemFile(info));
  itsf_->AddSection0("/#ITBITS", {});
  return true;
}

}  // namespace hha::compile
