// Code page conversions on arbitrary bytes. Byte 0 chooses the code page, byte 1 the
// piece length; the rest is text. Decoding in the pieces PieceEnd allows must equal
// decoding the whole; every decoded character that the code page can encode must encode
// to bytes that decode to it again; project text converted for names must be valid UTF-8
// (and valid UTF-8 must come back unchanged); charset labels must be read regardless of
// case and spaces.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hha/core/platform_fs.h"
#include "hha/core/search/code_page.h"
#include "tests/fuzz/fuzz_check.h"

namespace {


const uint32_t kCodePages[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874,
                               932,  936,  949,  950,  28592, 28595, 28597, 20866, 65001};

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || i + n >= s.size() + (n == 0)) return false;
    uint32_t cp = n == 0 ? c : c & (0x3F >> n);
    for (size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t codePage = kCodePages[data[0] % (sizeof kCodePages / sizeof *kCodePages)];
  const size_t piece = 1 + data[1] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::u32string whole;
  if (hha::search::Decode(text, codePage, &whole)) {
    hha::search::Decoder decoder(codePage);
    std::u32string pieces;
    for (size_t at = 0; at < text.size();) {
      const size_t end = hha::search::PieceEnd(text, at, piece);
      Check(end > at && end <= text.size());
      decoder.Append(text.data() + at, end - at, &pieces);
      at = end;
    }
    Check(pieces == whole);

    hha::search::Encoder encoder(codePage);
    for (char32_t c : whole) {
      Check(c <= 0x10FFFF);
      std::string bytes;
      if (c == 0xFFFD || !encoder.Append(c, &bytes)) continue;
      std::u32string back;
      Check(hha::search::Decode(bytes, codePage, &back) && back == std::u32string(1, c));
    }
  }

  const std::string s(text);
  const std::string names = hha::platform::AnsiToUtf8(s, codePage == 65001 ? 1252 : codePage);
  Check(ValidUtf8(names));
  if (ValidUtf8(s)) Check(names == s);

  std::string label = s.substr(0, 24), shouted;
  for (char c : label) shouted += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  Check(hha::search::CodePageOfCharset(label) == hha::search::CodePageOfCharset(" " + shouted + " "));
  return 0;
}
