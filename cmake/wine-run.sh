#!/usr/bin/env bash
# Runs a Windows program under Wine, in the bitness the program was built for.
#
# The bitness comes from the program's PE header; for a command that is not a file (`cmd`),
# from KVR_WINE_ARCH (win32 or win64, default win64). Each bitness has its own Wine prefix,
# made once and kept in a cache folder (WINEPREFIX overrides it). The prefix holds nothing
# the tests rely on besides a fresh Wine setup: the tests make and remove their own registry
# keys and files.
#
# 64-bit programs run under the native 64-bit Wine, in parallel. 32-bit programs need the
# 32-bit Wine; where the kernel runs no 32-bit programs it runs under qemu's user-mode
# emulator, and then only one program runs at a time (KVR_WINE_PARALLEL=1 lifts that).
set -euo pipefail

pe_machine() { # prints i386, x86_64 or nothing
  local file=$1 offset machine
  [ -f "$file" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$offset" ] || return 0
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" 2>/dev/null | tr -d ' ') || return 0
  case "$machine" in
    014c) echo i386 ;;
    8664) echo x86_64 ;;
  esac
}

arch=${KVR_WINE_ARCH:-}
if [ -z "$arch" ] && [ $# -gt 0 ]; then
  case "$(pe_machine "$1")" in
    i386) arch=win32 ;;
    x86_64) arch=win64 ;;
  esac
fi
arch=${arch:-win64}
case "$arch" in
  win32 | win64) ;;
  *) echo "wine-run: KVR_WINE_ARCH must be win32 or win64, not '$arch'" >&2; exit 2 ;;
esac

cache=${KVR_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kvr-wine}
export WINEPREFIX=${WINEPREFIX:-$cache/$arch}
export WINEARCH=$arch
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}

if [ "$arch" = win64 ]; then
  # The 64-bit loader itself: Debian's `wine` would pick the 32-bit loader when wine32 is
  # installed, and that may run under emulation.
  loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=$(command -v wine64 || true)
  if [ -z "$loader" ]; then
    echo "wine-run: the 64-bit Wine is missing (install the wine64 package)" >&2
    exit 127
  fi
  export WINELOADER=$loader
else
  loader=/usr/lib/wine/wine
  if [ ! -x "$loader" ]; then
    echo "wine-run: the 32-bit Wine is missing (install wine32:i386)" >&2
    exit 127
  fi
  # Tell the programs when the 32-bit Wine runs under user-mode emulation.
  if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    export KVR_EMULATED_I386=1
  fi
fi

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/.kvr-ready" ]; then
  # Serialise prefix creation between programs started at the same moment.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.kvr-ready" ]; then
    echo "wine-run: preparing the $arch Wine prefix $WINEPREFIX (once)" >&2
    "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run: Wine could not prepare $WINEPREFIX" >&2
      exit 1
    fi
    # The prefix is complete: never let a later start spend time updating it.
    echo disable >"$WINEPREFIX/.update-timestamp"
    touch "$WINEPREFIX/.kvr-ready"
  fi
  flock -u 9
  exec 9>&-
fi

if [ "${KVR_EMULATED_I386:-}" = 1 ] && [ "${KVR_WINE_PARALLEL:-0}" != 1 ]; then
  # Under emulation two programs starve each other (and everything else) on a small machine.
  exec flock -o "$WINEPREFIX.run.lock" "$loader" "$@"
fi
exec "$loader" "$@"
