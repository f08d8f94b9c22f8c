// The names of the files a job writes beside its output and removes again, all derived
// from the job's OutputPath.
#pragma once

#include "support/path_join.h"

namespace qb {

// The about page, written into the folder of the output (engine/about_page.h).
constexpr const char kAboutPageName[] = "about_quillbinder.html";

// The project, index and contents files' extensions, in the order the worker deletes
// them; each replaces the output's extension.
constexpr const char* kTemporaryExtensions[] = {".hhp", ".hhk", ".hhc"};

// outputPath with its extension replaced as the shell's PathFindExtensionA finds it.
// False when the result would not fit in 259 characters; `out` then holds "".
bool DeriveTempName(const char* outputPath, const char* extension, char (&out)[kPathCapacity]);
// The folder of outputPath plus `fileName`; false (and "") when too long.
bool DeriveSiblingName(const char* outputPath, const char* fileName,
                       char (&out)[kPathCapacity]);

// True when `name` is the about page's name in any ASCII case (as Windows compares
// names, for the ASCII letters it holds).
bool IsAboutPageName(const char* name);
// True when `name` (a bare file name) is one that a job writes and deletes beside its
// output: one of the temporary extensions or the about page, in any ASCII case.
bool IsTemporaryFileName(const char* name);

}  // namespace qb
