// Reads an HTML Help project (.hhp): the [OPTIONS] keys, [WINDOWS] definitions and the
// [FILES] list, as Microsoft's compiler reads them (keys case-insensitive, ';' comments).
//
// Options only this compiler knows are written in [OPTIONS] as comments, so that every
// other compiler passes over them without a word:
//   ;quillbinder: Viewer-safe pages=Yes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hha {

// A problem with one line of an input file; `line` is 1-based (0 = the file as a whole).
struct Warning {
  std::string file;
  int line = 0;
  std::string text;
};

// Field numbers of a [WINDOWS] definition, in the order of the .hhp line.
enum WindowField {
  kWinCaption = 1, kWinToc, kWinIndex, kWinDefaultFile, kWinHome, kWinJump1Url,
  kWinJump1Text, kWinJump2Url, kWinJump2Text, kWinNavStyle, kWinNavWidth, kWinButtons,
  kWinRect, kWinStyles, kWinExStyles, kWinShowState, kWinNavClosed, kWinDefaultTab,
  kWinTabPosition, kWinNotifyId, kWinFieldCount = kWinNotifyId
};

struct WindowDef {
  std::string name;
  // fields[1..20] as written (quotes removed); empty = not given.
  std::string fields[kWinFieldCount + 1];
  int rect[4] = {0, 0, 0, 0};  // parsed kWinRect when given
  int line = 0;
};

struct ProjectFile {
  std::string path;  // as written, separators unchanged
  int line = 0;
};

struct Project {
  std::string compiledFile, contentsFile, indexFile, defaultWindow, defaultTopic, title,
      defaultFont;
  std::string indexFileAsWritten;  // quotes kept: #SYSTEM code 7 hashes it so
  int compiledFileLine = 0, contentsFileLine = 0, indexFileLine = 0, defaultTopicLine = 0;
  bool compatibility10 = false;
  bool displayProgress = false;
  bool fullTextSearch = false;
  bool binaryToc = false;
  bool binaryIndex = true;  // Microsoft's default
  bool viewerSafePages = false;  // pages go in treated for the HTML Help viewer
  uint32_t lcid = 0x409;
  std::vector<WindowDef> windows;
  std::vector<ProjectFile> files;
  // The [ALIAS] and [MAP] lines as written ("#include" lines among them), each with its
  // line number: see context_ids.h.
  std::vector<ProjectFile> aliasLines, mapLines;
};

// Parses the project text. Never fails: every line it cannot use becomes a warning
// naming `fileName` and the line, and is skipped.
Project ReadProject(const std::string& text, const std::string& fileName,
                    std::vector<Warning>& warnings);

// Parses a decimal or 0x-hexadecimal number as the compiler accepts them.
bool ParseNumber(const std::string& s, uint32_t* value);

}  // namespace hha
