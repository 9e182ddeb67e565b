#!/usr/bin/env bash
# Throughput of `kvrhost run` under the 64-bit Wine: packets per second and CPU seconds.
#
# Generates three streams (once; kept in build/kvrhost-bench) and runs the 64-bit kvrhost with
# the 64-bit aggregation.dll over each, with the filter waiting for v0, v1, v2 and v3:
#   - 4 variables:     1,000,000 one-item packets, round robin {"v0":0.5}, {"v1":1.5}, ...
#                      (one record per four packets);
#   - 64 variables:    62,500 packets of 64 items each (one record per packet);
#   - 1,024 variables: 3,906 packets of 1,024 items each (one record per packet).
# For each it prints the packets and items per second of the whole process (start-up
# included), the rate kvrhost itself reports, the CPU seconds of the process (user and
# system) and those of the Wine server during the run, and checks the number of records.
#
#   bash bench/kvrhost_bench.sh [--quick]      (--quick: a tenth of each stream)
#
# Set KVR_WINE_CACHE to keep the Wine prefix apart from other users of the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/platform.sh

scale=1
[ "${1:-}" = --quick ] && scale=10

bash scripts/install-deps.sh >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "${KVR_JOBS:-2}" --target aggregation kvrhost >/dev/null

work=build/kvrhost-bench
mkdir -p "$work"
out=$(mktemp "$work/records.XXXXXX")
trap 'rm -f "$out" "$out.err" "$out.time"; stop_wine' EXIT

# stream FILE PACKETS VARIABLES: packets of VARIABLES items each; VARIABLES 1 means the
# 4-variable round robin of one-item packets.
stream() {
  local file=$1 packets=$2 variables=$3
  [ -s "$file" ] && return 0
  awk -v packets="$packets" -v variables="$variables" 'BEGIN {
    for (p = 0; p < packets; ++p) {
      if (variables == 1) { k = p % 4; printf "{\"v%d\": %d.5}\n", k, k; continue }
      line = "{"
      for (k = 0; k < variables; ++k)
        line = line (k ? ", " : "") sprintf("\"v%d\": %d.%d", k, (p + k) % 1000, k % 10)
      print line "}"
    }
  }' >"$file.part"
  mv "$file.part" "$file"
}

# The Wine server of this prefix: its process id, or nothing.
wineserver_pid() {
  local prefix=$1 pid
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    case "$(readlink "/proc/$pid/exe" 2>/dev/null)" in
      */wineserver*) ;;
      *) continue ;;
    esac
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then
      echo "$pid"
      return
    fi
  done
}

# CPU seconds (user + system) a process has used so far; 0 without one.
cpu_seconds() {
  local pid=$1
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || { echo 0; return; }
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / hz }' "/proc/$pid/stat"
}

prefix=${KVR_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kvr-wine}/win64
# Start the prefix and a lasting server first, so that neither is counted below.
cmake/wine-run.sh build/win64/bin/kvrhost.exe --help >/dev/null 2>&1 || true
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
WINEPREFIX=$prefix wineserver -p 2>/dev/null || true

run_one() {
  local label=$1 file=$2 packets=$3 variables=$4 records=$5
  local items=$((packets * (variables == 1 ? 1 : variables)))
  local server before after start end
  server=$(wineserver_pid "$prefix")
  before=$(cpu_seconds "$server")
  start=$(date +%s.%N)
  TIMEFORMAT='%U %S'
  { time cmake/wine-run.sh build/win64/bin/kvrhost.exe run \
      --plugin build/win64/bin/aggregation.dll --var v0 --var v1 --var v2 --var v3 \
      "$file" >"$out" 2>"$out.err"; } 2>"$out.time"
  end=$(date +%s.%N)
  after=$(cpu_seconds "$server")
  local written reported
  written=$(wc -l <"$out")
  reported=$(sed -n 's/.*, \([0-9.]*\) packets\/s.*/\1/p' "$out.err" | tail -1)
  read -r user system <"$out.time"
  awk -v label="$label" -v p="$packets" -v n="$items" -v s="$start" -v e="$end" \
    -v u="$user" -v sy="$system" -v b="$before" -v a="$after" -v r="${reported:-0}" 'BEGIN {
      wall = e - s
      printf "%-16s %9d %10.0f %12.0f %12.0f %8.2f %8.2f %8.2f %9.2f\n", label, p, p / wall,
             n / wall, r, wall, u, sy, a - b
    }'
  if [ "$written" != "$records" ]; then
    echo "kvrhost_bench: $label: $written records written, $records expected" >&2
    cat "$out.err" >&2
    exit 1
  fi
}

four=$((1000000 / scale))
sixty_four=$((62500 / scale))
thousand=$((3906 / scale))
stream "$work/v4-$four.jsonl" "$four" 1
stream "$work/v64-$sixty_four.jsonl" "$sixty_four" 64
stream "$work/v1024-$thousand.jsonl" "$thousand" 1024

printf '%-16s %9s %10s %12s %12s %8s %8s %8s %9s\n' stream packets packets/s items/s \
  "reported/s" "wall s" "user s" "sys s" "server s"
run_one "4 round robin" "$work/v4-$four.jsonl" "$four" 1 $((four / 4))
run_one "64 per packet" "$work/v64-$sixty_four.jsonl" "$sixty_four" 64 "$sixty_four"
run_one "1024 per packet" "$work/v1024-$thousand.jsonl" "$thousand" 1024 "$thousand"
