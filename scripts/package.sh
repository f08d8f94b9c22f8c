#!/usr/bin/env bash
# Builds the release packages in build/package, each with its SHA-256 file beside it:
# quillbinder-<version>.zip for Windows (the two programs, hha.dll, README.txt, the
# project's licence and the licences of the runtime libraries linked into the programs)
# and quillbinder-<version>-linux-x86_64.tar.gz (quillbinder-cli, quillbinder-hhc, a
# README.txt and the licence). The version is the build's (project(VERSION) in
# CMakeLists.txt); the script checks that the unpacked console programs print it, that
# both Windows programs carry it in their version block, that the Linux programs need
# nothing newer than glibc 2.34 (RHEL 9; Ubuntu 22.04 has 2.35, Debian 12 2.36), and that
# the unpacked console programs convert the sample, so a package that does not work is
# never left behind as if it did.
# Usage: bash scripts/package.sh        (after, or instead of, scripts/build.sh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
fail() { echo "package: $*" >&2; exit 1; }

bash scripts/install-deps.sh
bash scripts/enable-i386.sh
cmake -S . -B build/win-release -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQB_TESTS=OFF >/dev/null
cmake --build build/win-release -j "$(nproc)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQB_SANITIZE=OFF \
  -DQB_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target quillbinder-cli quillbinder-hhc

version=$(cat build/win-release/version.txt)
[ -n "$version" ] || fail "no version in build/win-release/version.txt"
name="quillbinder-$version"
stage="build/package/$name"
rm -rf build/package
mkdir -p "$stage/licenses"
for f in quillbinder.exe quillbinder-cli.exe hha.dll; do
  cp "build/win-release/frontend/$f" "$stage/"
  i686-w64-mingw32-strip "$stage/$f"
done
sed "s/@VERSION@/$version/g" resources/release/README.txt.in > "$stage/README.txt"
cp LICENSE "$stage/LICENSE.txt"
# The texts of the toolchain the programs were linked with, as its packages ship them.
cp resources/release/THIRD-PARTY-NOTICES.txt "$stage/licenses/"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
grep -q "GCC RUNTIME LIBRARY EXCEPTION" "$stage/licenses/gcc-runtime.txt" \
  || fail "the GCC runtime's copyright file lacks the Runtime Library Exception"
# Notepad on Windows 7 shows bare LF as one long line.
for f in "$stage"/*.txt "$stage"/licenses/*.txt; do sed -i 's/\r\?$/\r/' "$f"; done
(cd build/package && rm -f "$name.zip" && zip -q -X -r "$name.zip" "$name")
zip="build/package/$name.zip"
(cd build/package && sha256sum "$name.zip" > "$name.zip.sha256")

# The unpacked package, on its own: its version everywhere, and it converts the sample.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
unzip -q "$zip" -d "$check"
(cd build/package && sha256sum -c --quiet "$name.zip.sha256") || fail "SHA-256 file does not match"
for f in quillbinder.exe quillbinder-cli.exe; do
  info=$(7z x -tPE -so "$check/$name/$f" .rsrc/version.txt | iconv -f UTF-16LE -t UTF-8 | tr -d '\r')
  numbers=$(echo "$info" | sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p')
  text=$(echo "$info" | sed -n 's/.*VALUE "FileVersion", *"\([^"]*\)".*/\1/p')
  [ "$text" = "$version" ] || fail "$f: version block says '$text', the package '$version'"
  [ "$(printf '%s' "$version" | awk -F. '{printf "%d.%d.%d.%d", $1, $2, $3, $4}')" = "$numbers" ] \
    || fail "$f: FILEVERSION $numbers does not match $version"
  listing=$(7z l -tPE "$check/$name/$f")
  grep -q '\.rsrc/MANIFEST/1$' <<<"$listing" || fail "$f carries no manifest"
done
cp -r samples/javadoc "$check/javadoc"
. scripts/wine-env.sh
qb_wine_prefix
said=$(qb_wine "$check/$name/quillbinder-cli.exe" --version 2>/dev/null | tr -d '\r')
wineserver -w  # the next run may get another virtual display
[ "$said" = "quillbinder-cli $version" ] || fail "the console program says '$said'"
index="Z:$(echo "$check/javadoc/index.html" | tr '/' '\\')"
qb_wine "$check/$name/quillbinder-cli.exe" "$index" check.chm "Package check" >/dev/null
wineserver -w
[ "$(head -c 4 "$check/javadoc/check.chm")" = "ITSF" ] || fail "the unpacked program did not work"

# The Linux archive, checked the same way with the native programs.
[ "$(cat build/release/version.txt)" = "$version" ] || fail "the native build has another version"
tarname="$name-linux-x86_64"
tarstage="build/package/$tarname"
mkdir -p "$tarstage"
cp build/release/frontend/quillbinder-cli build/release/hha/quillbinder-hhc "$tarstage/"
strip "$tarstage/quillbinder-cli" "$tarstage/quillbinder-hhc"
# What the programs take from the system: the C library and libgcc's unwinder, at the
# symbol versions of the oldest build image they are for (RHEL 9: glibc 2.34, GCC 11's
# libgcc_s, whose newest version node is GCC_7.0.0). The C++ runtime is linked in.
newest() { grep -o "$1_[0-9][0-9.]*" | sed "s/^$1_//" | sort -uV | tail -1; }
at_most() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -1)" = "$2" ]; }
for f in quillbinder-cli quillbinder-hhc; do
  for lib in $(readelf -d "$tarstage/$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    case "$lib" in
      libc.so.6 | libm.so.6 | ld-linux-x86-64.so.2 | libgcc_s.so.1) ;;
      *) fail "the Linux $f needs $lib, which not every system has" ;;
    esac
  done
done
symbols=$(objdump -T "$tarstage/quillbinder-cli" "$tarstage/quillbinder-hhc")
glibc=$(newest GLIBC <<<"$symbols")
libgcc=$(newest GCC <<<"$symbols")
at_most "$glibc" 2.34 || fail "the Linux programs need glibc $glibc; RHEL 9 has 2.34" \
  "($(grep "GLIBC_$glibc" <<<"$symbols" | awk '{print $NF}' | sort -u | tr '\n' ' '))"
at_most "${libgcc:-0}" 7.0.0 || fail "the Linux programs need libgcc_s GCC_$libgcc; RHEL 9's has 7.0.0"
sed -e "s/@VERSION@/$version/g" -e "s/@GLIBC@/$glibc/g" resources/release/README-linux.txt.in \
  > "$tarstage/README.txt"
cp LICENSE "$tarstage/LICENSE.txt"
tarball="build/package/$tarname.tar.gz"
tar -C build/package --owner=0 --group=0 --sort=name -czf "$tarball" "$tarname"
(cd build/package && sha256sum "$tarname.tar.gz" > "$tarname.tar.gz.sha256")
(cd build/package && sha256sum -c --quiet "$tarname.tar.gz.sha256") || fail "SHA-256 file does not match"
tar -C "$check" -xzf "$tarball"
said=$("$check/$tarname/quillbinder-cli" --version)
[ "$said" = "quillbinder-cli $version" ] || fail "the Linux console program says '$said'"
"$check/$tarname/quillbinder-cli" "$check/javadoc/index.html" linux-check.chm "Package check" >/dev/null
[ "$(head -c 4 "$check/javadoc/linux-check.chm")" = "ITSF" ] || fail "the unpacked Linux program did not work"

echo "Package: $zip ($(stat -c %s "$zip") bytes)"
cat "$zip.sha256"
unzip -l "$zip"
echo "Package: $tarball ($(stat -c %s "$tarball") bytes); its programs need glibc $glibc" \
  "(GLIBC_$glibc) and libgcc_s GCC_$libgcc at most"
cat "$tarball.sha256"
tar -tzvf "$tarball"
