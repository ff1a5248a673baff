#!/usr/bin/env python3
"""The Windows release as a user gets it.

    package_test.py --packages DIR --version X.Y.Z --source SRC contents
    package_test.py --packages DIR --version X.Y.Z --source SRC install --work DIR --example-host EXE

contents: the archive, the symbols archive and the installer carry the
version in their names; every file the archive's SHA256SUMS.txt lists is in
the archive with that hash, and nothing else is; what a user needs is among
them; every module and program, the installer included, carries a version
resource of the release's version; every module has its debug information
in the symbols archive.

install: in a fresh Wine prefix, the installer run silently for all users
puts exactly the archive's files in place and registers the runtime; the
installed qelhost.exe decodes a real movie as ffmpeg does, and the example
host finds the runtime through that registration alone; the uninstaller
leaves the prefix's files and registry as they were. Then the same for the
current user only (no registration), and for all users with a QuickTime
already registered, which stays untouched.
"""
import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from pathlib import Path

QUICKTIME_KEY = r"HKLM\Software\Apple Computer, Inc.\QuickTime"
PLUGIN_FOLDER = "lib/QelContainerQuickTime"

# What a user of the release needs, besides what SHA256SUMS.txt lists.
REQUIRED = [
    "bin/qelhost.exe",
    f"{PLUGIN_FOLDER}/QelContainerQuickTime.dll",
    f"{PLUGIN_FOLDER}/QuickTime.qts",
    f"{PLUGIN_FOLDER}/Qel_Logging.dll",
    "include/QelContainerQuickTime/plugin/ContainerInterface.h",
    "lib/cmake/QelContainerQuickTime/QelContainerQuickTimeConfig.cmake",
    "share/doc/QelContainerQuickTime/README.md",
    "share/doc/QelContainerQuickTime/docs/BINARY_INTERFACE.md",
    "share/doc/QelContainerQuickTime/docs/example-host/ExampleHost.cpp",
    "share/doc/QelContainerQuickTime/docs/example-host/QelHostInterface.h",
    "share/doc/QelContainerQuickTime/licenses/FFmpeg.txt",
    "share/doc/QelContainerQuickTime/licenses/FFmpeg-LGPL-2.1.txt",
    "share/doc/QelContainerQuickTime/licenses/libpng.txt",
    "share/doc/QelContainerQuickTime/licenses/zlib.txt",
]
# Left out of the comparison of a prefix's files: the empty folder that the
# uninstaller's running copy leaves in the user's temporary folder (the copy
# itself goes at the restart).
UNINSTALLER_FOLDER = r"users/[^/]+/Temp/~nsu\w*\.tmp$"
# QuickTime.qts keeps QuickTime's file numbering, which the plug-in's loader
# compares with 7.0.2; its product version is the release's.
RUNTIME_FILE_VERSION = (7, 7, 9, 0)


def run(command, **options):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **options).stdout


def version_resource(data):
    """(file version, product version, the ProductVersion string) of a
    module's version resource, or None without one."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    key = "ProductVersion\0".encode("utf-16-le")
    text_at = data.find(key)
    if at < 0 or text_at < 0:
        return None
    ms_file, ls_file, ms_product, ls_product = struct.unpack_from("<4I", data, at + 8)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    text_at += len(key)
    text_at += (4 - text_at % 4) % 4
    end = text_at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return split(ms_file, ls_file), split(ms_product, ls_product), data[text_at:end].decode("utf-16-le")


def version_faults(name, data, version):
    release = tuple(int(part) for part in version.split(".")) + (0,)
    found = version_resource(data)
    if not found:
        return [f"{name}: no version resource"]
    file_version, product_version, product_text = found
    wanted_file = RUNTIME_FILE_VERSION if name.endswith("QuickTime.qts") else release
    faults = []
    if product_version != release or product_text != ".".join(map(str, release)):
        faults.append(f"{name}: product version {product_version} \"{product_text}\", not {release}")
    if file_version != wanted_file:
        faults.append(f"{name}: file version {file_version}, not {wanted_file}")
    return faults


def listed_files(sums_text):
    """{path: sha256} of a SHA256SUMS.txt."""
    listed = {}
    for line in sums_text.splitlines():
        digest, name = line.split(" *", 1)
        listed[name] = digest
    return listed


def packages(folder, version):
    stem = folder / f"QelContainerQuickTime-{version}-win32"
    return Path(f"{stem}.zip"), Path(f"{stem}-symbols.zip"), Path(f"{stem}.exe")


def archive_files(path):
    """{path under the archive's top folder: bytes}."""
    with zipfile.ZipFile(path) as archive:
        return {name.split("/", 1)[1]: archive.read(name) for name in archive.namelist() if not name.endswith("/")}


def is_program(name):
    return name.endswith((".dll", ".exe", ".qts"))


def check_contents(options):
    archive_path, symbols_path, installer_path = packages(options.packages, options.version)
    missing = [str(p) for p in (archive_path, symbols_path, installer_path) if not p.is_file()]
    if missing:
        return [f"no package {p}" for p in missing]
    files = archive_files(archive_path)
    listed = listed_files(files.pop("SHA256SUMS.txt", b"").decode())
    faults = [f"listed but not in the archive: {n}" for n in listed if n not in files]
    faults += [f"in the archive but not listed: {n}" for n in files if n not in listed]
    faults += [f"{n}: its hash is not the listed one" for n in listed
               if n in files and hashlib.sha256(files[n]).hexdigest() != listed[n]]
    faults += [f"not in the release: {n}" for n in REQUIRED if n not in listed]
    for name in filter(is_program, files):
        faults += version_faults(name, files[name], options.version)
    faults += version_faults(installer_path.name, installer_path.read_bytes(), options.version)

    statement = files.get("share/doc/QelContainerQuickTime/licenses/FFmpeg.txt", b"").decode()
    configuration = [line for line in statement.splitlines() if line.startswith("--")]
    built = run([str(options.source / "scripts" / "ffmpeg-win32.sh"), "--configuration"]).decode().splitlines()
    if configuration != built or any(re.match(r"--enable-(gpl|nonfree|version3)", c) for c in configuration):
        faults.append("licenses/FFmpeg.txt does not state the LGPL 2.1 configuration FFmpeg is built with")
    symbols = archive_files(symbols_path)
    faults += [f"no debug information for {n}" for n in files if is_program(n) and n + ".debug" not in symbols]
    return faults


class Prefix:
    """A fresh Wine prefix of its own, with its own wineserver, which exits
    (saving the registry) whenever the prefix is to be compared."""

    def __init__(self, folder):
        self.folder = folder
        shutil.rmtree(folder, ignore_errors=True)
        folder.parent.mkdir(parents=True, exist_ok=True)
        self.env = dict(os.environ, WINEPREFIX=str(folder), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.boot("-i")
        self.settle()
        # Wine's first restart still settles its devices' keys; the prefix
        # is "as it was" from then on.
        self.boot("-r")
        self.settle()
        self.drive = folder / "drive_c"

    def wine(self, *command, check=True):
        result = subprocess.run(["wine", *command], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if check and result.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed ({result.returncode}): {result.stdout.decode(errors='replace')}")
        return result

    def boot(self, option):
        """wineboot -i makes the prefix; -r is Windows' restart, which carries
        out the deletions scheduled for it."""
        subprocess.run(["wineboot", option], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)

    def settle(self):
        subprocess.run(["wineserver", "-w"], env=self.env, check=True)

    def snapshot(self):
        """Every file under drive_c with its hash, and the registry's keys and
        values without the times Wine stamps on them."""
        self.settle()
        files = {}
        for path in sorted(self.drive.rglob("*")):
            name = str(path.relative_to(self.drive))
            if re.match(UNINSTALLER_FOLDER, name):
                continue
            if path.is_file() and not path.is_symlink():
                files[name] = hashlib.sha1(path.read_bytes()).hexdigest()
            elif path.is_dir():
                files[name + "/"] = "folder"
        hives = ("system.reg", "user.reg", "userdef.reg")
        return files, {hive: registry_entries((self.folder / hive).read_text(errors="replace")) for hive in hives}

    def registry_value(self, key, value):
        result = self.wine("reg", "query", key, "/v", value, check=False)
        match = re.search(rf"{re.escape(value)}\s+REG_\w+\s+(.*)", result.stdout.decode(errors="replace"))
        return match.group(1).strip() if result.returncode == 0 and match else None

    def windows_path(self, path):
        return "C:\\" + str(path.relative_to(self.drive)).replace("/", "\\")

    def unix_path(self, windows):
        return self.drive / windows[3:].replace("\\", "/")


def registry_entries(text):
    """The keys of a Wine registry file, and each value as "[key] value",
    without what Wine changes of its own accord: the times it stamps on
    keys, the display driver's date it renews at every start, and its own
    settings under Software\\Wine (its debugger's key appears whenever any
    process of the prefix, Wine's services included, has crashed)."""
    entries, key = [], ""
    for line in text.splitlines():
        if line.startswith("["):
            key = re.sub(r" \d+$", "", line)
            entries.append(key)
        elif line and not line.startswith(("#", ";;", '"DriverDateData"=')):
            entries.append(f"{key} {line}")
    return [entry for entry in entries if not entry.startswith("[Software\\\\Wine\\\\")]


def differences(before, after):
    files_before, registry_before = before
    files_after, registry_after = after
    faults = [f"left behind: {n}" for n in files_after if n not in files_before]
    faults += [f"removed: {n}" for n in files_before if n not in files_after]
    faults += [f"changed: {n}" for n in files_before if n in files_after and files_before[n] != files_after[n]]
    for hive in registry_before:
        gone = set(registry_before[hive]) - set(registry_after[hive])
        added = set(registry_after[hive]) - set(registry_before[hive])
        faults += [f"{hive}: no longer holds {line}" for line in sorted(gone)]
        faults += [f"{hive}: now holds {line}" for line in sorted(added)]
    return faults


def apple_keys(snapshot):
    """The machine's Apple keys and their values."""
    return [entry for entry in snapshot[1]["system.reg"] if entry.startswith("[Software\\\\Apple Computer, Inc.")]


def install(prefix, installer, mode):
    """Runs the installer silently; returns the installation folder."""
    prefix.wine(str(installer), "/S", f"/{mode}")
    root = "HKLM" if mode == "AllUsers" else "HKCU"
    folder = prefix.registry_value(rf"{root}\Software\Microsoft\Windows\CurrentVersion\Uninstall\QelContainerQuickTime",
                                   "InstallLocation")
    if not folder:
        raise RuntimeError(f"the {mode} installation left no uninstall entry")
    return prefix.unix_path(folder)


def uninstall(prefix, folder, mode):
    """Runs the uninstaller as Windows' programs list would, silently, then
    restarts: the uninstaller runs from a copy of itself in the temporary
    folder, which it schedules for deletion at the next start."""
    prefix.wine(str(folder / "Uninstall.exe"), "/S", f"/{mode}")
    prefix.settle()
    prefix.boot("-r")


def installed_as_archived(folder, archive):
    installed = {str(p.relative_to(folder)): p.read_bytes() for p in folder.rglob("*") if p.is_file()}
    faults = [f"not installed: {n}" for n in archive if n not in installed]
    faults += [f"installed but not in the archive: {n}" for n in installed if n not in archive and n != "Uninstall.exe"]
    faults += [f"installed differently: {n}" for n in archive if n in installed and installed[n] != archive[n]]
    return faults


def use_installation(prefix, folder, options):
    """The installed qelhost.exe against ffmpeg's decode, and the example
    host with the installed plug-in, which finds the runtime only through
    the registry (it loads nothing else first)."""
    sys.path.insert(0, str(options.source / "tests" / "qelhost_oracle"))
    import oracle
    movies = options.work / "movies"
    movies.mkdir(parents=True, exist_ok=True)
    os.environ.update(prefix.env)
    faults = oracle.check(movies, str(folder / "bin" / "qelhost.exe"), True, oracle.MOVIES[0])
    plugin = prefix.windows_path(folder / PLUGIN_FOLDER / "QelContainerQuickTime.dll")
    movie = oracle.qelhost_path(movies / oracle.MOVIES[0][1], True)
    result = prefix.wine(str(options.example_host), plugin, movie, check=False)
    output = result.stdout.decode(errors="replace").replace("\r\n", "\n")
    kinds = set(re.findall(r"^(video|audio) chunk at \d+ ms, \d+ ms long, [1-9]\d* bytes", output, re.M))
    if result.returncode != 0 or kinds != {"video", "audio"} or not output.endswith("plug-in released\n"):
        faults.append(f"the example host on the installed plug-in ({result.returncode}): {output}")
    return faults


def check_install(options):
    _, _, installer = packages(options.packages, options.version)
    archive = archive_files(packages(options.packages, options.version)[0])
    prefix = Prefix(options.work / "prefix")
    faults = []

    clean = prefix.snapshot()
    folder = install(prefix, installer, "AllUsers")
    faults += installed_as_archived(folder, archive)
    faults += version_faults("Uninstall.exe", (folder / "Uninstall.exe").read_bytes(), options.version)
    registered = prefix.registry_value(QUICKTIME_KEY, "QTSysDir")
    expected = prefix.windows_path(folder / PLUGIN_FOLDER) + "\\"
    if registered != expected:
        faults.append(f"QTSysDir is {registered!r}, not {expected!r}")
    faults += use_installation(prefix, folder, options)
    uninstall(prefix, folder, "AllUsers")
    faults += [f"for all users: {f}" for f in differences(clean, prefix.snapshot())]

    folder = install(prefix, installer, "CurrentUser")
    if not str(folder).startswith(str(prefix.drive / "users")):
        faults.append(f"the installation for the current user went to {folder}")
    if prefix.registry_value(QUICKTIME_KEY, "QTSysDir") is not None:
        faults.append("an installation for the current user registered the runtime")
    faults += installed_as_archived(folder, archive)
    uninstall(prefix, folder, "CurrentUser")
    faults += [f"for the current user: {f}" for f in differences(clean, prefix.snapshot())]

    # A QuickTime of its own: its registration, and its folder's library.
    fake = prefix.drive / "Program Files" / "QuickTime"
    fake.mkdir(parents=True)
    (fake / "QuickTime.qts").write_bytes(b"a QuickTime of its own")
    prefix.wine("reg", "add", QUICKTIME_KEY, "/v", "QTSysDir", "/d", prefix.windows_path(fake) + "\\", "/f")
    prefix.wine("reg", "add", QUICKTIME_KEY, "/v", "Version", "/t", "REG_DWORD", "/d", "0x07798000", "/f")
    with_quicktime = prefix.snapshot()
    folder = install(prefix, installer, "AllUsers")
    installed = prefix.snapshot()
    if apple_keys(installed) != apple_keys(with_quicktime):
        faults.append(f"QuickTime's keys changed: {apple_keys(with_quicktime)} became {apple_keys(installed)}")
    if any(name.startswith("Program Files/QuickTime/") and installed[0].get(name) != digest
           for name, digest in with_quicktime[0].items()):
        faults.append("QuickTime's folder changed")
    uninstall(prefix, folder, "AllUsers")
    faults += [f"with QuickTime, after uninstalling: {f}" for f in differences(with_quicktime, prefix.snapshot())]
    return faults


def main(arguments):
    parser = argparse.ArgumentParser()
    parser.add_argument("--packages", type=Path, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", type=Path, required=True)
    parser.add_argument("--work", type=Path)
    parser.add_argument("--example-host", type=Path)
    parser.add_argument("check", choices=["contents", "install"])
    options = parser.parse_args(arguments)
    faults = check_contents(options) if options.check == "contents" else check_install(options)
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"{options.check}: {'ok' if not faults else f'{len(faults)} faults'}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
