#!/usr/bin/env bash
# A soak run of the 64-bit aggregation.dll under the 64-bit Wine (not part of CI): 8 threads
# stream packets into 4 instances, two to an instance, with commands, log fetches and settings
# saves or loads in between, for the given time. It prints the packets per second, the
# records and the heap bytes in use every 30 s, then the largest memory in use after the
# one-minute warm-up and a final memory check once every instance is unloaded and released;
# it fails when the memory in use grows by more than 1 MB after the warm-up, when a call has
# not returned after a minute (a deadlock), or when memory is left behind (tests/stress/soak.cpp).
#
#   bash scripts/soak.sh [--minutes N] [--threads N] [--instances N] [--report SECONDS]
#                        [--warm-up SECONDS]                 (default: 10 minutes)
#
# Set KVR_WINE_CACHE to keep the Wine prefix apart from other users of the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/platform.sh

minutes=10
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --threads | --instances | --report | --warm-up) args+=("$1" "$2"); shift 2 ;;
    -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "${KVR_JOBS:-2}" --target soak >/dev/null
trap stop_wine EXIT
cmake/wine-run.sh build/win64/tests/stress/soak.exe --seconds "$((minutes * 60))" "${args[@]}"
