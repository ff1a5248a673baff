#!/usr/bin/env bash
# The README's first command: installs what is missing, builds what the
# demo runs (qelhost, the plug-in, the runtime and the logging library of
# the native preset; no tests or benchmarks), and runs qelhost info, decode
# and thumbs on MOVIE, or on a sample movie that it makes with ffmpeg when
# none is given. With --windows it then builds the same of the Windows
# preset (win32), runs qelhost.exe info and decode on the same movie under
# Wine, and says whether its pictures and sound equal those of the native
# run.
#   scripts/demo.sh [--windows] [MOVIE]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

windows=false
if [ "${1:-}" = --windows ]; then
  windows=true
  shift
fi

# Only what this run builds: the Windows libraries (FFmpeg and libpng built
# from source, minutes on a fresh machine) only with --windows.
if $windows; then
  scripts/deps.sh
else
  scripts/deps.sh --native
fi
echo "== building qelhost and the plug-in (native preset)"
mkdir -p build
log=build/demo-build.log
# Ninja's "[done/total]" counter, kept on one line.
show_progress() {
  local line
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    case $line in
      \[*/*\]*) printf '\r   %s' "${line%%]*}]" ;;
    esac
  done
  printf '\r\033[K'
}
: >"$log"
if ! { cmake --preset native >>"$log" 2>&1 &&
       cmake --build --preset native --target qelhost 2>&1 | show_progress; }; then
  tail -n 40 "$log"
  echo "build failed; see $log" >&2
  exit 1
fi

out="$root/build/demo"
mkdir -p "$out"
if [ $# -ge 1 ]; then
  movie=$(realpath "$1")
else
  movie="$out/sample.mp4"
  if [ ! -f "$movie" ]; then
    echo "== making a sample movie: 10 s of a moving test pattern (H.264) and a 5.1 tone (AAC)"
    ffmpeg -nostdin -v error -y \
      -f lavfi -i testsrc2=size=640x360:rate=25 \
      -f lavfi -i sine=frequency=440:sample_rate=48000 \
      -filter_complex '[1]pan=5.1|FL=c0|FR=0.8*c0|FC=0.6*c0|LFE=0.2*c0|BL=0.4*c0|BR=0.3*c0[a]' \
      -map 0:v -map '[a]' -t 10 -c:v libx264 -pix_fmt yuv420p -g 25 -c:a aac -b:a 192k "$movie"
  fi
fi

qelhost="$root/build/native/bin/qelhost"
name=$(basename "${movie%.*}")
echo "== qelhost info $movie"
"$qelhost" info "$movie"
# The demo's folder holds only its own files: a second run replaces them (-y).
echo "== qelhost decode $movie -o $out -y"
"$qelhost" decode "$movie" -o "$out" -y
echo "== qelhost thumbs $movie -o $out/$name-sheet.png -y"
"$qelhost" thumbs "$movie" -o "$out/$name-sheet.png" -y
echo "== done. Files in $out:"
for file in "$out/$name.wav" "$out/$name.y4m" "$out/$name-sheet.png"; do
  [ -f "$file" ] && echo "  $file"
done
echo "Play them with: ffplay $out/$name.y4m; ffplay $out/$name.wav"

if ! $windows; then
  exit 0
fi

echo "== building (win32 preset: the Windows DLL, its runtime and qelhost.exe)"
cmake --preset win32 >build/demo-build-win32.log 2>&1 &&
  cmake --build --preset win32 --target qelhost QelContainerQuickTime Qel_Logging QuickTimeRuntime \
    >>build/demo-build-win32.log 2>&1 ||
  { tail -n 40 build/demo-build-win32.log; echo "build failed; see build/demo-build-win32.log" >&2; exit 1; }

export WINEPREFIX="$root/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || { echo "== preparing Wine's prefix (once)"; wineboot -i </dev/null >/dev/null 2>&1; }
windows_out="$out/windows"
mkdir -p "$windows_out"
# Wine's drive Z: is the Unix root.
windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
cd "$root/build/win32/bin"
echo "== wine qelhost.exe info $movie"
wine qelhost.exe info "$(windows_path "$movie")"
echo "== wine qelhost.exe decode $movie -o $windows_out -y"
wine qelhost.exe decode "$(windows_path "$movie")" -o "$(windows_path "$windows_out")" -y

same_as_native() {
  if [ ! -f "$out/$name.$1" ] && [ ! -f "$windows_out/$name.$1" ]; then
    echo "none in this movie"
  elif cmp -s "$out/$name.$1" "$windows_out/$name.$1"; then
    echo "identical to the native run"
  else
    echo "DIFFERENT from the native run"
  fi
}
echo "== the Windows DLL against the native plug-in"
echo "  pictures ($windows_out/$name.y4m): $(same_as_native y4m)"
echo "  sound    ($windows_out/$name.wav): $(same_as_native wav)"
