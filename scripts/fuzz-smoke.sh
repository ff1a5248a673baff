#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build/fuzz) and runs each
# for a few seconds. Exit code 0 when every target ran without a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${QEL_FUZZ_SECONDS:-10}
build=build/fuzz

CXX=clang++ cmake -S fuzz -B "$build" -G Ninja >"$build.log" 2>&1 || { cat "$build.log" >&2; exit 1; }
cmake --build "$build" -j 2 >>"$build.log" 2>&1 || { tail -n 40 "$build.log" >&2; exit 1; }

for target in "$build"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus-$name"
  mkdir -p "$corpus"
  echo "== $name for ${seconds}s" >&2
  (cd "$build" && "./$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 \
     "corpus-$name") >"$build/$name.log" 2>&1 || { tail -n 40 "$build/$name.log" >&2; exit 1; }
done
