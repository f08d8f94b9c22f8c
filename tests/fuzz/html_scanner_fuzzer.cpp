// Drives every scanner operation from the input: byte 0 gives the number of operations,
// the bytes after it choose them, the rest is the page. The page is copied into a block
// that ends at its first NUL, so any read past that NUL is an overrun that the address
// sanitizer catches. Results are checked against the operations' definitions written
// with unbounded searches over the whole text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "support/html_scanner.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

const char* const kTagNames[] = {"A", "FRAME", "DT", "", "B>", "ABCDEFGHIJKLMNOPQ",
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
const char* const kAttributeNames[] = {"HREF", "name", "src", "", "\"",
                                       "ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                       ">", "/A>"};
constexpr size_t kTags = sizeof kTagNames / sizeof *kTagNames;
constexpr size_t kAttributes = sizeof kAttributeNames / sizeof *kAttributeNames;

struct Model {
  std::string_view text;
  size_t Offset(const char* p) const { return static_cast<size_t>(p - text.data()); }

  std::string AttributeValue(const qb::HtmlScanner& s, const char* name) const {
    if (!s.elementStart || !s.elementEnd) return "";
    std::string key = std::string(name).substr(0, 15) + "=\"";
    size_t end = Offset(s.elementEnd);
    size_t at = text.find(key, Offset(s.elementStart));
    if (at == std::string_view::npos || at > end) return "";
    size_t quote = text.find('"', at + key.size());
    if (quote == std::string_view::npos || quote > end) return "";
    return std::string(text.substr(at + key.size(), quote - at - key.size()));
  }

  std::string ElementText(const qb::HtmlScanner& s) const {
    if (!s.elementStart || !s.elementEnd) return "";
    size_t end = Offset(s.elementEnd);
    size_t gt = text.find('>', Offset(s.elementStart));
    if (gt == std::string_view::npos || gt >= end) return "";
    return std::string(text.substr(gt + 1, end - gt - 1));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t ops = data[0] % 48;
  if (ops > size - 1) ops = size - 1;
  const uint8_t* program = data + 1;
  const char* rest = reinterpret_cast<const char*>(data + 1 + ops);
  size_t restSize = size - 1 - ops;
  const void* nul = std::memchr(rest, '\0', restSize);
  size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - rest) : restSize;

  std::unique_ptr<char[]> page(new char[length + 1]);
  std::memcpy(page.get(), rest, length);
  page[length] = '\0';
  Model model{std::string_view(page.get(), length)};

  qb::HtmlScanner s(page.get());
  bool found = false;  // the last FindElement (or NextLink) succeeded
  for (size_t i = 0; i < ops; ++i) {
    const char* before = s.cursor;
    uint8_t op = program[i];
    const char* tag = kTagNames[(op >> 3) % kTags];
    bool openingTagOnly = (op >> 6) & 1;
    switch (op % 6) {
      case 0: {
        std::string cutTag = std::string(tag).substr(0, 17);
        found = s.FindElement(tag, openingTagOnly);
        if (found) {
          std::string open = "<" + cutTag + " ";
          Check(s.elementStart && s.elementEnd && s.elementStart <= s.elementEnd);
          Check(s.cursor == s.elementEnd);
          Check(model.text.substr(model.Offset(s.elementStart), open.size()) == open);
          std::string marker = openingTagOnly ? ">" : "</" + cutTag + ">";
          Check(model.text.substr(model.Offset(s.elementEnd), marker.size()) == marker);
        } else {
          Check(s.cursor == before);
        }
        break;
      }
      case 1: {
        const char* name = kAttributeNames[(op >> 3) % kAttributes];
        std::string value = s.AttributeValue(name);
        Check(value == model.AttributeValue(s, name));
        break;
      }
      case 2: {
        std::string text = s.ElementText();
        Check(text == model.ElementText(s));
        break;
      }
      case 3: {
        std::string href = s.href, text = s.text;
        found = s.NextLink();
        if (found) {
          Check(s.href == model.AttributeValue(s, "HREF"));
          Check(s.text == model.ElementText(s));
        } else {
          Check(s.href == href && s.text == text && s.cursor == before);
        }
        break;
      }
      case 4:
      case 5: {
        bool term = s.NextDefinitionTerm();
        Check(term ? std::strncmp(s.cursor, "<DT>", 4) == 0 : s.cursor == before);
        if (term) Check(s.cursor == std::strstr(before, "<DT>"));
        break;
      }
    }
    Check(s.cursor >= before && s.cursor <= page.get() + length);
  }
  return 0;
}
