// Compiler driver: project → file set → section 1 (LZX) + system files → ITSF container.
//
// Which files go in follows Microsoft's compiler: the contents and index files, [FILES],
// the default topic and every window's files, then, transitively, the Local values of
// the sitemaps and the local links of every HTML and CSS file, inside the project folder.
// Unlike it, every missing file is reported once (with the first file and line that
// names it) and the build goes on.
//
// When the project asks for viewer-safe pages, each HTML page is read, treated in memory
// and compiled (compressed, indexed, its links followed) as its treated copy; the one
// override stylesheet the copies link to is added at the end.
#include "hha/core/compiler.h"

#include <cstdio>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "hha/core/file_resolver.h"
#include "hha/core/itsf_writer.h"
#include "hha/core/link_collector.h"
#include "hha/core/lzx/section_compressor.h"
#include "hha/core/lzx/similarity_order.h"
#include "hha/core/page_treatment.h"
#include "hha/core/platform_fs.h"
#include "hha/core/project_reader.h"
#include "hha/core/search/search_files.h"
#include "hha/core/system_files.h"

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

std::string Fold(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Extension(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Fold(name.substr(dot));
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

enum class Kind { kPlain, kHtml, kCss, kSitemap };

struct Pending {
  std::string path;    // relative, "/" separated, normalized
  std::string origin;  // file that names it, for warnings
  int line = 0;
  Kind kind = Kind::kPlain;  // kSitemap is decided by the role, the rest by extension
};

class Compilation {
 public:
  Compilation(const std::string& projectPath, const CompileCallbacks& cb, unsigned threads,
              bool viewerSafePages)
      : projectPath_(projectPath),
        cb_(cb),
        threads_(threads),
        treatPages_(viewerSafePages),
        folder_(platform::DirName(projectPath)),
        projectName_(platform::BaseName(projectPath)),
        resolver_(folder_) {}

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
  void Enqueue(const std::string& link, const std::string& baseFolder,
               const std::string& origin, int line, Kind kind, bool isLink);
  bool IncludeAll();
  bool Include(const Pending& p);
  bool Feed(const std::vector<uint8_t>& data, const std::string& status);
  // Replaces a page's bytes by its treated copy.
  void Treat(const std::string& actual, std::vector<uint8_t>& data) const;
  void ChooseStylesheetName();
  void AddViewerStylesheet();
  // Compresses the smaller files whose place in the order is settled (all with `all`).
  bool CompressSettled(bool all);
  void AddSystemFiles();
  std::string OutputPath() const;

  const std::string projectPath_;
  const CompileCallbacks& cb_;
  unsigned threads_;
  bool treatPages_;
  std::string stylesheetName_;  // the override stylesheet's internal name, when treating
  std::string folder_, projectName_;
  FileResolver resolver_;
  Project project_;
  CompileStats* stats_ = nullptr;
  bool stopped_ = false;
  uint64_t lastProgress_ = 0;
  uint32_t codePage_ = 1252;

  std::deque<Pending> queue_;
  std::set<std::string> queued_;           // folded relative paths ever queued
  std::set<std::string> reportedMissing_;  // folded relative paths
  std::set<std::string> included_;         // folded actual paths
  // Smaller files go into section 1 in an order that puts similar pages into the same
  // reset interval (a 1.8% smaller .chm on Javadoc), each as soon as its place is
  // settled, a few hundred files later; their second read comes from the system's
  // file cache.
  struct Included {
    std::string actual;
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
                          const std::string& origin, int line, Kind kind, bool isLink) {
  std::string path = Slashes(link), resolved;
  if (isLink && !LocalLinkPath(link, &path)) return;
  if (!ResolveRelative(baseFolder, path, &resolved)) {
    // Links that leave the project folder stay links (javadoc points to sibling docs);
    // a project entry that does is a mistake worth telling.
    if (!isLink) Warn(origin, line, "\"" + link + "\" is outside the project folder; left out");
    return;
  }
  if (kind == Kind::kPlain) {
    const std::string ext = Extension(resolved);
    if (ext == ".htm" || ext == ".html" || ext == ".xhtml" || ext == ".shtml") kind = Kind::kHtml;
    else if (ext == ".css") kind = Kind::kCss;
  }
  // Only the first mention of a file matters (it is included, or reported missing, once),
  // and Javadoc pages repeat the same hundred links: queuing every mention held tens of
  // megabytes of pending links on a large tree.
  if (!queued_.insert(Fold(resolved)).second) return;
  queue_.push_back({resolved, origin, line, kind});
}

bool Compilation::Feed(const std::vector<uint8_t>& data, const std::string& status) {
  for (size_t at = 0; at < data.size(); at += kFeedPiece) {
    if (!Progress(status)) return false;
    size_t n = std::min(kFeedPiece, data.size() - at);
    if (!compressor_->Write(data.data() + at, n)) return false;
  }
  return Progress(status);
}

void Compilation::Treat(const std::string& actual, std::vector<uint8_t>& data) const {
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
  queued_.insert(Fold(stylesheetName_));
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
    if (reportedMissing_.insert(Fold(p.path)).second)
      Warn(p.origin, p.line, "\"" + p.path + "\" does not exist; left out");
    return true;
  }
  if (!included_.insert(Fold(actual)).second) return true;
  std::vector<uint8_t> data;
  if (!platform::ReadFile(resolver_.NativePath(actual), data)) {
    Warn(p.origin, p.line, "\"" + actual + "\" cannot be read; left out");
    return true;
  }
  if (project_.displayProgress) Message("  " + actual);
  const bool treated = treatPages_ && p.kind == Kind::kHtml;
  if (treated) {
    Treat(actual, data);
    ++stats_->treatedPages;
  }
  const std::string internalName = platform::AnsiToUtf8(actual, codePage_);
  if (data.size() >= kOrderedBelow) {
    const uint64_t offset = compressor_->UncompressedLength();
    if (!Feed(data, "Compiling " + actual)) return false;
    itsf_->AddSection1("/" + internalName, offset, data.size());
  } else {
    if (!Progress("Compiling " + actual)) return false;
    order_.Add(data.data(), data.size());
    includedFiles_.push_back({actual, data.size(), treated});
    if (!CompressSettled(false)) return false;
  }
  if (p.kind == Kind::kHtml) search_->AddPage(internalName, data);
  else if (p.kind == Kind::kSitemap) search_->AddSitemap(internalName);
  stats_->inputBytes += data.size();
  (p.kind == Kind::kHtml ? stats_->pages : stats_->otherFiles)++;

  if (p.kind == Kind::kPlain) return true;
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
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
    for (; counted < link.offset && counted < text.size(); ++counted) line += text[counted] == '\n';
    Enqueue(link.target, base, actual, line, Kind::kPlain, true);
  });
  return true;
}

bool Compilation::IncludeAll() {
  const std::string& hhp = projectName_;
  auto seed = [&](const std::string& path, int line, Kind kind, bool mayHaveFragment) {
    if (!path.empty()) Enqueue(path, "", hhp, line, kind, mayHaveFragment);
  };
  seed(project_.contentsFile, project_.contentsFileLine, Kind::kSitemap, false);
  seed(project_.indexFile, project_.indexFileLine, Kind::kSitemap, false);
  std::set<std::string> listed;
  for (const ProjectFile& f : project_.files) {
    std::string resolved;
    if (ResolveRelative("", Slashes(f.path), &resolved) && !listed.insert(Fold(resolved)).second) {
      Warn(hhp, f.line, "\"" + f.path + "\" is listed twice");
      continue;
    }
    seed(f.path, f.line, Kind::kPlain, false);
  }
  seed(project_.defaultTopic, project_.defaultTopicLine, Kind::kPlain, true);
  for (const WindowDef& w : project_.windows) {
    seed(w.fields[kWinToc], w.line, Kind::kSitemap, false);
    seed(w.fields[kWinIndex], w.line, Kind::kSitemap, false);
    for (int f : {kWinDefaultFile, kWinHome, kWinJump1Url, kWinJump2Url})
      seed(w.fields[f], w.line, Kind::kPlain, true);
  }
  while (!queue_.empty()) {
    Pending p = std::move(queue_.front());
    queue_.pop_front();
    if (!Include(p)) return false;
  }
  return true;
}

bool Compilation::CompressSettled(bool all) {
  std::vector<size_t> settled;
  order_.Take(all, &settled);
  std::vector<uint8_t> data;
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
    itsf_->AddSection1("/" + platform::AnsiToUtf8(f.actual, codePage_), offset, data.size());
  }
  return true;
}

void Compilation::AddSystemFiles() {
  auto internal = [&](const std::string& given) {
    std::string resolved, actual;
    if (given.empty() || !ResolveRelative("", Slashes(given), &resolved)) return Slashes(given);
    return resolver_.Find(resolved, &actual) ? actual : resolved;
  };
  contentsName_ = internal(project_.contentsFile);
  indexName_ = internal(project_.indexFile);
  std::string defaultTopic = project_.defaultTopic.empty() && !project_.files.empty()
                                 ? project_.files.front().path
                                 : project_.defaultTopic;
  defaultTopic = Slashes(defaultTopic);

  // Wine shows an Index tab only through a window, so a project without one gets one.
  std::vector<WindowDef> windows = project_.windows;
  std::string defaultWindow = project_.defaultWindow;
  if (windows.empty()) {
    WindowDef w;
    w.name = defaultWindow.empty() ? "main" : defaultWindow;
    w.fields[kWinCaption] = project_.title;
    w.fields[kWinNavStyle] = "0x2520";  // tri-pane, auto-sync, search tab, title in caption
    w.fields[kWinButtons] = "0x10384E";  // hide, back, forward, home, locate, options, print, font
    windows.push_back(w);
    defaultWindow = w.name;
  }
  for (WindowDef& w : windows) {
    for (int f : {kWinToc, kWinIndex, kWinDefaultFile, kWinHome})
      w.fields[f] = Slashes(w.fields[f]);
    if (w.fields[kWinToc].empty()) w.fields[kWinToc] = contentsName_;
    if (w.fields[kWinIndex].empty()) w.fields[kWinIndex] = indexName_;
    if (w.fields[kWinDefaultFile].empty()) w.fields[kWinDefaultFile] = defaultTopic;
    uint32_t navStyle = 0;
    if (project_.fullTextSearch && ParseNumber(w.fields[kWinNavStyle], &navStyle))
      w.fields[kWinNavStyle] = std::to_string(navStyle | 0x400);  // the Search tab
  }
  if (!defaultWindow.empty()) {
    bool found = false;
    for (const WindowDef& w : windows) found |= Fold(w.name) == Fold(defaultWindow);
    if (!found)
      Warn(projectName_, 0, "the default window \"" + defaultWindow + "\" is not defined in [WINDOWS]");
  }

  StringPool pool;
  std::vector<uint8_t> windowsFile = BuildWindowsFile(windows, project_.compatibility10, pool);
  std::vector<uint8_t> contents;
  if (!contentsName_.empty()) platform::ReadFile(resolver_.NativePath(contentsName_), contents);
  Progress(project_.fullTextSearch ? "Building the search index" : "Building the topic table", true);
  search::SearchFiles::Output searchFiles =
      search_->Finish(pool, std::string(contents.begin(), contents.end()));
  searchFiles.files.emplace_back("/#WINDOWS", std::move(windowsFile));
  searchFiles.files.emplace_back("/#STRINGS", pool.bytes());
  for (auto& [name, file] : searchFiles.files) {
    const uint64_t offset = compressor_->UncompressedLength();
    compressor_->Write(file.data(), file.size());
    itsf_->AddSection1(name, offset, file.size());
    std::vector<uint8_t>().swap(file);
  }

  SystemInfo info;
  info.lcid = project_.lcid;
  info.contentsFile = contentsName_;
  info.indexFile = indexName_;
  info.defaultTopic = defaultTopic;
  info.title = project_.title;
  info.defaultWindow = defaultWindow;
  info.defaultFont = project_.defaultFont;
  info.compilerVersion = kVersion;
  info.fileTime = platform::FileTimeNow();
  std::string stem = platform::BaseName(OutputPath());
  if (size_t dot = stem.find_last_of('.'); dot != std::string::npos) stem.erase(dot);
  info.compiledStem = Fold(stem);
  info.fullTextSearch = searchFiles.fullText;
  info.indexHeader = std::move(searchFiles.indexHeader);
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
  treatPages_ = treatPages_ || project_.viewerSafePages;
  if (treatPages_) ChooseStylesheetName();
  search_ = std::make_unique<search::SearchFiles>(project_.lcid, codePage_, project_.fullTextSearch);
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
      threads_);
  if (!IncludeAll() || !CompressSettled(true)) return false;
  AddViewerStylesheet();
  AddSystemFiles();
  if (!Progress("Compressing", true) || !compressor_->Finish()) {
    if (!stopped_ && !contentFailed_) Message("Error: compression failed.");
    return false;
  }
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

std::string WithThousands(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

bool CompileProject(const std::string& projectPath, const CompileCallbacks& callbacks,
                    CompileStats* statsOut, unsigned threads, bool viewerSafePages) {
  CompileStats stats;
  bool ok;
  {
    Compilation c(projectPath, callbacks, threads, viewerSafePages);
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
