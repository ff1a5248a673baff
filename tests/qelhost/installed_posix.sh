#!/usr/bin/env bash
# cmake --install as a user runs it: the layout, qelhost finding the
# plug-in in PREFIX/lib/QelContainerQuickTime and pointing its help at the
# installed documentation, and a host built against the CMake package.
#   installed_posix.sh CMAKE BUILD_FOLDER
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix/usr" >/dev/null
for file in bin/qelhost lib/QelContainerQuickTime/libQelContainerQuickTime.so \
            lib/QelContainerQuickTime/QuickTime.qts lib/QelContainerQuickTime/libQel_Logging.so \
            include/QelContainerQuickTime/plugin/ContainerInterface.h \
            lib/cmake/QelContainerQuickTime/QelContainerQuickTimeConfig.cmake \
            share/doc/QelContainerQuickTime/README.md share/doc/QelContainerQuickTime/qelhost.md; do
  [ -f "$prefix/usr/$file" ] || { echo "not installed: $file"; exit 1; }
done
[ -z "$(find "$prefix/usr/bin" -name '*.so')" ] || { echo "modules installed in bin/"; exit 1; }

cat >"$prefix/movie.mov" <<'MOVIE'
{"qelSyntheticMovie": 1, "timeScale": 600, "duration": 600, "userData": null, "faults": [],
 "tracks": [{"type": "vide", "video": {"compression": "yuvs", "width": 64, "height": 48},
             "samples": {"count": 10, "duration": 60}}]}
MOVIE
# From another folder, so that nothing is found through the current one.
cd /
"$prefix/usr/bin/qelhost" info "$prefix/movie.mov" | grep -q "video YUY2 64x48" ||
  { echo "the installed qelhost did not open the movie"; exit 1; }
"$prefix/usr/bin/qelhost" --help | grep -qx "Documentation: $prefix/usr/share/doc/QelContainerQuickTime/qelhost.md" ||
  { echo "the help does not point at the installed documentation"; exit 1; }

# A host's build: the package's interface target and plug-in folder.
mkdir "$prefix/host"
cat >"$prefix/host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(host CXX)
find_package(QelContainerQuickTime 1 REQUIRED)
add_executable(host host.cpp)
target_link_libraries(host PRIVATE QelContainerQuickTime::Interface)
target_compile_definitions(host PRIVATE PLUGIN_FOLDER="${QelContainerQuickTime_PLUGIN_FOLDER}")
CMAKE
cat >"$prefix/host/host.cpp" <<'SOURCE'
#include <cstdio>
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "plugin/ResultCodes.h"
#include "streams/StreamInterface.h"
int main() { std::puts(PLUGIN_FOLDER); return Qel::kResultSuccess; }
SOURCE
"$cmake" -S "$prefix/host" -B "$prefix/host/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
"$cmake" --build "$prefix/host/build" >/dev/null
[ "$("$prefix/host/build/host")" = "$prefix/usr/lib/QelContainerQuickTime" ] ||
  { echo "the package names another plug-in folder"; exit 1; }
echo "installed layout, qelhost and the package: ok"
