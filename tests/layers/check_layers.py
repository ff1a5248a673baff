#!/usr/bin/env python3
"""Checks that every include in the runtime and in qelhost runs to its own
layer or a lower one, as runtime/README.md and host/qelhost/README.md
describe them. The build keeps the runtime out of the plug-in's tree, but
within a tree every folder can reach every other: this is what keeps them
in order. Usage: check_layers.py SOURCE_DIR; prints each offending include
and exits 1 when there is one."""
import pathlib
import re
import sys

# Each tree: its folder, the folders its includes are written from, and its
# parts as (path prefix, parts it may include besides itself). The first
# prefix that matches names a file's part; an include of a file outside the
# tree (a system header, the interface) is not checked.
RUNTIME = ("runtime", ["runtime", "runtime/ffmpeg"], [
    ("frame/", {"QuickTimeInterface.h"}),
    ("QuickTimeInterface.h", set()),
    ("source/", {"QuickTimeInterface.h"}),
    ("synthetic/", {"source/", "QuickTimeInterface.h"}),
    ("ffmpeg/", {"source/", "QuickTimeInterface.h"}),
    ("operations/", {"frame/", "source/", "synthetic/", "ffmpeg/", "QuickTimeInterface.h"}),
    ("testing/", {"frame/", "QuickTimeInterface.h"}),
])

# The FFmpeg source's layers, lowest first: a file may include its own
# layer and those before it.
FFMPEG_LAYERS = [
    ["FfmpegLibraries.", "FfmpegStatus.h", "io/", "formats/FfmpegContainers.", "formats/FfmpegProbe."],
    ["FfmpegTrack."],
    ["codecs/"],
    ["timing/"],
    ["formats/avi/", "formats/mp4/"],
    ["FfmpegMovie."],
    ["FfmpegPacketReader.", "FfmpegDecoderRefusal.", "sound/", "picture/"],
    ["FfmpegSampleTable.", "FfmpegModel.", "FfmpegMovieBuilder.", "FfmpegMovieSource."],
]
FFMPEG = ("runtime/ffmpeg", ["runtime/ffmpeg", "runtime"], [
    (prefix, {p for lower in FFMPEG_LAYERS[:rank] for p in lower} | set(layer))
    for rank, layer in enumerate(FFMPEG_LAYERS) for prefix in layer
])

QELHOST_LAYERS = ["platform/", "report/", "movie/", "output/", "commands/", "main.cpp"]
QELHOST = ("host/qelhost", ["host/qelhost"], [
    (prefix, set(QELHOST_LAYERS[:rank])) for rank, prefix in enumerate(QELHOST_LAYERS)
])

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def part_of(relative, parts):
    return next((prefix for prefix, _ in parts if relative.startswith(prefix)), None)


def resolve(root, including, name, include_roots):
    for folder in [including.parent] + [root / r for r in include_roots]:
        candidate = (folder / name).resolve()
        if candidate.is_file():
            return candidate
    return None


def offences(root, tree):
    folder, include_roots, parts = tree
    base = (root / folder).resolve()
    allowed = dict(parts)
    for path in sorted(base.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        own = part_of(path.relative_to(base).as_posix(), parts)
        if own is None:
            continue
        for name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = resolve(root, path, name, include_roots)
            if target is None or base not in target.parents:
                continue
            theirs = part_of(target.relative_to(base).as_posix(), parts)
            if theirs not in (own, None) and theirs not in allowed[own]:
                yield f"{path.relative_to(root)}: includes \"{name}\" ({theirs}), above {own}"


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    found = [o for tree in (RUNTIME, FFMPEG, QELHOST) for o in offences(root, tree)]
    print("\n".join(found) if found else "every include runs to its own layer or a lower one")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
