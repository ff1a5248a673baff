#!/usr/bin/env python3
"""Real movies through qelhost against ffmpeg's own decode.

Makes each movie with ffmpeg (lavfi sources), runs "qelhost decode" on it
(under Wine, given Windows paths, for the Windows build), and
compares every picture and every sample with ffmpeg's decode of the same
file, which must be identical: pictures as ffmpeg converts them to the
plug-in's YUY2, repacked planar as qelhost writes them; sound as ffmpeg mixes
it down in float, converted to 16 bits as the runtime converts, from the
movie's time 0.

    oracle.py FOLDER [--wine] QELHOST [--msvc-host EXE] [--only NAME...]

--msvc-host also reads the first movie through the host built for the
Microsoft ABI (under Wine), which checks every stream as it reads.

"qelhost thumbs" takes a contact sheet of the first movie, under a name
that is not ASCII, at its pictures' own size: each picture on the sheet must
be ffmpeg's frame at the time qelhost prints for it, up to the colour
conversion's rounding.

Exit status 0 when every movie matches; each difference is reported.
"""
import re
import struct
import subprocess
import sys
import zlib
from pathlib import Path

PICTURES = "testsrc2=size={size}:rate={rate}:duration={seconds}"
TONE = "sine=frequency=440:sample_rate=48000:duration={seconds}"
SURROUND = "[1]pan=5.1|FL=c0|FR=0.8*c0|FC=0.6*c0|LFE=0.2*c0|BL=0.4*c0|BR=0.3*c0[a]"

# name, file, picture size, rate, seconds, ffmpeg's encoding options.
MOVIES = [
    ("h264", "h264.mp4", "320x240", "30000/1001", 2, "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a aac"),
    ("mjpeg", "mjpeg.mov", "320x240", "25", 2, "-c:v mjpeg -q:v 3 -c:a pcm_s16le"),
    ("2vuy", "2vuy.mov", "320x240", "25", 1, "-c:v rawvideo -pix_fmt uyvy422 -tag:v 2vuy -c:a pcm_s16be"),
    ("mpeg1", "mpeg1.mpg", "352x288", "25", 2, "-c:v mpeg1video -bf 2 -g 12 -c:a mp2 -f mpeg"),
    ("aac51", "aac51.mp4", "320x240", "25", 2, "-c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 384k"),
    # An odd width: each row of the plug-in's YUY2 ends in half a pair.
    ("odd", "odd-422.mov", "161x91", "25", 1, "-vf scale=161:91 -c:v mjpeg -pix_fmt yuvj422p -c:a pcm_s16le"),
    # Containers and codecs beyond the common ones, which the Windows
    # runtime's own FFmpeg build carries as the Linux one does.
    ("theora", "theora-flac.ogg", "160x120", "25", 1, "-c:v libtheora -g 12 -c:a flac"),
    ("flac", "h264-flac.mkv", "160x120", "25", 1, "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p -c:a flac"),
    ("wmv2", "wmv2.asf", "160x120", "25", 1, "-c:v wmv2 -g 12 -c:a wmav2"),
    # The sound's first decoded frame starts after its container's start.
    ("vorbis", "theora-vorbis.ogg", "160x120", "25", 1, "-c:v libtheora -g 12 -c:a libvorbis"),
    ("png", "png.mov", "160x120", "25", 0.5, "-c:v png -c:a pcm_s16be"),
    # MXF as ffmpeg writes H.264 with B-frames: no temporal offsets, so that
    # FFmpeg times every picture at its decoding time (ffprobe's times are
    # no oracle here; the pictures and their order are).
    ("mxf", "h264-bframes.mxf", "160x120", "25", 1, "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p10le -c:a pcm_s16le"),
    # 4K pictures of 16 MB each in a 32-bit process.
    ("4k", "h264-4k.mp4", "3840x2160", "30000/1001", 0.2, "-c:v libx264 -preset ultrafast -bf 2 -pix_fmt yuv420p -an"),
]


def run(command, **options):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **options).stdout


def make_movie(folder, name, file, size, rate, seconds, encoding):
    path = folder / file
    sources = ["-f", "lavfi", "-i", PICTURES.format(size=size, rate=rate, seconds=seconds)]
    if "-an" not in encoding:
        sources += ["-f", "lavfi", "-i", TONE.format(seconds=seconds)]
    mapping = ["-filter_complex", SURROUND, "-map", "0:v", "-map", "[a]"] if name == "aac51" else []
    run(["ffmpeg", "-nostdin", "-v", "error", "-y", *sources, *mapping, *encoding.split(), str(path)])
    return path


def y4m_frames(path):
    """The planes of each frame of a 4:2:2 YUV4MPEG2 file, one bytes each."""
    data = path.read_bytes()
    header_end = data.index(b"\n")
    fields = data[:header_end].split()
    assert fields[0] == b"YUV4MPEG2" and b"C422" in fields, f"{path}: not planar 4:2:2"
    width = int(next(f[1:] for f in fields if f.startswith(b"W")))
    height = int(next(f[1:] for f in fields if f.startswith(b"H")))
    frame_bytes = (width + (width + 1) // 2 * 2) * height
    frames, at = [], header_end + 1
    while at < len(data):
        at = data.index(b"\n", at) + 1
        frames.append(data[at:at + frame_bytes])
        at += frame_bytes
    return width, height, frames


def ffmpeg_frames(movie, width, height):
    """ffmpeg's decode to yuyv422, repacked planar as qelhost writes it.

    At an odd width ffmpeg's rows end in a whole pair, but the plug-in's
    frame has no byte for the last pixel's Cr: qelhost shows the Cr of the
    pair beside it, so that is what is expected there."""
    raw = run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(movie), "-map", "0:v:0", "-fps_mode", "passthrough",
               "-f", "rawvideo", "-pix_fmt", "yuyv422", "-"])
    row_bytes = (width + 1) // 2 * 4
    frame_bytes = row_bytes * height
    frames = []
    for at in range(0, len(raw), frame_bytes):
        rows = [raw[at + y * row_bytes:at + (y + 1) * row_bytes] for y in range(height)]
        cr = [row[3::4] for row in rows]
        if width % 2 and width > 1:
            cr = [row[:-1] + row[-2:-1] for row in cr]
        frames.append(b"".join(row[0::2][:width] for row in rows) + b"".join(row[1::4] for row in rows) + b"".join(cr))
    return frames


def wav_samples(path):
    """The channel count, the rate and the interleaved 16-bit samples of a
    WAV file."""
    data = path.read_bytes()
    channels, rate = struct.unpack_from("<HI", data, 22)
    at = 12
    while data[at:at + 4] != b"data":
        at += 8 + struct.unpack_from("<I", data, at + 4)[0]
    size = struct.unpack_from("<I", data, at + 4)[0]
    return channels, rate, struct.unpack_from(f"<{size // 2}h", data, at + 8)


def sound_lead(movie, rate):
    """The sound frames of silence before the sound: movie time 0 is the
    earliest start of any track, and the sound starts with its first decoded
    frame (a container's start time counts the codec's priming, which the
    decoder drops)."""
    first = run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                 "frame=best_effort_timestamp_time", "-of", "csv=p=0", str(movie)]).split()
    pictures = run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=start_time",
                    "-of", "csv=p=0", str(movie)]).split()
    sound = float(first[0])
    starts = [float(t) for t in pictures if t != b"N/A"] + [sound]
    return round((sound - min(starts)) * rate)


def to_16_bits(value):
    """A float sample as the runtime converts it: the product rounded to a
    float, then to the nearest integer, ties to even."""
    product = struct.unpack("<f", struct.pack("<f", value * 32768.0))[0]
    return max(-32768, min(32767, round(product)))


def ffmpeg_sound(movie, channels, rate):
    """ffmpeg's decode mixed down as the runtime mixes it (in float, the
    matrix not normalised), from the movie's time 0."""
    layout = "mono" if channels == 1 else "stereo"
    raw = run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(movie), "-map", "0:a:0",
               "-af", f"aresample=internal_sample_fmt=fltp:out_chlayout={layout}", "-c:a", "pcm_f32le", "-f", "f32le", "-"])
    silence = [0] * (sound_lead(movie, rate) * channels)
    return silence + [to_16_bits(value) for value in struct.unpack(f"<{len(raw) // 4}f", raw)]


def compare_pictures(name, movie, y4m):
    width, height, ours = y4m_frames(y4m)
    theirs = ffmpeg_frames(movie, width, height)
    faults = []
    if len(ours) != len(theirs):
        faults.append(f"{name}: {len(ours)} pictures, ffmpeg decodes {len(theirs)}")
    for index, (a, b) in enumerate(zip(ours, theirs)):
        if a != b:
            differing = sum(1 for x, y in zip(a, b) if x != y)
            faults.append(f"{name}: picture {index} differs from ffmpeg's in {differing} of {len(a)} bytes")
    return faults


def compare_sound(name, movie, wav):
    channels, rate, ours = wav_samples(wav)
    theirs = ffmpeg_sound(movie, channels, rate)
    # The last packet may be cut where the pictures end.
    if abs(len(ours) - len(theirs)) > channels * 2048:
        return [f"{name}: {len(ours) // channels} sound frames, ffmpeg decodes {len(theirs) // channels}"]
    differing = [at for at, (a, b) in enumerate(zip(ours, theirs)) if a != b]
    if not differing:
        return []
    worst = max(abs(ours[at] - theirs[at]) for at in differing)
    return [f"{name}: {len(differing)} samples differ from ffmpeg's, the first at {differing[0]}, by up to {worst}"]


def qelhost_path(path, wine):
    """Wine's Z: drive is the Unix root."""
    return "Z:" + str(path.resolve()).replace("/", "\\") if wine else str(path)


def check(folder, qelhost, wine, movie_entry):
    name, file, size, rate, seconds, encoding = movie_entry
    movie = make_movie(folder, name, file, size, rate, seconds, encoding)
    out = folder / ("decoded-" + name)
    out.mkdir(exist_ok=True)
    command = ["wine", qelhost] if wine else [qelhost]
    result = subprocess.run([*command, "decode", qelhost_path(movie, wine), "-o", qelhost_path(out, wine), "-y"],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        return [f"{name}: qelhost decode failed ({result.returncode}): {result.stdout.decode(errors='replace')}"]
    stem = Path(file).stem
    faults = compare_pictures(name, movie, out / (stem + ".y4m"))
    if "-an" not in encoding:
        faults += compare_sound(name, movie, out / (stem + ".wav"))
    return faults


def png_rows(path):
    """The width, height and rows (RGB or RGBA bytes) of an 8-bit PNG."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG file"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack_from(">IIBB", body)
            assert depth == 8 and colour in (2, 6), f"{path}: not 8-bit RGB"
            pixel = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * pixel, [], bytearray(width * pixel)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for x in range(stride):
            left = row[x - pixel] if x >= pixel else 0
            up, corner = previous[x], previous[x - pixel] if x >= pixel else 0
            if kind == 1:
                row[x] = (row[x] + left) & 255
            elif kind == 2:
                row[x] = (row[x] + up) & 255
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                near = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))
                row[x] = (row[x] + near[2]) & 255
        rows.append(bytes(row[i] for i in range(stride) if i % pixel < 3))
        previous = row
    return width, height, rows


def check_thumbs(folder, qelhost, wine, movie_entry):
    """Three pictures at the movie's own size, against ffmpeg's frames at
    the times qelhost prints."""
    name, file, size, rate = movie_entry[:4]
    movie, sheet = folder / file, folder / "planche-été-日本.png"
    command = ["wine", qelhost] if wine else [qelhost]
    width, height = (int(v) for v in size.split("x"))
    result = subprocess.run([*command, "thumbs", qelhost_path(movie, wine), "-o", qelhost_path(sheet, wine), "-y",
                             "--count", "3", "--width", str(width)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = result.stdout.decode(errors="replace")
    if result.returncode != 0:
        return [f"{name}: qelhost thumbs failed ({result.returncode}): {output}"]
    numerator, _, denominator = rate.partition("/")
    times = [float(t) for t in re.findall(r"frame of ([0-9.]+) s", output)]
    frames = [round(t * int(numerator) / int(denominator or 1)) for t in times]
    rgb = run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(movie), "-map", "0:v:0", "-fps_mode", "passthrough",
               "-f", "rawvideo", "-pix_fmt", "rgb24", "-"])
    sheet_width, _, rows = png_rows(sheet)
    columns = (sheet_width - 4) // (width + 4)
    faults = [] if len(frames) == 3 else [f"{name}: thumbs printed {len(frames)} times: {output}"]
    for index, frame in enumerate(frames):
        left, top = 4 + index % columns * (width + 4), 4 + index // columns * (height + 4)
        reference = rgb[frame * width * height * 3:(frame + 1) * width * height * 3]
        ours = b"".join(rows[top + y][left * 3:(left + width) * 3] for y in range(height))
        mean = sum(abs(a - b) for a, b in zip(ours, reference)) / max(1, len(reference))
        if len(reference) != len(ours) or mean >= 3:
            faults.append(f"{name}: sheet picture {index} differs from ffmpeg's frame {frame} by {mean:.2f} on average")
    return faults


def check_msvc_host(folder, msvc_host, movie_entry):
    """The host built for the Microsoft ABI reads the movie to its end
    through the DLL, checking every stream on the way."""
    movie = folder / movie_entry[1]
    result = subprocess.run(["wine", msvc_host, "movie", qelhost_path(movie, True)], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    output = result.stdout.decode(errors="replace")
    return [] if result.returncode == 0 else [f"{movie_entry[0]}: the Microsoft-ABI host failed: {output}"]


def option_value(arguments, name):
    """The value after name, and the arguments without both."""
    if name not in arguments:
        return None, arguments
    at = arguments.index(name)
    return arguments[at + 1], arguments[:at] + arguments[at + 2:]


def main(arguments):
    only = []
    if "--only" in arguments:
        at = arguments.index("--only")
        arguments, only = arguments[:at], arguments[at + 1:]
    msvc_host, arguments = option_value(arguments, "--msvc-host")
    wine = "--wine" in arguments
    folder, qelhost = Path(arguments[0]), [a for a in arguments[1:] if a != "--wine"][0]
    folder.mkdir(parents=True, exist_ok=True)
    faults = []
    for entry in MOVIES:
        if not only or entry[0] in only:
            found = check(folder, qelhost, wine, entry)
            print(f"{entry[0]}: {'matches ffmpeg' if not found else 'DIFFERS'}", flush=True)
            faults += found
    if not only or MOVIES[0][0] in only:
        found = check_thumbs(folder, qelhost, wine, MOVIES[0])
        print(f"{MOVIES[0][0]}: {'sheet matches' if not found else 'sheet DIFFERS from'} ffmpeg's frames", flush=True)
        faults += found
    if msvc_host:
        # One real movie through the other ABI: H.264 with B-frames and AAC.
        found = check_msvc_host(folder, msvc_host, MOVIES[0])
        print(f"{MOVIES[0][0]}: {'read by' if not found else 'FAILED in'} the Microsoft-ABI host", flush=True)
        faults += found
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
