// Full-text search through python3-chm (pychm's own search code over chmlib), a reader
// we did not write.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace hha::test {

// Title → URL of every hit, as pychm's CHMFile.Search returns them.
using SearchHits = std::map<std::string, std::string>;

struct SearchRun {
  bool ok = false;          // the script ran and the file loaded
  bool searchable = false;  // CHMFile.IsSearchable()
  std::map<std::string, SearchHits> hits;  // per word asked
  std::string log;
};

// Searches `chm` for each of `words` (bytes in the file's code page), whole words only.
SearchRun SearchWithPyChm(const std::string& chm, const std::vector<std::string>& words);

// Fields travel as hex after an "x", so that an empty one is still a field.
std::string Unhex(const std::string& s);

}  // namespace hha::test
