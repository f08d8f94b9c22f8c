// A file's way into section 1. Each file the walk hands over is read once, treated
// when the project asks for viewer-safe pages, its links handed back to the walk, and
// its bytes moved to the indexer thread (pages and the sitemaps a window names). Large
// files go to the compressor at once; smaller ones wait for their place in the
// similarity order and are read a second time from the system's file cache, so that the
// pages waiting for their place cost a signature each, not their bytes.
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

}  // namespace

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
  if (treated) {
    Treat(actual, data);
    ++stats_->treatedPages;
  }
  // Stored under the first reference's spelling, as Microsoft's compiler stores it (the
  // .hhc says AppleWin-team.html, the disk applewin-team.html).
  const std::string internalName =
      platform::AnsiToUtf8(qb::AsciiLowerCopy(p.path) == qb::AsciiLowerCopy(actual) ? p.path : actual, codePage_);
  search::SearchFiles* search = search_.get();
  // A sitemap is a topic only when a window names it.
  if (p.kind == Kind::kSitemap && windowSitemaps_.count(qb::AsciiLowerCopy(p.path)))
    indexer_->Post([search, internalName, text = std::string(data.begin(), data.end())] {
      search->AddSitemap(internalName, text);
    });
  stats_->inputBytes += data.size();
  (p.kind == Kind::kHtml ? stats_->pages : stats_->otherFiles)++;
  const uint64_t size = data.size();
  // A page goes to the indexer before its bytes go to the compressor, so that a large
  // page (Java SE's 20 MB index-all.html) is indexed while it is compressed rather than
  // after, with the compressor's workers idle. Topics still follow the order the files
  // are found in.
  std::shared_ptr<const platform::FileBytes> bytes =
      std::make_shared<const platform::FileBytes>(std::move(data));
  if (size < kOrderedBelow) {
    order_.Add(bytes->data(), size);
    includedFiles_.push_back({actual, internalName, size, treated ? bytes : nullptr});
  }
  if (p.kind == Kind::kHtml)
    indexer_->Post([search, internalName, bytes] {
      search->AddPage(internalName, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }, size);
  auto followLinks = [&] {
    return p.kind == Kind::kPlain ||
           FollowLinks(p, actual, std::string_view(reinterpret_cast<const char*>(bytes->data()), size));
  };
  if (size < kOrderedBelow)
    return followLinks() && Progress("Compiling " + actual) && CompressSettled(false);
  // A large file's links are followed once it is with the compressor: Java SE's 20 MB
  // index-all.html has 300,000 of them, and following them first kept both of the
  // compressor's workers idle for as long.
  const uint64_t offset = compressor_->UncompressedLength();
  if (!Feed(*bytes, "Compiling " + actual)) return false;
  itsf_->AddSection1("/" + internalName, offset, size);
  return followLinks();
}

bool Compilation::CompressSettled(bool all) {
  std::vector<size_t> settled;
  order_.Take(all, &settled);
  platform::FileBytes read;
  for (size_t i : settled) {
    Included& f = includedFiles_[i];
    const std::shared_ptr<const platform::FileBytes> treated = std::move(f.treated);
    if (!treated && (!platform::ReadFile(resolver_.NativePath(f.actual), read) || read.size() != f.size)) {
      Message("Error: \"" + f.actual + "\" changed or vanished during the build.");
      return false;
    }
    const platform::FileBytes& data = treated ? *treated : read;
    const uint64_t offset = compressor_->UncompressedLength();
    if (!Feed(data, "Compressing " + f.actual)) return false;
    itsf_->AddSection1("/" + f.internalName, offset, data.size());
  }
  return true;
}

}  // namespace hha::compile
