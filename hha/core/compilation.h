// The compilation's shared state and its stages, one file each:
//   compile_walk.cpp     the project walk: which files go in, in which order, and the
//                        links each page, stylesheet and sitemap leads to;
//   compile_pages.cpp    a file's way in: read, treated, indexed, ordered, compressed;
//   compile_topics.cpp   the topics the sitemaps add and the keywords' topic numbers;
//   compile_system.cpp   the system files (#SYSTEM, #WINDOWS, #STRINGS, search, keywords);
//   compiler.cpp         the driver that runs them and writes the container.
// Internal to the compiler; compiler.h is the library's interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hha/core/background_queue.h"
#include "hha/core/compiler.h"
#include "hha/core/file_resolver.h"
#include "hha/core/itsf_writer.h"
#include "hha/core/lzx/section_compressor.h"
#include "hha/core/lzx/similarity_order.h"
#include "hha/core/platform_fs.h"
#include "hha/core/project_reader.h"
#include "hha/core/search/search_files.h"
#include "hha/core/sitemap_reader.h"
#include "hha/core/system_files.h"

namespace hha::compile {

// "a\\b" -> "a/b": project and sitemap paths as the help file stores them.
std::string Slashes(std::string s);
// A project-relative path in the platform's own separators.
std::string NativeSeparators(std::string s);
// The limits tests set, else `defaults`.
CompileLimits TestLimitsOr(const CompileLimits& defaults);

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
        limits_(TestLimitsOr(CompileLimits())) {}
  // A feeder task still running sees it and writes no more.
  ~Compilation() { abandoned_ = true; }

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
  // The walk (compile_walk.cpp).
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
  // Queues the links of a page, stylesheet or sitemap (`actual` its name on disk); false
  // when the project is refused (a sitemap nested too deep).
  bool FollowLinks(const Pending& p, const std::string& actual, std::string_view text);
  // The pages (compile_pages.cpp).
  bool Include(const Pending& p);
  // Queues n bytes at `data` (which `keep` holds alive) for section 1 under `name`, in
  // order, for the feeder to hand to the compressor; waits (with progress) while the
  // feeder is too far behind.
  bool Append(const std::string& name, const uint8_t* data, size_t n,
              std::shared_ptr<const void> keep, const std::string& status);
  // Queues bytes [from, to) of a file that Append or EndAppend then names, in the pieces
  // Append cuts.
  bool QueuePieces(const uint8_t* data, size_t from, size_t to,
                   const std::shared_ptr<const void>& keep, const std::string& status);
  // Names the n bytes queued last as `name` in section 1.
  bool EndAppend(const std::string& name, size_t n, const std::string& status);
  struct Included;
  // The same for a file the feeder reads from disk (again: see Included).
  bool AppendFile(const Included& f, const std::string& status);
  // Posts `task` to the feeder once it is at most its backlog behind (`weight` the bytes
  // the task writes); false on a stop or a failure. Gives one status, as many on any
  // thread count, so that a stop comes at the same point.
  bool QueueForFeeder(size_t weight, const std::string& status, std::function<void()> task);
  // Waits for the feeder, so that the compressor has every byte.
  bool DrainFeeder();
  // False, once told, when the feeder failed: section 1 could not be written, or a file
  // changed before the feeder read it again.
  bool FeederOk();
  // Says that section 1 could not be written (once); false.
  bool ContentFailed();
  // A page's treated copy. Once it is sure to be a large file (kOrderedBelow), its
  // treated bytes are queued for the compressor as they come (*queued of them, in
  // Append's pieces). False on a stop or a failure.
  bool Treat(const std::string& actual, const platform::FileBytes& data,
             const std::shared_ptr<std::string>& treated, size_t* queued);
  void ChooseStylesheetName();
  bool AddViewerStylesheet();
  // Compresses the smaller files whose place in the order is settled (all with `all`).
  bool CompressSettled(bool all);
  // The system files (compile_system.cpp), in two steps: on this thread, once the walk
  // is done, what warns (#WINDOWS, #IVB); then on the indexer, after the last page, the
  // sitemaps' topics and the search, topic and keyword files, while this thread feeds
  // the last pages to the compressor.
  void PrepareSystemFiles();
  bool AddSystemFiles();
  // #IVB from [ALIAS] and [MAP], its URLs into #STRINGS right after the windows'.
  std::vector<uint8_t> BuildContextIds(StringPool& pool);
  // The topics (compile_topics.cpp).
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
  // Whether the help file holds a file the sitemaps name, by its resolved path: the Java
  // SE index names its 4,400 files 150,000 times over (with fragments, and once each for
  // topics, missing topics and keywords), and each lookup folds and searches the path.
  std::unordered_map<std::string, bool> sitemapFiles_;
  // The driver (compiler.cpp).
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
    // A treated page's treated copy, kept until it is compressed: treating it again
    // cost more than the few MB the waiting pages hold (their peak is not the
    // compile's).
    std::shared_ptr<const std::string> treated;
  };
  std::vector<Included> includedFiles_;  // in the order they were found
  lzx::SimilarityOrder order_;
  platform::ScratchFile content_;          // the compressed section 1, until it is written
  std::atomic<bool> contentFailed_{false}, contentFailureTold_{false};
  std::unique_ptr<lzx::SectionCompressor> compressor_;
  // Hands section 1's bytes to the compressor on a thread of its own, so that this
  // thread reads, treats and walks the next files while the last ones are compressed:
  // the compressor takes only a few intervals ahead, which its workers finish while
  // this thread treats one large page. After compressor_, so that it goes first.
  std::atomic<bool> abandoned_{false};
  std::atomic<bool> vanished_{false};  // vanishedFile_ is set before
  std::string vanishedFile_;
  platform::FileBytes feedBuffer_;     // the feeder's
  std::unique_ptr<BackgroundQueue> feeder_;
  uint64_t fedBytes_ = 0;  // queued for the feeder: the next file's offset in section 1
  std::unique_ptr<ItsfWriter> itsf_;
  std::unique_ptr<search::SearchFiles> search_;
  std::string contentsName_, indexName_;   // internal names without "/"
  // What PrepareSystemFiles leaves for AddSystemFiles; the indexer's tasks write
  // keywordLinks and keywordFiles (until keywordsTask_ has run), then searchFiles and the
  // pool, and read the rest, until they are drained.
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
  uint64_t keywordsTask_ = 0;
  // $FIftiMain, built on a thread of its own beside the keywords (with more than one
  // core): before the last pages are compressed, rather than after, with one core idle.
  // Before indexer_, so that it is waited for before anything it uses goes.
  std::future<void> fullTextBuild_;
  // Indexes the pages (and then builds the search files) in the order they are found,
  // beside this thread's reading and link walking. Last: destroyed first, so no task
  // outlives what it uses.
  std::unique_ptr<BackgroundQueue> indexer_;
};

}  // namespace hha::compile
