# The licence texts of everything the Windows modules link in, taken from
# the distribution whose packages built them (scripts/deps.sh installs each
# package named here), and a statement of FFmpeg's build.
#
#   FFmpeg.txt            what was built, how (its configuration), and from
#                         which source: the LGPL, version 2.1 or later
#   FFmpeg-LGPL-2.1.txt   that licence
#   FFmpeg-copyright.txt  the FFmpeg source package's copyright file
#   libpng.txt zlib.txt   under qelhost.exe's PNG output
#   MinGW-w64.txt         the C runtime and POSIX threads of every module
#   GCC-runtime.txt       libgcc and libstdc++ (GCC Runtime Library Exception)
#   Boost.txt             the header-only recursive mutex of the plug-in
#   nlohmann-json.txt     the runtime's and qelhost's JSON
#   CLI11.txt             qelhost's command line

# qel_state_ffmpeg_build(file): what the runtime's FFmpeg is and how it was
# built, as its licence asks.
function(qel_state_ffmpeg_build file)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/ffmpeg-win32.sh --configuration
                  OUTPUT_VARIABLE configuration RESULT_VARIABLE stated)
  execute_process(COMMAND dpkg-query -W -f=\${Version} libavcodec-dev OUTPUT_VARIABLE version)
  if(NOT stated EQUAL 0 OR version STREQUAL "")
    message(FATAL_ERROR "FFmpeg's Windows configuration could not be stated")
  endif()
  file(WRITE ${file}
"QuickTime.qts links FFmpeg's libavformat, libavcodec, libswscale,
libswresample and libavutil statically. They were built for 32-bit
Windows from Debian's FFmpeg source package, version ${version}
(\"apt-get source ffmpeg=${version}\" fetches it), by
scripts/ffmpeg-win32.sh of this project's source, with this configuration:

${configuration}
It enables neither --enable-gpl nor --enable-nonfree, so this FFmpeg is
licensed under the GNU Lesser General Public License, version 2.1 or later
(FFmpeg-LGPL-2.1.txt); FFmpeg-copyright.txt lists its authors and the
licences of its parts. To use QuickTime.qts with a changed FFmpeg, build
the project's source with that FFmpeg (scripts/ffmpeg-win32.sh builds it).
")
endfunction()

# qel_install_licenses(destination)
function(qel_install_licenses destination)
  set(folder ${CMAKE_BINARY_DIR}/licenses)
  file(MAKE_DIRECTORY ${folder})
  set(texts
    "libpng.txt=/usr/share/doc/libpng-dev/copyright"
    "zlib.txt=/usr/share/doc/libz-mingw-w64-dev/copyright"
    "MinGW-w64.txt=/usr/share/doc/mingw-w64-common/copyright"
    "GCC-runtime.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
    "nlohmann-json.txt=/usr/share/doc/nlohmann-json3-dev/copyright"
    "CLI11.txt=/usr/share/doc/libcli11-dev/copyright")
  if(QEL_WITH_FFMPEG)
    list(APPEND texts "FFmpeg-LGPL-2.1.txt=/usr/share/common-licenses/LGPL-2.1"
                      "FFmpeg-copyright.txt=/usr/share/doc/libavcodec-dev/copyright")
    qel_state_ffmpeg_build(${folder}/FFmpeg.txt)
  endif()
  foreach(entry IN LISTS texts)
    string(REGEX MATCH "^([^=]+)=(.+)$" matched "${entry}")
    if(NOT EXISTS ${CMAKE_MATCH_2})
      message(FATAL_ERROR "licence text missing: ${CMAKE_MATCH_2} (run scripts/deps.sh)")
    endif()
    configure_file(${CMAKE_MATCH_2} ${folder}/${CMAKE_MATCH_1} COPYONLY)
  endforeach()

  # Boost's copyright file holds every licence of every Boost library; the
  # headers used here are under the Boost Software License alone.
  file(GLOB boost_copyright /usr/share/doc/libboost1.*-dev/copyright)
  list(GET boost_copyright 0 boost_copyright)
  file(READ ${boost_copyright} boost)
  string(FIND "${boost}" "License: BSL-1.0\n Boost Software License" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "the Boost Software License is not in Boost's copyright file")
  endif()
  string(SUBSTRING "${boost}" ${start} -1 boost)
  string(FIND "${boost}" "\n\n" end)
  string(SUBSTRING "${boost}" 0 ${end} boost)
  file(WRITE ${folder}/Boost.txt "${boost}\n")

  install(DIRECTORY ${folder}/ DESTINATION ${destination})
endfunction()
