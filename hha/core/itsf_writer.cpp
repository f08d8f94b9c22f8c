// ITSF version 3 container writer.
//
// Deliberately different from other writers: the first PMGL chunk is always chunk 0 and
// the second header GUID is the …FD11… one (libmspack checks both); a folder entry is
// written for every folder level, not only for folders that hold files directly, because
// Wine's storage enumeration walks the tree through them; the reset table always carries
// one entry per frame plus the final compressed length (7-Zip's count rule).
#include "hha/core/itsf_writer.h"

#include <algorithm>
#include <map>

#include "hha/core/byte_writer.h"
#include "hha/core/itsf_format.h"
#include "hha/core/lzx/lzx_encoder.h"
#include "support/ascii.h"

namespace hha {
namespace {

using namespace itsf;

struct Chunk {
  std::vector<uint8_t> bytes;
  std::string firstName;
};

// Packs serialized entries into chunks of one kind ("PMGL" or "PMGI"), keeping the
// quickref WORDs and the entry count inside each chunk.
class ChunkPacker {
 public:
  explicit ChunkPacker(bool listing) : listing_(listing) {}

  bool Add(const std::string& name, const std::vector<uint8_t>& entry) {
    if (!Fits(entry.size())) {
      if (count_ == 0) return false;
      Close();
    }
    if (count_ == 0) {
      cur_.assign(kChunkSize, 0);
      used_ = HeaderSize();
      firstName_ = name;
    }
    if (!Fits(entry.size())) return false;
    if (count_ > 0 && count_ % kQuickrefEvery == 0) quickrefs_.push_back(used_ - HeaderSize());
    std::copy(entry.begin(), entry.end(), cur_.begin() + used_);
    used_ += entry.size();
    ++count_;
    return true;
  }

  std::vector<Chunk> Finish() {
    if (count_ > 0) Close();
    return std::move(chunks_);
  }

 private:
  uint32_t HeaderSize() const { return listing_ ? kPmglHeaderSize : kPmgiHeaderSize; }

  bool Fits(size_t entrySize) const {
    size_t used = count_ == 0 ? HeaderSize() : used_;
    size_t n = count_ + 1;
    size_t quickrefs = (n - 1) / kQuickrefEvery;
    return used + entrySize + 2 * (quickrefs + 1) <= kChunkSize;
  }

  void Close() {
    auto put16 = [&](size_t at, uint32_t v) {
      cur_[at] = v & 0xFF;
      cur_[at + 1] = (v >> 8) & 0xFF;
    };
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) cur_[at + i] = (v >> (8 * i)) & 0xFF;
    };
    std::copy_n(listing_ ? "PMGL" : "PMGI", 4, cur_.begin());
    put32(kOffChunkFreeSpace, static_cast<uint32_t>(kChunkSize - used_));
    put16(kChunkSize - 2, count_);
    for (size_t k = 0; k < quickrefs_.size(); ++k)
      put16(kChunkSize - 2 - 2 * (k + 1), quickrefs_[k]);
    chunks_.push_back({std::move(cur_), firstName_});
    cur_.clear();
    quickrefs_.clear();
    count_ = 0;
  }

  bool listing_;
  std::vector<Chunk> chunks_;
  std::vector<uint8_t> cur_;
  std::vector<uint32_t> quickrefs_;
  std::string firstName_;
  size_t used_ = 0;
  uint32_t count_ = 0;
};

std::vector<uint8_t> Bytes(const ByteWriter& w) { return w.bytes(); }

}  // namespace

bool ItsfWriter::NameLess(const std::string& a, const std::string& b) {
  return qb::AsciiLowerCopy(a) < qb::AsciiLowerCopy(b);
}

void ItsfWriter::AddSection0(const std::string& name, std::vector<uint8_t> data) {
  Entry e;
  e.name = name;
  e.length = data.size();
  e.data = section0_.size();
  section0_.push_back(std::move(data));
  entries_.push_back(std::move(e));
}

void ItsfWriter::AddSection1(const std::string& name, uint64_t offset, uint64_t length) {
  Entry e;
  e.name = name;
  e.section = 1;
  e.offset = length ? offset : 0;
  e.length = length;
  entries_.push_back(std::move(e));
}

void ItsfWriter::SetSection1(CompressedSection s) {
  ByteWriter nameList;  // UTF-16LE section names, lengths in WORDs
  nameList.U16(30);
  nameList.U16(2);
  for (const char* n : {"Uncompressed", "MSCompressed"}) {
    nameList.U16(12);
    for (const char* p = n; *p; ++p) nameList.U16(static_cast<uint8_t>(*p));
    nameList.U16(0);
  }
  AddSection0(kNameList, Bytes(nameList));

  ByteWriter control;  // window and reset interval in units of 32 KiB
  control.Zeros(kControlDataSize);
  control.PatchU32(kOffCdCount, kControlDataDwords);
  control.PatchBytes(kOffCdSignature, "LZXC", 4);
  control.PatchU32(kOffCdVersion, kControlDataVersion);
  control.PatchU32(kOffCdResetInterval, lzx::kResetInterval / lzx::kFrameSize);
  control.PatchU32(kOffCdWindowSize, lzx::kWindowSize / lzx::kFrameSize);
  control.PatchU32(kOffCdCacheSize, 1);
  AddSection0(kControlData, Bytes(control));

  ByteWriter span;
  span.U64(s.uncompressedLength);
  AddSection0(kSpanInfo, Bytes(span));

  // The GUID cut to 0x26 bytes, as Microsoft's compiler stores it; nobody reads it.
  ByteWriter list;
  for (const char* p = "{7FC28940-9D31-11D0"; *p; ++p) list.U16(static_cast<uint8_t>(*p));
  AddSection0(kTransformList, Bytes(list));

  ByteWriter reset;
  const uint32_t n = static_cast<uint32_t>(s.frameStarts.size() + 1);
  reset.Zeros(kResetTableHeaderSize);
  reset.PatchU32(kOffRtVersion, kResetTableVersion);
  reset.PatchU32(kOffRtCount, n);
  reset.PatchU32(kOffRtEntrySize, 8);
  reset.PatchU32(kOffRtTableOffset, kResetTableHeaderSize);
  reset.PatchU64(kOffRtUncompressed, s.uncompressedLength);
  reset.PatchU64(kOffRtCompressed, s.compressedLength);
  reset.PatchU64(kOffRtFrameSize, lzx::kFrameSize);
  for (uint64_t f : s.frameStarts) reset.U64(f);
  reset.U64(s.compressedLength);
  AddSection0(kResetTable, Bytes(reset));

  Entry content;  // written by writeContent_, not from section0_
  content.name = kContent;
  content.length = s.compressedLength;
  entries_.push_back(std::move(content));
  writeContent_ = std::move(s.writeContent);
}

bool ItsfWriter::BuildDirectory(std::vector<uint8_t>& dir, uint32_t* chunkCount,
                                std::string* error) {
  std::vector<const Entry*> all;
  std::vector<Entry> folders;
  std::map<std::string, std::string> folderNames;  // folded → as first seen
  for (const Entry& e : entries_) {
    if (e.name.empty() || e.name == "/") {
      *error = "an internal file has an empty name";
      return false;
    }
    if (e.name[0] != '/') continue;
    for (size_t p = e.name.find('/'); p != std::string::npos && p + 1 < e.name.size();
         p = e.name.find('/', p + 1)) {
      std::string folder = e.name.substr(0, p + 1);
      folderNames.emplace(qb::AsciiLowerCopy(folder), folder);
    }
  }
  for (auto& [folded, name] : folderNames) {
    Entry f;
    f.name = name;
    folders.push_back(f);
  }
  for (const Entry& e : entries_) all.push_back(&e);
  for (const Entry& e : folders) all.push_back(&e);
  std::sort(all.begin(), all.end(),
            [](const Entry* a, const Entry* b) { return NameLess(a->name, b->name); });
  for (size_t i = 1; i < all.size(); ++i) {
    if (qb::AsciiLowerCopy(all[i - 1]->name) == qb::AsciiLowerCopy(all[i]->name)) {
      *error = "two internal files differ only in case: " + all[i - 1]->name + " and " +
               all[i]->name;
      return false;
    }
  }

  ChunkPacker listing(true);
  for (const Entry* e : all) {
    ByteWriter w;
    w.EncInt(e->name.size());
    w.Bytes(e->name);
    w.EncInt(e->section);
    w.EncInt(e->offset);
    w.EncInt(e->length);
    if (!listing.Add(e->name, w.bytes())) {
      *error = "an internal name is too long: " + e->name;
      return false;
    }
  }
  std::vector<Chunk> chunks = listing.Finish();
  if (chunks.empty()) {  // cannot happen: ::DataSpace files are always there
    *error = "empty directory";
    return false;
  }
  const uint32_t pmglCount = static_cast<uint32_t>(chunks.size());
  for (uint32_t i = 0; i < pmglCount; ++i) {
    auto put32 = [&](size_t at, uint32_t v) {
      for (int b = 0; b < 4; ++b) chunks[i].bytes[at + b] = (v >> (8 * b)) & 0xFF;
    };
    put32(kOffPmglPrev, i == 0 ? kNoChunk : i - 1);
    put32(kOffPmglNext, i + 1 == pmglCount ? kNoChunk : i + 1);
  }

  // Index levels until one chunk is left; each level's chunks follow the one below.
  uint32_t depth = 1;
  uint32_t levelStart = 0, levelCount = pmglCount;
  while (levelCount > 1) {
    ChunkPacker index(false);
    for (uint32_t i = levelStart; i < levelStart + levelCount; ++i) {
      ByteWriter w;
      w.EncInt(chunks[i].firstName.size());
      w.Bytes(chunks[i].firstName);
      w.EncInt(i);
      if (!index.Add(chunks[i].firstName, w.bytes())) {
        *error = "an internal name is too long: " + chunks[i].firstName;
        return false;
      }
    }
    std::vector<Chunk> level = index.Finish();
    levelStart = static_cast<uint32_t>(chunks.size());
    levelCount = static_cast<uint32_t>(level.size());
    for (Chunk& c : level) chunks.push_back(std::move(c));
    ++depth;
  }

  ByteWriter h;
  h.Zeros(kItspSize);
  h.PatchBytes(kOffSignature, "ITSP", 4);
  h.PatchU32(kOffItspVersion, 1);
  h.PatchU32(kOffItspLen, kItspSize);
  h.PatchU32(kOffItspUnknown, kItspUnknownValue);
  h.PatchU32(kOffChunkSize, kChunkSize);
  h.PatchU32(kOffDensity, kQuickrefDensity);
  h.PatchU32(kOffDepth, depth);
  h.PatchU32(kOffRootChunk, depth == 1 ? kNoChunk : static_cast<uint32_t>(chunks.size() - 1));
  h.PatchU32(kOffFirstPmgl, 0);
  h.PatchU32(kOffLastPmgl, pmglCount - 1);
  h.PatchU32(kOffItspMinus1, 0xFFFFFFFF);
  h.PatchU32(kOffChunkCount, static_cast<uint32_t>(chunks.size()));
  h.PatchU32(kOffItspLcid, 0x409);  // Microsoft's compiler writes 0x409 whatever the language
  h.PatchBytes(kOffItspGuid, kItspGuid, 16);
  h.PatchU32(kOffItspLen2, kItspSize);
  for (int k = 0; k < kItspMinus1TailCount; ++k) h.PatchU32(kOffItspMinus1Tail + 4 * k, 0xFFFFFFFF);
  dir = std::move(h.bytes());
  for (const Chunk& c : chunks) dir.insert(dir.end(), c.bytes.begin(), c.bytes.end());
  *chunkCount = static_cast<uint32_t>(chunks.size());
  return true;
}

bool ItsfWriter::Write(platform::OutputFile& out, std::string* error) {
  // Section-0 offsets in the order the files were added; the Content stream comes last
  // because SetSection1 adds it last.
  uint64_t section0Size = 0;
  for (Entry& e : entries_) {
    if (e.section != 0) continue;
    e.offset = e.length ? section0Size : 0;
    section0Size += e.length;
  }
  std::vector<uint8_t> dir;
  uint32_t chunks = 0;
  if (!BuildDirectory(dir, &chunks, error)) return false;

  const uint64_t dirOffset = kHeaderSize + kHs0Size;
  const uint64_t contentOffset = dirOffset + dir.size();
  const uint64_t total = contentOffset + section0Size;

  ByteWriter h;
  h.Zeros(kHeaderSize + kHs0Size);
  h.PatchBytes(kOffSignature, "ITSF", 4);
  h.PatchU32(kOffVersion, kHeaderVersion);
  h.PatchU32(kOffHeaderLen, kHeaderSize);
  h.PatchU32(kOffUnknown1, 1);
  h.PatchU32BigEndian(kOffTimestamp,
                      static_cast<uint32_t>(platform::FileTimeNow() / 10000 % 86400000));
  h.PatchU32(kOffLcid, lcid_);
  h.PatchBytes(kOffGuid1, kItsfGuid1, 16);
  h.PatchBytes(kOffGuid2, kItsfGuid2, 16);
  h.PatchU64(kOffHs0Offset, kHeaderSize);
  h.PatchU64(kOffHs0Length, kHs0Size);
  h.PatchU64(kOffDirOffset, dirOffset);
  h.PatchU64(kOffDirLength, dir.size());
  h.PatchU64(kOffContentOffset, contentOffset);
  h.PatchU32(kHeaderSize + kOffHs0Magic, kHs0Magic);
  h.PatchU64(kHeaderSize + kOffHs0FileLength, total);
  out.Write(h.bytes().data(), h.size());
  out.Write(dir.data(), dir.size());
  bool ok = true;
  for (const Entry& e : entries_) {
    if (e.section != 0 || !e.length) continue;
    if (e.data != SIZE_MAX) out.Write(section0_[e.data].data(), e.length);
    else ok = writeContent_ && writeContent_(out) && ok;
  }
  if (!ok || !out.ok()) {
    *error = "cannot write the compiled file";
    return false;
  }
  writtenSize_ = total;
  return true;
}

}  // namespace hha
