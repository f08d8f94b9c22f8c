// What the search index and the topic table take from a compiled HTML page: its title
// and the words of its text, both in the project's code page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hha/core/search/char_table.h"
#include "hha/core/search/code_page.h"

namespace hha::search {

// The longest word (in bytes of the project's code page) the index can hold; longer ones
// are left out, as readers stop matching there.
constexpr size_t kMaxWordBytes = 99;

struct PageText {
  bool hasTitle = false;
  std::string title;  // white space folded, entities decoded
};

// Takes a page's words as they are found, so a large page's words are never all held at
// once. Title words and the others arrive each in text order.
class WordSink {
 public:
  virtual ~WordSink() = default;
  virtual void Word(std::string_view word, bool inTitle) = 0;
};

// Reads pages for one project. Each page is decoded from the charset it declares
// (<meta ... charset=...>, an XML declaration or a UTF-8 byte order mark), or else from
// the project's code page. Words are broken and folded through the search engine's
// character table of the project's code page, as the viewer breaks a query (see
// CharTable); a character the project's code page cannot hold ends a word and is left
// out. Every tag ends a word.
class PageAnalyzer {
 public:
  explicit PageAnalyzer(uint32_t projectCodePage);

  // Fills `out` from the page bytes and hands the words to `words`; without a sink only
  // the title is read.
  void Analyze(std::string_view bytes, WordSink* words, PageText* out);

  // The code page a page declares (0 when it declares none or one we do not know).
  static uint32_t DeclaredCodePage(std::string_view bytes);

 private:
  // Kept from page to page: opening a converter costs more than reading a short page.
  Decoder* DecoderFor(uint32_t codePage);

  Encoder encoder_;
  CharTable table_;
  std::array<uint8_t, 256> plain_{};  // see WordSplitter
  std::vector<std::pair<uint32_t, std::unique_ptr<Decoder>>> decoders_;
};

}  // namespace hha::search
