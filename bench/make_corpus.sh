#!/usr/bin/env bash
# Builds a benchmark corpus: the Javadoc of the installed JDK's java.base module (large,
# about 1,450 pages), of one package of it (small, for a quick run), or of every java.*
# module of its src.zip (javase: the Java SE API, 22 modules, about 4,400 pages), cached
# under build/bench/ so reruns skip javadoc.
# javase also gets the project our console program writes for it (html/javase.hhp with
# its contents and index files, about 50,000 index entries, pages treated for the
# viewer): QB_CLI=/path/to/quillbinder-cli names the program (run_bench.sh builds it);
# without it the corpus has no project until a run with it.
# Usage: bash bench/make_corpus.sh large|small|javase   -> prints the corpus folder
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:-large}"
out="$root/build/bench/corpus-$kind"

# The console program compiles as it writes the project; its help file is dropped.
write_javase_project() {
  [[ "$kind" == javase && -n "${QB_CLI:-}" && ! -f "$out/html/javase.hhp" ]] || return 0
  echo "writing the project with $QB_CLI" >&2
  "$QB_CLI" --quiet --keep-project "$out/html/index.html" javase.chm "Java SE 17" >&2
  rm -f "$out/html/javase.chm"
}

if [[ -f "$out/.done" ]]; then write_javase_project; echo "$out"; exit 0; fi

javadoc_bin="$(command -v javadoc || true)"
if [[ -z "$javadoc_bin" ]]; then echo "javadoc not found (install a JDK 17)" >&2; exit 1; fi
jdk="$(dirname "$(dirname "$(readlink -f "$javadoc_bin")")")"
src_zip="$jdk/lib/src.zip"
if [[ ! -f "$src_zip" ]]; then
  echo "installing the JDK sources (openjdk-17-source)" >&2
  sudo_cmd=""; [[ $(id -u) -ne 0 ]] && sudo_cmd=sudo
  $sudo_cmd apt-get install -y openjdk-17-source >&2
fi

src="$root/build/bench/src"
if [[ ! -f "$src/java.base/module-info.java" ]]; then
  mkdir -p "$src"
  (cd "$src" && unzip -q -o "$src_zip" 'java.base/*')
fi
if [[ "$kind" == javase && ! -f "$src/java.sql/module-info.java" ]]; then
  (cd "$src" && unzip -q -o "$src_zip" 'java.*/*')
fi
rm -rf "$out"
mkdir -p "$out/html"
if [[ "$kind" == javase ]]; then
  modules="$(cd "$src" && ls -d java.* | paste -sd, -)"
  "$javadoc_bin" -quiet -Xdoclint:none -J-Xmx3g -d "$out/html" \
    --module-source-path "$src" --module "$modules" >&2
elif [[ "$kind" == small ]]; then
  "$javadoc_bin" -quiet -Xdoclint:none -d "$out/html" -sourcepath "$src/java.base" \
    java.util.function >&2
else
  "$javadoc_bin" -quiet -Xdoclint:none -J-Xmx2g -d "$out/html" \
    --module-source-path "$src" --module java.base >&2
fi
touch "$out/.done"
write_javase_project
echo "$out"
