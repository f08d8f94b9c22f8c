#!/usr/bin/env bash
# Runs the whole test suite: native tests (with sanitizers), the fuzzers for a few
# seconds each, the Windows tests under Wine and Xvfb, and the native and Windows
# console programs compared on the shared Javadoc trees.
# Usage: bash scripts/test.sh        (installs what is missing first)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

bash scripts/install-deps.sh
bash scripts/enable-i386.sh

echo "== native build and tests"
cmake -S . -B build/native -G Ninja -DQB_SANITIZE=ON
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs"

echo "== fuzzers (a few seconds each; see README to run them longer)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQB_FUZZ=ON -DQB_TESTS=OFF
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz --output-on-failure

echo "== Windows build and tests under Wine"
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/win -j "$jobs"
bash scripts/wine-prefix.sh
xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run-wine-tests.sh build/win

echo "== the native and the Windows quillbinder-cli write the same project files"
xvfb-run -a -s "-screen 0 1280x1024x24" bash tests/frontend/cli_identity.sh \
  build/native/frontend/quillbinder-cli build/win/frontend/quillbinder-cli.exe
