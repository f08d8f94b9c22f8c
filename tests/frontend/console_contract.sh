#!/usr/bin/env bash
# The console program's contract, held against the native program and the Windows one
# under Wine alike: exit 0 with a help file a reader we did not write opens, 1 with one
# reason and nothing left behind, 2 for bad usage, --help and --version, relative paths
# and -o, and output that stays line-based when redirected (a CR only before an LF).
# Natively also what build scripts use: --report (against docs/report-schema.json),
# --strict, --keep-project, on a generated tree with one finding of each kind (the
# report's counts on the real trees are cli_identity.sh's).
#   console_contract.sh <build's version.txt> <quillbinder-cli>
#   console_contract.sh <build's version.txt> --wine <quillbinder-cli.exe>   (needs a display)
# Without javadoc that part skips, or fails when CI=true.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
version="$(cat "$1")"; shift
if [ "$1" = --wine ]; then
  . "$root/scripts/wine-env.sh"
  qb_wine_prefix
  program=(wine "$(realpath "$2")")
  host() { echo "Z:$(echo "$1" | tr / '\\')"; }
  sep='\'
  native=false
else
  program=("$(realpath "$1")")
  host() { echo "$1"; }
  sep=/
  native=true
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

run() {  # run <expected exit> <folder> <args...>; its output in $work/out and $work/err
  local want="$1" dir="$2"; shift 2
  (cd "$dir" && timeout -k 10 300 "${program[@]}" "$@" >"$work/out" 2>"$work/err")
  local got=$?
  [ "$got" = "$want" ] || fail "$* -> exit $got, not $want: $(tail -n 3 "$work/err" "$work/out")"
  python3 - "$work/out" "$work/err" <<'EOF' || fail "$* wrote a CR that does not end a line"
import re, sys
sys.exit(any(re.search(rb"\r(?!\n)", open(p, "rb").read()) for p in sys.argv[1:]))
EOF
  sed -i 's/\r$//' "$work/out" "$work/err"
}
leftovers() {  # leftovers <folder> <stem>: the job's temporary files must be gone
  for f in "$2.hhp" "$2.hhc" "$2.hhk" about_quillbinder.html; do
    [ -e "$1/$f" ] && fail "left behind: $1/$f"
  done
}

api="$work/api"
cp -R "$root/samples/javadoc" "$api" && mkdir -p "$api/sub" "$work/out-dir"

# A whole job: stage lines in order, a line per tenth, not per page, the help file named.
run 0 "$work" "$(host "$api/index.html")" quill.chm "Quill Demo"
[ -s "$work/err" ] && fail "a good run wrote to stderr: $(cat "$work/err")"
python3 - "$work/out" <<'EOF' || fail "progress lines: $(cat "$work/out")"
import sys
out = open(sys.argv[1]).read()
stages = ["Creating temporary files\n", "Creating contents file\n", "Creating index file\n",
          "Compiling with help compiler\n", "\nReport: start page overview-summary.html"]
at = [out.find(s) for s in stages]
sys.exit(not (min(at) >= 0 and at == sorted(at) and "\n50% done\n" in out and "letter: B" not in out
              and "\nCompiling org/" not in out))
EOF
grep -qxF "Wrote $(host "$api/quill.chm")" "$work/out" || fail "no 'Wrote' line: $(tail -n 2 "$work/out")"
/usr/bin/python3 - "$api/quill.chm" <<'EOF' || fail "quill.chm does not read back"
import sys
from chm.chm import CHMFile
chm = CHMFile()
sys.exit(not (chm.LoadCHM(sys.argv[1].encode()) and b"Quill Demo" in chm.title and
              chm.ResolveObject(b"/overview-summary.html")[0] == 0))
EOF
leftovers "$api" quill

# Relative paths (once joined to the project's folder a second time) and -o elsewhere.
while read -r dir written rest; do
  args=()
  for a in $rest; do args+=("$(echo "$a" | tr / "$sep")"); done
  rm -f "$work/$written"
  run 0 "$work/$dir" "${args[@]}"
  [ -f "$work/$written" ] || fail "${args[*]} from $dir: no $written"
  leftovers "$api" quill
  leftovers "$api" api
done <<'EOF'
api api/quill.chm index.html quill.chm
api api/quill.chm ./index.html quill.chm
api/sub api/quill.chm ../index.html quill.chm
api/sub out-dir/api.chm -o ../../out-dir/api.chm ../index.html
EOF

# Failures: exit 1, one reason, no help file and no temporary file.
run 1 "$work" "$(host "$api/no-such-index.html")" quill.chm
[ "$(cat "$work/err")" = "quillbinder-cli: Cannot open '$(host "$api/no-such-index.html")'." ] ||
  fail "missing index: $(cat "$work/err")"
run 1 "$api" -o "$(host "$work/none/api.chm")" index.html
grep -qF "none$sep' does not exist" "$work/err" || fail "missing folder: $(cat "$work/err")"
[ -e "$work/none" ] && fail "the missing folder was made"
leftovers "$api" api
# An older help file stays as it was: its presence must not pass for a new one.
cp "$api/quill.chm" "$work/older.chm" && rm "$api/overview-frame.html"
run 1 "$work" "$(host "$api/index.html")" quill.chm
grep -qF "Cannot open '$(host "$api/overview-frame.html")'." "$work/out" || fail "broken tree: $(cat "$work/out")"
[ "$(wc -l <"$work/err")" = 1 ] && grep -q "was not written" "$work/err" || fail "broken tree: $(cat "$work/err")"
cmp -s "$api/quill.chm" "$work/older.chm" || fail "a broken tree changed the help file already there"
leftovers "$api" quill

# Bad usage: 2, and nothing written.
run 2 "$work"
run 2 "$work" "$(host "$api/index.html")"
run 2 "$work" a b c d
run 2 "$work" --frobnicate
run 2 "$work" -o
run 2 "$work" -o x.chm
run 2 "$work" "$(host "$api/index.html")" "sub${sep}quill.chm"
[ "$(cat "$work/err")" = "quillbinder-cli: Output file name cannot contain path" ] || fail "path in name: $(cat "$work/err")"
run 2 "$work" "$(host "$api/index.html")" quill.hhk
[ -e "$api/quill.hhk" ] && fail "quill.hhk was written"

run 0 "$work" --help
head -n 1 "$work/out" | grep -qxF "Usage: quillbinder-cli [options] <path to index.html> <output file name> [title]" ||
  fail "--help: $(head -n 2 "$work/out")"
run 0 "$work" --version
[ "$(cat "$work/out")" = "quillbinder-cli $version" ] || fail "--version: $(cat "$work/out")"

skip() {  # skip <why>: the rest is not run here, and not allowed to be left out on CI
  [ "${CI:-}" = true ] && fail "$* (required when CI=true)" || echo "SKIP: $*"
}
expect() {  # expect <report> <expected> <python expression over the report d>
  local got
  got="$(python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($3)" "$1")"
  [ "$got" = "$2" ] || fail "$1: $3 = $got, not $2"
}
validate() {
  python3 -c "import json,sys,jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))" \
    "$1" "$root/docs/report-schema.json" || fail "$1 does not validate against the schema"
}
options() {
  command -v javadoc >/dev/null || { skip "no javadoc"; return; }
  cd "$work"
  # One of each finding: a link from a comment to a missing page, one to an anchor its
  # page lacks (after the first sentence, which javadoc copies into its lists), a
  # character code page 1252 cannot hold (in an index term), a package folder the list
  # file no longer names.
  mkdir -p src/p src/q
  cat >src/p/A.java <<'EOF'
package p;
/** A. See <a href="doc-files/missing.html">gone</a> and <a href="B.html#nowhere">B</a>. */
public class A {
  /** Sum. @return 0 */
  public double sigma\u03c3() { return 0; }
}
EOF
  printf 'package p;\n/** B. */\npublic class B { }\n' >src/p/B.java
  printf 'package q;\n/** C. */\npublic class C { }\n' >src/q/C.java
  javadoc -quiet -encoding UTF-8 -d made -sourcepath src p q >javadoc.log 2>&1 || { fail "javadoc: $(cat javadoc.log)"; return; }
  sed -i 's/^q$/q.renamed/' made/element-list
  # Cyrillic pages (lang="ru") for the title's code page.
  javadoc -quiet -locale ru -encoding UTF-8 -d ru -sourcepath src p >>javadoc.log 2>&1 || fail "javadoc -locale ru"
  cp -R made t && mkdir -p t/sub elsewhere

  run 0 t/sub -o ../../elsewhere/api.chm --report ../../r.json ../index.html "API"
  validate r.json
  expect r.json "1 1" "d['links']['missingFiles']['documentation'], d['links']['missingFiles']['total']"
  expect r.json "p/A.html doc-files/missing.html" "*(d['links']['missingFiles']['groups'][0]['examples'][0][k] for k in ('page', 'link'))"
  expect r.json "1 1" "d['links']['missingAnchors']['documentation'], d['links']['missingAnchors']['total']"
  expect r.json "{'listedWithoutPage': ['q.renamed'], 'unlistedAdded': ['q']}" "d['listFile']"
  expect r.json "2 3" "d['contents']['packages'], d['contents']['types']"
  expect r.json "1252 1" "d['language']['codePage'], d['language']['characterReferences']"
  expect r.json 2 "d['strictFindings']"

  # --strict: 3 with the comment's broken links, the help file written at -o's path all
  # the same and nothing left beside the pages; 0 once they are gone; --keep-project keeps.
  run 3 . --strict --quiet -o strict.chm t/index.html
  grep -q 'missing pages or anchors (--strict)' err || fail "--strict message: $(cat err)"
  [ "$(head -c 4 strict.chm)" = ITSF ] || fail "--strict: no help file at -o's path"
  leftovers t strict
  cp -R made clean && sed -i 's#<a href="doc-files/missing.html">gone</a>##; s#<a href="B.html\#nowhere">B</a>##' clean/p/A.html
  run 0 . --strict --keep-project clean/index.html guide.chm
  for f in guide.hhp guide.hhc guide.hhk about_quillbinder.html; do [ -f "clean/$f" ] || fail "--keep-project: no $f"; done
  grep -q '^Report: start page index.html (index.html is the overview)\.$' out || fail "no summary: $(cat out)"
  # Once more over its own help file: the same size, so only its time tells it was written.
  run 0 . --quiet clean/index.html guide.chm

  # -o onto a read-only folder: exit 1, a clear reason, nothing left behind.
  mkdir -p locked && chmod 555 locked
  local before; before="$(find . | sort)"
  if ! touch locked/probe 2>/dev/null; then  # root may write anyway
    run 1 . -o locked/api.chm t/index.html
    grep -q "cannot be written to" err || fail "read-only message: $(cat err)"
  fi
  rm -f locked/probe
  [ "$(find . | sort)" = "$before" ] || fail "left behind: $(diff <(echo "$before") <(find . | sort))"

  mkdir -p plain && echo '<html><body>hello</body></html>' >plain/index.html
  run 1 . plain/index.html guide.chm
  grep -q 'not a Javadoc index page: no frames, no list file' out || fail "non-Javadoc: $(cat out)"

  # The title, typed in UTF-8, reads back from a Russian tree's project in code page 1251.
  run 0 . --keep-project ru/index.html guide.chm "Счётчик"
  grep -q '^Language=0x419 Russian' ru/guide.hhp || fail "not a Russian project"
  [ "$(grep -a '^Title=' ru/guide.hhp | iconv -f cp1251 -t utf-8 | tr -d '\r')" = "Title=Счётчик  - Generated by quillbinder" ] ||
    fail "title: $(grep -a '^Title=' ru/guide.hhp | od -c | head -3)"
}
$native && options

[ "$failures" = 0 ] && echo "PASS ${program[*]}" || { echo "$failures failures"; exit 1; }
