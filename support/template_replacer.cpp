#include "support/template_replacer.h"

#include <cstring>

namespace qb {
namespace {

// Text runs are appended whole; a write error is left for Finish to report.
void AppendRun(BufferedFileWriter& output, const char* from, const char* to) {
  if (to > from) output.Append(from, static_cast<uint32_t>(to - from));
}

}  // namespace

bool TemplateReplacer::Attach(const char* text) {
  templateText = text;
  return true;
}

bool TemplateReplacer::OpenOutput(const char* path) { return output.Open(path); }

bool TemplateReplacer::Run(TemplateKeyProvider& provider) {
  const char* t = templateText;
  if (!t) return false;
  const size_t length = std::strlen(t);
  size_t literal = 0;
  size_t i = 0;
  while (i + 3 < length) {
    if (t[i] != '$' || t[i + 1] != '{') {
      ++i;
      continue;
    }
    const char* close = static_cast<const char*>(std::memchr(t + i, '}', length - i));
    if (!close) return false;
    AppendRun(output, t + literal, t + i);
    const size_t keyLength = static_cast<size_t>(close - (t + i + 2));
    // No key the system serves is anywhere near this long; cutting one instead could
    // make an unknown key pass for a known one.
    if (keyLength >= kKeyCapacity) return false;
    char key[kKeyCapacity];
    std::memcpy(key, t + i + 2, keyLength);
    key[keyLength] = '\0';
    if (!provider.WriteValue(key, output)) return false;
    i = literal = static_cast<size_t>(close - t) + 1;
  }
  AppendRun(output, t + literal, t + length);
  return true;
}

bool TemplateReplacer::Finish() {
  templateText = nullptr;
  return output.Close();
}

}  // namespace qb
