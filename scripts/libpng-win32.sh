#!/usr/bin/env bash
# Builds a static libpng for 32-bit Windows (i686-w64-mingw32) from the
# Debian source package of the libpng the native build links against, over
# the MinGW zlib of Debian's libz-mingw-w64-dev, so that qelhost.exe writes
# PNG files as the Linux qelhost does while importing only system DLLs.
#
# Cached outside the clone (scripts/win32-cache.sh), keyed by version and
# configuration: a hit costs a few checks. Prints the installed prefix.
set -euo pipefail

version=$(dpkg-query -W -f='${Version}' libpng-dev)
zlib_version=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
cache_root=${QEL_LIBPNG_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qel/libpng-win32}

configuration=(
  --host=i686-w64-mingw32 --enable-static --disable-shared --disable-tests --disable-tools
  CC=i686-w64-mingw32-gcc-posix "CFLAGS=-O2 -msse2 -mfpmath=sse"
)
key=$(printf '%s\n' "$version" "$zlib_version" "${configuration[@]}" | sha256sum | cut -c1-12)

. "$(dirname "$0")/win32-cache.sh"
win32_cache_enter "$cache_root" "$key" libpng
echo "libpng-win32: building libpng $version for i686-w64-mingw32 (about a minute)" >&2
# The upstream version is what fixes the library's behaviour; a Debian
# revision the archive does not serve as source gives way to another.
win32_fetch_source libpng1.6 "$version" "$work/src" same-upstream
[ "$source_version" = "$version" ] || echo "libpng-win32: built from the source of $source_version" >&2

(cd "$work/src" &&
  ./configure --prefix="$prefix" "${configuration[@]}" >"$work/configure.log" 2>&1 &&
  nice -n 5 make -j"${QEL_LIBPNG_JOBS:-2}" >"$work/make.log" 2>&1 &&
  make install DESTDIR="$work/stage" >"$work/install.log" 2>&1) || { tail -n 30 "$work"/*.log >&2; exit 1; }
echo "$source_version" >"$work/stage$prefix/source-version"
win32_cache_commit "$work/stage"
