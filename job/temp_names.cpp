#include "job/temp_names.h"

#include <cstring>

#include "support/ascii.h"
#include "support/path_names.h"

namespace qb {
namespace {

bool CopyBounded(char (&out)[kPathCapacity], const char* a, size_t aLen, const char* b) {
  size_t bLen = std::strlen(b);
  if (aLen + bLen > kPathCapacity - 1) {
    out[0] = 0;
    return false;
  }
  std::memmove(out, a, aLen);
  std::memcpy(out + aLen, b, bLen + 1);
  return true;
}


}  // namespace

bool DeriveTempName(const char* outputPath, const char* extension,
                    char (&out)[kPathCapacity]) {
  const char* ext = FindExtension(outputPath);
  return CopyBounded(out, outputPath, static_cast<size_t>(ext - outputPath), extension);
}

bool DeriveSiblingName(const char* outputPath, const char* fileName,
                       char (&out)[kPathCapacity]) {
  const char* name = FindFileName(outputPath);
  return CopyBounded(out, outputPath, static_cast<size_t>(name - outputPath), fileName);
}

// A compiled file of such a name would be removed by the clean-up after the compiler
// wrote it.
bool IsTemporaryFileName(const char* name) {
  const char* ext = FindExtension(name);
  for (const char* temporary : kTemporaryExtensions)
    if (EqualsLowerAscii(ext, temporary)) return true;
  return IsAboutPageName(name);
}

bool IsAboutPageName(const char* name) { return EqualsLowerAscii(name, kAboutPageName); }

}  // namespace qb
