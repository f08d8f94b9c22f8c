// Reading a .chm back through readers we did not write (chmlib, libmspack, 7-Zip,
// python3-chm): the tests and the compiler fuzzer use these same ones. Natively only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/common/test_util.h"

namespace hha::test {

// Relative name ("/" separators, no leading one) → bytes.
using FileMap = std::map<std::string, std::string>;

#ifndef _WIN32
using qb::test::RunCommand;

// Every normal and special file (not folders, not ::DataSpace) as chmlib reads it.
// `ok` false when chmlib cannot open the file.
FileMap ReadWithChmlib(const std::string& chm, bool* ok);
// The same through libmspack's CHM decoder (open, then extract every file).
FileMap ReadWithMspack(const std::string& chm, bool* ok);
// Names that libmspack's fast_find (quickref and PMGI search) cannot find, or finds with
// another length than `files` gives (names without a length: any length).
int MspackFastFindMisses(const std::string& chm, const std::vector<std::string>& names,
                         const FileMap* files = nullptr);
// `7z t` must pass; then `7z x` into a scratch folder; the extracted files.
FileMap ReadWith7z(const std::string& chm, bool* ok, std::string* log);
// python3-chm: title, home, contents and index text as pychm returns them.
struct PyChmView {
  bool ok = false;
  std::string title, home, topics, index;
  std::string log;
};
PyChmView ReadWithPyChm(const std::string& chm);
#endif

}  // namespace hha::test
