#!/usr/bin/env bash
# Non-blank lines of the product against the tests, the measure of the suite's weight.
#   bash scripts/count_lines.sh [-v]      (-v lists the files set apart)
# Counted on both sides: code and build files (.c .cpp .h .rc .def .h.in .py .sh .cmake,
# CMakeLists.txt). Not counted: data (the about page and manifest templates, the project
# template, the icon, the packages' READMEs; the tests' expected files and fuzz seeds).
# Product: engine, frontend, helpproject, hha, job, resources, support, cmake/ and the
# top-level CMakeLists.txt. Tests: tests/. "Test cases only" sets apart the readers and
# decoders we did not write wrapped for the round trips, the independent models of the
# format the comparisons need, and the fuzz harnesses (SET_APART below). A second, narrower
# figure also sets apart the shared fixtures (FIXTURES: helpers, stand-ins, recorders) and
# the build files, leaving the files that hold test cases.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

SET_APART=(
  tests/hha/chm_readers.h tests/hha/chm_readers.cpp
  tests/hha/chm_internal_reader.h tests/hha/chm_internal_reader.cpp
  tests/hha/lzx/lzx_decoders.h tests/hha/lzx/lzx_decoders.cpp
  tests/hha/search/search_reader.h tests/hha/search/search_reader.cpp
  tests/hha/search/javadoc_words.py
  tests/fuzz
)

FIXTURES=(
  tests/common tests/hha/chm_test_support.h tests/hha/chm_test_support.cpp
  tests/helpproject/writer_test_support.h tests/helpproject/writer_test_support.cpp
  tests/helpproject/copy_trees.sh
  tests/engine/progress_recorder.h tests/engine/progress_recorder.cpp
  tests/engine/progress_recorder_posix.cpp tests/engine/progress_recorder_win.cpp
  tests/engine/standin_hha.cpp tests/engine/standin_hha.def tests/engine/noentry.cpp tests/engine/noentry.def
  tests/frontend/gui_test_support.h tests/frontend/gui_test_support.cpp
  tests/frontend/box_answerer.h tests/frontend/box_answerer.cpp
  tests/hha/lzx/lzx_test_data.h tests/hha/lzx/lzx_test_data.cpp
)

code_files() {
  find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.rc' \
    -o -name '*.def' -o -name '*.h.in' -o -name '*.py' -o -name '*.sh' -o -name '*.cmake' \
    -o -name CMakeLists.txt \) -not -path '*/corpus/*' | LC_ALL=C sort
}
count() {  # non-blank lines of the files on stdin
  local total=0 n f
  while read -r f; do
    n=$(grep -cv '^[[:space:]]*$' "$f" || true)
    total=$((total + n))
  done
  echo "$total"
}

product=$( { code_files engine frontend helpproject hha job resources support cmake; echo CMakeLists.txt; } | count)
tests=$(code_files tests | count)
apart=$(code_files "${SET_APART[@]}" | count)
cases=$((tests - apart))
fixtures=$(code_files "${FIXTURES[@]}" | count)
builds=$(find tests -name CMakeLists.txt -not -path 'tests/fuzz/*' | count)
narrow=$((cases - fixtures - builds))
pct() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f%%", 100 * a / b }'; }
echo "product:                  $product"
echo "tests:                    $tests ($(pct "$tests" "$product") of product)"
echo "set apart:                $apart (readers, decoders, fuzz harnesses)"
echo "test cases only:          $cases ($(pct "$cases" "$product") of product)"
echo "  of which fixtures:      $fixtures, build files: $builds"
echo "  files of test cases:    $narrow ($(pct "$narrow" "$product") of product)"
if [ "${1:-}" = -v ]; then
  for group in SET_APART FIXTURES; do
    echo "$group:"
    declare -n list=$group
    code_files "${list[@]}" | while read -r f; do
      printf '  %5d %s\n' "$(grep -cv '^[[:space:]]*$' "$f" || true)" "$f"
    done
  done
fi
