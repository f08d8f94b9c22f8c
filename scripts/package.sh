#!/usr/bin/env bash
# Builds the release package: a zip with quillbinder.exe, quillbinder-cli.exe, hha.dll
# and a short README, named after the version in the version resource. The zip is then
# unpacked into a scratch folder and the unpacked console program converts the sample,
# so a package that does not work is never left behind as if it did.
# Usage: bash scripts/package.sh        (after, or instead of, scripts/build.sh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
bash scripts/enable-i386.sh
cmake -S . -B build/win-release -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF >/dev/null
cmake --build build/win-release -j "$(nproc)"

version=$(sed -n 's/^#define QB_VERSION_NUMBERS \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' \
  resources/resource_ids.h)
[ -n "$version" ] || { echo "package: no version in resources/resource_ids.h" >&2; exit 1; }
name="quillbinder-$version"
stage="build/package/$name"
rm -rf build/package
mkdir -p "$stage"
for f in quillbinder.exe quillbinder-cli.exe hha.dll; do
  cp "build/win-release/frontend/$f" "$stage/"
  i686-w64-mingw32-strip "$stage/$f"
done
cat > "$stage/README.txt" <<EOT
quillbinder $version
====================

quillbinder turns the HTML output of the Javadoc generator into one compiled HTML Help
file (.chm). Keep the three files together in one folder.

quillbinder.exe      the desktop program: pick the Javadoc index.html, type a file name
                     and a title, press Go. The help file is written into the Javadoc
                     folder; the temporary files are removed when the job ends.
quillbinder-cli.exe  the same conversion for scripts:
                       quillbinder-cli <path to index.html> <output file name> [title]
                     Exit code 0 when the help file was written, 1 when the conversion
                     failed or was cancelled (Ctrl+C), 2 for bad arguments.
hha.dll              quillbinder's own HTML Help compiler (entry HHA_CompileHHP).

Both programs need nothing else: no installation, no registry entries, no other DLLs.
EOT
sed -i 's/$/\r/' "$stage/README.txt"
(cd build/package && rm -f "$name.zip" && zip -q -r "$name.zip" "$name")
zip="build/package/$name.zip"

# The unpacked package, on its own, converts the sample.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
unzip -q "$zip" -d "$check"
cp -r samples/javadoc "$check/javadoc"
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
bash scripts/wine-prefix.sh
index="Z:$(echo "$check/javadoc/index.html" | tr '/' '\\')"
run=(wine "$check/$name/quillbinder-cli.exe" "$index" check.chm "Package check")
if [ -n "${DISPLAY:-}" ]; then "${run[@]}" >/dev/null; else xvfb-run -a "${run[@]}" >/dev/null; fi
wineserver -w
[ "$(head -c 4 "$check/javadoc/check.chm")" = "ITSF" ] || { echo "package: the unpacked program did not work" >&2; exit 1; }

echo "Package: $zip ($(stat -c %s "$zip") bytes)"
unzip -l "$zip"
