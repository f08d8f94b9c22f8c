// Code page conversions through the Win32 NLS functions.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "hha/core/search/code_page.h"

namespace hha::search {

Decoder::Decoder(uint32_t codePage)
    : codePage_(codePage), ok_(IsValidCodePage(codePage) != 0) {}

Decoder::~Decoder() = default;

void Decoder::Append(const char* bytes, size_t n, std::u32string* out) {
  if (!ok_ || n == 0) return;
  // Callers cut pieces far below 2 GiB, so the length fits the int the API takes.
  const int size = static_cast<int>(n);
  const int need = MultiByteToWideChar(codePage_, 0, bytes, size, nullptr, 0);
  if (need <= 0) return;
  std::vector<wchar_t> wide(need);
  MultiByteToWideChar(codePage_, 0, bytes, size, wide.data(), need);
  out->reserve(out->size() + wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    out->push_back(c);
  }
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
