// Treats any bytes as a page: no crash, no read past the end (the sanitizers), every line
// break kept (warnings about a treated page name the lines of the file on disk), and
// nothing added beyond the meta and the stylesheet link.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <string>
#include <string_view>

#include "hha/core/page_treatment.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

size_t Count(std::string_view s, char c) {
  size_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input's size, so that any overrun is caught.
  std::unique_ptr<char[]> page(new char[size ? size : 1]);
  if (size) std::memcpy(page.get(), data, size);
  const std::string_view in(page.get(), size);
  const std::string out = hha::TreatPageForViewer(in, "a/b/", "quillbinder-viewer.css");
  Check(Count(out, '\n') == Count(in, '\n'));
  Check(Count(out, '\r') == Count(in, '\r'));
  const size_t added = std::strlen("<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">") +
                       std::strlen("<link rel=\"stylesheet\" type=\"text/css\" href=\"../../quillbinder-viewer.css\">");
  Check(out.size() <= in.size() + added);
  return 0;
}
