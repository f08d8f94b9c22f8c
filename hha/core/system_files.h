// The internal files that tell a viewer what the help file is: /#SYSTEM (title, home
// page, contents and index names, language), /#WINDOWS (the window definitions) and
// /#STRINGS (the string pool the windows point into).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "hha/core/project_reader.h"

namespace hha {

// /#STRINGS: offset 0 is the empty string; no string crosses a 4096-byte block, because
// Wine and xCHM read the pool block by block and take a pointer into the block.
class StringPool {
 public:
  StringPool() : bytes_(1, 0) {}
  static constexpr size_t kBlock = 4096;
  // Offset of the string (0 for ""); identical strings share one offset. Strings longer
  // than a block are cut to fit one.
  uint32_t Add(const std::string& s);
  // A string of its own even when the pool holds it already (later Adds share it).
  uint32_t AddCopy(const std::string& s);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::unordered_map<std::string, uint32_t> offsets_;
};

struct SystemInfo {
  uint32_t lcid = 0x409;
  std::string contentsFile;  // internal names without the leading "/"
  std::string indexFile;
  std::string defaultTopic;
  std::string title;
  std::string defaultWindow;
  std::string compiledStem;  // lower-cased stem of the .chm name
  std::string defaultFont;
  std::string compilerVersion;
  uint64_t fileTime = 0;
  bool fullTextSearch = false;  // $FIftiMain present
  bool keywordLinks = false;    // $WWKeywordLinks holds keywords
  uint32_t indexHash = 0;       // code 7: #URLTBL hash of the index file's name, 0 = none
  std::vector<uint8_t> indexHeader;  // a copy of /#IDXHDR (code 13), if any
};

// /#SYSTEM, version 3, with codes 10, 9, 4, 2, 3, 16, 6, 0, 1, 5, 7, 12, 13, 15 (those that
// have a value).
std::vector<uint8_t> BuildSystemFile(const SystemInfo& info);

// /#WINDOWS: one HH_WINTYPE record per window, 196 bytes (188 with Compatibility=1.0),
// strings as offsets into `pool`. A member counts as given, and its fsValidMembers bit
// is set, when its .hhp field is not empty: Wine honours only members whose bit is set.
std::vector<uint8_t> BuildWindowsFile(const std::vector<WindowDef>& windows, bool compat10,
                                      StringPool& pool);

// The code page Windows uses for an LCID's ANSI text.
uint32_t AnsiCodePageOf(uint32_t lcid);

}  // namespace hha
