// A file's way into section 1. Each file the walk hands over is read once, treated
// when the project asks for viewer-safe pages, its links handed back to the walk, and
// its bytes moved to the indexer thread (pages and the sitemaps a window names). Large
// files are queued for the compressor at once; smaller ones wait for their place in the
// similarity order and are read a second time from the system's file cache, so that the
// pages waiting for their place cost a signature each, not their bytes. A feeder thread
// hands the queued bytes to the compressor (and does that second read), so that this
// thread walks on while they are compressed.
#include <algorithm>
#include <memory>
#include <string>

#include "hha/core/compilation.h"
#include "hha/core/link_collector.h"
#include "hha/core/page_treatment.h"
#include "support/ascii.h"

namespace hha::compile {
namespace {

// Pieces fed to the compressor, so that a stop is seen inside a large page too.
constexpr size_t kFeedPiece = 64 * 1024;
// Files of four reset intervals or more go into section 1 as soon as they are read: most
// of their intervals hold only themselves, so their place hardly matters, while the
// ordered pass would read them whole a second time. On Javadoc this limit costs 0.15%
// of the .chm against ordering every file and saves 5 MB of peak memory; 64 KiB saved
// no more memory and lost another 0.1%.
constexpr size_t kOrderedBelow = 256 * 1024;
// Bytes of a large file the feeder may still hold once this thread has followed its
// links and goes on: they are the only bytes the queue keeps alive that would otherwise
// be gone (a file the feeder reads again costs nothing until it is read, a treated page
// and the system files are held until then anyway). Leaving the whole backlog of them
// raised java.base's peak from 21.2-22.2 to 24.0-24.9 MiB; 512 KiB is about what the
// compressor alone took ahead of this thread.
constexpr size_t kLargeFileLeft = 512 * 1024;

}  // namespace

bool Compilation::Append(const std::string& name, const uint8_t* data, size_t n,
                         std::shared_ptr<const void> keep, const std::string& status) {
  return QueuePieces(data, 0, n, keep, status) && EndAppend(name, n, status);
}

bool Compilation::QueuePieces(const uint8_t* data, size_t from, size_t to,
                              const std::shared_ptr<const void>& keep,
                              const std::string& status) {
  for (size_t at = from; at < to; at += kFeedPiece) {
    const size_t piece = std::min(kFeedPiece, to - at);
    if (!QueueForFeeder(piece, status, [this, at = data + at, piece, keep] {
          if (!abandoned_ && !contentFailed_) compressor_->Write(at, piece);
        }))
      return false;
  }
  return true;
}

bool Compilation::EndAppend(const std::string& name, size_t n, const std::string& status) {
  itsf_->AddSection1(name, fedBytes_, n);
  fedBytes_ += n;
  return Progress(status);
}

bool Compilation::AppendFile(const Included& f, const std::string& status) {
  // Read on the feeder's thread into one buffer: the files queued cost no memory, so
  // the feeder may run far behind this thread. Captured by value: includedFiles_ grows
  // while the task waits.
  if (!QueueForFeeder(f.size, status, [this, native = resolver_.NativePath(f.actual),
                                       actual = f.actual, size = f.size] {
        if (abandoned_ || contentFailed_ || vanished_) return;
        if (!platform::ReadFile(native, feedBuffer_) || feedBuffer_.size() != size) {
          vanishedFile_ = actual;
          vanished_ = true;
          return;
        }
        compressor_->Write(feedBuffer_.data(), feedBuffer_.size());
      }))
    return false;
  itsf_->AddSection1("/" + f.internalName, fedBytes_, f.size);
  fedBytes_ += f.size;
  return Progress(status);
}

bool Compilation::QueueForFeeder(size_t weight, const std::string& status,
                                 std::function<void()> task) {
  if (!Progress(status) || !FeederOk()) return false;
  feeder_->Post(std::move(task), weight);
  return true;
}

bool Compilation::FeederOk() {
  if (vanished_) {
    Message("Error: \"" + vanishedFile_ + "\" changed or vanished during the build.");
    return false;
  }
  return !contentFailed_ || ContentFailed();
}

bool Compilation::DrainFeeder() {
  feeder_->Drain();
  return FeederOk();
}

bool Compilation::ContentFailed() {
  if (!contentFailureTold_.exchange(true)) Message("Error: cannot write " + content_.path() + ".");
  return false;
}

bool Compilation::Treat(const std::string& actual, const platform::FileBytes& data,
                        const std::shared_ptr<std::string>& treated, size_t* queued) {
  const std::string folder = actual.substr(0, actual.find_last_of('/') + 1);
  const std::string status = "Compiling " + actual;
  *queued = 0;
  // Only whole pieces go before the end, so that the pieces are Append's.
  return TreatPageForViewer(
      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), folder,
      stylesheetName_, treated.get(), kFeedPiece, [&](size_t settled) {
        if (settled < kOrderedBelow) return true;
        const size_t whole = settled / kFeedPiece * kFeedPiece;
        if (whole <= *queued) return true;
        const bool ok = QueuePieces(reinterpret_cast<const uint8_t*>(treated->data()), *queued,
                                    whole, treated, status);
        *queued = whole;
        return ok;
      });
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

bool Compilation::AddViewerStylesheet() {
  if (stats_->treatedPages == 0) return true;
  if (!Append("/" + stylesheetName_, reinterpret_cast<const uint8_t*>(kViewerStylesheet.data()),
              kViewerStylesheet.size(), nullptr, "Compressing " + stylesheetName_))
    return false;
  Message("Made " + WithThousands(stats_->treatedPages) +
          (stats_->treatedPages == 1 ? " page" : " pages") + " safe for the HTML Help viewer.");
  return true;
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
  uint64_t onDisk = 0;
  const uint64_t room = limits_.sectionBytes - std::min(stats_->inputBytes, limits_.sectionBytes);
  if (platform::FileSize(native, &onDisk) && onDisk > room) {
    Message("Error: \"" + actual + "\" is " + WithThousands(onDisk) + " bytes" +
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
  // What goes in, and what holds it.
  std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  std::shared_ptr<const void> keep;
  std::shared_ptr<const std::string> treatedCopy;
  size_t queued = 0;  // bytes of it already with the feeder
  if (treated) {
    auto copy = std::make_shared<std::string>();
    if (!Treat(actual, data, copy, &queued)) return false;
    platform::FileBytes().swap(data);
    treatedCopy = copy;
    keep = copy;
    text = *copy;
    ++stats_->treatedPages;
  } else {
    auto held = std::make_shared<const platform::FileBytes>(std::move(data));
    keep = held;
    text = std::string_view(reinterpret_cast<const char*>(held->data()), held->size());
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  // Stored under the first reference's spelling, as Microsoft's compiler stores it (the
  // .hhc says AppleWin-team.html, the disk applewin-team.html).
  const std::string internalName =
      platform::AnsiToUtf8(qb::AsciiLowerCopy(p.path) == qb::AsciiLowerCopy(actual) ? p.path : actual, codePage_);
  search::SearchFiles* search = search_.get();
  // A sitemap is a topic only when a window names it.
  if (p.kind == Kind::kSitemap && windowSitemaps_.count(qb::AsciiLowerCopy(p.path)))
    indexer_->Post([search, internalName, keep, text] { search->AddSitemap(internalName, text); });
  const uint64_t size = text.size();
  stats_->inputBytes += size;
  (p.kind == Kind::kHtml ? stats_->pages : stats_->otherFiles)++;
  // A page goes to the indexer before the rest of its bytes go to the compressor, so
  // that a large page (Java SE's 20 MB index-all.html) is indexed while it is
  // compressed rather than after, with the compressor's workers idle. Topics still
  // follow the order the files are found in.
  if (size < kOrderedBelow) {
    order_.Add(bytes, size);
    includedFiles_.push_back({actual, internalName, size, treatedCopy});
  }
  if (p.kind == Kind::kHtml)
    indexer_->Post([search, internalName, keep, text] { search->AddPage(internalName, text); },
                   size);
  auto followLinks = [&] { return p.kind == Kind::kPlain || FollowLinks(p, actual, text); };
  if (size < kOrderedBelow)
    return followLinks() && Progress("Compiling " + actual) && CompressSettled(false);
  // A large file's links are followed once it is with the compressor: Java SE's 20 MB
  // index-all.html has 300,000 of them, and following them first kept both of the
  // compressor's workers idle for as long.
  const std::string status = "Compiling " + actual;
  if (!QueuePieces(bytes, queued, size, keep, status) ||
      !EndAppend("/" + internalName, size, status) || !followLinks())
    return false;
  feeder_->AwaitBacklog(kLargeFileLeft);
  return true;
}

bool Compilation::CompressSettled(bool all) {
  std::vector<size_t> settled;
  order_.Take(all, &settled);
  for (size_t i : settled) {
    Included& f = includedFiles_[i];
    const std::shared_ptr<const std::string> treated = std::move(f.treated);
    if (!(treated ? Append("/" + f.internalName,
                           reinterpret_cast<const uint8_t*>(treated->data()), treated->size(),
                           treated, "Compressing " + f.actual)
                  : AppendFile(f, "Compressing " + f.actual)))
      return false;
  }
  return true;
}

}  // namespace hha::compile
