// Compiler driver: project → file set → section 1 (LZX) + system files → ITSF container.
//
// Which files go in follows Microsoft's compiler: the contents and index files, [FILES],
// the default topic and every window's files, then, transitively, the Local values of
// the sitemaps and the local links of every HTML and CSS file, inside the project folder.
// Unlike it, every missing file is reported once (with the first file and line that
// names it) and the build goes on, and a file whose real path (symbolic links and
// junctions resolved) lies outside the project folder is left out like a ".." path.
//
// When the project asks for viewer-safe pages, each HTML page is read, treated in memory
// and compiled (compressed, indexed, its links followed) as its treated copy; the one
// override stylesheet the copies link to is added at the end.
#include "hha/core/compiler.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include "hha/core/background_queue.h"
#include "hha/core/context_ids.h"
#include "hha/core/file_resolver.h"
#include "hha/core/itsf_writer.h"
#include "hha/core/keyword_index.h"
#include "hha/core/link_collector.h"
#include "hha/core/lzx/section_compressor.h"
#include "hha/core/lzx/similarity_order.h"
#include "hha/core/page_treatment.h"
#include "hha/core/platform_fs.h"
#include "hha/core/project_reader.h"
#include "hha/core/search/search_files.h"
#include "hha/core/sitemap_reader.h"
#include "hha/core/system_files.h"
#include "hha/core/topics.h"
#include "support/ascii.h"

namespace hha {
namespace {

constexpr const char* kVersion = "quillbinder HHA 1.1";
// Pieces fed to the compressor, so that a stop is seen inside a large page too.
constexpr size_t kFeedPiece = 64 * 1024;
// Files of four reset intervals or more go into section 1 as soon as they are read: most
// of their intervals hold only themselves, so their place hardly matters, while the
// ordered pass would read them whole a second time. On Javadoc this limit costs 0.15%
// of the .chm against ordering every file and saves 5 MB of peak memory; 64 KiB saved
// no more memory and lost another 0.1%.
constexpr size_t kOrderedBelow = 256 * 1024;
// Bytes of pages read but not yet indexed. While the first few hundred files are read
// for the similarity order, the compressor has nothing to do and this thread reads
// faster than the indexer: with 512 KiB it waited ~0.2 s for the indexer on java.base,
// with 4 MiB 0.08 s (the last pages). The peak comes at the end, when the backlog is
// empty: it did not rise.
constexpr size_t kIndexBacklog = 4096 * 1024;

std::string Extension(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return qb::AsciiLowerCopy(name.substr(dot));
}

std::string Slashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string NativeSeparators(std::string s) {
  for (char& c : s)
    if (c == '\\' || c == '/') c = platform::kSeparator;
  return s;
}

const CompileLimits* g_testLimits = nullptr;

enum class Kind { kPlain, kHtml, kCss, kSitemap };

struct Pending {
  std::string path;    // relative, "/" separated, normalized
  std::string origin;  // file that names it, for warnings
  int line = 0;
  Kind kind = Kind::kPlain;  // kSitemap is decided by the role, the rest by extension
  uint32_t depth = 0;        // links followed from a file the project names
};

class Compilation {
 public:
  Compilation(const std::string& projectPath, const CompileCallbacks& cb, unsigned threads,
              const CompileSettings& settings)
      : projectPath_(projectPath),
        cb_(cb),
        threads_(threads),
        fast_(settings.fast),
        treatPages_(settings.viewerSafePages),
        folder_(platform::DirName(projectPath)),
        projectName_(platform::BaseName(projectPath)),
        resolver_(folder_),
        limits_(g_testLimits ? *g_testLimits : CompileLimits()) {}

  bool Run(CompileStats& stats) {
    const bool ok = Steps(stats);
    stats.stopped = stopped_;
    return ok;
  }

 private:
  bool Steps(CompileStats& stats);
  void Message(const std::string& text) {
    if (cb_.message) cb_.message(text + "\r\n");
  }
  void Warn(const std::string& file, int line, const std::string& text) {
    ++stats_->warnings;
    Message("Warning: " + file + (line > 0 ? ", line " + std::to_string(line) : "") + ": " +
            text);
  }
  // False once the caller asked to stop (sticky).
  bool Progress(const std::string& text, bool force = false) {
    if (stopped_) return false;
    uint64_t now = platform::MonotonicMs();
    if (!force && now - lastProgress_ < cb_.progressIntervalMs) return true;
    lastProgress_ = now;
    if (cb_.progress && !cb_.progress(text)) stopped_ = true;
    return !stopped_;
  }
  enum Tier : int;
  void Enqueue(const std::string& link, const std::string& baseFolder,
               const std::string& origin, int line, Kind kind, bool isLink, Tier tier,
               uint32_t depth);
  // Records why the project is refused (the first reason wins); IncludeAll stops on it.
  void Refuse(const std::string& file, int line, const std::string& text) {
    if (refusal_.empty())
      refusal_ = file + (line > 0 ? ", line " + std::to_string(line) : "") + ": " + text +
                 "; the project is refused.";
  }
  bool InsideProject(const std::string& nativePath);
  bool IncludeAll();
  bool Include(const Pending& p);
  bool Feed(const platform::FileBytes& data, const std::string& status);
  // Replaces a page's bytes by its treated copy.
  void Treat(const std::string& actual, platform::FileBytes& data) const;
  void ChooseStylesheetName();
  void AddViewerStylesheet();
  // Compresses the smaller files whose place in the order is settled (all with `all`).
  bool CompressSettled(bool all);
  // The system files in two steps: what needs the file lookups and the topics of the
  // sitemaps on this thread, once the pages are all indexed; the rest (search index,
  // topic table, keyword index) then on the indexer, while the last pages are fed.
  void PrepareSystemFiles();
  void AddSystemFiles();
  // The topic number of a sitemap's Local, -1 when the help file does not hold it.
  int64_t TopicOfLocal(const std::string& local);
  // The topic URL of a sitemap's Local (its fragment kept); false when the help file
  // does not hold the file.
  bool SitemapTopicUrl(const std::string& local, std::string* url);
  // Every Local that is no compiled page (a page's fragment, a text file) becomes a topic
  // of its own, titled by its entry's name; contents entries (those with an offset)
  // mark their topics as in the contents and give an untitled page their name.
  void AddSitemapTopics(const std::vector<SitemapEntry>& entries,
                        const std::vector<uint32_t>& contentsOffsets);
  // As Microsoft's compiler does, an index entry whose Local is no file of the help file
  // (missing, or "javascript:;") still becomes a topic, after all others, so that its
  // keyword has one: URL the Local as written with "/", title the entry's name.
  void AddMissingIndexTopics(const std::vector<SitemapEntry>& entries);
  std::string MissingTopicUrl(const std::string& local) const;
  // #IVB from [ALIAS] and [MAP], its URLs into #STRINGS right after the windows'.
  std::vector<uint8_t> BuildContextIds(StringPool& pool);
  std::string OutputPath() const;

  const std::string projectPath_;
  const CompileCallbacks& cb_;
  unsigned threads_;
  bool fast_;
  bool treatPages_;
  std::string stylesheetName_;  // the override stylesheet's internal name, when treating
  std::string folder_, projectName_;
  FileResolver resolver_;
  const CompileLimits limits_;
  std::string realRoot_;  // the project folder's real path; "" when it has none
  std::string refusal_;
  Project project_;
  CompileStats* stats_ = nullptr;
  bool stopped_ = false;
  uint64_t lastProgress_ = 0;
  uint32_t codePage_ = 1252;

  // Files in the order Microsoft's compiler numbers their topics: what the project names,
  // then what the sitemaps name, then what pages link to.
  enum Tier : int { kNamedByProject, kNamedBySitemap, kLinked, kTiers };
  std::deque<Pending> queue_[kTiers];
  // Folded relative paths ever queued, with the tiers they were queued in: a page a
  // sitemap names is queued there even when a link queued it for later. Every link of
  // every page is looked up here.
  static constexpr uint8_t TierBit(int tier) { return static_cast<uint8_t>(1u << tier); }
  std::unordered_map<std::string, uint8_t> queued_;
  std::string linkPath_, resolvedPath_, folded_;  // Enqueue's, kept for their capacity
  size_t reachedNames_ = 0;  // distinct names across the tiers, for the file limit
  std::set<std::string> reportedMissing_;  // folded relative paths
  std::set<std::string> included_;         // folded actual paths
  std::set<std::string> windowSitemaps_;   // folded relative paths of sitemaps a window names
  // Smaller files go into section 1 in an order that puts similar pages into the same
  // reset interval (a 1.8% smaller .chm on Javadoc), each as soon as its place is
  // settled, a few hundred files later; their second read comes from the system's
  // file cache.
  struct Included {
    std::string actual, internalName;
    uint64_t size;  // of what goes in: the treated copy of a treated page
    bool treated;
  };
  std::vector<Included> includedFiles_;  // in the order they were found
  lzx::SimilarityOrder order_;
  platform::ScratchFile content_;          // the compressed section 1, until it is written
  bool contentFailed_ = false;
  std::unique_ptr<lzx::SectionCompressor> compressor_;
  std::unique_ptr<ItsfWriter> itsf_;
  std::unique_ptr<search::SearchFiles> search_;
  std::string contentsName_, indexName_;   // internal names without "/"
  // What PrepareSystemFiles leaves for AddSystemFiles; the indexer's task writes
  // searchFiles and keywordFiles and reads pool and contents until it is drained.
  struct SystemParts {
    std::vector<WindowDef> windows;
    std::string defaultWindow, defaultTopic;
    StringPool pool;
    std::vector<uint8_t> windowsFile, contextIds;
    std::string contents;  // the contents file's text
    bool keywordLinks = false;
    search::SearchFiles::Output searchFiles;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> keywordFiles;
  } system_;
  // Indexes the pages (and then builds the search files) in the order they are found,
  // beside this thread's reading and link walking. Last: destroyed first, so no task
  // outlives what it uses.
  std::unique_ptr<BackgroundQueue> indexer_;
};

std::string Compilation::OutputPath() const {
  std::string out = project_.compiledFile;
  if (out.empty()) {
    std::string stem = projectName_;
    size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos) stem.erase(dot);
    return folder_ + stem + ".chm";
  }
  out = NativeSeparators(out);
  return platform::IsAbsolute(out) ? out : folder_ + out;
}

void Compilation::Enqueue(const std::string& link, const std::string& baseFolder,
                          const std::string& origin, int line, Kind kind, bool isLink, Tier tier,
                          uint32_t depth) {
  std::string& path = linkPath_;
  std::string& resolved = resolvedPath_;
  if (!isLink) path = Slashes(link);
  else if (!LocalLinkPath(link, &path)) return;
  if (!ResolveRelative(baseFolder, path, &resolved)) {
    // Links that leave the project folder stay links (javadoc points to sibling docs);
    // a project entry that does is a mistake worth telling.
    if (!isLink) Warn(origin, line, "\"" + link + "\" is outside the project folder; left out");
    return;
  }
  // Only the first mention of a file matters (it is included, or reported missing, once),
  // and Javadoc pages repeat the same hundred links: queuing every mention held tens of
  // megabytes of pending links on a large tree.
  folded_.assign(resolved);
  for (char& c : folded_) c = qb::AsciiLower(c);
  uint8_t& tiers = queued_[folded_];
  const bool reachedBefore = (tiers & ~TierBit(tier)) != 0;
  if (tiers & TierBit(tier)) return;
  tiers |= TierBit(tier);
  if (kind == Kind::kPlain) {
    const std::string ext = Extension(resolved);
    if (ext == ".htm" || ext == ".html" || ext == ".xhtml" || ext == ".shtml") kind = Kind::kHtml;
    else if (ext == ".css") kind = Kind::kCss;
  }
  if (!reachedBefore && ++reachedNames_ > limits_.files)
    return Refuse(origin, line, "the project reaches more than " + WithThousands(limits_.files) +
                                    " files, more than a help file's directory may hold");
  if (depth > limits_.linkDepth)
    return Refuse(origin, line, "\"" + link + "\" is reached through more than " +
                                    WithThousands(limits_.linkDepth) +
                                    " links in a row from the project's files");
  queue_[tier].push_back({resolved, origin, line, kind, depth});
}

bool Compilation::InsideProject(const std::string& nativePath) {
  std::string real;
  return !realRoot_.empty() && platform::RealPath(nativePath, &real) &&
         platform::IsInside(real, realRoot_);
}

bool Compilation::Feed(const platform::FileBytes& data, const std::string& status) {
  for (size_t at = 0; at < data.size(); at += kFeedPiece) {
    if (!Progress(status)) return false;
    size_t n = std::min(kFeedPiece, data.size() - at);
    if (!compressor_->Write(data.data() + at, n)) return false;
  }
  return Progress(status);
}

void Compilation::Treat(const std::string& actual, platform::FileBytes& data) const {
  const std::string folder = actual.substr(0, actual.find_last_of('/') + 1);
  const std::string treated = TreatPageForViewer(
      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), folder,
      stylesheetName_);
  data.assign(treated.begin(), treated.end());
}

// The stylesheet takes a name that no file of the project folder has, so that it can
// neither replace a user's file nor be taken for one.
void Compilation::ChooseStylesheetName() {
  std::string base = kViewerStylesheetName, actual;
  base.erase(base.find_last_of('.'));
  stylesheetName_ = kViewerStylesheetName;
  for (int n = 2; resolver_.Find(stylesheetName_, &actual); ++n)
    stylesheetName_ = base + "-" + std::to_string(n) + ".css";
  // The treated pages link to it; it is no file to look for.
  queued_[qb::AsciiLowerCopy(stylesheetName_)] = TierBit(kTiers) - 1;
}

void Compilation::AddViewerStylesheet() {
  if (stats_->treatedPages == 0) return;
  const uint64_t offset = compressor_->UncompressedLength();
  compressor_->Write(reinterpret_cast<const uint8_t*>(kViewerStylesheet.data()),
                     kViewerStylesheet.size());
  itsf_->AddSection1("/" + stylesheetName_, offset, kViewerStylesheet.size());
  Message("Made " + WithThousands(stats_->treatedPages) +
          (stats_->treatedPages == 1 ? " page" : " pages") + " safe for the HTML Help viewer.");
}

bool Compilation::Include(const Pending& p) {
  std::string actual;
  if (!resolver_.Find(p.path, &actual)) {
    if (reportedMissing_.insert(qb::AsciiLowerCopy(p.path)).second)
      Warn(p.origin, p.line, "\"" + p.path + "\" does not exist; left out");
    return true;
  }
  if (!included_.insert(qb::AsciiLowerCopy(actual)).second) return true;
  const std::string native = resolver_.NativePath(actual);
  if (!InsideProject(native)) {
    Warn(p.origin, p.line, "\"" + p.path + "\" is outside the project folder; left out");
    return true;
  }
  // Checked before reading, so that a huge file costs nothing.
  uint64_t size = 0;
  const uint64_t room = limits_.sectionBytes - std::min(stats_->inputBytes, limits_.sectionBytes);
  if (platform::FileSize(native, &size) && size > room) {
    Message("Error: \"" + actual + "\" is " + WithThousands(size) + " bytes" +
            (stats_->inputBytes ? " and the files before it " + WithThousands(stats_->inputBytes)
                                : std::string()) +
            ", more than the " + WithThousands(limits_.sectionBytes) +
            " bytes a help file's section holds; the project is refused.");
    return false;
  }
  platform::FileBytes data;
  if (!platform::ReadFile(native, data)) {
    Warn(p.origin, p.line, "\"" + actual + "\" cannot be read; left out");
    return true;
  }
  if (project_.displayProgress) Message("  " + actual);
  const bool treated = treatPages_ && p.kind == Kind::kHtml;
  if (treated) {
    Treat(actual, data);
    ++stats_->treatedPages;
  }
  // Stored under the first reference's spelling, as Microsoft's compiler stores it (the
  // .hhc says AppleWin-team.html, the disk applewin-team.html).
  const std::string internalName =
      platform::AnsiToUtf8(qb::AsciiLowerCopy(p.path) == qb::AsciiLowerCopy(actual) ? p.path : actual, codePage_);
  if (data.size() >= kOrderedBelow) {
    const uint64_t offset = compressor_->UncompressedLength();
    if (!Feed(data, "Compiling " + actual)) return false;
    itsf_->AddSection1("/" + internalName, offset, data.size());
  } else {
    if (!Progress("Compiling " + actual)) return false;
    order_.Add(data.data(), data.size());
    includedFiles_.push_back({actual, internalName, data.size(), treated});
    if (!CompressSettled(false)) return false;
  }
  stats_->inputBytes += data.size();
  (p.kind == Kind::kHtml ? stats_->pages : stats_->otherFiles)++;
  search::SearchFiles* search = search_.get();
  // A sitemap is a topic only when a window names it.
  if (p.kind == Kind::kSitemap && windowSitemaps_.count(qb::AsciiLowerCopy(p.path)))
    indexer_->Post([search, internalName, text = std::string(data.begin(), data.end())] {
      search->AddSitemap(internalName, text);
    });

  if (p.kind == Kind::kPlain) return true;
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  if (p.kind == Kind::kSitemap) {
    const size_t depth = SitemapDepth(text);
    if (depth > limits_.sitemapDepth) {
      Message("Error: " + actual + ": its lists nest " + WithThousands(depth) +
              " levels deep, more than the " + WithThousands(limits_.sitemapDepth) +
              " a help file's readers are given; the project is refused.");
      return false;
    }
  }
  const LinkSource source = p.kind == Kind::kHtml  ? LinkSource::kHtml
                            : p.kind == Kind::kCss ? LinkSource::kCss
                                                   : LinkSource::kSitemap;
  // Sitemap Locals are relative to the help file's root, page links to the page.
  const std::string base = p.kind == Kind::kSitemap ? "" : platform::DirName("/" + actual).substr(1);
  // Links come in text order, so line numbers are counted once over the text.
  size_t counted = 0;
  int line = 1;
  // A large page has a hundred thousand links, nearly all seen before: each is queued
  // (or dropped) as it is found rather than listed first.
  VisitLinks(text, source, [&](const Link& link) {
    const size_t upTo = std::max(counted, std::min(link.offset, text.size()));
    line += static_cast<int>(std::count(text.begin() + counted, text.begin() + upTo, '\n'));
    counted = upTo;
    Enqueue(link.target, base, actual, line, Kind::kPlain, true,
            p.kind == Kind::kSitemap ? kNamedBySitemap : kLinked, p.depth + 1);
  });
  // Indexed after its links are walked, so the page's bytes move to the indexer uncopied;
  // topics still follow the order the files are found in.
  if (p.kind == Kind::kHtml) {
    const size_t size = data.size();
    auto index = [search, internalName, page = std::move(data)] {
      search->AddPage(internalName, std::string_view(reinterpret_cast<const char*>(page.data()), page.size()));
    };
    indexer_->Post(std::move(index), size);
  }
  return true;
}

bool Compilation::IncludeAll() {
  const std::string& hhp = projectName_;
  auto seed = [&](const std::string& path, int line, Kind kind, bool mayHaveFragment) {
    if (!path.empty()) Enqueue(path, "", hhp, line, kind, mayHaveFragment, kNamedByProject, 0);
  };
  // [FILES] first, then the sitemaps: topics are numbered in this order, as Microsoft's
  // compiler numbers them.
  std::set<std::string> listed;
  for (const ProjectFile& f : project_.files) {
    std::string resolved;
    if (ResolveRelative("", Slashes(f.path), &resolved) && !listed.insert(qb::AsciiLowerCopy(resolved)).second) {
      Warn(hhp, f.line, "\"" + f.path + "\" is listed twice");
      continue;
    }
    seed(f.path, f.line, Kind::kPlain, false);
  }
  seed(project_.contentsFile, project_.contentsFileLine, Kind::kSitemap, false);
  seed(project_.indexFile, project_.indexFileLine, Kind::kSitemap, false);
  seed(project_.defaultTopic, project_.defaultTopicLine, Kind::kPlain, true);
  for (const WindowDef& w : project_.windows) {
    for (int f : {kWinToc, kWinIndex}) {
      std::string resolved;
      if (ResolveRelative("", Slashes(w.fields[f]), &resolved)) windowSitemaps_.insert(qb::AsciiLowerCopy(resolved));
    }
  }
  for (const WindowDef& w : project_.windows) {
    seed(w.fields[kWinToc], w.line, Kind::kSitemap, false);
    seed(w.fields[kWinIndex], w.line, Kind::kSitemap, false);
    for (int f : {kWinDefaultFile, kWinHome, kWinJump1Url, kWinJump2Url})
      seed(w.fields[f], w.line, Kind::kPlain, true);
  }
  for (;;) {
    if (!refusal_.empty()) {
      Message("Error: " + refusal_);
      return false;
    }
    int tier = 0;
    while (tier < kTiers && queue_[tier].empty()) ++tier;
    if (tier == kTiers) return true;
    Pending p = std::move(queue_[tier].front());
    queue_[tier].pop_front();
    if (!Include(p)) return false;
  }
}

bool Compilation::CompressSettled(bool all) {
  std::vector<size_t> settled;
  order_.Take(all, &settled);
  platform::FileBytes data;
  for (size_t i : settled) {
    const Included& f = includedFiles_[i];
    const bool read = platform::ReadFile(resolver_.NativePath(f.actual), data);
    if (read && f.treated) Treat(f.actual, data);
    if (!read || data.size() != f.size) {
      Message("Error: \"" + f.actual + "\" changed or vanished during the build.");
      return false;
    }
    const uint64_t offset = compressor_->UncompressedLength();
    if (!Feed(data, "Compressing " + f.actual)) return false;
    itsf_->AddSection1("/" + f.internalName, offset, data.size());
  }
  return true;
}

bool Compilation::SitemapTopicUrl(const std::string& local, std::string* url) {
  std::string path, resolved, actual;
  if (!LocalLinkPath(local, &path) || !ResolveRelative("", Slashes(path), &resolved)) return false;
  if (!resolver_.Find(resolved, &actual) || !included_.count(qb::AsciiLowerCopy(actual))) return false;
  const size_t hash = local.find('#');
  *url = platform::AnsiToUtf8(resolved + (hash == std::string::npos ? "" : local.substr(hash)), codePage_);
  return true;
}

std::string Compilation::MissingTopicUrl(const std::string& local) const {
  return platform::AnsiToUtf8(Slashes(local), codePage_);
}

int64_t Compilation::TopicOfLocal(const std::string& local) {
  std::string url;
  if (SitemapTopicUrl(local, &url)) return search_->TopicOf(url);
  return local.empty() ? -1 : search_->TopicOf(MissingTopicUrl(local));
}

void Compilation::AddSitemapTopics(const std::vector<SitemapEntry>& entries,
                                   const std::vector<uint32_t>& contentsOffsets) {
  for (size_t i = 0; i < entries.size(); ++i) {
    for (const std::string& local : entries[i].locals) {
      std::string url;
      if (!SitemapTopicUrl(local, &url)) continue;
      const std::string name = entries[i].names.empty() ? "" : entries[i].names[0];
      int64_t topic = search_->TopicOf(url);
      if (topic < 0) topic = search_->AddOtherTopic(url, name);
      if (i < contentsOffsets.size()) {
        search_->SetInContents(static_cast<uint32_t>(topic), contentsOffsets[i]);
        search_->SetTitleIfEmpty(static_cast<uint32_t>(topic), name);
      }
    }
  }
}

void Compilation::AddMissingIndexTopics(const std::vector<SitemapEntry>& entries) {
  for (const SitemapEntry& e : entries) {
    for (const std::string& local : e.locals) {
      std::string url;
      if (local.empty() || SitemapTopicUrl(local, &url)) continue;
      url = MissingTopicUrl(local);
      if (search_->TopicOf(url) < 0) search_->AddOtherTopic(url, e.names.empty() ? "" : e.names[0]);
    }
  }
}

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
  std::vector<uint8_t> contents, index;
  // Only a contents file that went in: one outside the project gives nothing away.
  if (!contentsName_.empty() && included_.count(qb::AsciiLowerCopy(contentsName_)) &&
      InsideProject(resolver_.NativePath(contentsName_)))
    platform::ReadFile(resolver_.NativePath(contentsName_), contents);
  s.contents.assign(contents.begin(), contents.end());
  std::vector<uint8_t>().swap(contents);
  const std::vector<SitemapEntry> tocEntries = ReadSitemap(s.contents);
  AddSitemapTopics(tocEntries, ContentsOffsets(tocEntries));
  if (!indexName_.empty() && included_.count(qb::AsciiLowerCopy(indexName_)) &&
      InsideProject(resolver_.NativePath(indexName_)))
    platform::ReadFile(resolver_.NativePath(indexName_), index);
  const std::vector<SitemapEntry> indexEntries = ReadSitemap(std::string(index.begin(), index.end()));
  AddSitemapTopics(indexEntries, {});
  AddMissingIndexTopics(indexEntries);
  // Binary Index=No leaves out only #SYSTEM code 7: Microsoft's compiler writes the
  // keywords all the same, and the viewer's Index tab reads them.
  std::vector<Keyword> keywords;
  if (!index.empty()) {
    keywords = ReadKeywords(std::string(index.begin(), index.end()), project_.lcid, codePage_,
                            [&](const std::string& local) { return TopicOfLocal(local); });
  }
  s.keywordLinks = !keywords.empty();
  // What is left needs neither the file lookups nor the callbacks: it is built while
  // this thread feeds the last pages to the compressor.
  indexer_->Post([this, keywords = std::move(keywords)] {
    system_.searchFiles = search_->Finish(system_.pool, system_.contents);
    system_.keywordFiles = BuildKeywordIndex(keywords, project_.lcid, codePage_);
  });
}

void Compilation::AddSystemFiles() {
  SystemParts& s = system_;
  if (!s.defaultWindow.empty()) {
    bool found = false;
    for (const WindowDef& w : s.windows) found |= qb::AsciiLowerCopy(w.name) == qb::AsciiLowerCopy(s.defaultWindow);
    if (!found)
      Warn(projectName_, 0, "the default window \"" + s.defaultWindow + "\" is not defined in [WINDOWS]");
  }
  Progress(project_.fullTextSearch ? "Building the search index" : "Building the topic table", true);
  indexer_->Drain();
  std::string().swap(s.contents);
  search::SearchFiles::Output& searchFiles = s.searchFiles;
  // Section 1 ends with the system files in the order Microsoft's compiler writes them.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> systemFiles;
  if (!s.windows.empty()) systemFiles.emplace_back("/#WINDOWS", std::move(s.windowsFile));
  if (!s.contextIds.empty()) systemFiles.emplace_back("/#IVB", std::move(s.contextIds));
  for (auto& file : s.keywordFiles) systemFiles.push_back(std::move(file));
  s.keywordFiles.clear();
  systemFiles.emplace_back("/$WWAssociativeLinks/Property", std::vector<uint8_t>(4, 0));
  for (auto& file : searchFiles.files) systemFiles.push_back(std::move(file));
  searchFiles.files.clear();
  systemFiles.emplace_back("/#STRINGS", s.pool.bytes());
  for (auto& [name, file] : systemFiles) {
    const uint64_t offset = compressor_->UncompressedLength();
    compressor_->Write(file.data(), file.size());
    itsf_->AddSection1(name, offset, file.size());
    std::vector<uint8_t>().swap(file);
  }

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
}

bool Compilation::Steps(CompileStats& stats) {
  stats_ = &stats;
  const uint64_t start = platform::MonotonicMs();
  std::vector<uint8_t> text;
  if (!Progress("Reading " + projectName_, true)) return false;
  if (!platform::ReadFile(projectPath_, text)) {
    Message("Error: cannot read the project file " + projectPath_ + ".");
    return false;
  }
  std::vector<Warning> warnings;
  project_ = ReadProject(std::string(text.begin(), text.end()), projectName_, warnings);
  for (const Warning& w : warnings) Warn(w.file, w.line, w.text);
  codePage_ = AnsiCodePageOf(project_.lcid);
  resolver_.SetCodePage(codePage_);
  treatPages_ = treatPages_ || project_.viewerSafePages;
  if (treatPages_) ChooseStylesheetName();
  search_ = std::make_unique<search::SearchFiles>(project_.lcid, codePage_, project_.fullTextSearch);
  indexer_ = std::make_unique<BackgroundQueue>(
      threads_ == 0 ? std::thread::hardware_concurrency() > 1 : threads_ > 1, kIndexBacklog);
  if (!platform::RealPath(folder_, &realRoot_)) realRoot_.clear();
  const std::string output = OutputPath();
  stats.outputPath = output;
  Message("Compiling " + projectPath_ + " into " + output);

  itsf_ = std::make_unique<ItsfWriter>(project_.lcid);
  const std::string scratch = platform::TempNameBeside(output);
  if (!content_.Create(scratch)) {
    Message("Error: cannot create " + scratch + ".");
    return false;
  }
  compressor_ = std::make_unique<lzx::SectionCompressor>(
      [this](const uint8_t* p, size_t n) {
        if (content_.Write(p, n)) return true;
        if (!contentFailed_) Message("Error: cannot write " + content_.path() + ".");
        contentFailed_ = true;
        return false;
      },
      threads_, fast_);
  if (!IncludeAll()) return false;
  indexer_->Drain();
  PrepareSystemFiles();
  if (!CompressSettled(true)) return false;
  AddViewerStylesheet();
  AddSystemFiles();
  if (!Progress("Compressing", true) || !compressor_->Finish()) {
    if (!stopped_ && !contentFailed_) Message("Error: compression failed.");
    return false;
  }
  stats.compressorWaitMs = compressor_->CallerWaitMs();
  stats.compressorIdleMs = compressor_->WorkerIdleMs();
  stats.indexerWaitMs = indexer_->CallerWaitMs();
  stats.indexerIdleMs = indexer_->IdleMs();
  CompressedSection section;
  section.uncompressedLength = compressor_->UncompressedLength();
  section.compressedLength = content_.size();
  section.frameStarts = compressor_->FrameStarts();
  section.writeContent = [this](platform::OutputFile& out) { return content_.CopyTo(out); };
  itsf_->SetSection1(std::move(section));

  if (!Progress("Writing " + platform::BaseName(output), true)) return false;
  const std::string temp = platform::TempNameBeside(output);
  platform::OutputFile file;
  std::string error;
  if (!file.Create(temp)) {
    Message("Error: cannot create " + temp + ".");
    return false;
  }
  bool ok = itsf_->Write(file, &error);
  ok = file.Close() && ok;
  if (ok && !Progress("Writing " + platform::BaseName(output), true)) ok = false;
  if (ok && !platform::MoveIntoPlace(temp, output)) error = "cannot replace " + output;
  else if (ok) {
    stats.outputBytes = itsf_->writtenSize();
    stats.milliseconds = platform::MonotonicMs() - start;
    return true;
  }
  platform::RemoveFile(temp);
  if (!stopped_) Message("Error: " + (error.empty() ? "cannot write " + temp : error) + ".");
  return false;
}

std::string Seconds(uint64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", ms / 1000.0);
  return buf;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
  return WithThousands(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void SetCompileLimitsForTesting(const CompileLimits* limits) { g_testLimits = limits; }

std::string WithThousands(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

bool CompileProject(const std::string& projectPath, const CompileCallbacks& callbacks,
                    CompileStats* statsOut, unsigned threads, const CompileSettings& settings) {
  CompileStats stats;
  bool ok;
  {
    Compilation c(projectPath, callbacks, threads, settings);
    ok = c.Run(stats);
  }
  auto say = [&](const std::string& t) {
    if (callbacks.message) callbacks.message(t + "\r\n");
  };
  if (ok) {
    say("Compiled " + Plural(stats.pages, "page", "pages") + " and " +
        Plural(stats.otherFiles, "other file", "other files") + " in " +
        Seconds(stats.milliseconds) + " seconds" +
        (stats.warnings ? ", with " + Plural(stats.warnings, "warning", "warnings") : "") + ".");
    const bool smaller = stats.outputBytes <= stats.inputBytes;
    const uint64_t diff = smaller ? stats.inputBytes - stats.outputBytes
                                  : stats.outputBytes - stats.inputBytes;
    say("Created " + stats.outputPath + ", " + WithThousands(stats.outputBytes) + " bytes; " +
        (smaller ? "compression saved " : "the help file is larger than its sources by ") +
        WithThousands(diff) + " bytes.");
  }
  if (stats.stopped)
    say("Stopped. " + (stats.outputPath.empty() ? std::string("Nothing was written.")
                                                 : stats.outputPath + " was not changed."));
  if (statsOut) *statsOut = stats;
  return ok;
}

}  // namespace hha
