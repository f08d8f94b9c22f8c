# Sourced by every script that runs Wine: the project's own 32-bit prefix, quiet, without
# the Mono and Gecko installers. QB_WINEPREFIX chooses another prefix; a WINEPREFIX meant
# for the user's own programs is deliberately not taken over.
#   . "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qb_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${QB_WINEPREFIX:-$qb_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

# Creates the prefix once, without any prompt.
qb_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Runs a Windows program on the current display, or on a private virtual one when there
# is none (a worker reports to a window even in the console program).
qb_wine() {
  if [ -n "${DISPLAY:-}" ]; then wine "$@"; else xvfb-run -a wine "$@"; fi
}
