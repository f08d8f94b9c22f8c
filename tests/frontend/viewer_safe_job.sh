#!/usr/bin/env bash
# Whole jobs through quillbinder-cli and our hha.dll under Wine, read back natively with
# python3-chm: a modern tree's pages go in viewer-safe (the treatment itself is checked
# natively by viewer_pages_test), a classic tree's byte for byte, and neither tree changes
# on disk apart from the help file.
# Usage: viewer_safe_job.sh <quillbinder-cli.exe> <shared data folder> <scratch folder>
# Exit 77 (skipped) when the shared data is absent, except on CI.
set -euo pipefail
cli="$1"; shared="$2"; work="$3"
modern=testdata-modern/J21-which-single-package
classic=testdata/A-jdom-1.1.3
for t in "$modern" "$classic"; do
  if [ ! -d "$shared/$t" ]; then
    echo "$t is not in the shared test data"
    [ "${CI:-}" = true ] && exit 1
    exit 77
  fi
done

rm -rf "$work"; mkdir -p "$work"
sums() { (cd "$1" && find . -type f ! -name api.chm -print0 | LC_ALL=C sort -z | xargs -0 sha1sum); }
for t in "$modern" "$classic"; do
  tree="$work/$(basename "$t")"
  cp -r "$shared/$t" "$tree"
  chmod -R u+w "$tree"
  sums "$tree" >"$tree.before"
  wine "$cli" "$(winepath -w "$tree/index.html")" api.chm "Job" >"$tree.log" 2>&1 ||
    { cat "$tree.log"; exit 1; }
  sums "$tree" >"$tree.after"
  diff "$tree.before" "$tree.after" || { echo "$t changed on disk"; exit 1; }
done

/usr/bin/python3 - "$work/$(basename "$modern")" "$work/$(basename "$classic")" <<'EOF'
import os, sys
from chm.chm import CHMFile

META = b'<meta http-equiv="X-UA-Compatible" content="IE=edge">'
failures = []

def read(chm, name):
    found, ui = chm.ResolveObject(('/' + name).encode())
    if found != 0:
        return None
    size, data = chm.RetrieveObject(ui)
    return data

def pages(tree):
    for folder, _, files in os.walk(tree):
        for f in files:
            if f.endswith('.html'):
                yield os.path.relpath(os.path.join(folder, f), tree).replace(os.sep, '/')

modern, classic = sys.argv[1], sys.argv[2]
for tree, treated in ((modern, True), (classic, False)):
    chm = CHMFile()
    if not chm.LoadCHM((tree + '/api.chm').encode()):
        sys.exit(tree + ': cannot load api.chm')
    inside = 0
    for page in pages(tree):
        data = read(chm, page)
        if data is None:
            continue
        inside += 1
        disk = open(os.path.join(tree, page), 'rb').read()
        # The treatment itself is viewer_pages_test's (natively); here: on or off.
        if not treated and data != disk:
            failures.append(page + ': differs from the classic page on disk')
        if treated and META not in data:
            failures.append(page + ': not treated')
    stylesheet = read(chm, 'quillbinder-viewer.css')
    if treated != (stylesheet is not None):
        failures.append(tree + ': override stylesheet ' + ('missing' if treated else 'present'))
    if inside < 5:
        failures.append(tree + ': only %d pages in the help file' % inside)
    print(os.path.basename(tree), inside, 'pages checked')

for f in failures[:10]:
    print(f)
sys.exit(1 if failures else 0)
EOF
