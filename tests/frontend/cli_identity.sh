#!/usr/bin/env bash
# The native and the Windows quillbinder-cli write byte-identical project, contents and
# index files for every Javadoc tree of ../shared/testdata and ../shared/testdata-modern.
# The Windows program's help files of a modern and a classic tree (through our hha.dll)
# are read back with python3-chm: the modern tree's pages go in viewer-safe (the treatment
# itself is helpproject/javadoc_reading_test's), the classic one's byte for byte, and
# neither tree changes on disk apart from the help file. The native program's --report
# holds to docs/report-schema.json and counts in the contents and index what the tree lists.
# Each program converts its own copy of every tree in full. The job removes its temporary
# files at its end, so a second hard link to each, made before the run, keeps what the job
# wrote (both programs truncate an existing file in place rather than replace it). Paths
# inside the files are the Windows program's ("pkg\a.html") on both; the one line that
# names the output by its full path is compared with the tree's folder taken out.
#   cli_identity.sh <native quillbinder-cli> <quillbinder-cli.exe>
# Needs Wine (scripts/wine-env.sh) and a display. Without the shared data it skips, or
# fails when CI=true.
set -euo pipefail
native="$(realpath "$1")"
windows="$(realpath "$2")"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
shared="$root/../shared"
. "$root/scripts/wine-env.sh"

if [ ! -d "$shared/testdata" ] || [ ! -d "$shared/testdata-modern" ]; then
  if [ "${CI:-}" = "true" ]; then
    echo "FAIL: no shared test data at $shared (required when CI=true)"; exit 1
  fi
  echo "SKIP: no shared test data at $shared"; exit 0
fi
qb_wine_prefix
# One persistent server for all runs, warmed up once (as scripts/run-wine-tests.sh).
wineserver -p
work="$(mktemp -d)"
trap 'rm -rf "$work"; wineserver -k >/dev/null 2>&1 || true' EXIT
wine cmd /c exit >/dev/null 2>&1 || true
sh "$root/tests/helpproject/copy_trees.sh" "$work/native" "$shared/testdata" "$shared/testdata-modern"
cp -R "$work/native" "$work/windows"

# Runs one program on one tree copy; its temporary files survive as $kept/guide.*.
run_once() {  # run_once <side> <tree>
  local side="$1" tree="$2"
  local folder="$work/$side/$tree" kept="$work/kept-$side/$tree"
  rm -rf "$kept"
  mkdir -p "$kept"
  for ext in hhp hhc hhk; do
    : > "$folder/guide.$ext"
    ln "$folder/guide.$ext" "$kept/guide.$ext"
  done
  if [ "$side" = native ]; then
    timeout -k 10 120 "$native" --report "$kept/report.json" "$folder/index.html" guide.chm \
      "Identity Test" > "$kept/log" 2>&1
  else
    timeout -k 10 120 wine "$windows" "Z:$(echo "$folder/index.html" | tr '/' '\\')" guide.chm \
      "Identity Test" > "$kept/log" 2>&1
  fi
}

# Wine under qemu now and then never lets the Windows program end once it has written
# the help file. "Wrote" is printed after the worker has finished and removed its files,
# so such a run has written all there is to compare: it is told and its files are used.
# A run that hangs before that is made once more.
run() {  # run <side> <tree>
  local code=0 last
  run_once "$@" || code=$?
  if [ "$code" -eq 124 ] || [ "$code" -eq 137 ]; then
    last="$(tail -n 1 "$work/kept-$1/$2/log")"
    case "$last" in
      Wrote\ *)
        echo "note: $1 program did not end on $2 after: $last; its files are compared"
        code=0 ;;
      *)
        echo "note: $1 program timed out on $2 after: $last; once more"
        code=0
        run_once "$@" || code=$? ;;
    esac
  fi
  return "$code"
}

sums() { (cd "$1" && find . -type f ! -name guide.chm -print0 | LC_ALL=C sort -z | xargs -0 sha1sum); }
readback() {  # readback <tree folder> <treated: 1 or 0>
  /usr/bin/python3 - "$@" <<'PY'
import os, sys
from chm.chm import CHMFile
tree, treated = sys.argv[1], sys.argv[2] == "1"
chm = CHMFile()
if not chm.LoadCHM((tree + "/guide.chm").encode()):
    sys.exit(tree + ": cannot load guide.chm")
def read(name):
    found, ui = chm.ResolveObject(("/" + name).encode())
    return chm.RetrieveObject(ui)[1] if found == 0 else None
failures, inside = [], 0
for folder, _, files in os.walk(tree):
    for page in (os.path.relpath(os.path.join(folder, f), tree).replace(os.sep, "/") for f in files if f.endswith(".html")):
        data = read(page)
        inside += data is not None
        if data is not None and treated and b'<meta http-equiv="X-UA-Compatible" content="IE=edge">' not in data:
            failures.append(page + ": not treated")
        if data is not None and not treated and data != open(os.path.join(tree, page), "rb").read():
            failures.append(page + ": differs from the classic page on disk")
if treated != (read("quillbinder-viewer.css") is not None):
    failures.append("override stylesheet " + ("missing" if treated else "present"))
if inside < 5:
    failures.append("only %d pages in the help file" % inside)
print("\n".join(tree + ": " + f for f in failures[:10]))
sys.exit(1 if failures else 0)
PY
}

failed=0
count=0
read_back=0
for path in "$work/native"/*/; do
  tree="$(basename "$path")"
  [ -f "$path/index.html" ] || continue
  count=$((count + 1))
  run native "$tree" || { echo "FAIL $tree: the native program failed"; cat "$work/kept-native/$tree/log"; failed=1; }
  python3 - "$work/kept-native/$tree/report.json" "$root/docs/report-schema.json" <<'PY' || { echo "FAIL $tree: report"; failed=1; }
import json, sys, jsonschema
d = json.load(open(sys.argv[1]))
jsonschema.validate(d, json.load(open(sys.argv[2])))
t, c = d["tree"], d["contents"]
sys.exit("tree/contents counts differ: %s %s" % (t, c) if (t["packages"], t["types"], t["indexTerms"]) !=
         (c["packages"], c["types"], d["index"]["entries"]) else 0)
PY
  case "$tree" in J21-which-single-package) treated=1 ;; A-jdom-1.1.3) treated=0 ;; *) treated= ;; esac
  [ -n "$treated" ] && sums "$work/windows/$tree" >"$work/$tree.sums"
  run windows "$tree" || { echo "FAIL $tree: the Windows program failed"; cat "$work/kept-windows/$tree/log"; failed=1; }
  if [ -n "$treated" ]; then
    read_back=$((read_back + 1))
    sums "$work/windows/$tree" | diff "$work/$tree.sums" - || { echo "FAIL $tree changed on disk"; failed=1; }
    readback "$work/windows/$tree" "$treated" || failed=1
  fi
  for ext in hhp hhc hhk; do
    a="$work/kept-native/$tree/guide.$ext"
    b="$work/kept-windows/$tree/guide.$ext"
    if [ ! -s "$a" ] || [ ! -s "$b" ]; then
      echo "FAIL $tree: guide.$ext was not written"; failed=1; continue
    fi
    if [ "$ext" = hhp ]; then
      # The output's full path is the one place where the two systems' paths differ.
      nf="Compiled file=$work/native/$tree/"
      wf="Compiled file=Z:$(echo "$work/windows/$tree/" | tr '/' '\\')"
      python3 -c 'import sys; a, b = (open(p, "rb").read().replace(s.encode(), b"@", 1) for p, s in zip(sys.argv[1:3], sys.argv[3:])); sys.exit(a != b)' \
        "$a" "$b" "$nf" "$wf" || { echo "FAIL $tree: guide.hhp differs"; diff -a "$a" "$b" || true; failed=1; }
    elif ! cmp -s "$a" "$b"; then
      echo "FAIL $tree: guide.$ext differs"; cmp "$a" "$b" || true; failed=1
    fi
  done
done
if [ "$count" -eq 0 ] || [ "$read_back" -ne 2 ]; then echo "FAIL: $count trees, $read_back read back"; exit 1; fi
[ "$failed" -eq 0 ] && echo "OK: $count trees, identical project, contents and index files"
exit "$failed"
