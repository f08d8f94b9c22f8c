#!/usr/bin/env bash
# The main job on the bundled sample: quillbinder-cli.exe under Wine converts a copy of
# samples/javadoc into a help file, which an independent reader then lists.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
. scripts/wine-env.sh

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp -r samples/javadoc "$demo/javadoc"
qb_wine_prefix

index="Z:$(echo "$demo/javadoc/index.html" | tr '/' '\\')"
echo "== quillbinder-cli.exe \"$index\" quill-demo.chm \"Quill Demo API\""
qb_wine "${QB_WIN_BUILD:-build/win-release}/frontend/quillbinder-cli.exe" "$index" quill-demo.chm "Quill Demo API"
wineserver -w

chm="$demo/javadoc/quill-demo.chm"
echo
echo "== The help file: $chm ($(stat -c %s "$chm") bytes)"
/usr/bin/python3 scripts/show_chm.py "$chm"
