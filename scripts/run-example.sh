#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the host, and runs the host on the bundled
# example: a weather station's recorded packets are streamed through the filter, the combined
# records are printed and compared with the expected output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target aggregation kvrhost
example=examples/weather-station
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
cmake/wine-run.sh build/win32/bin/kvrhost.exe run --plugin build/win32/bin/aggregation.dll \
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
