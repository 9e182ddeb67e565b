#!/usr/bin/env bash
# Builds both presets and runs every test: the platform-free code natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, the DLL and the Windows code under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=${KVR_JOBS:-$(nproc)}

echo "== native preset (sanitizers) =="
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

echo "== win32 preset (Wine) =="
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
# Make the Wine prefix before the clock of any test starts.
cmake/wine-run.sh cmd /c exit 0 || true
ctest --preset win32 -j "$jobs"
