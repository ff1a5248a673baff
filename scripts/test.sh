#!/usr/bin/env bash
# Builds the three presets and runs every test suite (the Windows ones under
# Wine) and the fuzz smoke runs; ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh || { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
jobs=$(nproc)

# count_ctest LOG: adds the tests that passed and failed in a CTest log.
count_ctest() {
  local summary total fails
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
    return
  fi
  fails=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
  total=$(echo "$summary" | sed -E 's/.*out of ([0-9]+).*/\1/')
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

build_preset() {
  echo "== build $1" >&2
  cmake --preset "$1" >"build/build-$1.log" 2>&1 &&
    cmake --build --preset "$1" -j "$jobs" >>"build/build-$1.log" 2>&1
}

start_wine() {
  export WINEPREFIX="$root/build/win32/wineprefix"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A persistent server, then Wine's own services started here with no
  # terminal or pipe of ours: a service started by a test would inherit
  # that test's output pipe and keep CTest waiting for it.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p </dev/null >/dev/null 2>&1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
  else
    wineboot </dev/null >/dev/null 2>&1
  fi
}

# tsan builds and runs only the concurrency and prefetch tests (its presets say so).
for preset in native asan tsan win32; do
  mkdir -p build
  if ! build_preset "$preset"; then
    echo "build of $preset failed; see build/build-$preset.log" >&2
    tail -n 40 "build/build-$preset.log" >&2
    failed=$((failed + 1))
    continue
  fi
  [ "$preset" = win32 ] && start_wine
  echo "== test $preset" >&2
  ctest --preset "$preset" -j "$jobs" --timeout 600 >"build/ctest-$preset.log" 2>&1
  grep -E '\*\*\*(Failed|Timeout|Exception)|Not Run' "build/ctest-$preset.log" >&2
  count_ctest "build/ctest-$preset.log"
  [ "$preset" = win32 ] && { wineserver -k; wineserver -w; } >/dev/null 2>&1
done

if [ -x scripts/fuzz-smoke.sh ]; then
  echo "== fuzz smoke" >&2
  if scripts/fuzz-smoke.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
