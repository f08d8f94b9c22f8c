// Compiler driver: project -> walk -> pages (indexed, ordered, compressed) -> system
// files -> ITSF container. The stages run on four kinds of thread: this one (walk, page
// reading and treatment, link following, file lookups), the indexer (full-text index,
// topics, then the search and keyword files), the feeder (section 1's bytes into the
// compressor, in order) and the compressor's workers (LZX, one 64 KiB interval each);
// compilation.h lists the files that hold them.
#include "hha/core/compiler.h"

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hha/core/compilation.h"

namespace hha {
namespace compile {
namespace {

// Bytes of pages read but not yet indexed. While the first few hundred files are read
// for the similarity order, the compressor has nothing to do and this thread reads
// faster than the indexer: with 512 KiB it waited ~0.2 s for the indexer on java.base,
// with 4 MiB 0.08 s (the last pages). With the feeder this thread runs ahead of the
// compressor and fills the backlog: 4 MiB of waiting pages raised java.base's peak to
// 22.3-24.2 MiB, 2 MiB kept it at 22.6-22.9 (main 21.2-22.3) for ~0.15 s of waits
// that the feeder's backlog covers.
constexpr size_t kIndexBacklog = 2048 * 1024;
// Bytes queued for the compressor beyond the few intervals it takes itself: enough for
// its two workers to go on while this thread treats and walks a large page (Java SE
// has twenty of 256 KiB to 20 MB). With 1 MiB this thread was alone as long as without
// the feeder (Java SE, load ~10: 0.86 s against 0.42 s with 4 MiB).
constexpr size_t kFeedBacklog = 4096 * 1024;

const CompileLimits* g_testLimits = nullptr;

}  // namespace

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

CompileLimits TestLimitsOr(const CompileLimits& defaults) {
  return g_testLimits ? *g_testLimits : defaults;
}

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
  // Called on the feeder's thread: the failure is told on this one.
  compressor_ = std::make_unique<lzx::SectionCompressor>(
      [this](const uint8_t* p, size_t n) {
        if (content_.Write(p, n)) return true;
        contentFailed_ = true;
        return false;
      },
      threads_, fast_);
  feeder_ = std::make_unique<BackgroundQueue>(
      threads_ == 0 ? std::thread::hardware_concurrency() > 1 : threads_ > 1, kFeedBacklog);
  if (!IncludeAll()) return false;
  PrepareSystemFiles();
  if (!CompressSettled(true) || !AddViewerStylesheet() || !AddSystemFiles() ||
      !DrainFeeder())
    return false;
  if (!Progress("Compressing", true) || !compressor_->Finish()) {
    if (contentFailed_) return ContentFailed();
    if (!stopped_) Message("Error: compression failed.");
    return false;
  }
  stats.compressorWaitMs = feeder_->CallerWaitMs();
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

}  // namespace compile

namespace {

std::string Seconds(uint64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", ms / 1000.0);
  return buf;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
  return WithThousands(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void SetCompileLimitsForTesting(const CompileLimits* limits) { compile::g_testLimits = limits; }

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
    compile::Compilation c(projectPath, callbacks, threads, settings);
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
