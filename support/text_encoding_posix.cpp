// iconv conversions for the native build (glibc knows every code page of the tables).
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "support/text_encoding.h"

namespace qb::detail {
namespace {

std::string IconvName(uint32_t codePage) {
  switch (codePage) {
    case 65001: return "UTF-8";
    case 20932: return "EUC-JP";
    case 20866: return "KOI8-R";
    case 54936: return "GB18030";
    default: break;
  }
  if (codePage > 28590 && codePage < 28610) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

// One open converter per direction, reused while the code page stays the same (a job
// converts thousands of names in one code page).
struct Converter {
  iconv_t handle = reinterpret_cast<iconv_t>(-1);
  uint32_t codePage = 0;
  bool toUtf8 = false;

  iconv_t Get(uint32_t page, bool decode) {
    if (handle != reinterpret_cast<iconv_t>(-1) && page == codePage && decode == toUtf8)
      return handle;
    if (handle != reinterpret_cast<iconv_t>(-1)) iconv_close(handle);
    std::string name = IconvName(page);
    handle = decode ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-32LE");
    codePage = page;
    toUtf8 = decode;
    return handle;
  }
  ~Converter() {
    if (handle != reinterpret_cast<iconv_t>(-1)) iconv_close(handle);
  }
};

thread_local Converter encoder;
thread_local Converter decoder;

}  // namespace

bool EncodeCodePoint(char32_t c, uint32_t codePage, std::string* out) {
  iconv_t cd = encoder.Get(codePage, false);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  unsigned char in[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                         static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 24)};
  char buffer[16];
  char* inPtr = reinterpret_cast<char*>(in);
  size_t inLeft = 4;
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
  out->append(buffer, static_cast<size_t>(outPtr - buffer));
  return true;
}

bool DecodeToUtf8(std::string_view text, uint32_t codePage, std::string* out) {
  iconv_t cd = decoder.Get(codePage, true);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out->clear();
  std::string input(text);
  char* inPtr = input.data();
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out->append(buffer, static_cast<size_t>(outPtr - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // A byte the code page does not define: U+FFFD, and on with the next one.
      out->append("\xEF\xBF\xBD");
      ++inPtr;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return true;
}

}  // namespace qb::detail
