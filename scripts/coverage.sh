#!/usr/bin/env bash
# Line and branch coverage of the product code by the whole native test suite, and the
# comparison of two such runs (to show that a reworked suite still reaches what the old
# one reached). Not part of the test command.
#
# Usage:
#   bash scripts/coverage.sh run [--src DIR] [--build DIR] [--tests REGEX] [--timeout-scale N] OUT
#       Builds DIR (default: this checkout) natively with --coverage -O0 and no sanitizers
#       in --build (default DIR/build/coverage), runs ctest (all, or -R REGEX), and writes
#       OUT/coverage.json (gcovr), OUT/summary.tsv (file, lines covered/total, branches
#       covered/total), OUT/tests.tsv and ctest.log (tests run one at a time), OUT/pertest/
#       (the counters after each test, for scripts/mutate.sh) and OUT/src/ (the sources).
#       --timeout-scale multiplies every test's timeout in this build only: the -O0
#       atomic-counter programs run several times slower, and a test killed at its timeout
#       loses its counters.
#   bash scripts/coverage.sh report --src DIR --build DIR OUT
#       Only the gcovr step of run, over the counters a run left in the build.
#   bash scripts/coverage.sh compare OLD NEW [--map from=to ...]
#       Per file lines/branches before and after, then every line and branch covered in
#       OLD but not in NEW (file:line and the source text). --map renames a folder prefix
#       between the two trees (engine/job/=job/ is always applied when OLD has engine/job
#       and NEW does not). Lines are matched through a diff of the two sources, so edits
#       to a product file do not shift the comparison.
# The tests find the shared data at DIR/../shared: a copy of the tree elsewhere needs a
# link there, or the data tests skip (CI unset) and the figures drop.
# Runs at nice 19 with -j2 (JOBS=n to change): the machine is shared.
# Needs gcovr (Debian package gcovr). Only the product's own objects are read (lines of
# product headers compiled into test programs are not counted). Counters are updated
# atomically: the compressor's threads otherwise lose increments, gcov then derives negative
# counts and gcovr drops those lines (reported as lost). A build made without it still
# reports, past those lines.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
jobs="${JOBS:-2}"
product_dirs="support hha engine helpproject frontend resources job"

need_gcovr() {
  command -v gcovr >/dev/null && return
  echo "gcovr is missing: apt-get install gcovr" >&2
  exit 2
}

run() {
  local src build="" tests="" scale=1 out
  src="$(cd "$here/.." && pwd)"
  while [[ $# -gt 1 ]]; do
    case "$1" in
      --src) src="$(cd "$2" && pwd)"; shift 2 ;;
      --build) build="$2"; shift 2 ;;
      --tests) tests="$2"; shift 2 ;;
      --timeout-scale) scale="$2"; shift 2 ;;
      *) echo "unknown option $1" >&2; exit 2 ;;
    esac
  done
  [[ $# -eq 1 ]] || { echo "usage: $0 run [--src DIR] [--build DIR] [--tests REGEX] [--timeout-scale N] OUT" >&2; exit 2; }
  [[ $scale =~ ^[1-9][0-9]*$ ]] || { echo "--timeout-scale takes a whole number" >&2; exit 2; }
  need_gcovr
  out="$1"
  [[ -n "$build" ]] || build="$src/build/coverage"
  mkdir -p "$out" "$build"
  out="$(cd "$out" && pwd)"; build="$(cd "$build" && pwd)"

  local t0=$SECONDS
  nice -n 19 cmake -S "$src" -B "$build" -G Ninja -DQB_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="--coverage -O0 -fprofile-update=atomic" \
    -DCMAKE_CXX_FLAGS="--coverage -O0 -fprofile-update=atomic" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
  nice -n 19 cmake --build "$build" -j "$jobs" >"$out/build.log" 2>&1 \
    || { tail -30 "$out/build.log" >&2; exit 1; }
  local t1=$SECONDS
  # Every configure rewrites these files, so the scaled timeouts never outlive this run's build.
  if [[ $scale != 1 ]]; then
    find "$build" -name CTestTestfile.cmake -exec \
      perl -pi -e 's/ TIMEOUT "(\d+)"/sprintf(q( TIMEOUT "%d"), $1 * '"$scale"')/ge' {} +
  fi
  find "$build" -name '*.gcda' -delete
  # One test at a time, the counters saved after each: scripts/mutate.sh map takes from
  # these which test runs which line. Fixtures' setups come in with the tests needing them.
  # A failing test still leaves its coverage; tests.tsv and ctest.log say which failed.
  rm -rf "$out/pertest"; mkdir -p "$out/pertest"
  : >"$out/ctest.log"; printf 'n\ttest\tresult\tseconds\n' >"$out/tests.tsv"
  local n=0 name s rc
  while read -r name; do
    [[ $name == *_setup ]] && continue
    n=$((n + 1)); s=$SECONDS; rc=0
    nice -n 19 ctest --test-dir "$build" -R "^${name}\$" --output-on-failure >>"$out/ctest.log" 2>&1 || rc=$?
    printf '%s\t%s\t%s\t%s\n' "$n" "$name" "$([[ $rc == 0 ]] && echo passed || echo FAILED)" \
      "$((SECONDS - s))" >>"$out/tests.tsv"
    [[ $rc == 0 ]] || echo "test $name failed: see $out/ctest.log" >&2
    mkdir -p "$out/pertest/$n"
    (cd "$build" && find . -name '*.gcda' -exec cp --parents -t "$out/pertest/$n" {} +)
  done < <(ctest --test-dir "$build" -N ${tests:+-R "$tests"} | sed -n 's/^ *Test *#[0-9]*: //p')
  local t2=$SECONDS
  report --src "$src" --build "$build" "$out"
  echo "tests: $(grep -c passed "$out/tests.tsv") passed, $(grep -c FAILED "$out/tests.tsv") failed"
  echo "build $((t1 - t0)) s, tests $((t2 - t1)) s, gcovr $((SECONDS - t2)) s" | tee "$out/times.txt"
}

# gcovr over the counters in BUILD, the product's lines only.
report() {
  local src build out
  while [[ $# -gt 1 ]]; do
    case "$1" in
      --src) src="$(cd "$2" && pwd)"; shift 2 ;;
      --build) build="$(cd "$2" && pwd)"; shift 2 ;;
      *) echo "unknown option $1" >&2; exit 2 ;;
    esac
  done
  out="$(cd "$1" && pwd)"
  need_gcovr
  local filters=() objects=()
  for d in $product_dirs; do
    filters+=(--filter "$(printf '%s' "$src/$d/" | sed 's/[.[\]^$*+?(){}|]/\\&/g')")
    # only the product's objects: gcov over the tests' and GoogleTest's takes most of the time
    if [[ -d $build/$d ]]; then objects+=("$build/$d"); fi
  done
  (cd "$src" && nice -n 19 gcovr -r "$src" "${objects[@]}" "${filters[@]}" \
    --exclude-unreachable-branches --exclude-throw-branches -j "$jobs" --gcov-ignore-parse-errors \
    --json "$out/coverage.json" >/dev/null 2>"$out/gcovr.log")
  rm -rf "$out/src"; mkdir -p "$out/src"
  (cd "$src" && for d in $product_dirs; do if [[ -d $d ]]; then echo "$d"; fi; done | xargs tar cf - ) | tar xf - -C "$out/src"
  python3 - "$out" <<'EOF'
import json, sys
out = sys.argv[1]
import re
data = json.load(open(f"{out}/coverage.json"))
# Headers are included through the build's layer folders (build/…/layers/<library>/): one
# file under its source path, its counts summed over every way in.
merged = {}
for f in data["files"]:
    name = re.sub(r"^.*?/layers/[^/]+/", "", f["file"])
    if name not in merged:
        f["file"] = name; merged[name] = f; continue
    have = {l["line_number"]: l for l in merged[name]["lines"]}
    for l in f["lines"]:
        h = have.get(l["line_number"])
        if h is None:
            merged[name]["lines"].append(l); have[l["line_number"]] = l; continue
        h["count"] += l["count"]
        if len(h["branches"]) == len(l["branches"]):
            for a, b in zip(h["branches"], l["branches"]): a["count"] += b["count"]
        elif len(l["branches"]) > len(h["branches"]):
            h["branches"] = l["branches"]
for f in merged.values(): f["lines"].sort(key=lambda l: l["line_number"])
data["files"] = list(merged.values())
json.dump(data, open(f"{out}/coverage.json", "w"))
rows = []
for f in data["files"]:
    lines = [l for l in f["lines"] if not l.get("gcovr/noncode")]
    lt = len(lines); lc = sum(1 for l in lines if l["count"] > 0)
    br = [b for l in lines for b in l["branches"]]
    rows.append((f["file"], lc, lt, sum(1 for b in br if b["count"] > 0), len(br)))
rows.sort()
with open(f"{out}/summary.tsv", "w") as o:
    o.write("file\tlines_covered\tlines_total\tbranches_covered\tbranches_total\n")
    for r in rows: o.write("\t".join(map(str, r)) + "\n")
t = [sum(r[i] for r in rows) for i in range(1, 5)]
print(f"total: lines {t[0]}/{t[1]}, branches {t[2]}/{t[3]} over {len(rows)} files")
EOF
  rm -f "$build"/*.gcov
}

compare() {
  [[ $# -ge 2 ]] || { echo "usage: $0 compare OLD NEW [--map from=to ...]" >&2; exit 2; }
  python3 - "$@" <<'EOF'
import difflib, json, os, sys
old_dir, new_dir, rest = sys.argv[1], sys.argv[2], sys.argv[3:]
maps = []
while rest:
    if rest[0] == "--map" and len(rest) > 1:
        a, b = rest[1].split("=", 1); maps.append((a, b)); rest = rest[2:]
    else:
        sys.exit(f"unknown argument {rest[0]}")
if os.path.isdir(f"{old_dir}/src/engine/job") and not os.path.isdir(f"{new_dir}/src/engine/job"):
    if os.path.isdir(f"{new_dir}/src/job") and not maps:
        maps.append(("engine/job/", "job/"))

def load(d):
    files = {}
    for f in json.load(open(f"{d}/coverage.json"))["files"]:
        files[f["file"]] = {l["line_number"]: l for l in f["lines"] if not l.get("gcovr/noncode")}
    return files

def src(d, name):
    try:
        with open(f"{d}/src/{name}", encoding="utf-8", errors="replace") as fh:
            return fh.read().split("\n")
    except OSError:
        return []

def rename(name):
    for a, b in maps:
        if name.startswith(a): return b + name[len(a):]
    return name

old, new = load(old_dir), load(new_dir)
def stats(lines):
    br = [b for l in lines.values() for b in l["branches"]]
    return (sum(1 for l in lines.values() if l["count"] > 0), len(lines),
            sum(1 for b in br if b["count"] > 0), len(br))

print("file\tlines_old\tlines_new\tbranches_old\tbranches_new")
tot_o, tot_n = [0] * 4, [0] * 4
lost_lines, lost_branches = [], []
for name in sorted(set(old) | {n for n in new if n not in {rename(o) for o in old}}):
    nname = rename(name) if name in old else name
    o, n = old.get(name, {}), new.get(nname, {})
    so, sn = stats(o), stats(n)
    tot_o = [a + b for a, b in zip(tot_o, so)]; tot_n = [a + b for a, b in zip(tot_n, sn)]
    mark = "" if (sn[0] >= so[0] and sn[2] >= so[2]) else "\tLOSS"
    print(f"{nname}\t{so[0]}/{so[1]}\t{sn[0]}/{sn[1]}\t{so[2]}/{so[3]}\t{sn[2]}/{sn[3]}{mark}")
    if not o: continue
    a, b = src(old_dir, name), src(new_dir, nname)
    linemap = {}
    for tag, i1, i2, j1, j2 in difflib.SequenceMatcher(None, a, b, autojunk=False).get_opcodes():
        if tag == "equal":
            for k in range(i2 - i1): linemap[i1 + k + 1] = j1 + k + 1
    for ln, l in sorted(o.items()):
        text = a[ln - 1].strip() if ln <= len(a) else ""
        nl = linemap.get(ln)
        m = n.get(nl) if nl else None
        if l["count"] > 0 and (m is None or m["count"] == 0):
            why = "" if nl else " (line changed)"
            lost_lines.append(f"{nname}:{nl or ln}{why}\t{text}")
            continue
        if m is None: continue
        for i, br in enumerate(l["branches"]):
            if br["count"] > 0 and (i >= len(m["branches"]) or m["branches"][i]["count"] == 0):
                lost_branches.append(f"{nname}:{nl} branch {i} of {len(l['branches'])}\t{text}")
print(f"TOTAL\t{tot_o[0]}/{tot_o[1]}\t{tot_n[0]}/{tot_n[1]}\t{tot_o[2]}/{tot_o[3]}\t{tot_n[2]}/{tot_n[3]}")
print(f"\n# lines covered before, not after: {len(lost_lines)}")
for x in lost_lines: print(x)
print(f"\n# branches taken before, not after (on lines still covered): {len(lost_branches)}")
for x in lost_branches: print(x)
EOF
}

case "${1:-}" in
  run) shift; run "$@" ;;
  report) shift; report "$@" ;;
  compare) shift; compare "$@" ;;
  *) sed -n '2,23p' "$0" >&2; exit 2 ;;
esac
