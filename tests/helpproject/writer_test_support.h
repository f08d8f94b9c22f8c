// Shared by the writer tests: the hand-written expected files, and CR LF lines.
#pragma once

#include <string>
#include <vector>

#include "tests/engine/progress_recorder.h"

namespace qb::test {

// An expected file of tests/helpproject/expected, with "@HOMEPAGE@" replaced by the
// product homepage and "@FOLDER@" by `folder`.
std::string Expected(const std::string& name, const std::string& folder = "");

// The lines of a text split at CR LF; a text ending in CR LF gives no empty last line.
std::vector<std::string> CrLfLines(const std::string& text);

}  // namespace qb::test
