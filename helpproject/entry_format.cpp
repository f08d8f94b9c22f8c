#include "helpproject/entry_format.h"

#include <cstdarg>
#include <cstring>
#include <string>

namespace qb {

bool AppendEntry(BufferedFileWriter& writer, const char* format, ...) {
  // Entries are a few hundred bytes; reserving the classic 1,024 avoids regrowth.
  std::string entry;
  entry.reserve(1024);
  va_list args;
  va_start(args, format);
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      const char* value = va_arg(args, const char*);
      if (value) entry += value;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      entry += '%';
      ++p;
    } else {
      entry += *p;
    }
  }
  va_end(args);
  return writer.Append(entry.data(), static_cast<uint32_t>(entry.size()));
}

bool AppendText(BufferedFileWriter& writer, const char* text) {
  return writer.Append(text, static_cast<uint32_t>(std::strlen(text)));
}

}  // namespace qb
