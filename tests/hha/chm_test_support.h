// Test helpers for the help compiler: project trees written by hand and compiling with the
// messages and status texts captured (the readers we did not write: chm_readers.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hha/core/compiler.h"
#include "tests/common/test_util.h"
#include "tests/hha/chm_readers.h"

namespace hha::test {

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

// The smallest project: out.chm from `files` ("\r\n" after each name), with `options`
// ("Key=value\r\n" lines) added.
std::string Project(const std::string& files, const std::string& options = "");

#ifndef _WIN32
// Reads `chm` with chmlib, libmspack and 7-Zip: each must open it and give back every file
// of `expected` with its bytes. Returns what each read, in that order.
std::vector<FileMap> ExpectAllReadersReturn(const std::string& chm, const FileMap& expected);
#endif

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

}  // namespace hha::test
