#!/usr/bin/env bash
# Makes the road fuzzer's seed movies with the ffmpeg command: one tiny file
# (64x48 pictures, a fifth of a second) of every container and codec the
# tests use. Usage: fuzz/make-seeds.sh FOLDER. Files already there are kept.
set -euo pipefail
out=${1:?usage: make-seeds.sh FOLDER}
mkdir -p "$out"
command -v ffmpeg >/dev/null || { echo "make-seeds.sh: no ffmpeg command; no real seeds" >&2; exit 0; }

pictures="-f lavfi -i testsrc2=size=64x48:rate=10:duration=0.2"
tone="-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.2"
make() {
  local name=$1
  shift
  [ -s "$out/$name" ] || ffmpeg -v error -y "$@" "$out/$name" </dev/null
}
make h264.mp4 $pictures $tone -c:v libx264 -bf 2 -g 4 -pix_fmt yuv420p -c:a aac -ac 2
make yuvs.mov $pictures $tone -c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16le -ac 2
make mjpeg.mov $pictures $tone -c:v mjpeg -q:v 8 -c:a pcm_s16be -ac 2
make mpeg4.avi $pictures $tone -c:v mpeg4 -g 4 -c:a libmp3lame -ac 2
make mpeg2.mpg $pictures $tone -c:v mpeg2video -bf 2 -g 4 -c:a mp2 -ac 2 -f vob
make surround.mov -f lavfi -i "sine=frequency=300:sample_rate=8000:duration=0.2" \
  -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -c:a pcm_s16le
make twosound.mp4 $pictures $tone -f lavfi -i sine=frequency=660:sample_rate=8000:duration=0.2 \
  -map 0 -map 1 -map 2 -c:v libx264 -pix_fmt yuv420p -c:a aac
