// [ALIAS]/[MAP] reader and /#IVB writer.
#include "hha/core/context_ids.h"

#include <map>

#include "hha/core/byte_writer.h"
#include "support/ascii.h"

namespace hha {
namespace {

// Includes nest this deep at most: a header that includes itself ends there.
constexpr int kIncludeDepth = 8;

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// The file name of an "#include" line, "" for any other line.
std::string IncludeName(const std::string& line) {
  if (qb::AsciiLowerCopy(line.substr(0, 8)) != "#include") return "";
  std::string name = Trim(line.substr(8));
  if (name.size() >= 2 && ((name.front() == '"' && name.back() == '"') || (name.front() == '<' && name.back() == '>')))
    name = name.substr(1, name.size() - 2);
  return name;
}

class Reader {
 public:
  Reader(const std::function<bool(const std::string&, std::string*)>& readInclude, std::vector<Warning>& warnings)
      : readInclude_(readInclude), warnings_(warnings) {}

  // One line of a section or of a file it includes; `own` for the section's own lines.
  void Line(bool alias, const std::string& raw, const std::string& file, int line, bool own, int depth) {
    const std::string text = Trim(raw);
    if (text.empty() || text[0] == ';' || text.compare(0, 2, "//") == 0) return;
    const std::string include = IncludeName(text);
    if (!include.empty()) return Include(alias, include, file, line, depth);
    if (alias) {
      const size_t eq = text.find('=');
      if (eq != std::string::npos && eq > 0) {
        ids_.aliases.push_back({Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)), file, line});
        return;
      }
    } else if (Define(text)) {
      return;
    }
    if (own) warnings_.push_back({file, line, alias ? "alias without \"=\"; ignored" : "not a #define or #include; ignored"});
  }

  ContextIds ids_;

 private:
  bool Define(const std::string& text) {
    if (text.compare(0, 7, "#define") != 0 || text.size() < 8 || (text[7] != ' ' && text[7] != '\t')) return false;
    const std::string rest = Trim(text.substr(7));
    const size_t space = rest.find_first_of(" \t");
    if (space == std::string::npos) return true;  // a guard: no number
    std::string value = Trim(rest.substr(space));
    const size_t comment = value.find("//");
    if (comment != std::string::npos) value = Trim(value.substr(0, comment));
    uint32_t id = 0;
    if (ParseNumber(value, &id)) ids_.ids.push_back({rest.substr(0, space), id});
    return true;
  }

  void Include(bool alias, const std::string& name, const std::string& file, int line, int depth) {
    std::string text;
    if (depth >= kIncludeDepth) {
      warnings_.push_back({file, line, "\"" + name + "\" is included too deeply; ignored"});
      return;
    }
    if (!readInclude_(name, &text)) {
      warnings_.push_back({file, line, "cannot read the included file \"" + name + "\""});
      return;
    }
    int n = 0;
    for (size_t pos = 0; pos <= text.size();) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      Line(alias, text.substr(pos, end - pos), name, ++n, false, depth + 1);
      pos = end + 1;
    }
  }

  const std::function<bool(const std::string&, std::string*)>& readInclude_;
  std::vector<Warning>& warnings_;
};

}  // namespace

ContextIds ReadContextIds(const Project& project, const std::string& projectName,
                          const std::function<bool(const std::string&, std::string*)>& readInclude,
                          std::vector<Warning>& warnings) {
  Reader r(readInclude, warnings);
  for (const ProjectFile& l : project.aliasLines) r.Line(true, l.path, projectName, l.line, true, 0);
  for (const ProjectFile& l : project.mapLines) r.Line(false, l.path, projectName, l.line, true, 0);
  return std::move(r.ids_);
}

std::vector<uint8_t> BuildContextIdFile(const ContextIds& ids, StringPool& pool) {
  std::map<std::string, const ContextAlias*> aliases;
  for (const ContextAlias& a : ids.aliases) aliases.emplace(a.name, &a);  // the first one counts
  ByteWriter w;
  w.U32(0);
  for (const ContextId& id : ids.ids) {
    auto it = aliases.find(id.name);
    if (it == aliases.end()) continue;
    w.U32(id.id);
    w.U32(pool.AddCopy(it->second->target));
  }
  if (w.size() == 4) return {};
  w.PatchU32(0, static_cast<uint32_t>(w.size() - 4));
  return std::move(w.bytes());
}

}  // namespace hha
