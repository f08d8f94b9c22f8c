#!/bin/sh
# Copies the shared Javadoc trees into a writable folder (a job writes its temporary
# files beside the pages) and unpacks the archived ones there. Runs natively.
set -eu
src="$1"
dest="$2"
rm -rf "$dest"
mkdir -p "$dest"
[ -d "$src" ] || exit 0
for tree in "$src"/*; do
  name=$(basename "$tree")
  case "$name" in
    *.SOURCE.txt) ;;
    *.tar.xz) tar -xJf "$tree" -C "$dest" ;;
    *) [ -d "$tree" ] && cp -R "$tree" "$dest/$name" ;;
  esac
done
chmod -R u+w "$dest"
