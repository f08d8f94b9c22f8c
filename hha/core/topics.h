// The topic table and what points into it: /#TOPICS (one record per topic: title and
// URL), /#URLTBL and /#URLSTR (the URLs), and /#IDXHDR (the contents file's site
// properties). Search results and the binary index name topics by their number here.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "hha/core/system_files.h"

namespace hha {

class TopicTable {
 public:
  // Adds a topic and returns its number. `local` is the internal name without the
  // leading "/" (as stored in the directory), `title` is in the project's code page;
  // `hasTitle` false for files without one (the sitemaps). `page` is false for topics
  // that are not compiled HTML files (a page's fragment, a text file in the contents).
  uint32_t Add(const std::string& local, const std::string& title, bool hasTitle, bool page = true);
  // The topic has a contents entry, at this offset of the contents' binary form.
  void SetInContents(uint32_t topic, uint32_t contentsOffset);
  // A page whose own title is missing or empty takes its first contents entry's name.
  void SetTitleIfEmpty(uint32_t topic, const std::string& title);
  uint32_t size() const { return static_cast<uint32_t>(topics_.size()); }
  // The number of the topic with this internal name (letter case ignored), -1 if none.
  int64_t Find(const std::string& local) const;

  struct Files {
    std::vector<uint8_t> topics, urlTable, urlStrings;
  };
  // Builds the three files; titles go into `pool` (#STRINGS). No #URLTBL or #URLSTR
  // record crosses a 4096-byte block. The URLs are stored and hashed in `codePage`, the
  // project's, as the viewer looks them up (the directory holds UTF-8).
  Files Build(StringPool& pool, uint32_t codePage) const;

  // The hash the Microsoft compiler sorts #URLTBL by.
  static uint32_t UrlHash(const std::string& url);

 private:
  struct Topic {
    std::string local, title;
    bool hasTitle;
    bool page;
    bool inContents = false;
    uint32_t contentsOffset = 0;
  };
  std::vector<Topic> topics_;
  std::unordered_map<std::string, uint32_t> byName_;  // ASCII-folded name → first topic
};

// The <OBJECT type="text/site properties"> values of a contents file that #IDXHDR holds.
struct SiteProperties {
  std::string imageList, font, frameName, windowName;
  bool imageTypeFolder = false;
  uint32_t background = 0xFFFFFFFF, foreground = 0xFFFFFFFF;  // -1 = not given
  uint32_t windowStyles = 0xFFFFFFFF, exWindowStyles = 0xFFFFFFFF;  // -1 = not given
};
SiteProperties ReadSiteProperties(const std::string& sitemap);

// /#IDXHDR, exactly 4096 bytes. `topicCount` counts every #TOPICS record.
std::vector<uint8_t> BuildIndexHeader(const SiteProperties& site, uint32_t topicCount,
                                      StringPool& pool);

}  // namespace hha
