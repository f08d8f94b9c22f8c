// Shared by the writer tests: running one stage on a worker thread while this thread
// takes its reports, and reading the hand-written expected files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/engine/progress_recorder.h"

namespace qb::test {

// Runs `stage` on a second thread as the worker would (RunningJob reports to the
// recorder, the cancel word starts at JobRun) and pumps messages until it returns.
// `whilePumping`, if given, is called on this thread between pumps.
bool RunStage(ProgressRecorder& recorder, const std::function<bool()>& stage,
              const std::function<void()>& whilePumping = nullptr);

// An expected file of tests/helpproject/expected, with "@HOMEPAGE@" replaced by the
// product homepage and "@FOLDER@" by `folder`.
std::string Expected(const std::string& name, const std::string& folder = "");

// The lines of a text split at CR LF; a text ending in CR LF gives no empty last line.
std::vector<std::string> CrLfLines(const std::string& text);

}  // namespace qb::test
