#!/usr/bin/env bash
# Runs CTest for a Windows build under one persistent wineserver (starting Wine per test
# otherwise costs seconds), and stops the server afterwards. Expects a DISPLAY (xvfb-run).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1"; shift
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Warm up the desktop process once so that the first test does not pay for it.
wine cmd /c exit >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
