#!/usr/bin/env bash
# The console program's contract, held against the native program and the Windows one
# under Wine alike: exit 0 with a help file a reader we did not write opens, 1 with one
# reason and nothing left behind, 2 for bad usage, --help and --version, relative paths
# and -o, and output that stays line-based when redirected (a CR only before an LF).
#   console_contract.sh <build's version.txt> <quillbinder-cli>
#   console_contract.sh <build's version.txt> --wine <quillbinder-cli.exe>   (needs a display)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
version="$(cat "$1")"; shift
if [ "$1" = --wine ]; then
  . "$root/scripts/wine-env.sh"
  qb_wine_prefix
  program=(wine "$(realpath "$2")")
  host() { echo "Z:$(echo "$1" | tr / '\\')"; }
  sep='\'
else
  program=("$(realpath "$1")")
  host() { echo "$1"; }
  sep=/
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
rm "$api/quill.chm" "$api/overview-frame.html"
run 1 "$work" "$(host "$api/index.html")" quill.chm
grep -qF "Cannot open '$(host "$api/overview-frame.html")'." "$work/out" || fail "broken tree: $(cat "$work/out")"
[ "$(wc -l <"$work/err")" = 1 ] && grep -q "was not written" "$work/err" || fail "broken tree: $(cat "$work/err")"
[ -e "$api/quill.chm" ] && fail "a broken tree made a help file"
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

[ "$failures" = 0 ] && echo "PASS ${program[*]}" || { echo "$failures failures"; exit 1; }
