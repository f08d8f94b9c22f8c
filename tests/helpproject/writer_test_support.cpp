#include "tests/helpproject/writer_test_support.h"

#include <gtest/gtest.h>

#include "resources/product.h"
#include "tests/common/test_util.h"

namespace qb::test {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string Expected(const std::string& name, const std::string& folder) {
  bool ok = false;
  std::string text = ReadFile(SourceDir() + "\\tests\\helpproject\\expected\\" + name, &ok);
  EXPECT_TRUE(ok) << name;
  ReplaceAll(text, "@HOMEPAGE@", kProductHomepage);
  ReplaceAll(text, "@FOLDER@", folder);
  return text;
}

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace qb::test
