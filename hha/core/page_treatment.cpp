// Page treatment for the HTML Help viewer. Like the link finder it is a forgiving tag
// reader, not an HTML parser: it edits a few known shapes in place and copies every
// other byte, so a page it does not understand comes out as it went in.
#include "hha/core/page_treatment.h"

#include <vector>

#include "hha/core/link_collector.h"
#include "support/ascii.h"

namespace hha {

// !important because JDK 21 writes `div.flex-box`, which outranks a class selector, and
// the header rules sit in an @media block that a plain rule would not reach reliably.
const std::string_view kViewerStylesheet =
    "/* Added by quillbinder: in the HTML Help viewer no script sizes the navigation\r\n"
    "   header, so it scrolls with the page and the content flows below it. */\r\n"
    ".fixedNav, .flexBox, .flex-box { position: static !important; height: auto !important; }\r\n"
    ".navPadding { display: none !important; }\r\n"
    ".flexContent, .flex-content { overflow: visible !important; height: auto !important; }\r\n";

namespace {

constexpr size_t npos = std::string::npos;
constexpr std::string_view kCompatibleMeta = "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">";
// A tag not closed within this many bytes is taken as text. Javadoc's longest tags are a
// few hundred bytes; the bound keeps a page full of unclosed '<' linear.
constexpr size_t kMaxTagBytes = 64 * 1024;
// How far past a list item's link its </a> and </li> are looked for.
constexpr size_t kMaxLinkTextBytes = 4096;

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IStartsAt(std::string_view s, size_t at, std::string_view lowerPrefix) {
  if (at > s.size() || s.size() - at < lowerPrefix.size()) return false;
  for (size_t i = 0; i < lowerPrefix.size(); ++i)
    if (qb::AsciiLower(s[at + i]) != lowerPrefix[i]) return false;
  return true;
}

size_t IFind(std::string_view s, std::string_view lowerNeedle, size_t from) {
  for (size_t i = s.find('<', from); i != npos; i = s.find('<', i + 1))
    if (IStartsAt(s, i, lowerNeedle)) return i;
  return npos;
}

struct Attribute {
  size_t begin = 0, end = 0;  // from the white space before the name to past the value
  std::string_view name;      // as written: compared folded, as most are never asked for
  std::string_view value;
};

struct Tag {
  size_t begin = 0, end = 0;  // '<' and past '>'
  bool isEnd = false;
  std::string name;  // lower case
  std::vector<Attribute> attrs;

  const Attribute* Find(std::string_view lowerName) const {
    for (const Attribute& a : attrs)
      if (qb::EqualsLowerAscii(a.name, lowerName)) return &a;
    return nullptr;
  }
  bool HasClass(std::string_view cls) const {
    const Attribute* a = Find("class");
    if (!a) return false;
    // The classes are the runs of non-space: an occurrence with space or an end on
    // either side is one. Searched for, as most values hold no such occurrence at all.
    const std::string_view v = a->value;
    for (size_t at = v.find(cls); at != npos; at = v.find(cls, at + 1)) {
      const size_t end = at + cls.size();
      if ((at == 0 || qb::IsHtmlSpace(v[at - 1])) && (end == v.size() || qb::IsHtmlSpace(v[end])))
        return true;
    }
    return false;
  }
};

// Reads the start or end tag at text[at] == '<'. False for anything else; `resume` (if
// given) is then where reading can go on: past the '<' when it starts no tag, else where
// the unfinished tag ran out. A browser takes all of that for the tag, and going on
// from there keeps a page full of unfinished tags linear.
bool ReadTag(std::string_view text, size_t at, Tag* tag, size_t* resume = nullptr) {
  const size_t n = std::min(text.size(), at + kMaxTagBytes);
  size_t i = at + 1;
  if (resume) *resume = i;
  tag->isEnd = i < n && text[i] == '/';
  if (tag->isEnd) ++i;
  if (i >= n || !IsAlpha(text[i])) return false;
  if (resume) *resume = n;
  const size_t nameBegin = i;
  while (i < n && !qb::IsTagByte(text[i], qb::kTagSpace | qb::kTagSlash | qb::kTagClose)) ++i;
  tag->name = qb::AsciiLowerCopy(text.substr(nameBegin, i - nameBegin));
  tag->attrs.clear();
  for (;;) {
    Attribute a;
    a.begin = i;
    while (i < n && qb::IsTagByte(text[i], qb::kTagSpace | qb::kTagSlash)) ++i;
    if (i >= n) return false;
    if (text[i] == '>') {
      tag->begin = at;
      tag->end = i + 1;
      return true;
    }
    const size_t attrName = i++;
    while (i < n && !qb::IsTagByte(text[i], qb::kTagSpace | qb::kTagSlash | qb::kTagClose | qb::kTagEquals)) ++i;
    a.name = text.substr(attrName, i - attrName);
    size_t j = i;
    while (j < n && qb::IsHtmlSpace(text[j])) ++j;
    if (j < n && text[j] == '=') {
      ++j;
      while (j < n && qb::IsHtmlSpace(text[j])) ++j;
      if (j >= n) return false;
      if (text[j] == '"' || text[j] == '\'') {
        const size_t close = text.find(text[j], j + 1);
        if (close == npos || close >= n) return false;
        a.value = text.substr(j + 1, close - j - 1);
        i = close + 1;
      } else {
        const size_t v = j;
        while (j < n && !qb::IsTagByte(text[j], qb::kTagSpace | qb::kTagClose)) ++j;
        a.value = text.substr(v, j - v);
        i = j;
      }
    }
    a.end = i;
    tag->attrs.push_back(a);
  }
}

bool IsJavaScriptUrl(std::string_view v) {
  size_t i = 0;
  while (i < v.size() && qb::IsHtmlSpace(v[i])) ++i;
  return IStartsAt(v, i, "javascript:") || IStartsAt(v, i, "vbscript:");
}

// Content that a browser reads as text up to its end tag.
bool IsRawText(std::string_view name) {
  return name == "style" || name == "title" || name == "textarea" || name == "xmp";
}

// Markup that a "JavaScript is disabled" notice is made of.
bool IsNoticeMarkup(std::string_view name) {
  for (const char* n : {"div", "p", "span", "b", "strong", "em", "i", "br", "small", "font", "center"})
    if (name == n) return true;
  return false;
}

class Treatment {
 public:
  Treatment(std::string_view page, const std::string& folder, const std::string& stylesheet,
            std::string* out)
      : in_(page), folder_(folder), out_(*out) {
    std::string href;
    for (char c : folder)
      if (c == '/') href += "../";
    link_ = "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + href + stylesheet + "\">";
    searchInFolder_ = (!folder.empty() && folder.back() != '/') || ContainsFolded(folder, kSearchPage);
  }

  // Edits only remove and insert each text once, so the output never outgrows this room.
  bool Run(size_t every = 0, const std::function<bool(size_t)>* settled = nullptr) {
    out_.clear();
    out_.reserve(in_.size() + kCompatibleMeta.size() + link_.size());
    size_t i = 0;
    Tag tag;  // one for the page: its attribute list keeps its room from tag to tag
    while ((i = in_.find('<', i)) != npos) {
      // Every edit lies at or after the markup that starts here, so what comes before
      // is final.
      if (settled && i - copied_ >= every) {
        Flush(i);
        if (!(*settled)(out_.size())) return false;
      }
      if (in_.compare(i, 4, "<!--") == 0) {
        i = Comment(i);
      } else if (i + 1 < in_.size() && (in_[i + 1] == '!' || in_[i + 1] == '?')) {
        const size_t e = in_.find('>', i);
        i = e == npos ? in_.size() : e + 1;
      } else if (ReadTag(in_, i, &tag, &i)) {
        i = tag.isEnd ? EndTag(tag) : StartTag(tag);
      }
    }
    Flush(in_.size());
    if (metaDone_ && !linkDone_) out_ += link_;
    return !settled || (*settled)(out_.size());
  }

 private:
  void Flush(size_t to) {
    if (to <= copied_) return;
    out_.append(in_.substr(copied_, to - copied_));
    copied_ = to;
  }
  // Leaves in_[from, to) out but keeps its line breaks, so lines keep their numbers.
  void Drop(size_t from, size_t to) {
    Flush(from);
    for (size_t i = from; i < to; ++i)
      if (in_[i] == '\n' || in_[i] == '\r') out_ += in_[i];
    copied_ = to;
  }
  void Insert(size_t at, std::string_view text) {
    Flush(at);
    out_ += text;
  }
  void InsertMeta(size_t at) {
    if (metaDone_) return;
    Insert(at, kCompatibleMeta);
    metaDone_ = true;
  }
  void InsertLink(size_t at) {
    if (linkDone_) return;
    InsertMeta(at);
    Insert(at, link_);
    linkDone_ = true;
  }

  size_t Comment(size_t at) {
    const size_t close = in_.find("-->", at + 4);
    const size_t end = close == npos ? in_.size() : close + 3;
    // IE before 10 reads conditional comments, and Javadoc 9-11 loads a script in one.
    if (IStartsAt(in_, at + 4, "[if") && IFind(in_.substr(0, end), "<script", at) != npos)
      Drop(at, end);
    return end;
  }

  // Where the end tag `</name` that closes a raw-text element starting at `from` begins.
  size_t RawTextEnd(std::string_view name, size_t from) const {
    return IFind(in_, "</" + std::string(name), from);
  }

  size_t StartTag(const Tag& tag) {
    // A view, so that each test against a name compares sizes first.
    const std::string_view name = tag.name;
    if (name == "head") {
      InsertMeta(tag.end);
      return tag.end;
    }
    // Without a <head> tag the first element opens the implied head: the meta goes there.
    if (name != "html") InsertMeta(tag.begin);
    if (name == "body") InsertLink(tag.begin);
    if (name == "script") {
      const size_t close = RawTextEnd(name, tag.end);
      Tag closeTag;
      const size_t end = close == npos                 ? in_.size()
                         : ReadTag(in_, close, &closeTag) ? closeTag.end
                                                          : close + 8;
      Drop(tag.begin, end);
      return end;
    }
    if (IsRawText(name)) {
      const size_t close = RawTextEnd(name, tag.end);
      return close == npos ? in_.size() : close;
    }
    if (name == "plaintext") return in_.size();
    if (name == "noscript") return NoScript(tag);
    if (tag.HasClass("nav-list-search") || tag.HasClass("navListSearch")) {
      const size_t end = ElementEnd(tag);
      if (end != npos) {
        Drop(tag.begin, end);
        return end;
      }
    }
    if (name == "li") {
      const size_t end = SearchItemEnd(tag);
      if (end != npos) {
        Drop(tag.begin, end);
        return end;
      }
    }
    if (name == "a" && IsSearchLink(tag)) {
      Drop(tag.begin, tag.end);
      dropAnchorEnd_ = true;
      return tag.end;
    }
    for (const Attribute& a : tag.attrs) {
      // Every event handler attribute is named on...; none of the others is.
      const std::string_view an = a.name;
      const bool handler = an.size() > 2 && qb::AsciiLower(an[0]) == 'o' && qb::AsciiLower(an[1]) == 'n';
      const bool scriptUrl = (qb::EqualsLowerAscii(an, "href") || qb::EqualsLowerAscii(an, "src") ||
                              qb::EqualsLowerAscii(an, "action")) &&
                             IsJavaScriptUrl(a.value);
      if (handler || scriptUrl) Drop(a.begin, a.end);
    }
    return tag.end;
  }

  size_t EndTag(const Tag& tag) {
    const std::string_view name = tag.name;
    if (name == "head") InsertLink(tag.begin);
    if (name == "a" && dropAnchorEnd_) {
      Drop(tag.begin, tag.end);
      dropAnchorEnd_ = false;
    }
    return tag.end;
  }

  size_t NoScript(const Tag& tag) {
    // The first </noscript after this tag is the one found for an earlier tag, if that
    // lies beyond this one.
    if (noscriptClose_ == npos || noscriptClose_ < tag.end)
      noscriptClose_ = noscriptUnclosed_ ? npos : IFind(in_, "</noscript", tag.end);
    const size_t close = noscriptClose_;
    Tag closeTag;
    if (close == npos || !ReadTag(in_, close, &closeTag) || closeTag.name != "noscript") {
      noscriptUnclosed_ = close == npos;
      return tag.end;  // read on inside, as any other element
    }
    const std::string_view inner = in_.substr(tag.end, close - tag.end);
    bool notice = true, refreshOnly = true, hasRefresh = false, mentionsJavaScript = false;
    for (size_t i = 0; i < inner.size();) {
      if (inner[i] != '<') {
        refreshOnly &= qb::IsHtmlSpace(inner[i]);
        mentionsJavaScript |= IStartsAt(inner, i, "javascript");
        ++i;
        continue;
      }
      Tag t;
      if (inner.compare(i, 4, "<!--") == 0) {
        const size_t e = inner.find("-->", i + 4);
        if (e == npos) return tag.end;
        i = e + 3;
      } else if (ReadTag(inner, i, &t)) {
        const Attribute* equiv = t.Find("http-equiv");
        const bool refresh = !t.isEnd && t.name == "meta" && equiv &&
                             qb::AsciiLowerCopy(equiv->value) == "refresh";
        hasRefresh |= refresh;
        refreshOnly &= refresh;
        notice &= IsNoticeMarkup(t.name);
        if (!notice && !refreshOnly) return tag.end;  // nothing to learn from the rest
        i = t.end;
      } else {
        return tag.end;
      }
    }
    if (hasRefresh && refreshOnly) {
      // The script that redirected is gone; the Refresh meta now has to do it.
      Drop(tag.begin, tag.end);
      Drop(close, closeTag.end);
      return closeTag.end;
    }
    if (notice && mentionsJavaScript) {
      Drop(tag.begin, closeTag.end);
      return closeTag.end;
    }
    return tag.end;
  }

  // Past the end tag that closes `tag`'s element, or npos.
  size_t ElementEnd(const Tag& tag) {
    if (elementUnclosed_) return npos;
    int depth = 1;
    Tag t;
    for (size_t i = tag.end; (i = in_.find('<', i)) != npos;) {
      if (in_.compare(i, 4, "<!--") == 0) {
        const size_t e = in_.find("-->", i + 4);
        if (e == npos) break;
        i = e + 3;
      } else if (!ReadTag(in_, i, &t, &i)) {
        continue;
      } else if (t.name == tag.name) {
        depth += t.isEnd ? -1 : 1;
        if (depth == 0) return t.end;
        i = t.end;
      } else if (!t.isEnd && (t.name == "script" || IsRawText(t.name))) {
        i = RawTextEnd(t.name, t.end);
        if (i == npos) break;
      } else {
        i = t.end;
      }
    }
    elementUnclosed_ = true;
    return npos;
  }

  // A link to the root search.html, from this page's folder.
  // Asked of every link, so its strings keep their room from one call to the next. The
  // resolved path is one part, and each part comes whole from the folder or the link
  // (the folder ends in "/"), so a link without "search.html" in it is not resolved.
  bool IsSearchLink(const Tag& a) const {
    const Attribute* href = a.Find("href");
    if (!href) return false;
    linkText_.assign(href->value);
    return LocalLinkPath(linkText_, &linkPath_) &&
           (searchInFolder_ || ContainsFolded(linkPath_, kSearchPage)) &&
           ResolveRelative(folder_, linkPath_, &linkResolved_) &&
           qb::EqualsLowerAscii(linkResolved_, kSearchPage);
  }
  static bool ContainsFolded(std::string_view s, std::string_view lower) {
    for (size_t at = 0; at + lower.size() <= s.size(); ++at)
      if (qb::AsciiLower(s[at]) == lower[0] && qb::EqualsLowerAscii(s.substr(at, lower.size()), lower))
        return true;
    return false;
  }

  // Past the </li> of a list item that holds nothing but a link to search.html, or npos.
  size_t SearchItemEnd(const Tag& li) const {
    auto skipSpace = [&](size_t i) {
      while (i < in_.size() && qb::IsHtmlSpace(in_[i])) ++i;
      return i;
    };
    Tag a, aEnd, liEnd;
    if (!ReadTag(in_, skipSpace(li.end), &a) || a.isEnd || a.name != "a" || !IsSearchLink(a))
      return npos;
    const size_t close =
        IFind(in_.substr(0, std::min(in_.size(), a.end + kMaxLinkTextBytes)), "</a", a.end);
    if (close == npos || !ReadTag(in_, close, &aEnd) || aEnd.name != "a") return npos;
    if (!ReadTag(in_, skipSpace(aEnd.end), &liEnd) || !liEnd.isEnd || liEnd.name != "li")
      return npos;
    return liEnd.end;
  }

  const std::string_view in_;
  const std::string folder_;
  std::string link_;
  std::string& out_;
  mutable std::string linkText_, linkPath_, linkResolved_;  // IsSearchLink's
  static constexpr std::string_view kSearchPage = "search.html";
  bool searchInFolder_ = true;  // whether the folder alone could make a link resolve to it
  size_t copied_ = 0;  // in_ is in out_ up to here
  bool metaDone_ = false, linkDone_ = false;
  bool dropAnchorEnd_ = false;  // the next </a> closes a search link whose tags went
  // Set once a search finds no end: later ones are not tried, so that a page full of
  // unclosed elements is still read once (it keeps what they would have removed).
  bool noscriptUnclosed_ = false, elementUnclosed_ = false;
  size_t noscriptClose_ = npos;
};

}  // namespace

namespace {

bool IsUtf16(std::string_view page) {
  return page.size() >= 2 && ((page[0] == '\xFF' && page[1] == '\xFE') ||
                              (page[0] == '\xFE' && page[1] == '\xFF'));
}

}  // namespace

std::string TreatPageForViewer(std::string_view page, const std::string& pageFolder,
                               const std::string& stylesheet) {
  if (IsUtf16(page)) return std::string(page);
  std::string out;
  Treatment(page, pageFolder, stylesheet, &out).Run();
  return out;
}

bool TreatPageForViewer(std::string_view page, const std::string& pageFolder,
                        const std::string& stylesheet, std::string* out, size_t every,
                        const std::function<bool(size_t)>& settled) {
  if (IsUtf16(page)) {
    out->assign(page);
    return settled(out->size());
  }
  return Treatment(page, pageFolder, stylesheet, out).Run(every, &settled);
}

}  // namespace hha
