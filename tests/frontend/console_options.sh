#!/usr/bin/env bash
# The native console program as a build script runs it: -o, --report
# (validated against docs/report-schema.json), --strict, --keep-project, progress lines
# into a pipe; a generated tree with one finding of each kind; the report's counts on the
# real trees of ../shared held against javadoc's own lists.
#   console_options.sh <quillbinder-cli> <shared folder> <work folder>
# Exit 77 (skip) without javadoc; without the shared data the real-tree part skips, or
# fails when CI=true.
set -uo pipefail
cli="$(realpath "$1")"
shared="$2"
work="$3"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
schema="$root/docs/report-schema.json"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
command -v javadoc >/dev/null || { echo "SKIP: no javadoc"; exit 77; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

# A tree with one of each finding: a link from a comment to a missing page, one to an
# anchor its page lacks (after the first sentence, which javadoc copies into its lists), a character that code page 1252 cannot hold (in an index term),
# and a package folder that the list file no longer names (renamed in the list).
mkdir -p src/p src/q
cat > src/p/A.java <<'EOF'
package p;
/** A. See <a href="doc-files/missing.html">gone</a> and <a href="B.html#nowhere">B</a>. */
public class A {
  /** Sum. @return 0 */
  public double sigma\u03c3() { return 0; }
}
EOF
printf 'package p;\n/** B. */\npublic class B { }\n' > src/p/B.java
printf 'package q;\n/** C. */\npublic class C { }\n' > src/q/C.java
javadoc -quiet -encoding UTF-8 -d made -sourcepath src p q >javadoc.log 2>&1 || { cat javadoc.log; exit 1; }
sed -i 's/^q$/q.renamed/' made/element-list

# Cyrillic pages (lang="ru") for the title's code page.
javadoc -quiet -locale ru -encoding UTF-8 -d ru -sourcepath src p >>javadoc.log 2>&1 || exit 1

run() {  # run <expected exit> <folder> <args...>; output in $work/out, $work/err
  local want="$1" dir="$2"; shift 2
  (cd "$dir" && "$cli" "$@" >"$work/out" 2>"$work/err")
  local got=$?
  [ "$got" = "$want" ] || fail "($dir) $* -> exit $got, not $want: $(tail -n 2 "$work/err" "$work/out")"
}
json() {  # json <file> <python expression over d> -> its value
  python3 -c "import json,sys; d=json.load(open(sys.argv[1])); print($2)" "$1"
}
validate() {
  python3 -c "import json,sys,jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))" "$1" "$schema" ||
    fail "$1 does not validate against the schema"
}

cp -R made t && mkdir -p t/sub elsewhere

# -o: anywhere, relative; the temporary files stay beside the pages and go again.
run 0 t/sub -o ../../elsewhere/api.chm --report ../../r.json ../index.html "API"
[ -f elsewhere/api.chm ] || fail "-o: no elsewhere/api.chm"
ls t | grep -q '\.hh[pck]$\|about_quillbinder' && fail "-o left project files: $(ls t)"
validate r.json
# The tree's findings, exactly.
[ "$(json r.json "d['links']['missingFiles']['documentation'], d['links']['missingFiles']['total']")" = "1 1" ] ||
  fail "missing files: $(json r.json "d['links']['missingFiles']")"
[ "$(json r.json "d['links']['missingFiles']['groups'][0]['examples'][0]['link']")" = "doc-files/missing.html" ] ||
  fail "missing file example"
[ "$(json r.json "d['links']['missingAnchors']['documentation'], d['links']['missingAnchors']['total']")" = "1 1" ] ||
  fail "missing anchors: $(json r.json "d['links']['missingAnchors']")"
[ "$(json r.json "d['listFile']")" = "{'listedWithoutPage': ['q.renamed'], 'unlistedAdded': ['q']}" ] ||
  fail "list file: $(json r.json "d['listFile']")"
[ "$(json r.json "d['contents']['packages'], d['contents']['types']")" = "2 3" ] ||
  fail "the unlisted package is not in the contents: $(json r.json "d['contents']")"
[ "$(json r.json "d['language']['codePage'], d['language']['characterReferences']")" = "1252 1" ] ||
  fail "character references: $(json r.json "d['language']")"
[ "$(json r.json "d['strictFindings']")" = "2" ] || fail "strict findings"

# --strict: 3 with the comment's broken links, 0 once they are gone; --keep-project keeps.
run 3 . --strict --quiet t/index.html guide.chm
grep -q 'missing pages or anchors (--strict)' err || fail "--strict message: $(cat err)"
cp -R made clean && sed -i 's#<a href="doc-files/missing.html">gone</a>##; s#<a href="B.html\#nowhere">B</a>##' clean/p/A.html
run 0 . --strict --keep-project clean/index.html guide.chm
for f in guide.hhp guide.hhc guide.hhk about_quillbinder.html; do [ -f "clean/$f" ] || fail "--keep-project: no $f"; done

# The summary names the start page (progress lines into a pipe: console_contract.sh).
run 0 . clean/index.html guide.chm
grep -q '^Report: start page index.html (index.html is the overview)\.$' out || fail "no summary: $(cat out)"

# -o onto a read-only folder (a missing one: console_contract.sh): exit 1, a clear
# reason, nothing left behind.
mkdir -p locked && chmod 555 locked
before="$(find . | sort)"
if ! touch locked/probe 2>/dev/null; then  # root may write anyway
  run 1 . -o locked/api.chm t/index.html
  grep -q "cannot be written to" err || fail "read-only message: $(cat err)"
fi
rm -f locked/probe
[ "$(find . | sort)" = "$before" ] || fail "left behind: $(diff <(echo "$before") <(find . | sort))"

# A page that is no Javadoc index.
mkdir -p plain && echo '<html><body>hello</body></html>' > plain/index.html
run 1 . plain/index.html guide.chm
grep -q 'not a Javadoc index page: no frames, no list file' out || fail "non-Javadoc: $(cat out)"

# The title, typed in UTF-8, reads back from a Russian tree's project in code page 1251.
run 0 . --keep-project ru/index.html guide.chm "Счётчик"
grep -q '^Language=0x419 Russian' ru/guide.hhp || fail "not a Russian project"
[ "$(grep -a '^Title=' ru/guide.hhp | iconv -f cp1251 -t utf-8 | tr -d '\r')" = "Title=Счётчик  - Generated by quillbinder" ] ||
  fail "title: $(grep -a '^Title=' ru/guide.hhp | od -c | head -3)"

# The real trees: what the report counts in the contents and index equals the tree's
# own lists (list file, all-classes page, index terms).
if [ ! -d "$shared/testdata" ] || [ ! -d "$shared/testdata-modern" ]; then
  [ "${CI:-}" = "true" ] && fail "no shared test data at $shared (required when CI=true)"
  echo "SKIP: real trees (no shared test data at $shared)"
else
  sh "$root/tests/helpproject/copy_trees.sh" real "$shared/testdata" "$shared/testdata-modern" >/dev/null
  for tree in real/*/; do
    run 0 . --quiet --report real.json "$tree/index.html" guide.chm
    validate real.json
    counts="$(json real.json "d['tree']['packages'], d['tree']['types'], d['tree']['indexTerms'], '|', d['contents']['packages'], d['contents']['types'], d['index']['entries']")"
    [ "${counts%%|*}" = "${counts##*| } " ] || fail "$tree: tree/contents counts differ: $counts"
  done
fi

[ "$failures" = 0 ] && echo "PASS" || { echo "$failures failures"; exit 1; }
