#!/usr/bin/env bash
# Runs kvrhost.exe under Wine once, on a tiny stream piped into its standard input, and checks
# what it prints: the combined record on standard output, the refused line and the summary on
# standard error, exit code 1 for the skipped line, and the settings in the INI file. Then runs
# it on the same stream named by its absolute Linux path.
#
#   kvrhost_run_check.sh KVRHOST_EXE AGGREGATION_DLL WINE_RUN
set -euo pipefail
exe=$1
dll=$2
wine_run=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' '{"Temp":20.5,"Date":"d1"}' '{"Temp":' '' '[{"Hum":40},{"Temp":1}]' >"$work/packets.jsonl"
printf '%s\n' 'Temp:Float' 'Hum:Integer' 'Date' >"$work/items.txt"

cd "$(dirname "$exe")"
status=0
"$wine_run" "$exe" run --plugin "$dll" --var Temp --var Hum --ini "$work/settings.ini" \
  --items "$work/items.txt" - <"$work/packets.jsonl" >"$work/out" 2>"$work/err" || status=$?

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
[ "$status" = 1 ] || fail "exit code $status, expected 1 for the skipped line"
expected_out='{"Temp":20.5,"Date":"d1","Hum":40}'
[ "$(cat "$work/out")" = "$expected_out" ] || fail "standard output is not the one record $expected_out"
grep -q '^stdin:2: malformed JSON at column ' "$work/err" || fail "no report of line 2"
grep -q ':3: ' "$work/err" && fail "the empty line 3 was reported"
grep -q '^kvrhost: 2 packets, 1 records, 1 skipped, 0 failed, ' "$work/err" || fail "no summary"
tr -d '\r' <"$work/settings.ini" | grep -qx 'Var1=Temp' || fail "Var1 is not in the INI file"
tr -d '\r' <"$work/settings.ini" | grep -qx 'No reset=False' || fail "No reset is not in the INI file"

# An absolute Linux path is a file, not an option.
status=0
"$wine_run" "$exe" run --plugin "$dll" --var Temp --var Hum "$work/packets.jsonl" \
  >"$work/out2" 2>"$work/err2" || status=$?
[ "$status" = 1 ] || fail "exit code $status for the file $work/packets.jsonl, expected 1"
[ "$(cat "$work/out2")" = "$expected_out" ] || fail "the file by its Linux path gave other records: $(cat "$work/out2")"
grep -q "^$work/packets.jsonl:2: malformed JSON" "$work/err2" ||
  fail "line 2 is not reported under the path the user gave"

if [ "$failed" = 1 ]; then
  echo "--- standard output"; cat "$work/out"
  echo "--- standard error"; cat "$work/err"
  echo "--- settings.ini"; cat "$work/settings.ini" 2>/dev/null || true
  echo "--- standard error, file by its Linux path"; cat "$work/err2" 2>/dev/null || true
  exit 1
fi
echo "kvrhost run check passed"
