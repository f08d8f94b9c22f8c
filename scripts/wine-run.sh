#!/usr/bin/env bash
# Runs a Windows program under Wine without ever waiting for a person.
# The prefix is created by scripts/wine-prefix.sh; tests share one wineserver.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win32
exec wine "$@"
