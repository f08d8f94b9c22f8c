// Sitemaps (.hhc/.hhk) written from the input, then read as the compiler reads them:
// the Local values (link collector), the nesting depth and the site properties must be
// exactly those written, whatever the case, quoting, spacing and comments. With byte 0
// odd the input itself is read as a sitemap instead, with the bounds that any text has.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "hha/core/link_collector.h"
#include "hha/core/topics.h"
#include "tests/fuzz/fuzz_check.h"

namespace {


class Input {
 public:
  Input(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool more() const { return at_ < n_; }
  uint8_t Byte() { return at_ < n_ ? d_[at_++] : 0; }

 private:
  const uint8_t* d_;
  size_t n_, at_ = 0;
};

// A value of up to 15 characters that may be written inside quotes of either kind once
// '&' becomes "&amp;" (the link collector decodes it; '>' is fine inside quotes).
std::string Value(Input& in, bool forProperties) {
  static const char kChars[] = "aZ9_-./ #?%&>:\\\xC3\xA9";
  std::string v;
  const size_t n = 1 + in.Byte() % 15;
  for (size_t i = 0; i < n; ++i) {
    char c = kChars[in.Byte() % (sizeof kChars - 1)];
    if (forProperties && (c == '&' || c == '>' || c == ' ')) c = 'p';  // read raw there
    v += c;
  }
  return v;
}

std::string Amp(const std::string& v) {
  std::string out;
  for (char c : v) out += c == '&' ? std::string("&amp;") : std::string(1, c);
  return out;
}

std::string Cased(Input& in, std::string word) {
  const uint8_t m = in.Byte();
  for (size_t i = 0; i < word.size(); ++i)
    if (((m >> (i % 8)) & 1) && word[i] >= 'a' && word[i] <= 'z') word[i] -= 32;
  return word;
}

std::string Attr(Input& in, const std::string& name, const std::string& value) {
  static const char* const kSpace[] = {"", " ", "\r\n", "\t"};
  const char quote = in.Byte() % 2 ? '"' : '\'';
  const std::string s = kSpace[in.Byte() % 4];
  return " " + Cased(in, name) + s + "=" + s + quote + value + quote;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    hha::VisitLinks(text, hha::LinkSource::kSitemap, [&](const hha::Link& l) {
      Check(!l.target.empty() && l.offset < text.size());
    });
    // Each level of nesting needs a list tag of its own.
    size_t lists = 0;
    for (size_t i = 0; i + 3 <= text.size(); ++i)
      lists += text[i] == '<' && (text[i + 1] | 0x20) == 'u' && (text[i + 2] | 0x20) == 'l';
    Check(hha::SitemapDepth(text) <= lists);
    const hha::SiteProperties site = hha::ReadSiteProperties(text);
    Check(site.font.size() <= text.size() && site.frameName.size() <= text.size() &&
          site.imageList.size() <= text.size());
    return 0;
  }
  Input in(data + 1, size - 1);
  std::string text = "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n";
  hha::SiteProperties site;
  const bool withProperties = in.Byte() % 2;
  if (withProperties) {
    site.font = Value(in, true);
    site.frameName = Value(in, true);
    site.imageTypeFolder = in.Byte() % 2;
    site.background = in.Byte() * 0x10101u;
    text += "<" + Cased(in, "object") + Attr(in, "type", "text/site properties") + ">" +
            "<param" + Attr(in, "name", "Font") + Attr(in, "value", site.font) + ">" +
            "<param" + Attr(in, "name", "ImageType") +
            Attr(in, "value", site.imageTypeFolder ? "Folder" : "Book") + ">" +
            "<param" + Attr(in, "name", "FrameName") + Attr(in, "value", site.frameName) + ">" +
            "<param" + Attr(in, "name", "Background") +
            Attr(in, "value", "0x" + [&] {
              char hex[16];
              std::snprintf(hex, sizeof hex, "%X", site.background);
              return std::string(hex);
            }()) + ">" +
            "</OBJECT>\n";
  }
  std::vector<std::string> locals;
  size_t depth = 0, deepest = 0;
  for (int ops = 0; in.more() && ops < 400; ++ops) {
    switch (in.Byte() % 6) {
      case 0:
        text += "<" + Cased(in, "ul") + ">\n";
        deepest = std::max(deepest, ++depth);
        break;
      case 1:
        if (depth == 0) break;
        text += "</" + Cased(in, "ul") + ">\n";
        --depth;
        break;
      case 2:
      case 3: {
        const std::string local = Value(in, false);
        text += "<" + Cased(in, "li") + "> <" + Cased(in, "object") +
                Attr(in, "type", "text/sitemap") + ">\n\t<param" + Attr(in, "name", "Name") +
                Attr(in, "value", Amp(Value(in, false))) + ">\n\t<" + Cased(in, "param") +
                Attr(in, "name", "Local") + Attr(in, "value", Amp(local)) + ">\n\t</OBJECT>\n";
        locals.push_back(local);
        break;
      }
      case 4:  // what a comment holds is not read
        text += "<!-- <ul> <param name=\"Local\" value=\"commented.html\"> </ul -->";
        break;
      case 5:  // an entry without a page, and a tag that is no list
        text += "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"x\"></object><ULX>"
                "<p title=\"<ul>\">";
        break;
    }
  }
  text += "</BODY></HTML>\n";

  std::vector<std::string> found;
  hha::VisitLinks(text, hha::LinkSource::kSitemap,
                  [&](const hha::Link& l) { found.push_back(l.target); });
  Check(found == locals);
  Check(hha::SitemapDepth(text) == deepest);
  if (withProperties) {
    const hha::SiteProperties read = hha::ReadSiteProperties(text);
    Check(read.font == site.font && read.frameName == site.frameName &&
          read.imageTypeFolder == site.imageTypeFolder && read.background == site.background);
  }
  return 0;
}
