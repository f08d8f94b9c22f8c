#include "tests/hha/search/search_reader.h"

#include <cstdio>
#include <sstream>

#include "tests/common/test_util.h"
#include "tests/hha/chm_test_support.h"

namespace hha::test {
namespace {

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

std::string Unhex(const std::string& s) {
  std::string out;
  for (size_t i = 1; i + 1 < s.size(); i += 2) out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
  return out;
}

SearchRun SearchWithPyChm(const std::string& chm, const std::vector<std::string>& words) {
  SearchRun run;
  qb::test::TempDir dir;
  std::string list;
  for (const auto& w : words) list += Hex(w) + "\n";
  qb::test::WriteFile(dir / "words", list);
  qb::test::WriteFile(dir / "search.py",
                      "import sys, binascii\n"
                      "from chm.chm import CHMFile\n"
                      "f = CHMFile()\n"
                      "if not f.LoadCHM(sys.argv[1]): sys.exit(2)\n"
                      "print('searchable', 1 if f.IsSearchable() else 0)\n"
                      "for line in open(sys.argv[2]):\n"
                      "    w = binascii.unhexlify(line.strip())\n"
                      "    r = f.Search(w, 1, 0)\n"
                      "    print('word', 'x' + w.hex())\n"
                      "    for title, url in (r[1] if r else {}).items():\n"
                      "        print('hit', 'x' + title.hex(), 'x' + url.hex())\n");
  int rc = 0;
  const std::string out = RunCommand("/usr/bin/python3 '" + (dir / "search.py") + "' '" + chm +
                                       "' '" + (dir / "words") + "'",
                                   &rc);
  run.log = out;
  run.ok = rc == 0;
  std::istringstream lines(out);
  std::string kind, word;
  while (lines >> kind) {
    if (kind == "searchable") {
      int v = 0;
      lines >> v;
      run.searchable = v == 1;
    } else if (kind == "word") {
      std::string h;
      lines >> h;
      word = Unhex(h);
      run.hits[word];
    } else if (kind == "hit") {
      std::string t, u;
      lines >> t >> u;
      run.hits[word][Unhex(t)] = Unhex(u);
    }
  }
  return run;
}

}  // namespace hha::test
