// Expands the input as a template with a provider that writes every key back as
// "${key}" and refuses keys that start with '!'. A successful run must therefore
// reproduce the text exactly, and a failed one must have written a prefix of it, as
// long as the expansion rules say. Byte 0 sets the output buffer's size, so that the
// flushes fall everywhere; the output is caught by the write seam, never written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/template_replacer.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string g_written;

bool CaptureWrite(qb::NativeFile, const void* data, uint32_t count, uint32_t* written) {
  g_written.append(static_cast<const char*>(data), count);
  *written = count;
  return true;
}

class EchoProvider : public qb::TemplateKeyProvider {
 public:
  bool WriteValue(const char* key, qb::BufferedFileWriter& output) override {
    if (std::strlen(key) >= qb::TemplateReplacer::kKeyCapacity) std::abort();
    if (key[0] == '!') return false;
    std::string value = std::string("${") + key + "}";
    return output.Append(value.data(), static_cast<uint32_t>(value.size()));
  }
};

// The expansion rules, stated over std::string: the result of Run and how much of the
// text reaches the output.
bool Expected(const std::string& t, size_t* written) {
  size_t literal = 0;
  for (size_t i = 0; i + 3 < t.size();) {
    if (t.compare(i, 2, "${") != 0) {
      ++i;
      continue;
    }
    size_t close = t.find('}', i);
    if (close == std::string::npos) {
      *written = literal;
      return false;
    }
    std::string key = t.substr(i + 2, close - i - 2);
    if (key.size() > 35 || (!key.empty() && key[0] == '!')) {
      *written = i;
      return false;
    }
    i = literal = close + 1;
  }
  *written = t.size();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint32_t capacity = 1u + data[0] % 64;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  text = text.substr(0, text.find('\0'));

  qb::SetNativeWriteHookForTesting(&CaptureWrite);
  g_written.clear();
  qb::TemplateReplacer r;
  r.output.capacity = capacity;
  Check(r.Attach(text.c_str()));
  Check(r.OpenOutput("/dev/null"));
  EchoProvider provider;
  bool ran = r.Run(provider);
  Check(r.Finish());
  qb::SetNativeWriteHookForTesting(nullptr);

  size_t expectedLength = 0;
  Check(ran == Expected(text, &expectedLength));
  Check(g_written == text.substr(0, expectedLength));
  return 0;
}
