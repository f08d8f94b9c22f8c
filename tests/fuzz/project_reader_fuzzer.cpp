// Reads the input as an .hhp project. Every [FILES] entry, window and warning must name
// a line of the text, and each entry must be that line as written (trimmed of spaces,
// tabs and carriage returns); what was read must survive being written back in the
// plain form and read again, with no warning the second time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hha/core/project_reader.h"
#include "tests/fuzz/fuzz_check.h"

namespace {


std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The text's lines as the format defines them: '\n' ends a line, a '\r' before it
// belongs to the line end, a UTF-8 byte order mark is not text.
std::vector<std::string> Lines(std::string text) {
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

const char* YesNo(bool b) { return b ? "Yes" : "No"; }

std::string Written(const hha::Project& p) {
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "0x%X", p.lcid);
  std::string t = "[OPTIONS]\n";
  auto option = [&](const char* key, const std::string& value) {
    if (!value.empty()) t += std::string(key) + "=" + value + "\n";
  };
  option("Compiled file", p.compiledFile);
  option("Contents file", p.contentsFile);
  option("Index file", p.indexFile);
  option("Default Window", p.defaultWindow);
  option("Default topic", p.defaultTopic);
  option("Title", p.title);
  option("Default Font", p.defaultFont);
  option("Compatibility", p.compatibility10 ? "1.0" : "1.1 or later");
  option("Display compile progress", YesNo(p.displayProgress));
  option("Full-text search", YesNo(p.fullTextSearch));
  option("Binary TOC", YesNo(p.binaryToc));
  option("Binary Index", YesNo(p.binaryIndex));
  option("Language", std::string(lcid) + " Some language");
  t += "\n[FILES]\n";
  for (const hha::ProjectFile& f : p.files) t += f.path + "\n";
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<hha::Warning> warnings;
  const hha::Project p = hha::ReadProject(text, "p.hhp", warnings);
  const std::vector<std::string> lines = Lines(text);
  const int count = static_cast<int>(lines.size());

  for (const hha::Warning& w : warnings) Check(w.file == "p.hhp" && w.line >= 1 && w.line <= count);
  for (const hha::ProjectFile& f : p.files) {
    Check(f.line >= 1 && f.line <= count);
    Check(!f.path.empty() && f.path == Trim(lines[f.line - 1]) && f.path[0] != ';');
  }
  for (const hha::WindowDef& w : p.windows) {
    Check(w.line >= 1 && w.line <= count && !w.name.empty());
    Check(Trim(lines[w.line - 1]).compare(0, w.name.size(), w.name) == 0);
  }
  for (int line : {p.compiledFileLine, p.contentsFileLine, p.indexFileLine, p.defaultTopicLine})
    Check(line >= 0 && line <= count);
  Check(p.lcid > 0 && p.lcid <= 0xFFFF);

  std::vector<hha::Warning> again;
  const hha::Project q = hha::ReadProject(Written(p), "p.hhp", again);
  Check(again.empty());
  Check(q.compiledFile == p.compiledFile && q.contentsFile == p.contentsFile &&
        q.indexFile == p.indexFile && q.defaultWindow == p.defaultWindow &&
        q.defaultTopic == p.defaultTopic && q.title == p.title &&
        q.defaultFont == p.defaultFont && q.compatibility10 == p.compatibility10 &&
        q.displayProgress == p.displayProgress && q.fullTextSearch == p.fullTextSearch &&
        q.binaryToc == p.binaryToc && q.binaryIndex == p.binaryIndex && q.lcid == p.lcid);
  Check(q.files.size() == p.files.size());
  for (size_t i = 0; i < p.files.size(); ++i) Check(q.files[i].path == p.files[i].path);
  return 0;
}
