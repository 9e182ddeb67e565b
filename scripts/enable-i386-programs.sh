#!/usr/bin/env bash
# The 32-bit Wine loader is a 32-bit Linux program. Some kernels run 64-bit user code only;
# there, 32-bit programs go through qemu's user-mode emulator, registered with binfmt_misc.
# Does nothing where 32-bit programs already run.
set -euo pipefail
probe=/lib/ld-linux.so.2
[ -x "$probe" ] || { echo "enable-i386-programs: $probe is missing (is wine32 installed?)" >&2; exit 1; }
if "$probe" --help >/dev/null 2>&1; then exit 0; fi

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
misc=/proc/sys/fs/binfmt_misc
if [ ! -e "$misc/register" ]; then
  "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$misc"
fi
if [ ! -e "$misc/qemu-i386" ]; then
  echo "enable-i386-programs: this kernel runs no 32-bit programs; registering qemu-i386" >&2
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | "${sudo_cmd[@]}" tee "$misc/register" >/dev/null
fi
"$probe" --help >/dev/null 2>&1 || { echo "enable-i386-programs: 32-bit programs still do not run" >&2; exit 1; }
