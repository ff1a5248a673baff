# cmake --install: what a machine that runs the plug-in, and a developer
# who writes a host for it, need.
#
#   bin/qelhost                         the command-line host
#   lib/QelContainerQuickTime/          the plug-in folder: the plug-in, the
#                                       runtime QuickTime.qts and the logging
#                                       library, side by side
#   include/QelContainerQuickTime/      the interface headers a host includes
#   lib/cmake/QelContainerQuickTime/    the CMake package (find_package)
#   share/doc/QelContainerQuickTime/    README.md, qelhost.md and docs/ (with
#                                       the example host); on Windows also
#                                       licenses/, the texts of what the
#                                       modules link in
#   SHA256SUMS.txt (Windows)            every installed file's SHA-256
#
# Everything above is the component Runtime. On Windows the debug
# information of each shipped module (NAME.debug, beside it) is the
# component Symbols, installed only when asked for by name (the release's
# separate symbols archive, cmake/QelPackage.cmake).
#
# qelhost looks for the plug-in beside itself (the build's bin/ folder) and
# then in ../lib/QelContainerQuickTime; on Linux the plug-in finds the
# runtime and the logging library in its own folder.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME Runtime)

# qel_install_module(target destination): the module or program, and on
# Windows its debug information as the component Symbols.
function(qel_install_module target destination)
  if(NOT TARGET ${target})
    return()
  endif()
  install(TARGETS ${target}
    RUNTIME DESTINATION ${destination}
    LIBRARY DESTINATION ${destination}
    ARCHIVE EXCLUDE_FROM_ALL)
  if(WIN32)
    install(FILES $<TARGET_FILE:${target}>.debug DESTINATION ${destination}
            COMPONENT Symbols EXCLUDE_FROM_ALL)
  endif()
endfunction()

set(QEL_PLUGIN_FOLDER lib/QelContainerQuickTime)
foreach(target QelContainerQuickTime QuickTimeRuntime Qel_Logging)
  qel_install_module(${target} ${QEL_PLUGIN_FOLDER})
endforeach()
qel_install_module(qelhost bin)

# The headers a host needs to drive the plug-in: the entry point and the
# container interface, the stream interface and its clock, chunks,
# property records, strings, lists and result codes.
set(QEL_INTERFACE_HEADERS
  plugin/Plugin.h plugin/ContainerInterface.h plugin/ResultCodes.h
  streams/StreamInterface.h streams/StreamFormat.h streams/HostClock.h
  media/MediaBuffer.h media/MediaChunk.h media/Properties.h media/Rect.h
  media/String.h media/List.h media/StandardAllocator.h
  support/DestructorSlot.h support/ByValueSlot.h support/OutOfMemoryGuard.h)
foreach(header ${QEL_INTERFACE_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES src/${header} DESTINATION include/QelContainerQuickTime/${folder})
endforeach()

set(QEL_PACKAGE_FOLDER lib/cmake/QelContainerQuickTime)
configure_package_config_file(cmake/QelContainerQuickTimeConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QelContainerQuickTimeConfig.cmake
  INSTALL_DESTINATION ${QEL_PACKAGE_FOLDER}
  PATH_VARS QEL_PLUGIN_FOLDER)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QelContainerQuickTimeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/QelContainerQuickTimeConfig.cmake
  ${CMAKE_BINARY_DIR}/QelContainerQuickTimeConfigVersion.cmake
  DESTINATION ${QEL_PACKAGE_FOLDER})

set(QEL_DOC_FOLDER share/doc/QelContainerQuickTime)
install(FILES README.md DESTINATION ${QEL_DOC_FOLDER})
install(FILES host/qelhost/README.md DESTINATION ${QEL_DOC_FOLDER} RENAME qelhost.md)
install(DIRECTORY docs DESTINATION ${QEL_DOC_FOLDER})

if(WIN32)
  include(cmake/QelLicenses.cmake)
  qel_install_licenses(${QEL_DOC_FOLDER}/licenses)
  # Last, so that it lists every file installed before it: the list a
  # user checks an installation or an unpacked archive against.
  install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(sums "")
    set(files ${CMAKE_INSTALL_MANIFEST_FILES})
    list(SORT files)
    foreach(file IN LISTS files)
      file(RELATIVE_PATH name "${root}" "${file}")
      file(SHA256 "${file}" hash)
      string(APPEND sums "${hash} *${name}\n")
    endforeach()
    file(WRITE "${root}/SHA256SUMS.txt" "${sums}")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${root}/SHA256SUMS.txt")
  ]])
endif()
