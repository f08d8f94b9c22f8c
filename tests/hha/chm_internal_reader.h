// Test readers of the internal files a viewer interprets: #SYSTEM records, the topic
// table, the binary index and the full-text index, decoded from a help file's internal
// files (as ReadWithChmlib returns them) so that ours and Microsoft's compare field by
// field.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace hha::test {

using InternalFiles = std::map<std::string, std::string>;  // name without "/" → bytes

// Little-endian fields of a byte string; 0 beyond its end.
uint32_t Le16(const std::string& d, size_t at);
uint32_t Le32(const std::string& d, size_t at);

// #SYSTEM: (code, bytes) in file order.
std::vector<std::pair<uint16_t, std::string>> SystemRecords(const InternalFiles& files);

struct TopicView {
  std::string url;
  std::string title;  // "" when the topic has none
  bool hasTitle = false;
  uint16_t flags = 0;
  uint32_t contentsOffset = 0;
};
std::vector<TopicView> Topics(const InternalFiles& files);

struct KeywordView {
  std::u16string text;
  uint16_t depth = 0;
  uint32_t lastPart = 0;
  std::vector<std::string> topicUrls;  // the topics' URLs, in stored order
  std::u16string seeAlso;              // of a see-also entry
};
struct BinaryIndexView {
  bool present = false;
  uint16_t depth = 0;
  uint32_t blocks = 0;
  std::vector<KeywordView> keywords;  // listing blocks in order
  std::vector<uint16_t> freeBytes;    // of each listing block
};
BinaryIndexView BinaryIndex(const InternalFiles& files);

// (topic URL, word, title flag) of every entry of $FIftiMain; `ok` false when the file is
// missing or cannot be walked.
using WordPair = std::tuple<std::string, std::string, bool>;
std::set<WordPair> FullTextPairs(const InternalFiles& files, bool* ok);

}  // namespace hha::test
