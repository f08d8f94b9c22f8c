// What the search index and the topic table take from a compiled HTML page: its title
// and the words of its text, both in the project's code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  virtual void Word(const std::string& word, bool inTitle) = 0;
};

// Reads pages for one project. Each page is decoded from the charset it declares
// (<meta ... charset=...>, an XML declaration or a UTF-8 byte order mark), or else from
// the project's code page. Words are runs of letters and digits, case folded; a
// character the project's code page cannot hold ends a word and is left out. In a
// double-byte code page every CJK ideograph and kana character is a word of its own,
// because Chinese and Japanese text has no spaces to split at.
class PageAnalyzer {
 public:
  explicit PageAnalyzer(uint32_t projectCodePage);

  // Fills `out` from the page bytes and hands the words to `words`; without a sink only
  // the title is read.
  void Analyze(std::string_view bytes, WordSink* words, PageText* out);

  // The code page a page declares (0 when it declares none or one we do not know).
  static uint32_t DeclaredCodePage(std::string_view bytes);

 private:
  Encoder encoder_;
  bool doubleByte_;
};

}  // namespace hha::search
