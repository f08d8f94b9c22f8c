// #SYSTEM, #WINDOWS and #STRINGS writers.
//
// Deliberately different from other writers: #SYSTEM always carries code 6 (Wine derives
// the sitemap names from it when a window gives none), and #WINDOWS sets fsValidMembers
// from the fields actually given instead of a fixed mask.
#include "hha/core/system_files.h"

#include "hha/core/byte_writer.h"

namespace hha {
namespace {

// HH_WINTYPE offsets.
constexpr uint32_t kWinStructSize = 196, kWinStructSize10 = 188;
constexpr uint32_t kOffUnicode = 0x04, kOffType = 0x08, kOffValid = 0x0C,
                   kOffProperties = 0x10, kOffCaption = 0x14, kOffStyles = 0x18,
                   kOffExStyles = 0x1C, kOffRect = 0x20, kOffShowState = 0x30,
                   kOffNavWidth = 0x4C, kOffToc = 0x60, kOffIndex = 0x64, kOffFile = 0x68,
                   kOffHome = 0x6C, kOffToolbar = 0x70, kOffNotExpanded = 0x74,
                   kOffCurNavType = 0x78, kOffTabPos = 0x7C, kOffNotifyId = 0x80,
                   kOffJump1 = 0x9C, kOffJump2 = 0xA0, kOffUrlJump1 = 0xA4,
                   kOffUrlJump2 = 0xA8;
// HHWIN_PARAM_* bits of fsValidMembers.
constexpr uint32_t kValidProperties = 0x2, kValidStyles = 0x4, kValidExStyles = 0x8,
                   kValidRect = 0x10, kValidNavWidth = 0x20, kValidShowState = 0x40,
                   kValidToolbar = 0x100, kValidExpansion = 0x200, kValidTabPos = 0x400,
                   kValidCurTab = 0x2000;

void Record(ByteWriter& w, uint16_t code, const std::vector<uint8_t>& data) {
  w.U16(code);
  w.U16(static_cast<uint32_t>(data.size()));
  w.Bytes(data.data(), data.size());
}

void StringRecord(ByteWriter& w, uint16_t code, const std::string& s) {
  if (s.empty()) return;
  std::vector<uint8_t> d(s.begin(), s.end());
  d.push_back(0);
  Record(w, code, d);
}

void DwordRecord(ByteWriter& w, uint16_t code, uint32_t v) {
  ByteWriter d;
  d.U32(v);
  Record(w, code, d.bytes());
}

}  // namespace

uint32_t StringPool::Add(const std::string& input) {
  if (input.empty()) return 0;
  auto it = offsets_.find(input.substr(0, kBlock - 1));
  if (it != offsets_.end()) return it->second;
  return AddCopy(input);
}

uint32_t StringPool::AddCopy(const std::string& input) {
  if (input.empty()) return 0;
  std::string s = input.substr(0, kBlock - 1);
  size_t at = bytes_.size();
  if (at / kBlock != (at + s.size()) / kBlock) {
    at = (at / kBlock + 1) * kBlock;
    bytes_.resize(at, 0);
  }
  bytes_.insert(bytes_.end(), s.begin(), s.end());
  bytes_.push_back(0);
  offsets_.emplace(s, static_cast<uint32_t>(at));
  return static_cast<uint32_t>(at);
}

uint32_t AnsiCodePageOf(uint32_t lcid) {
  switch (lcid & 0x3FF) {  // primary language
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x1C: case 0x24:
      return 1250;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F:
      return 1251;
    case 0x08: return 1253;
    case 0x1F: return 1254;
    case 0x0D: return 1255;
    case 0x01: case 0x20: case 0x29: return 1256;
    case 0x25: case 0x26: case 0x27: return 1257;
    case 0x2A: return 1258;
    case 0x1E: return 874;
    case 0x11: return 932;
    case 0x12: return 949;
    case 0x04: return (lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404) ? 950 : 936;
    default: return 1252;
  }
}

std::vector<uint8_t> BuildSystemFile(const SystemInfo& info) {
  ByteWriter w;
  w.U32(3);
  // A Unix time_t of the same instant as code 4's FILETIME.
  constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
  const uint64_t since1970 = info.fileTime > kUnixEpochAsFileTime ? info.fileTime - kUnixEpochAsFileTime : 0;
  DwordRecord(w, 10, static_cast<uint32_t>(since1970 / 10000000));
  StringRecord(w, 9, info.compilerVersion);
  {
    ByteWriter d;  // LCID, DBCS, full-text search, KLinks, ALinks, FILETIME, 0, 0
    d.U32(info.lcid);
    d.U32(0);  // the DBCS flag: Microsoft's compiler writes 0 for every code page
    d.U32(info.fullTextSearch ? 1 : 0);
    d.U32(info.keywordLinks ? 1 : 0);
    d.U32(0);
    d.U64(info.fileTime);
    d.U32(0);
    d.U32(0);
    Record(w, 4, d.bytes());
  }
  StringRecord(w, 2, info.defaultTopic);
  StringRecord(w, 3, info.title);
  StringRecord(w, 16, info.defaultFont);
  StringRecord(w, 6, info.compiledStem);
  StringRecord(w, 0, info.contentsFile);
  StringRecord(w, 1, info.indexFile);
  StringRecord(w, 5, info.defaultWindow);
  if (info.indexHash) DwordRecord(w, 7, info.indexHash);
  DwordRecord(w, 12, 0);  // information types
  if (!info.indexHeader.empty()) Record(w, 13, info.indexHeader);
  DwordRecord(w, 15, 0);  // information-type checksum
  return w.bytes();
}

std::vector<uint8_t> BuildWindowsFile(const std::vector<WindowDef>& windows, bool compat10,
                                      StringPool& pool) {
  const uint32_t size = compat10 ? kWinStructSize10 : kWinStructSize;
  ByteWriter w;
  w.U32(static_cast<uint32_t>(windows.size()));
  w.U32(size);
  for (const WindowDef& win : windows) {
    const size_t base = w.size();
    w.Zeros(size);
    auto put = [&](uint32_t off, uint32_t v) { w.PatchU32(base + off, v); };
    auto given = [&](int field) { return !win.fields[field].empty(); };
    auto number = [&](int field) {
      uint32_t v = 0;
      ParseNumber(win.fields[field], &v);
      return v;
    };
    auto str = [&](uint32_t off, int field) { put(off, pool.Add(win.fields[field])); };
    uint32_t valid = 0;
    auto numeric = [&](uint32_t off, int field, uint32_t bit) {
      if (!given(field)) return;
      put(off, number(field));
      valid |= bit;
    };
    put(0, size);
    put(kOffUnicode, 0);
    put(kOffType, pool.Add(win.name));
    numeric(kOffProperties, kWinNavStyle, kValidProperties);
    str(kOffCaption, kWinCaption);
    numeric(kOffStyles, kWinStyles, kValidStyles);
    numeric(kOffExStyles, kWinExStyles, kValidExStyles);
    if (given(kWinRect)) {
      for (int k = 0; k < 4; ++k) put(kOffRect + 4 * k, static_cast<uint32_t>(win.rect[k]));
      valid |= kValidRect;
    }
    numeric(kOffShowState, kWinShowState, kValidShowState);
    numeric(kOffNavWidth, kWinNavWidth, kValidNavWidth);
    str(kOffToc, kWinToc);
    str(kOffIndex, kWinIndex);
    str(kOffFile, kWinDefaultFile);
    str(kOffHome, kWinHome);
    numeric(kOffToolbar, kWinButtons, kValidToolbar);
    numeric(kOffNotExpanded, kWinNavClosed, kValidExpansion);
    numeric(kOffCurNavType, kWinDefaultTab, kValidCurTab);
    numeric(kOffTabPos, kWinTabPosition, kValidTabPos);
    // Microsoft's compiler marks the tab position valid when the last field is given
    // (Doxygen writes it as 0); the viewer then uses the default position.
    numeric(kOffNotifyId, kWinNotifyId, kValidTabPos);
    str(kOffJump1, kWinJump1Text);
    str(kOffJump2, kWinJump2Text);
    str(kOffUrlJump1, kWinJump1Url);
    str(kOffUrlJump2, kWinJump2Url);
    put(kOffValid, valid);
  }
  return w.bytes();
}

}  // namespace hha
