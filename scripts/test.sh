#!/usr/bin/env bash
# Builds every preset and runs every test:
#   - the platform-free code natively under AddressSanitizer and UndefinedBehaviorSanitizer;
#   - the 32-bit DLL (the product) and the 64-bit DLL, with their binary surface checked;
#   - every Windows test program of the 64-bit build under the 64-bit Wine, under one
#     virtual display, and the bundled example through the 64-bit kvrhost;
#   - every fuzz target of the platform-free code for a short while (KVR_FUZZ_SECONDS, default
#     60 s each, two at a time; 0 leaves them out): about 3 to 4 minutes with the build;
#   - the same Windows tests against the 32-bit build where this kernel runs 32-bit programs
#     itself. Elsewhere the 32-bit Wine would run under qemu's user-mode emulator (minutes per
#     program, crashes in thread-heavy tests), so that lane runs there only when asked:
#     KVR_WINE32_TESTS=on runs it, KVR_WINE32_TESTS=off never does (default: auto).
#
# KVR_STRESS_SECONDS sets the length of the thread stress test (default 20 s).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/platform.sh

jobs=${KVR_JOBS:-$(nproc)}
wine32_lane=${KVR_WINE32_TESTS:-auto}
if [ "$wine32_lane" = auto ]; then
  if runs_32bit_natively; then wine32_lane=on; else wine32_lane=off; fi
fi

if [ "$wine32_lane" = on ]; then
  bash scripts/install-deps.sh --wine32
else
  bash scripts/install-deps.sh
fi

# Runs one preset's Windows tests under a virtual display and checks that every registered
# test ran and passed.
run_wine_tests() {
  local preset=$1 log registered ran
  log=$(mktemp)
  registered=$(ctest --preset "$preset" -N | sed -n 's/^Total Tests: *//p')
  local status=0
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c 'source scripts/platform.sh; ctest --preset "$1" -j "$2"; s=$?; stop_wine; exit $s' \
    _ "$preset" "$jobs" 2>&1 | tee "$log" || status=$?
  ran=$(sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  local passed
  passed=$(grep -c '^ *[0-9]*/[0-9]* Test *#[0-9]*: .* Passed' "$log" || true)
  rm -f "$log"
  if [ "$status" -ne 0 ]; then
    echo "test: the $preset Windows tests failed (see above)" >&2
    return 1
  fi
  if [ "$ran" != "$registered" ] || [ "$passed" != "$registered" ]; then
    echo "test: $preset: $passed of $registered registered tests passed under Wine" >&2
    return 1
  fi
  # Every test program that was built must be one that ran.
  local programs=0 exe listed
  listed=$(ctest --preset "$preset" -N)
  for exe in $(find "build/$preset/tests" -name '*_tests.exe'); do
    programs=$((programs + 1))
    if ! grep -q "Test *#[0-9]*: $(basename "$exe" .exe)\$" <<<"$listed"; then
      echo "test: $preset: $exe was built but is not run by ctest" >&2
      return 1
    fi
  done
  echo "== $preset: all $registered registered tests ran under Wine and passed," \
    "$programs of them Windows test programs (every one that was built) =="
}

echo "== native preset (sanitizers) =="
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

fuzz_seconds=${KVR_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" != 0 ]; then
  echo "== fuzz targets, $fuzz_seconds s each =="
  KVR_FUZZ_SKIP_DEPS=1 bash scripts/fuzz.sh --seconds "$fuzz_seconds" --jobs "$jobs"
fi

echo "== win32 preset: the 32-bit DLL =="
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
bash scripts/check-exports.sh build/win32/bin/aggregation.dll win32

echo "== win64 preset: the 64-bit DLL =="
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
bash scripts/check-exports.sh build/win64/bin/aggregation.dll win64

echo "== win64 Windows tests under the 64-bit Wine =="
# Make the prefix before the clock of any test starts.
cmake/wine-run.sh build/win64/tests/common/common_tests.exe --gtest_list_tests >/dev/null
run_wine_tests win64

echo "== the bundled example through the 64-bit kvrhost =="
KVR_EXAMPLE_ARCH=win64 bash scripts/run-example.sh >/dev/null

if [ "$wine32_lane" = on ]; then
  if has_wine32; then
    echo "== win32 Windows tests under the 32-bit Wine =="
    cmake --preset win32 -DKVR_WINE_PORTABLE_TESTS=ON >/dev/null
    cmake/wine-run.sh build/win32/tests/common/common_tests.exe --gtest_list_tests >/dev/null
    run_wine_tests win32
  else
    echo "NOTICE: the 32-bit Wine is not available here; the 32-bit Wine lane did not run."
  fi
else
  echo "NOTICE: this kernel runs no 32-bit programs, so the 32-bit Wine lane is left out"
  echo "NOTICE: (KVR_WINE32_TESTS=on runs it under emulation)."
fi
