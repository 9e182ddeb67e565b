#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the host, and runs the host on the
# bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target aggregation kvrhost
cmake/wine-run.sh build/win32/bin/kvrhost.exe info --plugin build/win32/bin/aggregation.dll
