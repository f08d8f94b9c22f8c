#!/usr/bin/env bash
# Takes the screenshots of docs/ at 96 and at 192 DPI (Wine's LogPixels), with Wine's own
# "Light" visual style: the dialog after converting the bundled sample, its link with the
# tooltip, and a centred message box over it. Uses a scratch copy of the Wine prefix, so
# the tests' prefix keeps its settings.
# Usage: bash scripts/screenshots.sh [windows build folder [DPI...]]
#        (defaults: build/win-release, 96 and 192)
# Needs Xvfb, xdotool and ImageMagick.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${1:-build/win-release}"
dpis="${*:2}"
program="$root/$build/frontend/quillbinder.exe"
[ -f "$program" ] || { echo "screenshots: build $program first" >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24" bash "$0" "$@"
fi
. scripts/wine-env.sh
qb_wine_prefix
shots="$root/build/screenshot-prefix"
[ -f "$shots/system.reg" ] || { rm -rf "$shots"; cp -a "$WINEPREFIX" "$shots"; }
export WINEPREFIX="$shots"
# Without a window manager Wine draws the caption and frame itself only for windows it
# does not hand to one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
# A short folder, because its path shows in the pictures.
work=/tmp/qbshot
rm -rf "$work"; mkdir -p "$work"
cp -r samples/javadoc "$work/javadoc"

window_of() {  # waits for a top-level window with this exact name
  local id=""
  for _ in $(seq 90); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 1
  done
  echo "screenshots: no window '$1'" >&2; exit 1
}
shoot_window() {  # the rectangle around some windows
  local out="$1"; shift
  local x0=100000 y0=100000 x1=0 y1=0 X Y WIDTH HEIGHT
  for id in "$@"; do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    ((X < x0)) && x0=$X; ((Y < y0)) && y0=$Y
    ((X + WIDTH > x1)) && x1=$((X + WIDTH)); ((Y + HEIGHT > y1)) && y1=$((Y + HEIGHT))
  done
  import -window root -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$out"
}

start() {  # a fresh dialog with the keyboard focus on "Go", the first tab stop
  wine "$program" &
  dialog=$(window_of quillbinder)
  sleep 2
  xdotool windowfocus "$dialog"
}
stop() { wineserver -k 2>/dev/null || true; wait 2>/dev/null || true; }

for dpi in ${dpis:-96 192}; do
  stop
  for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  done
  wineserver -w

  # Tab order: Go, Exit, path, Browse..., output name, output box, title.
  start
  xdotool key Tab Tab; xdotool type --delay 5 'Z:\tmp\qbshot\javadoc\index.html'
  xdotool key Tab Tab; xdotool type --delay 5 'index.chm'
  xdotool key Tab Tab; xdotool type --delay 5 'Sample API'
  xdotool key Return
  for _ in $(seq 60); do [ -f "$work/javadoc/index.chm" ] && break; sleep 1; done
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove --window "$dialog" $((WIDTH / 2)) $((HEIGHT / 2))
  sleep 3
  shoot_window "docs/screenshot-dialog-${dpi}dpi.png" "$dialog"
  # The link's corner of the dialog with the pointer on the link: its tooltip shows the
  # address. (The pointer itself is not in X's pictures.)
  xdotool mousemove --window "$dialog" $((WIDTH / 5)) $((HEIGHT * 88 / 100))
  sleep 4
  import -window root -crop "$((WIDTH * 55 / 100))x$((HEIGHT * 22 / 100))+$X+$((Y + HEIGHT * 78 / 100))" \
    +repage "docs/screenshot-link-${dpi}dpi.png"
  stop
  rm -f "$work/javadoc/index.chm"

  # A name with a path is refused in a box centred over the dialog; its caption is the
  # program's name too.
  start
  xdotool key Tab Tab Tab Tab; xdotool type --delay 5 'out\index.chm'
  xdotool key Return
  for _ in $(seq 30); do
    [ "$(xdotool search --onlyvisible --name '^quillbinder$' | wc -l)" -ge 2 ] && break; sleep 1
  done
  sleep 2
  shoot_window "docs/screenshot-message-box-${dpi}dpi.png" \
    $(xdotool search --onlyvisible --name '^quillbinder$')
  stop
done
echo "screenshots in docs/"
