// Test helpers for the help compiler: project trees written by hand, compiling with the
// messages and status texts captured, and reading a .chm back through readers we did
// not write (chmlib, libmspack, 7-Zip, python3-chm; the readers only natively).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hha/core/compiler.h"
#include "tests/common/test_util.h"

namespace hha::test {

// Relative name ("/" separators) → bytes.
using FileMap = std::map<std::string, std::string>;

struct CompileRun {
  bool ok = false;
  CompileStats stats;
  std::vector<std::string> messages;  // as the callback got them, "\r\n" included
  std::vector<std::string> statuses;
  std::string AllMessages() const;
};

// Compiles; `stopAfter` > 0 makes the progress callback return 0 on that call.
// `threads` as CompileProject takes it.
CompileRun Compile(const std::string& projectPath, int stopAfter = 0, unsigned threads = 0);

// Writes every file of `files` under `root`.
void WriteTree(const std::string& root, const FileMap& files);

// A project in the exact form the system writes it: options, one "main" window with the
// about page as jump 1, and [FILES] = `files` (already in the system's order).
std::string SystemProject(const std::string& compiledFile, const std::string& stem,
                          const std::string& title, const std::string& startPage,
                          const std::vector<std::string>& files);

// A sitemap in the shape of the system's contents file: entries (name, local) with
// children one level deep.
struct TocEntry {
  std::string name, local;
  std::vector<TocEntry> children;
};
std::string ContentsFile(const std::vector<TocEntry>& entries);
std::string IndexFile(const std::vector<std::pair<std::string, std::string>>& keywords);

#ifndef _WIN32
// Runs a command through the shell; its output (stderr included) and exit code.
std::string RunCommand(const std::string& command, int* rc);

// Every normal and special file (not folders, not ::DataSpace) as chmlib reads it.
// `ok` false when chmlib cannot open the file.
FileMap ReadWithChmlib(const std::string& chm, bool* ok);
// The same through libmspack's CHM decoder (open, then extract every file).
FileMap ReadWithMspack(const std::string& chm, bool* ok);
// Names that libmspack's fast_find (quickref and PMGI search) cannot find.
int MspackFastFindMisses(const std::string& chm, const std::vector<std::string>& names);
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
