#include "helpproject/javadoc_index.h"

#include "support/html_reader.h"
#include "support/text_encoding.h"

namespace qb {
namespace {

bool EndsTerm(const HtmlTag& tag) {
  if (tag.closing) return tag.Is("dt") || tag.Is("dl");
  return tag.Is("dt") || tag.Is("dd");
}

std::string_view Between(const char* from, const char* to) {
  return to > from ? std::string_view(from, static_cast<size_t>(to - from)) : std::string_view();
}

// The context of a term: `rest` is what follows the keyword link, up to the term's end.
std::string ContextOf(std::string_view rest, uint32_t codePage) {
  // The first " - " in text, not inside a tag.
  HtmlReader reader(rest);
  HtmlTag tag;
  const char* text = rest.data();
  const char* dash = nullptr;
  while (!dash) {
    bool more = reader.NextTag(&tag);
    const char* textEnd = more ? tag.start : rest.data() + rest.size();
    std::string_view segment = Between(text, textEnd);
    size_t at = segment.find(" - ");
    if (at != std::string_view::npos) dash = text + at + 3;
    if (!more) break;
    text = tag.end;
  }
  if (!dash) return std::string();

  std::string_view after = Between(dash, rest.data() + rest.size());
  HtmlReader links(after);
  int supDepth = 0;
  while (links.NextTag(&tag)) {
    if (tag.Is("sup")) {
      supDepth += tag.closing ? -1 : 1;
      if (supDepth < 0) supDepth = 0;
      continue;
    }
    std::string href;
    if (tag.closing || supDepth > 0 || !tag.Is("a") || !tag.Attribute("href", &href)) continue;
    const char* contentStart = tag.end;
    const char* contentEnd = after.data() + after.size();
    HtmlTag close;
    while (links.NextTag(&close))
      if (close.closing && close.Is("a")) {
        contentEnd = close.start;
        break;
      }
    return HtmlFragmentText(ToUtf8(Between(contentStart, contentEnd), codePage));
  }
  return HtmlFragmentText(ToUtf8(after, codePage));
}

}  // namespace

void ReadIndexTerms(std::string_view page, uint32_t codePage, bool inSubfolder,
                    const std::function<bool(const IndexTerm&)>& visit) {
  HtmlReader reader(page);
  HtmlTag tag;
  bool pending = reader.NextStartTag("dt", &tag);
  while (pending) {
    const char* termEnd = page.data() + page.size();
    pending = false;
    const char* linkTag = nullptr;
    std::string href;
    const char* keywordStart = nullptr;
    const char* keywordEnd = nullptr;
    while (reader.NextTag(&tag)) {
      if (EndsTerm(tag)) {
        termEnd = tag.start;
        pending = (!tag.closing && tag.Is("dt")) || reader.NextStartTag("dt", &tag);
        break;
      }
      if (!linkTag && !tag.closing && tag.Is("a") && tag.Attribute("href", &href)) {
        linkTag = tag.start;
        keywordStart = tag.end;
      } else if (linkTag && !keywordEnd && tag.closing && tag.Is("a")) {
        keywordEnd = tag.start;
      }
    }
    if (!linkTag) continue;
    if (!keywordEnd) keywordEnd = termEnd;

    IndexTerm term;
    std::string_view raw = Between(keywordStart, keywordEnd);
    size_t cut = raw.find("&lt;");
    if (cut != std::string_view::npos) raw = raw.substr(0, cut);
    term.keyword = HtmlFragmentText(ToUtf8(raw, codePage));
    term.target = href;
    if (term.target.compare(0, 2, "./") == 0) term.target.erase(0, 2);
    if (inSubfolder && term.target.compare(0, 3, "../") == 0) term.target.erase(0, 3);
    // Past the keyword link's end tag.
    const char* afterLink = keywordEnd;
    if (afterLink < termEnd) {
      HtmlReader closeReader(Between(afterLink, termEnd));
      HtmlTag close;
      if (closeReader.NextTag(&close)) afterLink = close.end;
    }
    term.context = ContextOf(Between(afterLink, termEnd), codePage);
    if (!visit(term)) return;
  }
}

}  // namespace qb
