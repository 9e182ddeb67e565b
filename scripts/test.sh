#!/usr/bin/env bash
# Builds both presets and runs the tests: the platform-free code natively under
# AddressSanitizer and UndefinedBehaviorSanitizer; the DLL's binary surface; and the Windows
# tests under Wine.
#
# KVR_WINE_TESTS=auto (default) runs the Wine tests where this kernel runs 32-bit programs
# itself; on a kernel that runs 64-bit user code only, Wine's 32-bit side has to run under
# qemu's user-mode emulator, where starting one program takes minutes and Wine itself
# crashes now and then, so they are skipped there with a notice. KVR_WINE_TESTS=on runs them
# anyway; KVR_WINE_TESTS=off never does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=${KVR_JOBS:-$(nproc)}
wine_tests=${KVR_WINE_TESTS:-auto}

echo "== native preset (sanitizers) =="
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== win32 preset =="
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
bash scripts/check-exports.sh build/win32/bin/aggregation.dll

if [ "$wine_tests" = auto ]; then
  if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    wine_tests=off
    echo "NOTICE: this kernel runs no 32-bit programs; Wine would run under emulation, so the"
    echo "NOTICE: Wine tests are skipped here (KVR_WINE_TESTS=on runs them anyway)."
  else
    wine_tests=on
  fi
fi
if [ "$wine_tests" = on ]; then
  # Make the Wine prefix before the clock of any test starts.
  cmake/wine-run.sh cmd /c exit 0 || true
  ctest --preset win32 -j "$jobs"
fi
