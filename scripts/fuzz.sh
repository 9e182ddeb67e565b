#!/usr/bin/env bash
# Runs the fuzz targets of the platform-free code (preset `fuzz`: libFuzzer, clang 14,
# AddressSanitizer and UndefinedBehaviorSanitizer) and reports, per target, the executions,
# executions per second, the coverage reached (edges and features), the corpus size and the
# findings.
#
#   fuzz.sh [--seconds N] [--runs N] [--jobs N] [TARGET...]
#
#   --seconds N  stop each target after N seconds (default 600)
#   --runs N     stop each target after N executions (whichever limit comes first)
#   --jobs N     targets run side by side (default 1)
#   TARGET       names such as ini_fuzz (default: all)
#
# Each target starts from its seed corpus in fuzz/corpus/<target> plus what earlier runs on this
# machine found (OUT/corpus/<target>). An input that crashes, leaks, hangs or breaks an
# invariant is kept in OUT/findings/<target>/ (emptied when the target starts again); the exit
# status is then 1, as it is for a run stopped by a signal ("interrupted"). Turn each finding
# into a regular test and fix it. Logs:
# OUT/logs/<target>.log. OUT is $KVR_FUZZ_OUT, by default build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
runs=-1
jobs=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
all_targets=(escaping_fuzz text_conversion_fuzz language_file_fuzz map_line_fuzz ini_fuzz hash_trie_fuzz
  packet_fuzz items_file_fuzz)
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

[ -n "${KVR_FUZZ_SKIP_DEPS:-}" ] || bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

bin_dir=build/fuzz/fuzz
out=${KVR_FUZZ_OUT:-build/fuzz}
mkdir -p "$out/logs"

# Longest input per target: operation streams stay short enough to run fast.
max_len_of() {
  case "$1" in
    hash_trie_fuzz) echo 256 ;;
    *) echo 4096 ;;
  esac
}

run_target() {
  local target=$1 bin=$bin_dir/$1 corpus=$out/corpus/$1 findings=$out/findings/$1
  local dict=() log=$out/logs/$1.log
  [ -x "$bin" ] || { echo "fuzz: no target $target" >&2; return 2; }
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings"
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
  local status=0
  "$bin" "$corpus" "fuzz/corpus/$target" "${dict[@]}" -max_total_time="$seconds" -runs="$runs" \
    -max_len="$(max_len_of "$target")" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  echo "$status" >"$log.status"
}
export -f run_target max_len_of
export bin_dir out seconds runs

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target "$1"' _ {}

failed=0
printf '%-22s %12s %9s %7s %8s %8s %s\n' target executions exec/s edges features corpus result
for target in "${targets[@]}"; do
  log=$out/logs/$target.log
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  edges=$(awk '{print $2}' <<<"$coverage")
  features=$(awk '{print $4}' <<<"$coverage")
  corpus=$(find "$out/corpus/$target" -type f | wc -l)
  found=$(find "$out/findings/$target" -type f | wc -l)
  status=$(cat "$log.status" 2>/dev/null || echo "?")
  result=ok
  if [ "$status" = 72 ] && [ "$found" -eq 0 ] && grep -q 'libFuzzer: run interrupted' "$log"; then
    result="interrupted (no finding)" # stopped by a signal before its limits
    failed=1
  elif [ "$status" != 0 ] || [ "$found" -gt 0 ]; then
    result="FINDING (status $status, $found input(s) in $out/findings/$target)"
    failed=1
  fi
  printf '%-22s %12s %9s %7s %8s %8s %s\n' "$target" "${executed:-?}" "${rate:-?}" \
    "${edges:-?}" "${features:-?}" "$corpus" "$result"
done
exit "$failed"
