// Code page conversions through the C library's iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hha/core/search/code_page.h"

namespace hha::search {
namespace {

std::string IconvName(uint32_t codePage) {
  if (codePage == kUtf8) return "UTF-8";
  if (codePage == 20866) return "KOI8-R";
  if (codePage > 28590 && codePage < 28610) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

iconv_t Open(const std::string& to, const std::string& from) {
  return iconv_open(to.c_str(), from.c_str());
}

// How many bytes from p on are below 0x80. Pages are mostly such bytes: sixteen at a
// time where the target has the instructions.
size_t AsciiRun(const unsigned char* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    if (high) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(high)));
  }
#endif
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// Appends n bytes below 0x80, each its own character. Widened in place: appending a
// byte range to a u32string first builds a copy of it.
void AppendAscii(const unsigned char* p, size_t n, std::u32string* out) {
  const size_t at = out->size();
  out->resize(at + n);
  char32_t* o = &(*out)[at];
  size_t i = 0;
#if defined(__SSE2__)  // x86: characters are stored little-endian, as unpacking makes them
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), _mm_unpacklo_epi16(lo, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 4), _mm_unpackhi_epi16(lo, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 8), _mm_unpacklo_epi16(hi, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i + 12), _mm_unpackhi_epi16(hi, zero));
  }
#endif
  for (; i < n; ++i) o[i] = p[i];
}

}  // namespace

namespace {
void Convert(iconv_t cd, const char* bytes, size_t n, std::u32string* out);
}  // namespace

Decoder::Decoder(uint32_t codePage) : codePage_(codePage) {
  iconv_t cd = Open("UTF-32LE", IconvName(codePage));
  ok_ = cd != reinterpret_cast<iconv_t>(-1);
  if (!ok_) return;
  handle_ = cd;
  if (codePage == kUtf8) return;
  char ascii[0x80];
  std::u32string back;
  for (int c = 0; c < 0x80; ++c) ascii[c] = static_cast<char>(c);
  Convert(cd, ascii, sizeof ascii, &back);
  asciiAsIs_ = back.size() == sizeof ascii;
  for (size_t c = 0; asciiAsIs_ && c < back.size(); ++c) asciiAsIs_ = back[c] == c;
}

Decoder::~Decoder() {
  if (handle_) iconv_close(static_cast<iconv_t>(handle_));
}

namespace {

void Convert(iconv_t cd, const char* bytes, size_t n, std::u32string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes);
  size_t inLeft = n;
  char buffer[16384];
  while (inLeft > 0) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    for (char* p = buffer; p + 4 <= o; p += 4) {
      const auto* u = reinterpret_cast<const unsigned char*>(p);
      out->push_back(static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | u[3] << 24));
    }
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // An undefined or truncated sequence: one replacement character per bad byte keeps
      // going, as browsers do.
      out->push_back(0xFFFD);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  // A converter that composes (glibc's CP1258 joins a letter and the accent after it)
  // holds the last letter back until it sees what follows: the piece's end releases it.
  char* o = buffer;
  size_t oLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &o, &oLeft);
  for (char* p = buffer; p + 4 <= o; p += 4) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    out->push_back(static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | u[3] << 24));
  }
}

}  // namespace

void Decoder::Append(const char* bytes, size_t n, std::u32string* out) {
  if (!handle_) return;
  auto cd = static_cast<iconv_t>(handle_);
  if (codePage_ != kUtf8) {
    // Text with no byte from 0x80 up has no lead byte either, so each byte is a character
    // of its own; iconv, set up per call, cost thousands of instructions per short text
    // (the index's 50,000 keywords).
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (!asciiAsIs_ || AsciiRun(p, n) != n) return Convert(cd, bytes, n, out);
    return AppendAscii(p, n, out);
  }
  // Pages are mostly ASCII, and in UTF-8 no byte below 0x80 is part of a longer
  // character: those bytes are their own characters, and iconv gets only the runs
  // between them. A sequence an ASCII byte cuts short fails there as it would in the
  // whole text (one U+FFFD per byte).
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < n) {
    const size_t ascii = i;
    i += AsciiRun(p + i, n - i);
    AppendAscii(p + ascii, i - ascii, out);
    const size_t other = i;
    while (i < n && p[i] >= 0x80) ++i;
    if (i > other) Convert(cd, bytes + other, i - other, out);
  }
}

Encoder::Encoder(uint32_t codePage) : codePage_(codePage) {
  iconv_t cd = Open(IconvName(codePage), "UTF-32LE");
  if (cd != reinterpret_cast<iconv_t>(-1)) handle_ = cd;
}

Encoder::~Encoder() {
  if (handle_) iconv_close(static_cast<iconv_t>(handle_));
}

bool Encoder::Convert(char32_t c, std::string* bytes) {
  if (!handle_) return false;
  auto cd = static_cast<iconv_t>(handle_);
  unsigned char u[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                        static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 24)};
  char* in = reinterpret_cast<char*>(u);
  size_t inLeft = 4;
  char buffer[16];
  char* o = buffer;
  size_t oLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
  if (r != static_cast<size_t>(-1) && iconv(cd, nullptr, nullptr, &o, &oLeft) == static_cast<size_t>(-1))
    r = static_cast<size_t>(-1);
  if (r == static_cast<size_t>(-1) || r > 0 || o == buffer) return false;  // r > 0: substituted
  bytes->assign(buffer, o);
  return true;
}

}  // namespace hha::search
