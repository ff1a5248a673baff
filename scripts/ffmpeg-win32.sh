#!/usr/bin/env bash
# Builds FFmpeg's static libraries for 32-bit Windows (i686-w64-mingw32) from
# the Debian source package of the FFmpeg the native build links against, so
# that the Windows runtime reads the formats the Linux one is tested with.
#
# The result is cached outside the clone (scripts/win32-cache.sh), keyed by
# version and configuration: a hit costs a few checks; a change of either
# builds a fresh folder. Prints the installed prefix.
set -euo pipefail

version=$(dpkg-query -W -f='${Version}' libavcodec-dev)
cache_root=${QEL_FFMPEG_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qel/ffmpeg-win32}

# SSE2 arithmetic (every 32-bit Windows since 8 requires it) and nasm's
# assembly: the float decoders (AAC) then round as the 64-bit build does,
# and 32-bit decoding is not needlessly slow.
#
# Exactly what the runtime reads: movie containers, the decoders it names
# codes for (plus raw pictures), and the parsers those containers need;
# the Linux runtime's movie tables (tests/ffmpeg) list the same. Left out:
# AV1, which FFmpeg decodes only through external libraries.
# zlib (MinGW's static one, as under qelhost's libpng) serves PNG pictures
# and the compressed headers of QuickTime and Matroska files.
demuxers=(mov avi matroska mpegps mpegts mpegvideo m4v h264 hevc mp3 aac ac3 eac3 wav aiff dv flv
          ogg asf mxf nut flac)
decoders=(h264 hevc mpeg4 mjpeg mjpegb mpeg1video mpeg2video h263 flv svq1 svq3 cinepak vp8 vp9
          vp3 theora qtrle dvvideo msmpeg4v1 msmpeg4v2 msmpeg4v3 wmv1 wmv2 prores dnxhd png
          rawvideo v210 r210 y41p v308 yuv4
          aac mp3 mp3float mp2 mp2float mp1 mp1float ac3 eac3 alac flac opus vorbis wmav1 wmav2 qdm2
          adpcm_ima_qt adpcm_ima_wav adpcm_ms pcm_alaw pcm_mulaw
          pcm_s8 pcm_u8 pcm_s16le pcm_s16be pcm_s24le pcm_s24be pcm_s24daud pcm_s32le pcm_s32be
          pcm_f32le pcm_f32be pcm_f64le pcm_f64be pcm_dvd pcm_bluray)
parsers=(h264 hevc mpeg4video mpegvideo mjpeg h263 vp3 vp8 vp9 dnxhd png dvd_nav
         aac aac_latm mpegaudio ac3 flac opus vorbis)

join() { local IFS=,; echo "$*"; }
configuration=(
  --target-os=mingw32 --arch=x86 --cpu=pentium4 --cross-prefix=i686-w64-mingw32- --enable-cross-compile
  --pkg-config=false --enable-static --disable-shared --disable-autodetect --enable-w32threads
  --disable-programs --disable-doc --disable-network --disable-avdevice --disable-avfilter
  --disable-postproc --disable-debug --extra-cflags=-mfpmath=sse
  --disable-everything --enable-protocol=file --enable-zlib
  --enable-demuxer="$(join "${demuxers[@]}")"
  --enable-decoder="$(join "${decoders[@]}")"
  --enable-parser="$(join "${parsers[@]}")"
)
# --configuration: print the configuration, one argument a line, and stop
# (the Windows package states it beside FFmpeg's licence).
if [ "${1:-}" = --configuration ]; then
  printf '%s\n' "${configuration[@]}"
  exit 0
fi
key=$(printf '%s\n' "$version" "${configuration[@]}" | sha256sum | cut -c1-12)

. "$(dirname "$0")/win32-cache.sh"
win32_cache_enter "$cache_root" "$key" ffmpeg
echo "ffmpeg-win32: building FFmpeg $version for i686-w64-mingw32 (a few minutes)" >&2
win32_fetch_source ffmpeg "$version" "$work/src"

# Installed into a staging folder first: the cache folder appears whole or
# not at all.
(cd "$work/src" &&
  ./configure --prefix="$prefix" "${configuration[@]}" >"$work/configure.log" &&
  nice -n 5 make -j"${QEL_FFMPEG_JOBS:-2}" >"$work/make.log" 2>&1 &&
  make install DESTDIR="$work/stage" >/dev/null) || { tail -n 30 "$work"/*.log >&2; exit 1; }
win32_cache_commit "$work/stage"
