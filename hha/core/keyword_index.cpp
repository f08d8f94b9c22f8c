// $WWKeywordLinks writer, laid out as Microsoft's compiler lays it out: a 0x4C-byte
// header, listing blocks filled greedily in keyword order, then index blocks level by
// level (each entry a child's first keyword), the root last.
//
// Deliberately different: a keyword whose topic list would not fit one block keeps only
// the topics that fit (no sample holds one; a block of 2048 bytes has room for ~500), and
// a keyword longer than half a block is cut.
#include "hha/core/keyword_index.h"

#include <algorithm>
#include <map>

#include "hha/core/byte_writer.h"
#include "hha/core/keyword_collation.h"
#include "hha/core/search/code_page.h"
#include "hha/core/sitemap_reader.h"

namespace hha {
namespace {

// Block size: what every sample uses, and the size in the header.
constexpr size_t kBlockSize = 2048;
constexpr size_t kHeaderSize = 0x4C;
constexpr size_t kListingHeader = 12, kIndexHeader = 8;
// Header offsets and values.
constexpr size_t kOffMagic = 0x00, kOffFlags = 0x02, kOffBlockSize = 0x04, kOffFormat = 0x06,
                 kOffLastListing = 0x1A, kOffRoot = 0x1E, kOffMinusOne = 0x22,
                 kOffBlockCount = 0x26, kOffDepth = 0x2A, kOffKeywordCount = 0x2C,
                 kOffCodePage = 0x30, kOffLcid = 0x34, kOffInChm = 0x38, kOffVersion = 0x3C;
constexpr uint16_t kMagic = 0x293B, kFlags = 0x0104;
constexpr uint32_t kVersion = 10031;
constexpr uint16_t kSeeAlso = 2;
// Each keyword has a 13-byte record in Data; its offset ends the keyword's entry.
constexpr uint8_t kDataRecord[13] = {0, 0, 0, 0, 5, 0, 0, 0, 0x80, 0, 0, 0, 0};

void AppendUtf16(char32_t c, std::u16string* out) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(c));
  }
}

// Text of the index file's code page, with the numeric references the sitemap reader
// left (those beyond ASCII) decoded.
std::u16string Text(const std::string& bytes, search::Decoder& decoder) {
  std::u32string u;
  if (!search::Decode(bytes, decoder, &u)) u.assign(bytes.begin(), bytes.end());
  std::u16string out;
  out.reserve(u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    if (u[i] == '&' && i + 2 < u.size() && u[i + 1] == '#') {
      size_t j = i + 2;
      const bool hex = u[j] == 'x' || u[j] == 'X';
      if (hex) ++j;
      uint32_t v = 0;
      size_t digits = 0;
      for (; j < u.size() && digits < 7; ++j, ++digits) {
        const char32_t d = u[j];
        if (d >= '0' && d <= '9') v = v * (hex ? 16 : 10) + (d - '0');
        else if (hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f') v = v * 16 + ((d | 0x20) - 'a' + 10);
        else break;
      }
      if (digits && j < u.size() && u[j] == ';' && v > 0 && v <= 0x10FFFF) {
        AppendUtf16(static_cast<char32_t>(v), &out);
        i = j;
        continue;
      }
    }
    AppendUtf16(u[i], &out);
  }
  return out;
}

size_t EntrySize(const Keyword& k) {
  return 2 * (k.text.size() + 1) + 16 +
         (k.seeAlso.empty() ? 4 * k.topics.size() : 2 * (k.seeAlso.size() + 1));
}

void WriteEntryHead(ByteWriter& w, const Keyword& k) {
  for (char16_t c : k.text) w.U16(c);
  w.U16(0);
  w.U16(k.seeAlso.empty() ? 0 : kSeeAlso);
  w.U16(k.depth);
  w.U32(k.lastPart);
  w.U32(0);
  if (k.seeAlso.empty()) {
    w.U32(static_cast<uint32_t>(k.topics.size()));
    for (uint32_t t : k.topics) w.U32(t);
  } else {
    w.U32(1);
    for (char16_t c : k.seeAlso) w.U16(c);
    w.U16(0);
  }
}

}  // namespace

std::vector<Keyword> ReadKeywords(std::vector<SitemapEntry> entries, uint32_t lcid,
                                  uint32_t codePage,
                                  const std::function<int64_t(const std::string&)>& topicOf) {
  std::vector<Keyword> keywords;
  std::map<std::u16string, size_t> seen;
  std::vector<std::u16string> parents;  // flat text of the last entry at each depth
  std::vector<std::u16string> sortParents;  // the same with its parts joined for sorting
  std::vector<std::u16string> sortTexts;    // of each keyword
  search::Decoder decoder(codePage);  // one for all: the Java SE index has 50,000 names
  for (const SitemapEntry& e : entries) {
    if (e.names.empty() || e.names[0].empty()) continue;
    const size_t depth = std::min<size_t>(e.depth, parents.size());
    parents.resize(depth);
    sortParents.resize(depth);
    const std::u16string name = Text(e.names[0], decoder);
    std::u16string text = name, sortText = name;
    uint32_t lastPart = 0;
    if (depth > 0) {
      lastPart = static_cast<uint32_t>(parents.back().size() + 2);
      text = parents.back() + u", " + name;
      sortText = sortParents.back() + kKeywordLevel + name;
    }
    parents.push_back(text);
    sortParents.push_back(sortText);
    auto [it, added] = seen.emplace(text, keywords.size());
    if (added) {
      sortTexts.push_back(sortText);
      keywords.emplace_back();
      keywords.back().text = text;
      keywords.back().depth = static_cast<uint16_t>(depth);
      keywords.back().lastPart = lastPart;
    }
    Keyword& k = keywords[it->second];
    if (!e.seeAlso.empty() && k.seeAlso.empty() && k.topics.empty()) k.seeAlso = Text(e.seeAlso, decoder);
    for (const std::string& local : e.locals) {
      const int64_t topic = topicOf(local);
      if (topic >= 0 && k.seeAlso.empty()) k.topics.push_back(static_cast<uint32_t>(topic));
    }
  }
  std::vector<SitemapEntry>().swap(entries);
  seen.clear();
  std::vector<KeywordSortKey> keys;
  keys.reserve(sortTexts.size());
  for (std::u16string& t : sortTexts) {
    keys.emplace_back(t, lcid);
    std::u16string().swap(t);
  }
  std::vector<size_t> order(keywords.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return CompareKeywords(keys[a], keys[b]) < 0; });
  std::vector<KeywordSortKey>().swap(keys);
  std::vector<Keyword> sorted;
  sorted.reserve(keywords.size());
  for (size_t i : order) sorted.push_back(std::move(keywords[i]));
  keywords = std::move(sorted);
  // An entry must fit one block: topics that do not fit are left out, and a keyword or
  // see-also text longer than a block is cut.
  for (Keyword& k : keywords) {
    const size_t room = kBlockSize - kListingHeader - 8;
    while (EntrySize(k) > room && !k.topics.empty()) k.topics.pop_back();
    const size_t half = (room - 16) / 4 - 1;  // characters for keyword and see-also alike
    if (EntrySize(k) > room) {
      if (k.text.size() > half) k.text.resize(half);
      if (k.seeAlso.size() > half) k.seeAlso.resize(half);
      if (k.lastPart > k.text.size()) k.lastPart = 0;
    }
  }
  return keywords;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> BuildKeywordIndex(
    const std::vector<Keyword>& keywords, uint32_t lcid, uint32_t codePage) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  if (keywords.empty()) {
    files.emplace_back("/$WWKeywordLinks/Property", std::vector<uint8_t>(4, 0));
    return files;
  }
  // Listing blocks: [first keyword, end).
  std::vector<std::pair<size_t, size_t>> listing;
  size_t used = kBlockSize;
  for (size_t i = 0; i < keywords.size(); ++i) {
    const size_t size = EntrySize(keywords[i]) + 8;
    if (used + size > kBlockSize) {
      listing.emplace_back(i, i);
      used = kListingHeader;
    }
    listing.back().second = i + 1;
    used += size;
  }
  std::vector<std::vector<uint8_t>> blocks;
  for (size_t b = 0; b < listing.size(); ++b) {
    ByteWriter w;
    w.U16(0);
    w.U16(static_cast<uint32_t>(listing[b].second - listing[b].first));
    w.U32(b == 0 ? 0xFFFFFFFF : static_cast<uint32_t>(b - 1));
    w.U32(b + 1 == listing.size() ? 0xFFFFFFFF : static_cast<uint32_t>(b + 1));
    for (size_t i = listing[b].first; i < listing[b].second; ++i) {
      WriteEntryHead(w, keywords[i]);
      w.U32(1);
      w.U32(static_cast<uint32_t>(13 * i));
    }
    w.PatchU16(0, static_cast<uint32_t>(kBlockSize - w.size()));
    w.Zeros(kBlockSize - w.size());
    blocks.push_back(std::move(w.bytes()));
  }
  // Index levels. A node is (block number, its first keyword).
  std::vector<std::pair<uint32_t, size_t>> level;
  for (size_t b = 0; b < listing.size(); ++b) level.emplace_back(static_cast<uint32_t>(b), listing[b].first);
  uint16_t depth = 1;
  while (level.size() > 1) {
    std::vector<std::pair<uint32_t, size_t>> parents;
    std::vector<std::vector<size_t>> members;  // children of each new block
    used = kBlockSize;
    for (size_t c = 0; c < level.size(); ++c) {
      const size_t size = EntrySize(keywords[level[c].second]) + 4;
      if (members.empty() || used + size > kBlockSize) {
        members.push_back({c});
        used = kIndexHeader;
        continue;
      }
      members.back().push_back(c);
      used += size;
    }
    for (const std::vector<size_t>& m : members) {
      ByteWriter w;
      w.U16(0);
      w.U16(static_cast<uint32_t>(m.size() - 1));
      w.U32(level[m[0]].first);
      for (size_t k = 1; k < m.size(); ++k) {
        WriteEntryHead(w, keywords[level[m[k]].second]);
        w.U32(level[m[k]].first);
      }
      w.PatchU16(0, static_cast<uint32_t>(kBlockSize - w.size()));
      w.Zeros(kBlockSize - w.size());
      parents.emplace_back(static_cast<uint32_t>(blocks.size()), level[m[0]].second);
      blocks.push_back(std::move(w.bytes()));
    }
    level = std::move(parents);
    ++depth;
  }

  ByteWriter tree;
  tree.Zeros(kHeaderSize);
  tree.PatchU16(kOffMagic, kMagic);
  tree.PatchU16(kOffFlags, kFlags);
  tree.PatchU16(kOffBlockSize, kBlockSize);
  tree.bytes()[kOffFormat] = 'X';
  tree.bytes()[kOffFormat + 1] = '4';
  tree.bytes()[kOffFormat + 2] = '4';
  tree.PatchU32(kOffLastListing, static_cast<uint32_t>(listing.size() - 1));
  tree.PatchU32(kOffRoot, level[0].first);
  tree.PatchU32(kOffMinusOne, 0xFFFFFFFF);
  tree.PatchU32(kOffBlockCount, static_cast<uint32_t>(blocks.size()));
  tree.PatchU16(kOffDepth, depth);
  tree.PatchU32(kOffKeywordCount, static_cast<uint32_t>(keywords.size()));
  tree.PatchU32(kOffCodePage, codePage);
  tree.PatchU32(kOffLcid, lcid);
  tree.PatchU32(kOffInChm, 1);
  tree.PatchU32(kOffVersion, kVersion);
  for (const std::vector<uint8_t>& b : blocks) tree.Bytes(b.data(), b.size());

  ByteWriter data;
  for (size_t i = 0; i < keywords.size(); ++i) data.Bytes(kDataRecord, sizeof kDataRecord);
  ByteWriter map;
  map.U16(static_cast<uint32_t>(listing.size()));
  for (size_t b = 0; b < listing.size(); ++b) {
    map.U32(static_cast<uint32_t>(listing[b].first));
    map.U32(static_cast<uint32_t>(b));
  }
  ByteWriter property;
  for (uint32_t v : {0u, 0u, 0u, 0x0Cu, 1u, 1u, 0u, 0u}) property.U32(v);

  files.emplace_back("/$WWKeywordLinks/BTree", std::move(tree.bytes()));
  files.emplace_back("/$WWKeywordLinks/Data", std::move(data.bytes()));
  files.emplace_back("/$WWKeywordLinks/Map", std::move(map.bytes()));
  files.emplace_back("/$WWKeywordLinks/Property", std::move(property.bytes()));
  return files;
}

}  // namespace hha
