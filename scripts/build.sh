#!/usr/bin/env bash
# Installs what is missing and builds everything: the Windows programs (quillbinder.exe,
# quillbinder-cli.exe, hha.dll, quillbinder-hhc.exe) and the native command-line programs
# (quillbinder-cli, quillbinder-hhc); then the native program converts the sample.
# Usage: bash scripts/build.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

bash scripts/install-deps.sh
bash scripts/enable-i386.sh

cmake -S . -B build/win-release -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF >/dev/null
cmake --build build/win-release -j "$jobs"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQB_SANITIZE=OFF \
  -DQB_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"

echo
echo "Built:"
find build/win-release build/release -maxdepth 3 \( -name '*.exe' -o -name 'hha.dll' -o -name 'quillbinder-hhc' \
  -o -name 'quillbinder-cli' \) \
  -not -path '*/tests/*' -not -path '*/CMakeFiles/*' | sort | sed 's/^/  /'

echo
bash scripts/demo.sh
