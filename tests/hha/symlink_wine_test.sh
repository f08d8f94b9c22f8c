#!/usr/bin/env bash
# Symbolic links out of a project under Wine, which makes none itself but follows the
# host's: links made here must be left out by quillbinder-hhc.exe as they are natively.
#   tests/hha/symlink_wine_test.sh <quillbinder-hhc.exe>
set -euo pipefail
hhc="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/proj/sub" "$dir/outside"
echo "secret" > "$dir/outside/style.css"
printf '%s' '<link rel=stylesheet href="ext/style.css"><a href="alias.html">a</a><a href="leak.html">l</a>' \
  > "$dir/proj/page.html"
ln -s /etc/passwd "$dir/proj/sub/link.html"
ln -s /etc/passwd "$dir/proj/leak.html"
ln -s "$dir/outside" "$dir/proj/ext"
ln -s page.html "$dir/proj/alias.html"
printf '[OPTIONS]\r\nCompiled file=out.chm\r\n\r\n[FILES]\r\npage.html\r\nsub/link.html\r\n' > "$dir/proj/p.hhp"
out="$(wine "$hhc" "Z:${dir//\//\\}\\proj\\p.hhp" | tr -d '\r')"
echo "$out"
for f in sub/link.html ext/style.css leak.html; do
  grep -qF "\"$f\" is outside the project folder; left out" <<<"$out" || { echo "not refused: $f"; exit 1; }
done
grep -qF "Compiled 2 pages and 0 other files" <<<"$out" || { echo "alias.html, inside, must be compiled"; exit 1; }
