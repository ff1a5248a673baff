# cmake --install: what a machine that runs the plug-in, and a developer
# who writes a host for it, need.
#
#   bin/qelhost                         the command-line host
#   lib/QelContainerQuickTime/          the plug-in folder: the plug-in, the
#                                       runtime QuickTime.qts and the logging
#                                       library, side by side
#   include/QelContainerQuickTime/      the interface headers a host includes
#   lib/cmake/QelContainerQuickTime/    the CMake package (find_package)
#   share/doc/QelContainerQuickTime/    README.md and qelhost.md
#
# qelhost looks for the plug-in beside itself (the build's bin/ folder) and
# then in ../lib/QelContainerQuickTime; on Linux the plug-in finds the
# runtime and the logging library in its own folder.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QEL_PLUGIN_FOLDER lib/QelContainerQuickTime)
foreach(target QelContainerQuickTime QuickTimeRuntime Qel_Logging)
  if(TARGET ${target})
    install(TARGETS ${target}
      RUNTIME DESTINATION ${QEL_PLUGIN_FOLDER}
      LIBRARY DESTINATION ${QEL_PLUGIN_FOLDER}
      ARCHIVE EXCLUDE_FROM_ALL)
  endif()
endforeach()
if(TARGET qelhost)
  install(TARGETS qelhost RUNTIME DESTINATION bin)
endif()

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

install(FILES README.md DESTINATION share/doc/QelContainerQuickTime)
install(FILES host/qelhost/README.md DESTINATION share/doc/QelContainerQuickTime RENAME qelhost.md)
