// Context-sensitive help: the [ALIAS] section names topics by symbol ("IDH_About=
// topics\About.htm"), the [MAP] section gives symbols their numbers ("#define IDH_About
// 30108"), either directly or through "#include" of a header. A program asks the viewer
// for a number; /#IVB turns it into the topic.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hha/core/project_reader.h"
#include "hha/core/system_files.h"

namespace hha {

struct ContextAlias {
  std::string name, target;  // target as written
  std::string file;          // where the line is, for warnings
  int line = 0;
};

struct ContextId {
  std::string name;
  uint32_t id = 0;
};

struct ContextIds {
  std::vector<ContextAlias> aliases;  // in file order, includes expanded
  std::vector<ContextId> ids;         // the same
};

// Reads both sections. `readInclude` gives the text of an included file by its name as
// written (relative to the project folder); false when it cannot be read, which is a
// warning. Only "#define NAME number" lines count in [MAP] and its headers (as in
// Microsoft's compiler, a .hm file's "NAME number" lines do not); other lines of a
// header are its own business, other lines of [MAP] itself are warnings.
ContextIds ReadContextIds(const Project& project, const std::string& projectName,
                          const std::function<bool(const std::string&, std::string*)>& readInclude,
                          std::vector<Warning>& warnings);

// /#IVB as Microsoft's compiler writes it: DWORD byte count, then per [MAP] number that
// has an alias (in [MAP] order) DWORD number, DWORD #STRINGS offset of the alias's target
// as written. Each target takes a string of its own, added to `pool` here. Empty when
// nothing maps.
std::vector<uint8_t> BuildContextIdFile(const ContextIds& ids, StringPool& pool);

}  // namespace hha
