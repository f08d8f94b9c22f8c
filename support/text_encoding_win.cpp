// The system's converters on Windows.
#include <windows.h>

#include <string>
#include <vector>

#include "support/text_encoding.h"

namespace qb::detail {

bool EncodeCodePoint(char32_t c, uint32_t codePage, std::string* out) {
  if (!IsValidCodePage(codePage)) return false;
  wchar_t wide[2];
  int count = 1;
  if (c >= 0x10000) {
    c -= 0x10000;
    wide[0] = static_cast<wchar_t>(0xD800 + (c >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    count = 2;
  } else {
    wide[0] = static_cast<wchar_t>(c);
  }
  char buffer[16];
  BOOL usedDefault = FALSE;
  // No best fit: "ä" turned into "a" would name another thing.
  int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, count, buffer,
                              sizeof buffer, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out->append(buffer, static_cast<size_t>(n));
  return true;
}

bool DecodeToUtf8(std::string_view text, uint32_t codePage, std::string* out) {
  if (!IsValidCodePage(codePage)) return false;
  int wideCount = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  if (wideCount <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(wideCount));
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      wideCount);
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideCount, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideCount, out->data(), n, nullptr, nullptr);
  return true;
}

}  // namespace qb::detail
