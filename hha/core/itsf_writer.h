// The ITSF container of a .chm: headers, the PMGL/PMGI directory, content section 0 and
// the ::DataSpace files that describe section 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hha/core/platform_fs.h"

namespace hha {

// What section 1 became after compression, as the reset table and SpanInfo describe it.
struct CompressedSection {
  uint64_t uncompressedLength = 0;  // without the padding of the last frame
  uint64_t compressedLength = 0;    // of the LZX stream
  std::vector<uint64_t> frameStarts;  // one per 32 KiB frame, without the final entry
  // Writes the LZX stream (compressedLength bytes) where the container needs it: the
  // stream is the largest part of a .chm, so it is not held in memory until then.
  std::function<bool(platform::OutputFile&)> writeContent;
};

class ItsfWriter {
 public:
  explicit ItsfWriter(uint32_t lcid) : lcid_(lcid) {}

  // Internal names are absolute ("/a/b.html", "::DataSpace/..."), UTF-8, "/" separated,
  // and unique regardless of ASCII case; folder entries are added by Write.
  void AddSection0(const std::string& name, std::vector<uint8_t> data);
  void AddSection1(const std::string& name, uint64_t offset, uint64_t length);
  // Adds the six ::DataSpace files; call once, after section 1 is complete.
  void SetSection1(CompressedSection section);

  // Writes the container. False with `error` set when a name cannot be stored (too long
  // for a chunk, empty, or a case-insensitive duplicate) or the file cannot be written.
  bool Write(platform::OutputFile& out, std::string* error);

  // The size Write produced (valid after a successful Write).
  uint64_t writtenSize() const { return writtenSize_; }

  // Directory order: ASCII letters folded to lower case, then byte order; a prefix first.
  static bool NameLess(const std::string& a, const std::string& b);

 private:
  struct Entry {
    std::string name;
    uint32_t section = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
    size_t data = SIZE_MAX;  // index into section0_ for section-0 files
  };
  bool BuildDirectory(std::vector<uint8_t>& dir, uint32_t* chunks, std::string* error);

  uint32_t lcid_;
  std::vector<Entry> entries_;
  std::vector<std::vector<uint8_t>> section0_;
  std::function<bool(platform::OutputFile&)> writeContent_;
  uint64_t writtenSize_ = 0;
};

}  // namespace hha
