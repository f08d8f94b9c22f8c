#!/usr/bin/env bash
# The main job on the bundled sample: the native quillbinder-cli converts a copy of
# samples/javadoc into a help file, which an independent reader then lists. Then the
# Windows program does the same under Wine on a copy of its own, as a check that it works.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
. scripts/wine-env.sh

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp -r samples/javadoc "$demo/javadoc"
cp -r samples/javadoc "$demo/javadoc-windows"

echo "== quillbinder-cli \"$demo/javadoc/index.html\" quill-demo.chm \"Quill Demo API\""
"${QB_NATIVE_BUILD:-build/release}/frontend/quillbinder-cli" "$demo/javadoc/index.html" \
  quill-demo.chm "Quill Demo API"

chm="$demo/javadoc/quill-demo.chm"
echo
echo "== The help file: $chm ($(stat -c %s "$chm") bytes)"
/usr/bin/python3 scripts/show_chm.py "$chm"

echo
qb_wine_prefix
index="Z:$(echo "$demo/javadoc-windows/index.html" | tr '/' '\\')"
echo "== The Windows program under Wine: quillbinder-cli.exe \"$index\" quill-demo.chm"
qb_wine "${QB_WIN_BUILD:-build/win-release}/frontend/quillbinder-cli.exe" "$index" quill-demo.chm \
  "Quill Demo API" | tail -n 1
wineserver -w
win_chm="$demo/javadoc-windows/quill-demo.chm"
[ "$(head -c 4 "$win_chm" 2>/dev/null)" = "ITSF" ] || { echo "the Windows program wrote no help file"; exit 1; }
echo "   $win_chm ($(stat -c %s "$win_chm") bytes)"
