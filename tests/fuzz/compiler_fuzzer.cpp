// The whole compiler on small projects built from the input: a few pages with odd names,
// odd charsets and links between them, a contents file nested a few levels, odd options
// and an odd [WINDOWS] line, compiled in a scratch folder. A failed compile must say why
// and leave no file; a help file must be read back whole by chmlib and by libmspack, the
// two must agree on every file, each stored page must equal its source byte for byte,
// each plainly named page of [FILES] must be there, and libmspack's quick lookup (the
// directory index and quickrefs) must find every file the listing holds.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hha/core/compiler.h"
#include "hha/core/platform_fs.h"
#include "hha/core/system_files.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/hha/chm_readers.h"

namespace fs = std::filesystem;

namespace {

using hha::test::FileMap;

struct Name {
  const char* path;
  bool plain;  // listed in [FILES], it must be compiled
};
// ".. in a name", case, spaces, '%', '#', ';', '&', brackets, UTF-8 and Latin-1 bytes.
const Name kNames[] = {
    {"index.html", true},         {"Sub Dir/page two.htm", true}, {"UPPER.HTML", true},
    {"a/b/c/deep.html", true},    {"caf\xC3\xA9.html", true},     {"na\xEFve.html", true},
    {"semi;colon.html", true},    {"x%41.html", true},            {"amp&amp;.html", true},
    {"dots..html", true},         {"#hash.html", true},           {"[b].html", false},
    {"\xE4\xB8\xAD\xE6\x96\x87.html", true}, {"s/style.css", true}, {"img.gif", true},
    {";comment.html", false},
};
constexpr size_t kNameCount = sizeof kNames / sizeof *kNames;

const char* const kCharsets[] = {"", "utf-8", "windows-1252", "iso-8859-1", "Shift_JIS",
                                 "gb2312",  "windows-1251", "koi8-r", "x-unknown", "big5"};
const uint32_t kLanguages[] = {0x409, 0x411, 0x804, 0x419, 0x405, 0x40C, 0x412, 0x404, 0x41E, 0x408};

// The scratch folder, made on first use and removed when the fuzzer exits.
char g_scratch[64];

std::string Scratch() {
  if (!g_scratch[0]) {
    char pattern[] = "/tmp/qb-compiler-fuzz-XXXXXX";
    Check(mkdtemp(pattern) != nullptr);
    std::strcpy(g_scratch, pattern);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(g_scratch, ec);
    });
  }
  return g_scratch;
}

void Write(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A link to `target` from a page in `fromFolder` ("" or ending in '/'), written one of
// several ways that all mean the same file.
std::string LinkTo(FuzzedDataProvider& in, const std::string& target, const std::string& fromFolder) {
  std::string rel;
  for (char c : fromFolder) rel += c == '/' ? "../" : "";
  std::string t;
  for (char c : target) {
    const auto u = static_cast<unsigned char>(c);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", u);
    t += (c == '#' || c == '%' || c == ' ' || c == '&' || c == '?' || u >= 0x80) ? hex : std::string(1, c);
  }
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return rel + t;
    case 1: return "/" + t;
    case 2: return "./" + rel + t + "#frag";
    default: return rel + t + "?q=1&amp;r=2";
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string root = Scratch() + "/p";
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root);

  // Pages.
  std::vector<size_t> picked;
  std::set<size_t> seen;
  for (int n = in.ConsumeIntegralInRange(1, 4); n > 0; --n) {
    const size_t k = in.ConsumeIntegralInRange<size_t>(0, kNameCount - 1);
    if (seen.insert(k).second) picked.push_back(k);
  }
  const uint32_t lcid = in.ConsumeBool() ? kLanguages[in.ConsumeIntegralInRange<size_t>(0, 9)]
                                         : in.ConsumeIntegral<uint16_t>();
  FileMap sources;  // relative name on disk -> bytes
  for (size_t k : picked) {
    const std::string name = kNames[k].path;
    const std::string folder = name.substr(0, name.find_last_of('/') + 1);
    std::string page;
    const char* charset = kCharsets[in.ConsumeIntegralInRange<size_t>(0, 9)];
    if (*charset) page += std::string("<meta http-equiv=Content-Type content=\"text/html; charset=") + charset + "\">";
    page += "<title>" + in.ConsumeRandomLengthString(40) + "</title>";
    for (int links = in.ConsumeIntegralInRange(0, 3); links > 0; --links) {
      const size_t to = in.ConsumeIntegralInRange<size_t>(0, kNameCount - 1);
      page += "<a href=\"" + LinkTo(in, kNames[to].path, folder) + "\">x</a>";
    }
    page += in.ConsumeRandomLengthString(400);
    sources[name] = page;
  }
  // Contents file, a few levels deep.
  std::string toc = "<HTML><BODY><UL>\n";
  int depth = 1;
  for (size_t k : picked) {
    const int move = in.ConsumeIntegralInRange(-1, 1);
    if (move > 0 && depth < 6) toc += "<UL>\n", ++depth;
    if (move < 0 && depth > 1) toc += "</UL>\n", --depth;
    toc += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" +
           in.ConsumeRandomLengthString(20) + "\"><param name=\"Local\" value=\"" +
           LinkTo(in, kNames[k].path, "") + "\"></OBJECT>\n";
  }
  for (; depth > 0; --depth) toc += "</UL>\n";
  sources["toc.hhc"] = toc + "</BODY></HTML>";
  for (const auto& [name, bytes] : sources) Write(root + "/" + name, bytes);

  // The project.
  auto line = [&](size_t max) {
    std::string s = in.ConsumeRandomLengthString(max);
    for (char& c : s)
      if (c == '\n' || c == '\r') c = ' ';
    return s;
  };
  char language[16];
  std::snprintf(language, sizeof language, "0x%x", lcid);
  std::string hhp = "[OPTIONS]\r\nCompiled file=out.chm\r\nContents file=toc.hhc\r\n";
  hhp += "Language=" + std::string(language) + "\r\nTitle=" + line(30) + "\r\n";
  hhp += std::string("Full-text search=") + (in.ConsumeBool() ? "Yes" : "No") + "\r\n";
  hhp += std::string("Binary TOC=") + (in.ConsumeBool() ? "Yes" : "No") + "\r\n";
  if (in.ConsumeBool()) hhp += "Default topic=" + line(30) + "\r\n";
  if (in.ConsumeBool()) hhp += "\r\n[WINDOWS]\r\nmain=" + line(80) + "\r\n";
  hhp += "\r\n[FILES]\r\n";
  for (size_t k : picked) hhp += std::string(kNames[k].path) + "\r\n";
  Write(root + "/p.hhp", hhp);

  std::string messages;
  hha::CompileCallbacks callbacks;
  callbacks.message = [&](const std::string& m) { messages += m; };
  const bool ok = hha::CompileProject(root + "/p.hhp", callbacks, nullptr, 1);
  const std::string chm = root + "/out.chm";
  if (!ok) {
    Check(messages.find("Error: ") != std::string::npos && !fs::exists(chm));
    return 0;
  }

  bool read = false;
  const FileMap chmlib = hha::test::ReadWithChmlib(chm, &read);
  Check(read);
  const FileMap mspack = hha::test::ReadWithMspack(chm, &read);
  Check(read && chmlib == mspack);
  // The quick path (PMGI index and quickrefs), as viewers look a name up.
  std::vector<std::string> names;
  for (const auto& entry : chmlib) names.push_back(entry.first);
  Check(hha::test::MspackFastFindMisses(chm, names, &chmlib) == 0);
  const uint32_t codePage = hha::AnsiCodePageOf(lcid ? lcid : 0x409);  // 0 is no language
  std::map<std::string, std::string> expected;  // internal name -> source bytes
  for (const auto& [name, bytes] : sources)
    expected[hha::platform::AnsiToUtf8(name, codePage)] = bytes;
  for (const auto& [name, bytes] : chmlib) {
    if (name[0] == '#' || name[0] == '$') continue;
    auto source = expected.find(name);
    Check(source != expected.end() && source->second == bytes);
  }
  for (size_t k : picked)
    if (kNames[k].plain)
      Check(chmlib.count(hha::platform::AnsiToUtf8(kNames[k].path, codePage)) == 1);
  Check(chmlib.count("toc.hhc") == 1);
  return 0;
}
