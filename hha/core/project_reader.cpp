// .hhp reader. Unlike Microsoft's compiler it accepts lines of any length, and it
// reports every line it ignores instead of skipping it silently.
#include "hha/core/project_reader.h"

#include <cstdlib>

#include "support/ascii.h"

namespace hha {
namespace {

// A carriage return counts as space: a project whose line ends were converted twice
// ("\r\r\n") must not name "page.html\r".
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Comment lines in [OPTIONS] whose text starts so hold this compiler's own options.
constexpr char kOwnPrefix[] = "quillbinder:";
constexpr size_t kOwnPrefixLength = sizeof kOwnPrefix - 1;

// The option text of an own-option comment line, or false for any other line.
bool OwnOption(const std::string& line, std::string* option) {
  if (line.empty() || line[0] != ';') return false;
  const std::string text = Trim(line.substr(1));
  if (qb::AsciiLowerCopy(text.substr(0, kOwnPrefixLength)) != kOwnPrefix) return false;
  *option = Trim(text.substr(kOwnPrefixLength));
  return true;
}

bool ParseYesNo(const std::string& v, bool* out) {
  std::string l = qb::AsciiLowerCopy(v);
  if (l == "yes" || l == "1" || l == "true") return *out = true, true;
  if (l == "no" || l == "0" || l == "false") return *out = false, true;
  return false;
}

// Splits the value of a [WINDOWS] line at commas outside quotes and brackets.
bool SplitWindowFields(const std::string& v, std::vector<std::string>& out,
                       std::vector<bool>& quoted, std::string* problem) {
  std::string cur;
  bool inQuote = false, wasQuoted = false;
  int bracket = 0;
  for (char c : v) {
    if (inQuote) {
      if (c == '"') inQuote = false;
      else cur += c;
    } else if (c == '"') {
      inQuote = wasQuoted = true;
    } else if (c == '[') {
      ++bracket;
      cur += c;
    } else if (c == ']') {
      --bracket;
      cur += c;
    } else if (c == ',' && bracket == 0) {
      out.push_back(wasQuoted ? cur : Trim(cur));
      quoted.push_back(wasQuoted);
      cur.clear();
      wasQuoted = false;
    } else {
      cur += c;
    }
  }
  if (inQuote) return *problem = "a quoted value is not closed", false;
  if (bracket != 0) return *problem = "a '[' is not closed", false;
  out.push_back(wasQuoted ? cur : Trim(cur));
  quoted.push_back(wasQuoted);
  return true;
}

bool ParseWindow(const std::string& line, WindowDef& w, std::string* problem) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return *problem = "a window definition needs \"name=\"", false;
  w.name = Trim(line.substr(0, eq));
  if (w.name.empty()) return *problem = "the window has no name", false;
  std::vector<std::string> fields;
  std::vector<bool> quoted;
  if (!SplitWindowFields(line.substr(eq + 1), fields, quoted, problem)) return false;
  if (fields.size() > kWinFieldCount)
    return *problem = "it has " + std::to_string(fields.size()) + " values, at most " +
                      std::to_string(kWinFieldCount) + " are known",
           false;
  for (size_t i = 0; i < fields.size(); ++i) {
    const int f = static_cast<int>(i) + 1;
    w.fields[f] = fields[i];
    if (fields[i].empty() || f < kWinNavStyle) continue;
    if (f == kWinRect) {
      std::string r = fields[i];
      if (r.size() < 2 || r.front() != '[' || r.back() != ']')
        return *problem = "the window position must look like [left,top,right,bottom]", false;
      std::vector<std::string> parts;
      std::vector<bool> q;
      std::string ignored;
      SplitWindowFields(r.substr(1, r.size() - 2), parts, q, &ignored);
      if (parts.size() != 4)
        return *problem = "the window position must have four numbers", false;
      for (int k = 0; k < 4; ++k) {
        char* end = nullptr;
        long n = std::strtol(parts[k].c_str(), &end, 0);
        if (parts[k].empty() || *end) return *problem = "bad number in the window position", false;
        w.rect[k] = static_cast<int>(n);
      }
      continue;
    }
    uint32_t n;
    if (!ParseNumber(fields[i], &n))
      return *problem = "value " + std::to_string(f) + " (\"" + fields[i] + "\") is not a number",
             false;
  }
  return true;
}

}  // namespace

bool ParseNumber(const std::string& s, uint32_t* value) {
  std::string t = Trim(s);
  if (t.empty()) return false;
  char* end = nullptr;
  unsigned long long v;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
    v = std::strtoull(t.c_str() + 2, &end, 16);
  else if (t[0] == '-')
    v = static_cast<unsigned long long>(std::strtoll(t.c_str(), &end, 10));
  else
    v = std::strtoull(t.c_str(), &end, 10);
  if (*end) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

Project ReadProject(const std::string& input, const std::string& fileName,
                    std::vector<Warning>& warnings) {
  Project p;
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  enum Section { kNone, kOptions, kWindows, kFiles, kAlias, kMap, kIgnored } section = kNone;
  auto warn = [&](int line, const std::string& t) { warnings.push_back({fileName, line, t}); };

  size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = Trim(raw);
    std::string own;
    if (section == kOptions && OwnOption(line, &own)) {
      const size_t eq = own.find('=');
      const std::string value = eq == std::string::npos ? "" : Trim(own.substr(eq + 1));
      bool on = false;
      if (eq == std::string::npos || qb::AsciiLowerCopy(Trim(own.substr(0, eq))) != "viewer-safe pages")
        warn(lineNo, "unknown quillbinder option \"" + own + "\"; ignored");
      else if (!ParseYesNo(value, &on))
        warn(lineNo, "\"" + value + "\" is neither Yes nor No; option ignored");
      else
        p.viewerSafePages = on;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;

    if (line[0] == '[' && line.back() == ']') {
      std::string name = qb::AsciiLowerCopy(line.substr(1, line.size() - 2));
      if (name == "options") section = kOptions;
      else if (name == "windows") section = kWindows;
      else if (name == "files") section = kFiles;
      else if (name == "alias") section = kAlias;
      else if (name == "map") section = kMap;
      else {
        section = kIgnored;
        warn(lineNo, "section " + line + " is not supported by this compiler; ignored");
      }
      continue;
    }
    switch (section) {
      case kNone:
        warn(lineNo, "line outside of any section; ignored");
        break;
      case kIgnored:
        break;
      case kFiles:
        p.files.push_back({line, lineNo});
        break;
      case kAlias:
        p.aliasLines.push_back({line, lineNo});
        break;
      case kMap:
        p.mapLines.push_back({line, lineNo});
        break;
      case kWindows: {
        WindowDef w;
        w.line = lineNo;
        std::string problem;
        if (ParseWindow(line, w, &problem)) p.windows.push_back(w);
        else warn(lineNo, "window definition ignored: " + problem);
        break;
      }
      case kOptions: {
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
          warn(lineNo, "option without \"=\"; ignored");
          break;
        }
        const std::string key = qb::AsciiLowerCopy(Trim(line.substr(0, eq)));
        const std::string value = Trim(line.substr(eq + 1));
        // A file named in quotes is that file; code 7 still hashes the quoted value.
        const std::string file =
            value.size() >= 2 && value.front() == '"' && value.back() == '"' ? value.substr(1, value.size() - 2) : value;
        auto flag = [&](bool* out) {
          if (!ParseYesNo(value, out))
            warn(lineNo, "\"" + value + "\" is neither Yes nor No; option ignored");
        };
        if (key == "compatibility") p.compatibility10 = value == "1.0";
        else if (key == "compiled file") p.compiledFile = file, p.compiledFileLine = lineNo;
        else if (key == "contents file") p.contentsFile = file, p.contentsFileLine = lineNo;
        else if (key == "index file") p.indexFile = file, p.indexFileAsWritten = value, p.indexFileLine = lineNo;
        else if (key == "default window") p.defaultWindow = value;
        else if (key == "default topic") p.defaultTopic = file, p.defaultTopicLine = lineNo;
        else if (key == "default font") p.defaultFont = value;
        else if (key == "title") p.title = value;
        else if (key == "display compile progress") flag(&p.displayProgress);
        else if (key == "full-text search") flag(&p.fullTextSearch);
        else if (key == "binary toc") flag(&p.binaryToc);
        else if (key == "binary index") flag(&p.binaryIndex);
        else if (key == "language") {
          uint32_t lcid;
          std::string first = value.substr(0, value.find_first_of(" \t"));
          if (ParseNumber(first, &lcid) && lcid > 0 && lcid <= 0xFFFF) p.lcid = lcid;
          else warn(lineNo, "language \"" + value + "\" does not start with a language id such as 0x409; 0x409 is used");
        } else if (key == "display compile notes" || key == "auto index" || key == "auto toc" ||
                   key == "create chi file" || key == "dbcs" || key == "enhanced decompilation" ||
                   key == "error log file" || key == "flat" || key == "full text search stop list file" ||
                   key == "citation" || key == "copyright" || key == "compress" || key == "ignore" ||
                   key == "prefix" || key == "sample staging path" || key == "sample list file" ||
                   key == "tmpdir" || key == "custom tab") {
          // Known to Microsoft's compiler; nothing here depends on them.
        } else {
          warn(lineNo, "unknown option \"" + Trim(line.substr(0, eq)) + "\"; ignored");
        }
        break;
      }
    }
  }
  return p;
}

}  // namespace hha
