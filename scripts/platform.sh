# What this machine can run, for the project's scripts (sourced, not run).

# True when the kernel starts 32-bit x86 programs itself. A 93-byte static 32-bit program
# that only exits is started; a kernel without 32-bit support refuses it (and a registered
# user-mode emulator is not asked: binfmt_misc is looked at separately).
runs_32bit_natively() {
  if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    return 1
  fi
  local probe status=0
  probe=$(mktemp)
  {
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' # 32-bit, little-endian
    printf '\002\000\003\000\001\000\000\000\124\200\004\010'         # executable, i386, entry
    printf '\064\000\000\000\000\000\000\000\000\000\000\000'         # program headers at 52
    printf '\064\000\040\000\001\000\000\000\000\000\000\000'         # one program header
    printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' # load all at
    printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' # 0x08048000
    printf '\270\001\000\000\000\061\333\315\200'                     # exit(0)
  } >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

# True when the 32-bit Wine is installed and can start (natively or under emulation).
has_wine32() {
  [ -x /usr/lib/wine/wine ] && [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1
}

# Ends every Wine program of the project's prefixes, with their servers.
stop_wine() {
  local arch
  for arch in win32 win64; do
    WINEPREFIX=${KVR_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kvr-wine}/$arch \
      wineserver -k 2>/dev/null || true
  done
}
