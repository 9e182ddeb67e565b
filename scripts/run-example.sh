#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the host, and runs the host on the bundled
# example: a weather station's recorded packets are streamed through the filter, the combined
# records are printed and compared with the expected output.
#
# It runs the 32-bit kvrhost and DLL where this kernel runs 32-bit programs itself and the
# 32-bit Wine is there, and the 64-bit ones otherwise (KVR_EXAMPLE_ARCH=win32 or win64
# chooses).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/platform.sh

arch=${KVR_EXAMPLE_ARCH:-auto}
if [ "$arch" = auto ]; then
  arch=win64
  if runs_32bit_natively; then
    bash scripts/install-deps.sh --wine32
    has_wine32 && arch=win32
  fi
fi
case "$arch" in
  win32 | win64) ;;
  *) echo "run-example: KVR_EXAMPLE_ARCH must be win32 or win64" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
if [ "$arch" = win32 ]; then
  echo "run-example: running the 32-bit kvrhost and aggregation.dll" >&2
else
  echo "run-example: running the 64-bit kvrhost and aggregation.dll" >&2
fi
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j "$(nproc)" --target aggregation kvrhost

example=examples/weather-station
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
cmake/wine-run.sh "build/$arch/bin/kvrhost.exe" run --plugin "build/$arch/bin/aggregation.dll" \
  --var Temp --var Hum --var Press --timeout 2000 --clock Time "$example/packets.jsonl" \
  >"$output" || status=$?
cat "$output"
if [ "$status" -ne 0 ]; then
  echo "run-example: kvrhost exited with status $status" >&2
  exit "$status"
fi
if ! diff -u "$example/expected.jsonl" <(tr -d '\r' <"$output") >&2; then
  echo "run-example: the records differ from $example/expected.jsonl" >&2
  exit 1
fi
echo "run-example: $(wc -l <"$output") records, equal to $example/expected.jsonl" >&2
