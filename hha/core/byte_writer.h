// Little-endian building of binary records in memory. Layouts are written field by field
// at named offsets (see itsf_format.h), never through packed structs.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace hha {

class ByteWriter {
 public:
  void U8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  void Bytes(const std::string& s) { Bytes(s.data(), s.size()); }
  void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  // A string with its terminating NUL.
  void CString(const std::string& s) {
    Bytes(s);
    U8(0);
  }
  // Directory numbers: 7-bit groups, most significant first, bit 7 = more follows.
  void EncInt(uint64_t v) {
    uint8_t tmp[10];
    int n = 0;
    do {
      tmp[n++] = v & 0x7F;
      v >>= 7;
    } while (v);
    while (n > 1) U8(tmp[--n] | 0x80);
    U8(tmp[0]);
  }
  void PatchBytes(size_t at, const void* p, size_t n) {
    std::memcpy(bytes_.data() + at, p, n);
  }
  void PatchU16(size_t at, uint32_t v) { Patch(at, v, 2); }
  void PatchU32(size_t at, uint32_t v) { Patch(at, v, 4); }
  void PatchU64(size_t at, uint64_t v) { Patch(at, v, 8); }
  void PatchU32BigEndian(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
  }

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

  static size_t EncIntSize(uint64_t v) {
    size_t n = 1;
    while (v >>= 7) ++n;
    return n;
  }

 private:
  void Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) U8((v >> (8 * i)) & 0xFF);
  }
  void Patch(size_t at, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  std::vector<uint8_t> bytes_;
};

}  // namespace hha
