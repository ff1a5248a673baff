#!/usr/bin/env bash
# Installs every package the project needs from Debian's archive, then the
# static FFmpeg libraries of the Windows runtime (scripts/ffmpeg-win32.sh)
# and the static libpng of qelhost.exe (scripts/libpng-win32.sh), built from
# the archive's source packages and cached outside the clone.
# With --native, only what the native build needs: no Windows toolchain,
# Wine or installer maker, and nothing built for Windows.
# Idempotent: when everything is present it only checks and returns.
#   scripts/deps.sh [--native]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev llvm lld
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libboost-thread-dev nlohmann-json3-dev libcli11-dev libpng-dev libjpeg62-turbo-dev
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  valgrind python3
)
native_only=false
if [ "${1:-}" = --native ]; then
  native_only=true
else
  # The Windows build, its tests under Wine, and its installer (cpack's
  # NSIS generator).
  packages+=(
    g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev nasm dpkg-dev xz-utils
    wine wine32:i386 nsis
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  if ! $native_only && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  echo "deps: installing ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! $native_only; then
  "$(dirname "$0")/ffmpeg-win32.sh" >/dev/null
  "$(dirname "$0")/libpng-win32.sh" >/dev/null
fi
