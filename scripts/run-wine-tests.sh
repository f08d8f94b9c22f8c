#!/usr/bin/env bash
# Runs CTest for a Windows build under one persistent wineserver (starting Wine per test
# otherwise costs seconds), and stops the server afterwards. Expects a DISPLAY (xvfb-run).
set -euo pipefail
build="$1"; shift
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Warm up the desktop process once so that the first test does not pay for it.
wine cmd /c exit >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
