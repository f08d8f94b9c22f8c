#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need, and makes
# sure this machine can run 32-bit programs (Wine's i386 side).
# Idempotent: does nothing when all is present. Works as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build make g++ git pkg-config
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  googletest
  wine wine32:i386 xvfb xauth x11-utils imagemagick
  clang libclang-rt-14-dev
  libchm-dev libchm-bin libmspack-dev python3-chm p7zip-full xchm xdotool
  zip unzip xz-utils python3
  openjdk-17-jdk-headless
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

updated=0
apt_update() {
  if [ "$updated" -eq 0 ]; then as_root apt-get update -qq; updated=1; fi
}

export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  updated=0
  apt_update
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_update
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some sandboxed kernels cannot execute 32-bit ELF programs. Wine's i386 side then runs
# through qemu's user-mode emulator, registered with binfmt_misc. qemu before 8.0 spends
# most of a minute in Wine's address-space reservations, so take a current one from
# backports.
"$(dirname "${BASH_SOURCE[0]}")/enable-i386.sh" --install
