#!/usr/bin/env bash
# Side-by-side benchmark of quillbinder-hhc and Free Pascal's chmcmd on a real Javadoc
# corpus: wall time, peak memory (max RSS) and .chm size of each, and their ratios.
# Figures are printed, never judged: this is not a test. Both outputs are then read back
# with chmlib (every page byte-identical) and 7-Zip to show the result is usable.
# Then our section 1 (rebuilt from the .chm) is compressed again by the section-1
# benchmark, next to wimlib's LZX at level 1000 on the same stream, each 64 KiB reset
# interval on its own. FASTCHM=/path/to/fastchm adds that compiler to the comparison.
# Usage: bash bench/run_bench.sh [large|small] [--no-fts]
#   large: the java.base module's Javadoc (~1,450 pages); small: one package (quick run).
#   --no-fts: compile without the full-text index, so mostly the compressor is timed.
# RUNS=n (default 3): each compiler runs n times and the run with the best wall time is
# reported, which keeps a shared machine's noise out of the comparison.
# BASELINE=/path/to/quillbinder-hhc adds another build of ours (an earlier version, say)
# to the same run, so that figures measured elsewhere can be related to this machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind=large
fts=Yes
runs="${RUNS:-3}"
for arg in "$@"; do
  case "$arg" in
    large|small) kind="$arg" ;;
    --no-fts) fts=No ;;
    *) echo "usage: $0 [large|small] [--no-fts]" >&2; exit 2 ;;
  esac
done

sudo_cmd=""; [[ $(id -u) -ne 0 ]] && sudo_cmd=sudo
need=()
command -v chmcmd >/dev/null || need+=(fp-utils)
[[ -x /usr/bin/time ]] || need+=(time)
command -v extract_chmLib >/dev/null || need+=(libchm-bin)
command -v 7z >/dev/null || need+=(p7zip-full)
[[ -f /usr/include/wimlib.h ]] || need+=(libwim-dev)
[[ -f /usr/include/chm_lib.h ]] || need+=(libchm-dev)
[[ -f /usr/include/mspack.h ]] || need+=(libmspack-dev)
if ((${#need[@]})); then $sudo_cmd apt-get install -y "${need[@]}"; fi

echo "== building quillbinder-hhc (release)"
build="$root/build/release-bench"
cmake -S "$root" -B "$build" -G Ninja -DQB_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
  >/dev/null
cmake --build "$build" -j2 --target quillbinder-hhc lzx_section_bench >/dev/null
hhc="$build/hha/quillbinder-hhc"
section_bench="$build/tests/hha/lzx/lzx_section_bench"

echo "== corpus ($kind)"
corpus="$(bash "$root/bench/make_corpus.sh" "$kind")"
pages=$(cd "$corpus/html" && find . -type f -name '*.html' | wc -l)
bytes=$(cd "$corpus/html" && find . -type f -print0 | du -cb --files0-from=- | tail -1 | cut -f1)
echo "$pages pages, $bytes bytes of input in $corpus/html"

# One project per compiler, identical apart from the output name.
write_project() {  # name
  {
    printf '[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=%s.chm\r\n' "$1"
    printf 'Default topic=html\\index.html\r\nDisplay compile progress=No\r\n'
    printf 'Full-text search=%s\r\nLanguage=0x409 English (United States)\r\n' "$fts"
    printf 'Title=java.base benchmark\r\n\r\n[FILES]\r\n'
    (cd "$corpus" && find html -type f | LC_ALL=C sort | sed 's|/|\\|g; s|$|\r|')
  } >"$corpus/$1.hhp"
}
write_project quillbinder
write_project quillbinder-fast
write_project chmcmd
rm -f "$corpus/quillbinder.chm" "$corpus/quillbinder-fast.chm" "$corpus/chmcmd.chm"
[[ -n "${FASTCHM:-}" ]] && write_project fastchm && rm -f "$corpus/fastchm.chm"
[[ -n "${BASELINE:-}" ]] && write_project baseline && rm -f "$corpus/baseline.chm"

measure() {  # label command...; the run with the best wall time of $runs counts
  local label="$1"; shift
  local log="$corpus/$label.time" best="" r
  for ((r = 1; r <= runs; r++)); do
    (cd "$corpus" && /usr/bin/time -v "$@" >"$corpus/$label.log" 2>"$log.run") || {
      echo "$label failed; see $corpus/$label.log and $log.run" >&2; tail -5 "$corpus/$label.log" >&2; }
    local wall
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log.run")
    # h:mm:ss or m:ss.ss -> seconds
    wall=$(echo "$wall" | awk -F: '{s=0; for (i=1;i<=NF;i++) s=s*60+$i; print s}')
    if [[ -z "$best" ]] || awk -v a="$wall" -v b="$best" 'BEGIN {exit !(a < b)}'; then
      best="$wall"
      mv "$log.run" "$log"
      cp "$corpus/$label.log" "$corpus/$label.best.log"
    fi
  done
  rm -f "$log.run"
  mv "$corpus/$label.best.log" "$corpus/$label.log"
  echo "$label $best $(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")"
}

echo "== compiling (same machine, same run; best wall time of $runs runs each)"
q=$(measure quillbinder "$hhc" --timing quillbinder.hhp)
f=$(measure quillbinder-fast "$hhc" --fast quillbinder-fast.hhp)
c=$(measure chmcmd chmcmd --no-html-scan chmcmd.hhp)
read -r _ qwall qrss <<<"$q"
read -r _ fwall frss <<<"$f"
read -r _ cwall crss <<<"$c"
qsize=$(stat -c %s "$corpus/quillbinder.chm" 2>/dev/null || echo 0)
fsize=$(stat -c %s "$corpus/quillbinder-fast.chm" 2>/dev/null || echo 0)
csize=$(stat -c %s "$corpus/chmcmd.chm" 2>/dev/null || echo 0)
cpu() { awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {printf "%.2f", u + s}' "$corpus/$1.time"; }

printf '\n%-16s %10s %10s %14s %14s\n' compiler "wall s" "cpu s" "peak RSS KiB" "size bytes"
printf '%-16s %10s %10s %14s %14s\n' quillbinder "$qwall" "$(cpu quillbinder)" "$qrss" "$qsize"
printf '%-16s %10s %10s %14s %14s\n' "quillbinder --fast" "$fwall" "$(cpu quillbinder-fast)" "$frss" "$fsize"
printf '%-16s %10s %10s %14s %14s\n' chmcmd "$cwall" "$(cpu chmcmd)" "$crss" "$csize"
if [[ -n "${BASELINE:-}" ]]; then
  b=$(measure baseline "$BASELINE" baseline.hhp)
  read -r _ bwall brss <<<"$b"
  bsize=$(stat -c %s "$corpus/baseline.chm" 2>/dev/null || echo 0)
  printf '%-16s %10s %10s %14s %14s\n' baseline "$bwall" "$(cpu baseline)" "$brss" "$bsize"
  awk -v qw="$qwall" -v bw="$bwall" 'BEGIN {printf "quillbinder / baseline: time %.3f\n", qw / bw}'
fi
if [[ -n "${FASTCHM:-}" ]]; then
  x=$(measure fastchm "$FASTCHM" fastchm.hhp)
  read -r _ xwall xrss <<<"$x"
  xsize=$(stat -c %s "$corpus/fastchm.chm" 2>/dev/null || echo 0)
  printf '%-16s %10s %10s %14s %14s\n' fastchm "$xwall" "$(cpu fastchm)" "$xrss" "$xsize"
fi
grep -h '^Waited' "$corpus/quillbinder.log" || true
awk -v qw="$qwall" -v cw="$cwall" -v qr="$qrss" -v cr="$crss" -v qs="$qsize" -v cs="$csize" \
  -v in_bytes="$bytes" 'BEGIN {
    printf "\nquillbinder / chmcmd: time %.3f (chmcmd %.1fx slower), memory %.3f, size %.3f\n",
      qw / cw, cw / qw, qr / cr, qs / cs
    printf "compression of the input: quillbinder %.2f:1, chmcmd %.2f:1\n",
      in_bytes / qs, in_bytes / cs }'

echo "== section 1 against wimlib's LZX (level 1000, 64 KiB intervals), one thread each"
"$section_bench" --threads 1 --wimlib --chm "$corpus/quillbinder.chm" || true
echo "-- the same stream with --fast"
"$section_bench" --threads 1 --fast --chm "$corpus/quillbinder.chm" || true

echo "== reading quillbinder.chm back"
out="$corpus/extracted"
rm -rf "$out"
extract_chmLib "$corpus/quillbinder.chm" "$out" >/dev/null
bad=0
while IFS= read -r f; do
  cmp -s "$corpus/$f" "$out/$f" || { bad=$((bad + 1)); ((bad <= 5)) && echo "differs: $f"; }
done < <(cd "$corpus" && find html -type f)
echo "chmlib: $((pages)) pages checked, $bad files differ"
7z t "$corpus/quillbinder.chm" | grep -E '^(Everything is Ok|ERROR|Files:)' || true
