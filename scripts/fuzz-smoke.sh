#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build/fuzz), replays the
# inputs that once failed (fuzz/regressions/<target>/), then runs each target
# for QEL_FUZZ_SECONDS (default 20) from its seeds (fuzz/corpus/<target>/,
# plus real movies made by fuzz/make-seeds.sh for the road). Exit code 0
# when nothing failed. Longer runs by hand:
#   QEL_FUZZ_SECONDS=3600 scripts/fuzz-smoke.sh
# QEL_FUZZ_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${QEL_FUZZ_SECONDS:-20}
build=${QEL_FUZZ_BUILD:-build/fuzz}

mkdir -p "$build"
CXX=clang++ CC=clang cmake -S fuzz -B "$build" -G Ninja >"$build.log" 2>&1 || { cat "$build.log" >&2; exit 1; }
cmake --build "$build" -j 2 >>"$build.log" 2>&1 || { tail -n 40 "$build.log" >&2; exit 1; }

# Options of a target's timed run. The road's end-of-run leak check is off:
# LeakSanitizer's stop-the-world tracer crashes now and then beside the
# decoders' threads at exit. Leaks along the road are checked by the asan
# suite's road tests and by Valgrind.Road.
run_options() {
  case $1 in
    fuzz_movie_road) echo "-detect_leaks=0" ;;
    *) echo "" ;;
  esac
}

# The longest input each target takes: the road's seeds are whole movies.
max_len() {
  case $1 in
    fuzz_movie_road) echo 32768 ;;
    *) echo 4096 ;;
  esac
}

for target in "$build"/bin/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$root/$build/corpus-$name"
  log="$root/$build/$name.log"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
  [ "$name" = fuzz_movie_road ] && fuzz/make-seeds.sh "$corpus"
  if [ -d "fuzz/regressions/$name" ] && ls fuzz/regressions/"$name"/* >/dev/null 2>&1; then
    echo "== $name: replaying regressions" >&2
    (cd "$build/bin" && "./$name" -close_fd_mask=2 "$root"/fuzz/regressions/"$name"/*) >"$log" 2>&1 ||
      { tail -n 40 "$log" >&2; exit 1; }
  fi
  echo "== $name for ${seconds}s" >&2
  (cd "$build/bin" && "./$name" -max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout=30 \
     -rss_limit_mb=4096 -close_fd_mask=2 -print_final_stats=1 $(run_options "$name") "$corpus") >"$log" 2>&1 ||
    { tail -n 40 "$log" >&2; exit 1; }
  grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$name /" >&2 || true
done
