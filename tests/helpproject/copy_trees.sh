#!/bin/sh
# Copies the shared Javadoc trees into a writable folder (a job writes its temporary
# files beside the pages) and unpacks the archived ones there. Runs natively.
#   copy_trees.sh <dest> <shared folder>...   (a missing shared folder is passed over)
set -eu
dest="$1"
shift
rm -rf "$dest"
mkdir -p "$dest"
for src in "$@"; do
  [ -d "$src" ] || continue
  for tree in "$src"/*; do
    name=$(basename "$tree")
    case "$name" in
      *.SOURCE.txt) ;;
      *.tar.xz) tar -xJf "$tree" -C "$dest" ;;
      *) [ -d "$tree" ] && cp -R "$tree" "$dest/$name" ;;
    esac
  done
done
chmod -R u+w "$dest"
