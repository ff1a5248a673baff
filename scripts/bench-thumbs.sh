#!/usr/bin/env bash
# Benchmark of qelhost thumbs: the time for N pictures of one movie, for N
# growing by four, on the movie the cost used to explode on: 8 s of 720p
# H.264 with a single sync sample, where taking each picture from its sync
# sample decoded the movie again for every picture. Taken in one pass, the
# cost is one decode of the movie plus a little per picture: linear in N.
#
#   scripts/bench-thumbs.sh [--runs R]
#
# Builds qelhost (native preset), makes the movie with ffmpeg (kept in
# bench/cache), and prints the median of R runs (default 3) for each N.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=3
[ "${1:-}" = --runs ] && runs=$2

scripts/deps.sh
cmake --preset native >"$root/build/bench-thumbs-build.log" 2>&1
cmake --build --preset native --target qelhost >>"$root/build/bench-thumbs-build.log" 2>&1 ||
  { tail -n 30 "$root/build/bench-thumbs-build.log" >&2; exit 1; }
qelhost=$root/build/native/bin/qelhost

cache=$root/bench/cache
mkdir -p "$cache"
movie=$cache/h264-720p-8s-one-sync.mp4
if [ ! -s "$movie" ]; then
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -t 8 \
    -c:v libx264 -preset veryfast -g 1000 -sc_threshold 0 -pix_fmt yuv420p -an "$movie.part.mp4"
  mv "$movie.part.mp4" "$movie"
fi

sheet=$(mktemp -d)/sheet.png
trap 'rm -rf "$(dirname "$sheet")"' EXIT
printf '%8s %12s %16s\n' pictures "median (s)" "per picture (ms)"
for count in 1 4 16 64; do
  times=()
  for ((run = 0; run < runs; run++)); do
    start=$(date +%s.%N)
    "$qelhost" thumbs "$movie" -o "$sheet" -y -q --count "$count"
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  printf '%8d %12.2f %16.0f\n' "$count" "$median" "$(awk -v m="$median" -v n="$count" 'BEGIN { print m * 1000 / n }')"
done
