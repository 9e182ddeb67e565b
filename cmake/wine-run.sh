#!/usr/bin/env bash
# Runs a Windows program under Wine.
#
# One Wine prefix serves every build tree of this machine (making one takes minutes when the
# 32-bit Wine runs under user-mode emulation), kept in a cache folder unless WINEPREFIX is set.
# The prefix holds nothing the tests rely on besides a fresh Wine setup: the tests make and
# remove their own registry keys and files.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${KVR_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kvr-wine}/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export WINEARCH=win32
# Tell the programs when the 32-bit Wine runs under user-mode emulation.
if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
  export KVR_EMULATED_I386=1
fi
mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/.kvr-ready" ]; then
  # Serialise prefix creation between programs started at the same moment.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.kvr-ready" ]; then
    echo "wine-run: preparing the Wine prefix $WINEPREFIX (once; this takes a few minutes)" >&2
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    # The prefix is complete: never let a later start spend minutes updating it.
    echo disable > "$WINEPREFIX/.update-timestamp"
    touch "$WINEPREFIX/.kvr-ready"
  fi
  flock -u 9
  exec 9>&-
fi
# Only one Windows program runs at a time: under emulation two of them starve each other
# (and everything else) on a small machine. KVR_WINE_PARALLEL=1 lifts this.
if [ "${KVR_WINE_PARALLEL:-0}" = 1 ]; then
  exec wine "$@"
fi
exec flock -o "$WINEPREFIX.run.lock" wine "$@"
