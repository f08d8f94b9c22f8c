#!/usr/bin/env bash
# Side-by-side benchmark of quillbinder-hhc, Free Pascal's chmcmd and, when FASTCHM names
# it, FastChm, on real Javadoc corpora: wall time, CPU time (user + sys), peak memory
# (max RSS) and .chm size of each, and our ratios to them. Figures are printed, never
# judged: this is not a test. Our output is then read back with chmlib and 7-Zip to show
# it is usable. Last, our section 1 compiled with search off (pages only, the stream that
# matters) is compressed again by the section-1 benchmark next to wimlib's LZX at level
# 1000 on the same stream, each 64 KiB reset interval on its own.
#
# Usage: bash bench/run_bench.sh [large|javase|small|all] [--no-fts]
#   large:  the java.base module's Javadoc (~1,450 pages), a project listing every file;
#   javase: every java.* module (~4,400 pages, 165 MB) with the project our console
#           program writes for it: contents, an index of ~50,000 entries, treated pages;
#   small:  one package (quick run); all (default): large, then javase.
#   --no-fts: compile without the full-text index, so mostly the compressor is timed.
# RUNS=n (default 3): each compiler runs n times, interleaved with the others so that a
#   shared machine's load falls on all alike; the run with the best wall time counts.
#   CPU time and peak memory hardly vary and are the figures to trust on a busy machine.
# CHMCMD_RUNS=n (default 1 on javase, else RUNS): chmcmd takes minutes there.
# TIMEOUT=s (default 900): a compiler still running after it is stopped and reported.
# FASTCHM=/path/to/fastchm adds that compiler. It is MIT-licensed C++ on GitHub
#   (yeroo/FastChm): `g++ -std=c++17 -O2 src/*.cpp -lpthread -o fastchm`.
# BASELINE=/path/to/quillbinder-hhc adds another build of ours (an earlier version, say).
# FAST=1 adds ours with --fast.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kinds=(large javase)
fts=Yes
runs="${RUNS:-3}"
timeout_s="${TIMEOUT:-900}"
for arg in "$@"; do
  case "$arg" in
    large|small|javase) kinds=("$arg") ;;
    all) kinds=(large javase) ;;
    --no-fts) fts=No ;;
    *) echo "usage: $0 [large|javase|small|all] [--no-fts]" >&2; exit 2 ;;
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

echo "== building quillbinder-hhc and quillbinder-cli (release)"
build="$root/build/release-bench"
cmake -S "$root" -B "$build" -G Ninja -DQB_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
  >/dev/null
cmake --build "$build" -j2 --target quillbinder-hhc quillbinder-cli lzx_section_bench >/dev/null
hhc="$build/hha/quillbinder-hhc"
section_bench="$build/tests/hha/lzx/lzx_section_bench"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"

# $dir/$label.hhp for one compiler: the corpus' project, apart from the output name
# (and, with --no-fts, the search).
write_project() {  # kind dir label [fts]
  local kind="$1" dir="$2" label="$3" search="${4:-$fts}"
  if [[ "$kind" == javase ]]; then
    sed -e "s|^Compiled file=.*|Compiled file=$label.chm\r|" \
        -e "s|^Full-text search=.*|Full-text search=$search\r|" "$dir/javase.hhp" >"$dir/$label.hhp"
    return
  fi
  {
    printf '[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=%s.chm\r\n' "$label"
    printf 'Default topic=html\\index.html\r\nDisplay compile progress=No\r\n'
    printf 'Full-text search=%s\r\nLanguage=0x409 English (United States)\r\n' "$search"
    printf 'Title=java.base benchmark\r\n\r\n[FILES]\r\n'
    (cd "$dir" && find html -type f ! -name '*.chm' | LC_ALL=C sort | sed 's|/|\\|g; s|$|\r|')
  } >"$dir/$label.hhp"
}

seconds() {  # h:mm:ss or m:ss.ss -> seconds
  awk -F: '{s=0; for (i=1;i<=NF;i++) s=s*60+$i; print s}' <<<"$1"
}

# One timed run; keeps the run's figures in $dir/$label.time when its wall time is the
# best so far. A run that fails or times out is reported and counts as no run.
run_once() {  # dir label command...
  local dir="$1" label="$2"; shift 2
  local t="$dir/$label.time.run" status=0
  (cd "$dir" && timeout "$timeout_s" /usr/bin/time -v "$@" >"$dir/$label.run.log" 2>"$t") ||
    status=$?
  if ((status == 124)); then
    echo "   $label: stopped after ${timeout_s} s (TIMEOUT)" >&2
    echo "timeout" >"$dir/$label.status"; return
  elif ((status != 0)) || grep -q '^Command exited with non-zero status' "$t"; then
    echo "   $label: failed (exit $status); see $dir/$label.run.log:" >&2
    tail -3 "$dir/$label.run.log" "$t" | grep -v '^\s*$' | head -6 | sed 's/^/     /' >&2
    echo "failed" >"$dir/$label.status"; return
  fi
  local wall best
  wall=$(seconds "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$t")")
  best=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$dir/$label.time" 2>/dev/null || true)
  if [[ ! -f "$dir/$label.time" ]] || awk -v a="$wall" -v b="$(seconds "$best")" 'BEGIN {exit !(a < b)}'; then
    mv "$t" "$dir/$label.time"
    mv "$dir/$label.run.log" "$dir/$label.log"
    echo "ok" >"$dir/$label.status"
  fi
  rm -f "$t" "$dir/$label.run.log"
}

# "wall cpu rss_mib size" of a compiler's best run, or "-" figures.
figures() {  # dir label
  local dir="$1" label="$2"
  if [[ "$(cat "$dir/$label.status" 2>/dev/null)" != ok ]]; then
    echo "- - - -"; return
  fi
  local wall cpu rss size
  wall=$(seconds "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$dir/$label.time")")
  cpu=$(awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {printf "%.2f", u + s}' "$dir/$label.time")
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$dir/$label.time")
  size=$(stat -c %s "$dir/$label.chm" 2>/dev/null || echo 0)
  echo "$wall $cpu $rss $size"
}

# The corpus' own files, without what the benchmark and the console program put beside.
corpus_files() {  # html folder
  (cd "$1" && find . -type f ! -name '*.chm' ! -name '*.hh?' ! -name '*.log' ! -name '*.time*' \
     ! -name '*.status' ! -name 'about_quillbinder.html' | sed 's|^\./||')
}

bench_corpus() {  # kind
  local kind="$1"
  echo
  echo "==== corpus: $kind"
  local corpus dir
  corpus="$(QB_CLI="$build/frontend/quillbinder-cli" bash "$root/bench/make_corpus.sh" "$kind")"
  dir="$corpus"
  [[ "$kind" == javase ]] && dir="$corpus/html"
  local pages bytes
  pages=$(cd "$corpus/html" && find . -type f -name '*.html' | wc -l)
  bytes=$(corpus_files "$corpus/html" | tr '\n' '\0' | (cd "$corpus/html" && du -cb --files0-from=-) |
          tail -1 | cut -f1)
  echo "$pages pages, $bytes bytes of input in $corpus/html"

  local labels=(quillbinder chmcmd)
  [[ -n "${FAST:-}" ]] && labels+=(quillbinder-fast)
  [[ -n "${FASTCHM:-}" ]] && labels+=(fastchm)
  [[ -n "${BASELINE:-}" ]] && labels+=(baseline)
  local label
  for label in "${labels[@]}"; do
    write_project "$kind" "$dir" "$label"
    rm -f "$dir/$label.chm" "$dir/$label.time" "$dir/$label.status"
  done
  local chmcmd_runs="${CHMCMD_RUNS:-$runs}"
  [[ "$kind" == javase && -z "${CHMCMD_RUNS:-}" ]] && chmcmd_runs=1

  echo "== compiling ($runs interleaved runs each, best wall time; timeout ${timeout_s} s)"
  local r
  for ((r = 1; r <= runs; r++)); do
    echo "-- run $r; load average $(cut -d' ' -f1-3 /proc/loadavg)"
    for label in "${labels[@]}"; do
      case "$label" in
        quillbinder) run_once "$dir" "$label" "$hhc" --timing "$label.hhp" ;;
        quillbinder-fast) run_once "$dir" "$label" "$hhc" --fast "$label.hhp" ;;
        chmcmd) ((r <= chmcmd_runs)) && run_once "$dir" "$label" chmcmd --no-html-scan "$label.hhp" ;;
        fastchm) run_once "$dir" "$label" "$FASTCHM" "$label.hhp" ;;
        baseline) run_once "$dir" "$label" "$BASELINE" "$label.hhp" ;;
      esac
    done
  done

  printf '\n%-20s %9s %9s %10s %12s\n' "compiler ($kind)" "wall s" "cpu s" "peak MiB" "size bytes"
  for label in "${labels[@]}"; do
    read -r wall cpu rss size <<<"$(figures "$dir" "$label")"
    printf '%-20s %9s %9s %10s %12s  %s\n' "$label" "$wall" "$cpu" "$rss" "$size" \
      "$(cat "$dir/$label.status" 2>/dev/null | grep -v '^ok$' || true)"
  done
  grep -h '^Waited' "$dir/quillbinder.log" 2>/dev/null || true
  read -r qw qc qr qs <<<"$(figures "$dir" quillbinder)"
  for label in chmcmd fastchm baseline; do
    [[ " ${labels[*]} " == *" $label "* ]] || continue
    read -r ow oc orr os <<<"$(figures "$dir" "$label")"
    [[ "$ow" == - || "$qw" == - ]] && { echo "quillbinder / $label: no figures"; continue; }
    awk -v l="$label" -v qw="$qw" -v qc="$qc" -v qr="$qr" -v qs="$qs" -v ow="$ow" -v oc="$oc" \
        -v orr="$orr" -v os="$os" 'BEGIN {
      printf "quillbinder / %s: wall %.3f, cpu %.3f, peak memory %.3f, size %.3f\n",
        l, qw / ow, qc / oc, qr / orr, (os > 0 ? qs / os : 0) }'
  done

  echo "== our content section with search off against wimlib's LZX (level 1000, 64 KiB intervals), one thread each"
  write_project "$kind" "$dir" quillbinder-nofts No
  (cd "$dir" && "$hhc" quillbinder-nofts.hhp >/dev/null) &&
    "$section_bench" --threads 1 --wimlib --chm "$dir/quillbinder-nofts.chm" || true

  echo "== reading quillbinder.chm back"
  local out="$corpus/extracted" bad=0 absent=0 f from
  rm -rf "$out"
  extract_chmLib "$dir/quillbinder.chm" "$out" >/dev/null
  from="$out/html"
  [[ "$kind" == javase ]] && from="$out"
  # Treated pages (the javase project asks for viewer-safe pages) differ from the disk
  # by design; every other file must come back as it was.
  while IFS= read -r f; do
    [[ "$kind" == javase && "$f" == *.html ]] && continue
    # What no page links to (javadoc's search scripts) is not in the help file.
    [[ -f "$from/$f" ]] || { absent=$((absent + 1)); continue; }
    cmp -s "$corpus/html/$f" "$from/$f" || { bad=$((bad + 1)); ((bad <= 5)) && echo "differs: $f"; }
  done < <(corpus_files "$corpus/html")
  echo "chmlib: $(find "$out" -type f | wc -l) files extracted, $bad differ from the disk" \
    "($absent files of the folder are not in the help file)"
  7z t "$dir/quillbinder.chm" | grep -E '^(Everything is Ok|ERROR|Files:)' || true
  rm -rf "$out"
}

for kind in "${kinds[@]}"; do bench_corpus "$kind"; done
