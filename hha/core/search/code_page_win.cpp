// Code page conversions through the Win32 NLS functions.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "hha/core/search/code_page.h"

namespace hha::search {

bool Decode(const std::string& bytes, uint32_t codePage, std::u32string* out) {
  out->clear();
  if (!IsValidCodePage(codePage)) return false;
  if (bytes.empty()) return true;
  std::vector<wchar_t> wide;
  // Pieces keep the lengths inside int; a piece never ends inside a double-byte
  // character because it is cut after a byte below 0x40, which is never a trail byte.
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = std::min(bytes.size(), at + (1u << 20));
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end - 1]) >= 0x40) ++end;
    const int n = static_cast<int>(end - at);
    const int need = MultiByteToWideChar(codePage, 0, bytes.data() + at, n, nullptr, 0);
    if (need > 0) {
      const size_t base = wide.size();
      wide.resize(base + need);
      MultiByteToWideChar(codePage, 0, bytes.data() + at, n, wide.data() + base, need);
    }
    at = end;
  }
  out->reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    out->push_back(c);
  }
  return true;
}

Encoder::Encoder(uint32_t codePage) : codePage_(codePage) {}

Encoder::~Encoder() = default;

bool Encoder::Convert(char32_t c, std::string* bytes) {
  wchar_t w[2];
  int n = 1;
  if (c >= 0x10000) {
    w[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    w[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    n = 2;
  } else {
    w[0] = static_cast<wchar_t>(c);
  }
  char buffer[16];
  BOOL usedDefault = FALSE;
  const bool utf8 = codePage_ == kUtf8;  // takes neither flags nor a default character
  const int got = WideCharToMultiByte(codePage_, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, w, n, buffer,
                                      sizeof buffer, nullptr, utf8 ? nullptr : &usedDefault);
  if (got <= 0 || usedDefault) return false;
  bytes->assign(buffer, got);
  return true;
}

}  // namespace hha::search
