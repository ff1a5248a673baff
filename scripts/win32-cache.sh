# Sourced by the scripts that build static libraries for 32-bit Windows
# (i686-w64-mingw32) from Debian's source packages. The results live outside
# any clone, one folder per version and configuration, so every clone on the
# machine shares them; a folder appears whole or not at all.

# Sets `prefix` to CACHE_ROOT/KEY. When that folder is complete, prints it
# and ends the script; otherwise holds a lock on it (clones building at the
# same time build once) and makes `work`, a scratch folder removed on exit.
win32_cache_enter() {
  local cache_root=$1 key=$2 name=$3
  prefix=$cache_root/$key
  if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
  fi
  mkdir -p "$cache_root"
  exec 9>"$prefix.lock"
  flock 9
  if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/qel-$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# Unpacks Debian's source package PACKAGE at VERSION (patches applied) into
# DESTINATION, through a private sources list with the deb-src entries of
# the archive the machine already uses; the machine's own lists stay
# untouched. With a fourth argument `same-upstream`, a VERSION the archive
# cannot serve (a mirror may carry a security update's binaries but not its
# sources) gives way to the newest served Debian revision of the same
# upstream version. Sets `source_version` to the version unpacked.
win32_fetch_source() {
  local package=$1 version=$2 destination=$3 fallback=${4:-}
  local codename
  codename=$(. /etc/os-release; echo "$VERSION_CODENAME")
  mkdir -p "$work/apt/lists/partial" "$work/download"
  cat >"$work/apt/sources.list" <<SOURCES
deb-src http://deb.debian.org/debian $codename main
deb-src http://deb.debian.org/debian-security $codename-security main
SOURCES
  local apt_options=(-q -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
                     -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
                     -o APT::Sandbox::User=root)
  apt-get "${apt_options[@]}" update >/dev/null
  local candidates=("$version")
  if [ "$fallback" = same-upstream ]; then
    mapfile -t -O 1 candidates < <(apt-cache "${apt_options[@]}" showsrc "$package" |
      sed -n 's/^Version: //p' | grep -F "${version%-*}-" | grep -vxF "$version" | sort -rV)
  fi
  for source_version in "${candidates[@]}"; do
    rm -rf "$work/download" && mkdir "$work/download"
    if (cd "$work/download" && apt-get "${apt_options[@]}" source --download-only "$package=$source_version" >/dev/null 2>&1); then
      # apt has checked the files against the archive's signed index.
      dpkg-source --no-check -x "$work"/download/"${package}"_*.dsc "$destination" >/dev/null
      return 0
    fi
  done
  echo "cannot fetch the source package $package $version" >&2
  return 1
}

# Moves what was installed under STAGE (DESTDIR) into place, marked complete,
# and prints the prefix.
win32_cache_commit() {
  local stage=$1
  touch "$stage$prefix/.complete"
  rm -rf "$prefix"
  mv "$stage$prefix" "$prefix"
  echo "$prefix"
}
