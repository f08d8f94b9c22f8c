// #TOPICS, #URLTBL, #URLSTR and #IDXHDR writers.
//
// Deliberately different from chmcmd: #URLTBL carries the Microsoft compiler's URL hash
// and is sorted by it (chmcmd writes 0), and #IDXHDR is filled from the contents file's
// site properties instead of fixed values.
#include "hha/core/topics.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "hha/core/byte_writer.h"
#include "hha/core/search/code_page.h"
#include "support/ascii.h"

namespace hha {
namespace {

constexpr size_t kBlock = 4096;
constexpr size_t kTopicSize = 16, kUrlTableSize = 12;
// #TOPICS offsets and flags.
constexpr size_t kTopicTocOffset = 0x0, kTopicTitle = 0x4, kTopicUrl = 0x8, kTopicFlags = 0xC;
// Flags: an HTML page (full-text indexed; Microsoft's compiler sets it on the sitemaps
// too), a topic with a contents entry.
constexpr uint32_t kFlagPage = 2, kFlagInContents = 4;
constexpr uint32_t kNoTitle = 0xFFFFFFFF, kNone = 0xFFFFFFFF;
// #IDXHDR offsets.
constexpr size_t kHdrSize = 4096;
constexpr size_t kHdrMagic = 0x00, kHdrStamp = 0x04, kHdrOne = 0x08, kHdrTopics = 0x0C,
                 kHdrImageList = 0x14, kHdrImageFolder = 0x1C, kHdrBackground = 0x20,
                 kHdrForeground = 0x24, kHdrFont = 0x28, kHdrWindowStyles = 0x2C,
                 kHdrExWindowStyles = 0x30, kHdrUnknown34 = 0x34, kHdrFrameName = 0x38,
                 kHdrWindowName = 0x3C, kHdrInfoTypes = 0x40, kHdrUnknown44 = 0x44,
                 kHdrMergeFiles = 0x48;

// The value of attribute `name` inside one tag's text, "" when absent.
std::string Attribute(const std::string& tag, const std::string& name) {
  const std::string lower = qb::AsciiLowerCopy(tag);
  for (size_t at = lower.find(name); at != std::string::npos; at = lower.find(name, at + 1)) {
    if (at > 0 && std::isalnum(static_cast<unsigned char>(lower[at - 1]))) continue;
    size_t i = at + name.size();
    while (i < tag.size() && qb::IsHtmlSpace(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && qb::IsHtmlSpace(tag[i])) ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
      const size_t end = tag.find(tag[i], i + 1);
      return tag.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    }
    size_t end = i;
    while (end < tag.size() && !qb::IsHtmlSpace(tag[end]) && tag[end] != '>') ++end;
    return tag.substr(i, end - i);
  }
  return "";
}

uint32_t Number(const std::string& s) {
  uint32_t v = 0;
  ParseNumber(s, &v);
  return v;
}

}  // namespace

void TopicTable::SetInContents(uint32_t topic, uint32_t contentsOffset) {
  if (topic >= topics_.size()) return;
  // A topic in the contents several times takes its first entry in the binary order.
  Topic& t = topics_[topic];
  if (!t.inContents || contentsOffset < t.contentsOffset) t.contentsOffset = contentsOffset;
  t.inContents = true;
}

void TopicTable::SetTitleIfEmpty(uint32_t topic, const std::string& title) {
  if (topic >= topics_.size() || title.empty()) return;
  Topic& t = topics_[topic];
  if (!t.page || (t.hasTitle && !t.title.empty())) return;
  t.title = title;
  t.hasTitle = true;
}

uint32_t TopicTable::Add(const std::string& local, const std::string& title, bool hasTitle, bool page) {
  topics_.push_back({local, title, hasTitle, page});
  byName_.emplace(qb::AsciiLowerCopy(local), static_cast<uint32_t>(topics_.size() - 1));
  return static_cast<uint32_t>(topics_.size() - 1);
}

int64_t TopicTable::Find(const std::string& local) const {
  auto it = byName_.find(qb::AsciiLowerCopy(local));
  return it == byName_.end() ? -1 : int64_t{it->second};
}

uint32_t TopicTable::UrlHash(const std::string& url) {
  uint32_t h = 0;
  for (char raw : url) {
    const signed char c = raw == '\\' ? '/' : static_cast<signed char>(raw);
    h *= 43;
    const int v = c == '/' ? 0x2C : c <= 'Z' ? c - 0x30 : c - 0x50;
    h += static_cast<uint32_t>(v);
  }
  return h == 0 ? 1 : h;
}

TopicTable::Files TopicTable::Build(StringPool& pool, uint32_t codePage) const {
  Files f;
  search::Encoder encoder(codePage);
  std::vector<std::string> urls(topics_.size());
  for (size_t i = 0; i < topics_.size(); ++i)
    if (codePage == search::kUtf8 || !search::FromUtf8(topics_[i].local, encoder, &urls[i])) urls[i] = topics_[i].local;
  // #URLSTR in topic order.
  ByteWriter urlStrings;
  urlStrings.U8(0);
  std::vector<uint32_t> urlOffsets;
  for (size_t i = 0; i < topics_.size(); ++i) {
    const std::string& url = urls[i];
    const size_t record = 8 + url.size() + 1;
    if (urlStrings.size() / kBlock != (urlStrings.size() + record - 1) / kBlock && record <= kBlock)
      urlStrings.Zeros(kBlock - urlStrings.size() % kBlock);
    urlOffsets.push_back(static_cast<uint32_t>(urlStrings.size()));
    urlStrings.U32(0);  // external URL
    urlStrings.U32(0);  // frame name
    urlStrings.CString(url);
  }

  // #URLTBL sorted by hash; 341 records fill a block, 4 bytes of padding end it.
  std::vector<std::pair<uint32_t, uint32_t>> order;  // hash, topic
  for (uint32_t i = 0; i < topics_.size(); ++i) order.emplace_back(UrlHash(urls[i]), i);
  std::stable_sort(order.begin(), order.end());
  ByteWriter urlTable;
  std::vector<uint32_t> tableOffsets(topics_.size());
  for (const auto& [hash, topic] : order) {
    if (kBlock - urlTable.size() % kBlock < kUrlTableSize) urlTable.Zeros(kBlock - urlTable.size() % kBlock);
    tableOffsets[topic] = static_cast<uint32_t>(urlTable.size());
    urlTable.U32(hash);
    urlTable.U32(topic);
    urlTable.U32(urlOffsets[topic]);
  }

  ByteWriter topicsFile;
  for (uint32_t i = 0; i < topics_.size(); ++i) {
    const Topic& t = topics_[i];
    const size_t base = topicsFile.size();
    topicsFile.Zeros(kTopicSize);
    topicsFile.PatchU32(base + kTopicTocOffset, t.contentsOffset);
    topicsFile.PatchU32(base + kTopicTitle, t.hasTitle ? pool.Add(t.title) : kNoTitle);
    topicsFile.PatchU32(base + kTopicUrl, tableOffsets[i]);
    topicsFile.PatchU16(base + kTopicFlags, (t.page ? kFlagPage : 0) | (t.inContents ? kFlagInContents : 0));
  }
  f.topics = std::move(topicsFile.bytes());
  f.urlTable = std::move(urlTable.bytes());
  f.urlStrings = std::move(urlStrings.bytes());
  return f;
}

SiteProperties ReadSiteProperties(const std::string& sitemap) {
  SiteProperties site;
  const std::string lower = qb::AsciiLowerCopy(sitemap);
  size_t at = 0;
  for (;;) {
    at = lower.find("<object", at);
    if (at == std::string::npos) return site;
    const size_t close = lower.find('>', at);
    if (close == std::string::npos) return site;
    if (qb::AsciiLowerCopy(Attribute(sitemap.substr(at, close - at), "type")) == "text/site properties") {
      at = close;
      break;
    }
    at = close;
  }
  const size_t end = std::min(lower.find("</object", at), sitemap.size());
  for (size_t p = lower.find("<param", at); p < end; p = lower.find("<param", p + 1)) {
    const size_t close = std::min(lower.find('>', p), end);
    const std::string tag = sitemap.substr(p, close - p);
    const std::string name = qb::AsciiLowerCopy(Attribute(tag, "name")), value = Attribute(tag, "value");
    if (name == "imagelist") site.imageList = value;
    else if (name == "imagetype") site.imageTypeFolder = qb::AsciiLowerCopy(value) == "folder";
    else if (name == "background") site.background = Number(value);
    else if (name == "foreground") site.foreground = Number(value);
    else if (name == "font") site.font = value;
    else if (name == "window styles") site.windowStyles = Number(value);
    else if (name == "exwindow styles") site.exWindowStyles = Number(value);
    else if (name == "framename") site.frameName = value;
    else if (name == "windowname") site.windowName = value;
  }
  return site;
}

std::vector<uint8_t> BuildIndexHeader(const SiteProperties& site, uint32_t topicCount,
                                      StringPool& pool) {
  ByteWriter w;
  w.Zeros(kHdrSize);
  std::copy_n("T#SM", 4, w.bytes().begin() + kHdrMagic);
  w.PatchU32(kHdrStamp, 0);
  w.PatchU32(kHdrOne, 1);
  w.PatchU32(kHdrTopics, topicCount);
  // Microsoft's compiler writes -1, not 0, for what the contents file does not give.
  auto text = [&](const std::string& s) { return s.empty() ? kNone : pool.Add(s); };
  w.PatchU32(kHdrImageList, text(site.imageList));
  w.PatchU32(kHdrImageFolder, site.imageTypeFolder ? 1 : 0);
  w.PatchU32(kHdrBackground, site.background);
  w.PatchU32(kHdrForeground, site.foreground);
  w.PatchU32(kHdrFont, text(site.font));
  w.PatchU32(kHdrWindowStyles, site.windowStyles);
  w.PatchU32(kHdrExWindowStyles, site.exWindowStyles);
  w.PatchU32(kHdrUnknown34, kNone);
  w.PatchU32(kHdrFrameName, text(site.frameName));
  w.PatchU32(kHdrWindowName, text(site.windowName));
  w.PatchU32(kHdrInfoTypes, 0);
  w.PatchU32(kHdrUnknown44, 1);
  w.PatchU32(kHdrMergeFiles, 0);  // merged help files are not supported
  return std::move(w.bytes());
}

}  // namespace hha
