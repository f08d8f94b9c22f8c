#!/usr/bin/env bash
# Makes 32-bit x86 programs runnable: natively when the kernel can, otherwise through
# qemu-i386 registered with binfmt_misc. The registration does not survive a reboot, so
# the test and demo scripts call this each time (it is cheap when nothing is to do).
# --install also installs the emulator when it is needed and missing.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

probe=/lib/ld-linux.so.2
[ -x "$probe" ] || { echo "enable-i386: $probe is missing (libc6:i386 not installed)" >&2; exit 1; }
if "$probe" --version >/dev/null 2>&1; then
  exit 0
fi

qemu=/usr/bin/qemu-i386
need_qemu=1
if [ -x "$qemu" ]; then
  major=$("$qemu" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -1)
  [ "${major:-0}" -ge 8 ] && need_qemu=0
fi
if [ "$need_qemu" -eq 1 ]; then
  if [ "${1:-}" != "--install" ]; then
    echo "enable-i386: a qemu-i386 of version 8 or later is needed; run scripts/install-deps.sh" >&2
    exit 1
  fi
  list=/etc/apt/sources.list.d/quillbinder-backports.list
  if [ ! -f "$list" ]; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "deb http://deb.debian.org/debian ${codename}-backports main" | as_root tee "$list" >/dev/null
  fi
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    -t "$(. /etc/os-release && echo "$VERSION_CODENAME")-backports" qemu-user >/dev/null
fi

mnt=/proc/sys/fs/binfmt_misc
[ -e "$mnt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$mnt"
if [ ! -e "$mnt/qemu-i386" ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::${magic}:${mask}:${qemu}:F" | as_root tee "$mnt/register" >/dev/null
fi
"$probe" --version >/dev/null 2>&1 || { echo "enable-i386: 32-bit programs still cannot run" >&2; exit 1; }
