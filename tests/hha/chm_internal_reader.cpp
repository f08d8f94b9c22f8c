#include "tests/hha/chm_internal_reader.h"

namespace hha::test {
namespace {

const std::string& File(const InternalFiles& files, const std::string& name) {
  static const std::string kEmpty;
  auto it = files.find(name);
  return it == files.end() ? kEmpty : it->second;
}

uint32_t U8(const std::string& d, size_t at) { return at < d.size() ? static_cast<uint8_t>(d[at]) : 0; }
uint32_t U16(const std::string& d, size_t at) { return U8(d, at) | U8(d, at + 1) << 8; }
uint32_t U32(const std::string& d, size_t at) { return U16(d, at) | U16(d, at + 2) << 16; }
std::string CString(const std::string& d, size_t at) {
  if (at >= d.size()) return "";
  const size_t end = d.find('\0', at);
  return d.substr(at, end == std::string::npos ? std::string::npos : end - at);
}
std::u16string WString(const std::string& d, size_t* at) {
  std::u16string s;
  while (*at + 1 < d.size()) {
    const char16_t c = static_cast<char16_t>(U16(d, *at));
    *at += 2;
    if (!c) break;
    s += c;
  }
  return s;
}

std::vector<std::string> TopicUrls(const InternalFiles& files) {
  std::vector<std::string> urls;
  for (const TopicView& t : Topics(files)) urls.push_back(t.url);
  return urls;
}

class Bits {
 public:
  Bits(const std::string& d, size_t at) : d_(d), at_(at * 8) {}
  bool Bit() {
    const bool b = (U8(d_, at_ / 8) >> (7 - at_ % 8)) & 1;
    ++at_;
    return b;
  }
  uint64_t Get(int n) {
    uint64_t v = 0;
    for (int k = 0; k < n; ++k) v = v << 1 | Bit();
    return v;
  }
  uint64_t ScaleRoot(int root) {
    int p = 0;
    while (Bit() && p < 40) ++p;
    if (!p) return Get(root);
    return uint64_t{1} << (root + p - 1) | Get(root + p - 1);
  }
  void Align() { at_ = (at_ + 7) / 8 * 8; }

 private:
  const std::string& d_;
  size_t at_;
};

uint64_t EncIntLe(const std::string& d, size_t* at) {
  uint64_t v = 0;
  for (int shift = 0; *at < d.size() && shift < 64; shift += 7) {
    const uint32_t b = U8(d, (*at)++);
    v |= uint64_t{b & 0x7F} << shift;
    if (!(b & 0x80)) break;
  }
  return v;
}

}  // namespace

uint32_t Le16(const std::string& d, size_t at) { return U16(d, at); }
uint32_t Le32(const std::string& d, size_t at) { return U32(d, at); }

std::vector<std::pair<uint16_t, std::string>> SystemRecords(const InternalFiles& files) {
  const std::string& d = File(files, "#SYSTEM");
  std::vector<std::pair<uint16_t, std::string>> records;
  for (size_t at = 4; at + 4 <= d.size();) {
    const uint16_t code = static_cast<uint16_t>(U16(d, at));
    const size_t n = U16(d, at + 2);
    records.emplace_back(code, d.substr(at + 4, n));
    at += 4 + n;
  }
  return records;
}

std::vector<TopicView> Topics(const InternalFiles& files) {
  const std::string &topics = File(files, "#TOPICS"), &table = File(files, "#URLTBL"),
                    &urls = File(files, "#URLSTR"), &strings = File(files, "#STRINGS");
  std::vector<TopicView> out;
  for (size_t at = 0; at + 16 <= topics.size(); at += 16) {
    TopicView t;
    const uint32_t title = U32(topics, at + 4), url = U32(topics, at + 8);
    t.flags = static_cast<uint16_t>(U16(topics, at + 12));
    t.contentsOffset = U32(topics, at);
    t.hasTitle = title != 0xFFFFFFFF;
    if (t.hasTitle) t.title = CString(strings, title);
    t.url = CString(urls, U32(table, url + 8) + 8);
    out.push_back(t);
  }
  return out;
}

BinaryIndexView BinaryIndex(const InternalFiles& files) {
  BinaryIndexView v;
  const std::string& d = File(files, "$WWKeywordLinks/BTree");
  if (d.size() < 0x4C) return v;
  v.present = true;
  const std::vector<std::string> urls = TopicUrls(files);
  const uint32_t lastListing = U32(d, 0x1A);
  v.blocks = U32(d, 0x26);
  v.depth = static_cast<uint16_t>(U16(d, 0x2A));
  for (uint32_t b = 0; b <= lastListing && 0x4C + (b + 1) * 2048 <= d.size(); ++b) {
    const size_t base = 0x4C + b * 2048;
    v.freeBytes.push_back(static_cast<uint16_t>(U16(d, base)));
    const uint32_t n = U16(d, base + 2);
    size_t at = base + 12;
    for (uint32_t i = 0; i < n; ++i) {
      KeywordView k;
      k.text = WString(d, &at);
      const uint32_t seeAlso = U16(d, at);
      k.depth = static_cast<uint16_t>(U16(d, at + 2));
      k.lastPart = U32(d, at + 4);
      const uint32_t topics = U32(d, at + 12);
      at += 16;
      if (seeAlso) {
        k.seeAlso = WString(d, &at);
      } else {
        for (uint32_t t = 0; t < topics; ++t, at += 4) {
          const uint32_t topic = U32(d, at);
          k.topicUrls.push_back(topic < urls.size() ? urls[topic] : "#" + std::to_string(topic));
        }
      }
      at += 8;
      v.keywords.push_back(std::move(k));
    }
  }
  return v;
}

std::set<WordPair> FullTextPairs(const InternalFiles& files, bool* ok) {
  std::set<WordPair> pairs;
  *ok = false;
  const std::string& d = File(files, "$FIftiMain");
  if (d.size() < 0x400) return pairs;
  const std::vector<std::string> urls = TopicUrls(files);
  const int docRoot = U8(d, 0x1F), countRoot = U8(d, 0x21), locRoot = U8(d, 0x23);
  const uint32_t depth = U16(d, 0x18);
  size_t node = U32(d, 0x08);
  for (uint32_t level = 1; level < depth; ++level) {  // down the first entries to leaf 0
    const size_t at = node + 2;
    node = U32(d, at + 2 + U8(d, at) - 1);
  }
  for (int guard = 0; node && node + 4096 <= d.size() && guard < 1000000; ++guard) {
    const size_t end = node + 4096 - U16(d, node + 6);
    std::string word;
    for (size_t at = node + 8; at < end;) {
      const uint32_t length = U8(d, at), shared = U8(d, at + 1);
      word = word.substr(0, shared) + d.substr(at + 2, length - 1);
      at += 2 + length - 1;
      const bool title = U8(d, at++) != 0;
      const uint64_t topics = EncIntLe(d, &at);
      const uint32_t wlc = U32(d, at);
      at += 6;
      EncIntLe(d, &at);
      Bits bits(d, wlc);
      uint64_t topic = 0;
      for (uint64_t t = 0; t < topics; ++t) {
        topic += bits.ScaleRoot(docRoot);
        const uint64_t n = bits.ScaleRoot(countRoot);
        for (uint64_t k = 0; k < n && k < 100000; ++k) bits.ScaleRoot(locRoot);
        bits.Align();
        pairs.emplace(topic < urls.size() ? urls[topic] : "#" + std::to_string(topic), word, title);
      }
    }
    node = U32(d, node);
  }
  *ok = true;
  return pairs;
}

}  // namespace hha::test
